// The selection list: one entry of a code table, picked from its names.
#pragma once

#include <QDialog>
#include <QString>
#include <string>
#include <vector>

#include "gui/FontManager.h"
#include "lang/ControlIds.h"

class QListWidget;
class QPushButton;

namespace va5 {

class CSelectListBox : public QDialog, public CFontManager {
  Q_OBJECT

 public:
  static constexpr int kLayoutId = ids::list_select::kLayout;
  static constexpr int kListId = ids::list_select::kList;
  static constexpr int kOkId = ids::list_select::kOkButton;
  static constexpr int kCancelId = ids::list_select::kCancelButton;

  explicit CSelectListBox(QWidget* parent = nullptr);

  // names and codes are parallel; codes are decimal texts. The preselected entry is the last
  // one whose code (or name) matches, else the first.
  void SetupByCode(const QString& title, const std::vector<std::string>& names,
                   const std::vector<std::string>& codes, int currentCode);
  void SetupByName(const QString& title, const std::vector<std::string>& names,
                   const std::vector<std::string>& codes, const QString& currentName);

  // After OK.
  int SelectedIndex() const { return selectedIndex_; }
  int SelectedCode() const { return selectedCode_; }

  QListWidget* List() const { return list_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void Fill(const QString& title, const std::vector<std::string>& names,
            const std::vector<std::string>& codes, int currentCode, const QString& currentName);
  void Take();

  QListWidget* list_;
  QPushButton* ok_;
  QPushButton* cancel_;
  int currentCode_ = -1;
  int selectedIndex_ = -1;
  int selectedCode_ = -1;
};

}  // namespace va5
