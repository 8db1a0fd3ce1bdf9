// The detailed information panel: the identity of the connected transmitter and its tag group,
// with the writes of the final assembly number, the tag with descriptor and date, and the
// message.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "device/GlobalFile.h"
#include "gui/FontManager.h"
#include "gui/OperationPanel.h"
#include "session/Setting.h"

class QLabel;
class QPushButton;

namespace va5 {

class CLblColor;

// Every row shows the device record as the device last answered; the writes of the final
// assembly number and of the tag are offered for model "TQ5R" only, the message for every
// model. Going off line closes the panel.
class CDetailedInfo : public COperationPanel, public CFontManager {
  Q_OBJECT

 public:
  explicit CDetailedInfo(const CglobalFile& tables, QWidget* parent = nullptr);

  void Show(bool visible) override;

  // Fills every row from the device record (empty while off line).
  void Refresh();

  // The button or label with the given control identifier (null if none).
  QPushButton* Button(int controlId) const;
  QLabel* Label(int controlId) const;

 private:
  void Build();
  QLabel* AddLabel(int id, const char* caption);
  QLabel* AddValue(int id);
  QPushButton* AddButton(int id, const char* caption, void (CDetailedInfo::*handler)());
  void UpdateAccessibleNames();
  void EnableButtons();
  void OnConnectionChanged() override;
  void OnDone(const session::Operation& operation) override;

  // Click handlers.
  void OnFinalAssembly();
  void OnTag();
  void OnMessage();
  // Asks for a text of at most `length` characters, starting from `start` (the row's value,
  // or what was typed before); false on Cancel.
  bool AskText(const char* titleKey, const char* promptKey, int length, const QString& start,
               std::string& text);

  const CglobalFile& tables_;
  std::map<int, QWidget*> controls_;
  CLblColor* title_ = nullptr;
  QPushButton* close_ = nullptr;
};

}  // namespace va5
