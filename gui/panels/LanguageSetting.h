// The language panel: the display language in use, and the switch to any language file found
// beside the program (or in the installed data folder); and the switch of the question asked
// before a write that can move the loop (off for bench work), stored the moment it changes.
#pragma once

#include <string>
#include <vector>

#include "gui/FontManager.h"
#include "gui/MessageBox.h"
#include "gui/Panel.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace va5 {

class CAppSettings;
class CLblColor;

class CSetting : public CPanel, public CFontManager {
  Q_OBJECT

 public:
  // `folders`: where the language files are looked for, in order.
  CSetting(CAppSettings& settings, std::vector<std::string> folders, QWidget* parent = nullptr);

  void Show(bool visible) override;
  // The panel runs nothing on the device.
  bool OnWorkerMessage(const WorkerMessage& message) override;

  // Holds the link while the selection is open.
  void SetHoldCallback(HoldCallback hold) { hold_ = std::move(hold); }

  QPushButton* CloseButton() const { return close_; }
  QCheckBox* LoopQuestionBox() const { return confirmLoop_; }

 signals:
  // A new language was chosen and saved: the main window reloads it.
  void languageChanged();

 private:
  void OnChange();
  // The chosen entry saved, or false when nothing was chosen.
  bool ChooseLanguage();
  // The name of the language in force as the panel shows it.
  QString ShownName() const;

  CAppSettings& settings_;
  std::vector<std::string> folders_;
  HoldCallback hold_;
  CLblColor* title_;
  QPushButton* change_;
  QLabel* name_;
  QCheckBox* confirmLoop_;
  QLabel* confirmLoopCaption_;
  QPushButton* close_;
};

}  // namespace va5
