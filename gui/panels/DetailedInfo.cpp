#include "gui/panels/DetailedInfo.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "base/NumberText.h"
#include "comm/RequestTypes.h"
#include "device/DeviceRecord.h"
#include "gui/LblColor.h"
#include "gui/Localise.h"
#include "gui/ValidateNumber.h"
#include "gui/ValidateText.h"
#include "lang/ControlIds.h"
#include "lang/EntryRules.h"
#include "lang/ResourceDatabase.h"
#include "session/LinkHold.h"
#include "session/Session.h"

namespace va5 {

namespace di = ids::detailed_info;
using session::Setting;

namespace {

QString Title(const char* key) { return ToQString(GetTitleMsg(key)); }
QString Prompt(const char* key) { return ToQString(GetDisplayMsg(key)); }

// Tag, descriptor and message arrive padded; they are shown without the padding.
QString Trimmed(const std::string& text) { return ToQString(text).trimmed(); }

// (value, caption) of every row, for the accessible names.
constexpr std::pair<int, int> kRows[] = {
    {di::kManufacturerValue, di::kManufacturerLabel},
    {di::kDeviceTypeValue, di::kDeviceTypeLabel},
    {di::kDeviceIdValue, di::kDeviceIdLabel},
    {di::kPreamblesValue, di::kPreamblesLabel},
    {di::kUniversalRevisionValue, di::kUniversalRevisionLabel},
    {di::kSpecificRevisionValue, di::kSpecificRevisionLabel},
    {di::kHardwareRevisionValue, di::kHardwareRevisionLabel},
    {di::kSoftwareRevisionValue, di::kSoftwareRevisionLabel},
    {di::kFinalAssemblyValue, di::kFinalAssemblyButton},
    {di::kTagValue, di::kTagButton},
    {di::kDescriptorValue, di::kDescriptorLabel},
    {di::kDateValue, di::kDateLabel},
    {di::kMessageValue, di::kMessageButton},
};

}  // namespace

CDetailedInfo::CDetailedInfo(const CglobalFile& tables, QWidget* parent)
    : COperationPanel(di::kLayout, ReplyDetailedInfo, parent), tables_(tables) {
  Build();
  hide();
}

void CDetailedInfo::Build() {
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(6, 6, 6, 6);
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(4);

  title_ = MakePanelCaption("Detailed Information", di::kTitle, this);
  controls_[di::kTitle] = title_;
  grid->addWidget(title_, 0, 0, 1, 2);

  int row = 1;
  const auto addRow = [&](QWidget* caption, int valueId) {
    grid->addWidget(caption, row, 0);
    grid->addWidget(AddValue(valueId), row, 1);
    ++row;
  };
  addRow(AddLabel(di::kManufacturerLabel, "Manufacture"), di::kManufacturerValue);
  addRow(AddLabel(di::kDeviceTypeLabel, "Device Type"), di::kDeviceTypeValue);
  addRow(AddLabel(di::kDeviceIdLabel, "Device ID"), di::kDeviceIdValue);
  addRow(AddLabel(di::kPreamblesLabel, "Number of preambles"), di::kPreamblesValue);
  addRow(AddLabel(di::kUniversalRevisionLabel, "Universal cmd revision"),
         di::kUniversalRevisionValue);
  addRow(AddLabel(di::kSpecificRevisionLabel, "Transmitter-spec revision"),
         di::kSpecificRevisionValue);
  addRow(AddLabel(di::kHardwareRevisionLabel, "Hardware Revision"), di::kHardwareRevisionValue);
  addRow(AddLabel(di::kSoftwareRevisionLabel, "Software Revision"), di::kSoftwareRevisionValue);
  addRow(AddButton(di::kFinalAssemblyButton, "Final Assembly No", &CDetailedInfo::OnFinalAssembly),
         di::kFinalAssemblyValue);
  addRow(AddButton(di::kTagButton, "Tag No", &CDetailedInfo::OnTag), di::kTagValue);
  addRow(AddLabel(di::kDescriptorLabel, "Descriptor"), di::kDescriptorValue);
  addRow(AddLabel(di::kDateLabel, "Date"), di::kDateValue);
  // The message button, with its value on the whole line below (32 characters).
  grid->addWidget(AddButton(di::kMessageButton, "Message", &CDetailedInfo::OnMessage), row, 0);
  grid->addWidget(AddValue(di::kMessageValue), row + 1, 0, 1, 2);
  row += 2;

  close_ = MakePanelButton("Close Detailed Information", di::kCloseButton, this);
  controls_[di::kCloseButton] = close_;
  connect(close_, &QPushButton::clicked, this, [this] { emit closeRequested(); });
  grid->setRowMinimumHeight(row, 8);
  grid->addWidget(close_, row + 1, 0, 1, 2);
  grid->setRowStretch(row + 2, 1);
  grid->setColumnStretch(1, 1);
}

QLabel* CDetailedInfo::AddLabel(int id, const char* caption) {
  auto* label = new QLabel(QString::fromUtf8(caption), this);
  SetControlId(label, id);
  controls_[id] = label;
  return label;
}

QLabel* CDetailedInfo::AddValue(int id) {
  QLabel* label = AddLabel(id, "");
  label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  label->setMinimumWidth(110);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return label;
}

QPushButton* CDetailedInfo::AddButton(int id, const char* caption,
                                      void (CDetailedInfo::*handler)()) {
  QPushButton* button = AddActionButton(caption, id, [this, handler] { (this->*handler)(); });
  button->setMinimumHeight(0);
  controls_[id] = button;
  return button;
}

QPushButton* CDetailedInfo::Button(int controlId) const {
  const auto found = controls_.find(controlId);
  return found == controls_.end() ? nullptr : qobject_cast<QPushButton*>(found->second);
}

QLabel* CDetailedInfo::Label(int controlId) const {
  const auto found = controls_.find(controlId);
  return found == controls_.end() ? nullptr : qobject_cast<QLabel*>(found->second);
}

void CDetailedInfo::UpdateAccessibleNames() {
  NameButtonsByCaption(this);
  for (const auto& [value, caption] : kRows) {
    const QWidget* w = controls_.at(caption);
    const auto* button = qobject_cast<const QPushButton*>(w);
    controls_.at(value)->setAccessibleName(
        button != nullptr ? button->accessibleName() : static_cast<const QLabel*>(w)->text());
  }
  title_->setAccessibleName(title_->text());
}

void CDetailedInfo::EnableButtons() {
  const bool on = Connected();
  const bool configurable = on && session::IsConfigurableModel(GetSession()->Record());
  Button(di::kFinalAssemblyButton)->setEnabled(configurable);
  Button(di::kTagButton)->setEnabled(configurable);
  Button(di::kMessageButton)->setEnabled(on);
}

void CDetailedInfo::Show(bool visible) {
  if (!visible) {
    hide();
    return;
  }
  LocaliseWindow(Layout(), this);
  UpdateAccessibleNames();
  EnableButtons();
  Refresh();
  show();
  close_->setFocus();
}

void CDetailedInfo::Refresh() {
  DeviceRecord r;  // off line: every row empty
  if (GetSession() != nullptr) r = GetSession()->Record();
  const auto set = [this](int id, const QString& text) { SetShownValue(Label(id), text); };
  const bool known = GetSession() != nullptr;
  set(di::kManufacturerValue, ToQString(r.manufacturerName));
  set(di::kDeviceTypeValue, ToQString(r.modelName));
  set(di::kDeviceIdValue, ToQString(r.deviceIdText));
  set(di::kPreamblesValue, ToQString(r.preamblesText));
  set(di::kUniversalRevisionValue, ToQString(r.universalRevisionText));
  set(di::kSpecificRevisionValue, ToQString(r.specificRevisionText));
  set(di::kHardwareRevisionValue, ToQString(r.hardwareRevisionText));
  set(di::kSoftwareRevisionValue, ToQString(r.softwareRevisionText));
  set(di::kFinalAssemblyValue,
      known ? QString::asprintf("%lu", static_cast<unsigned long>(r.finalAssemblyNumber))
            : QString());
  set(di::kTagValue, Trimmed(r.tag));
  set(di::kDescriptorValue, Trimmed(r.descriptor));
  set(di::kDateValue, ToQString(r.dateText));
  set(di::kMessageValue, Trimmed(r.message));
}

void CDetailedInfo::OnConnectionChanged() {
  EnableButtons();
  Refresh();
}

// The device's reply to a write has updated the record: the rows show what it now holds.
void CDetailedInfo::OnDone(const session::Operation&) { Refresh(); }

// ---- the writes --------------------------------------------------------------------------


void CDetailedInfo::OnFinalAssembly() {
  const session::LinkHold hold = HoldLink();
  CValidateNumber entry(this);
  entry.Setup(Title("Set_FinalAssemblyNo_Value_Title"), Prompt("Set_FinalAssemblyNo_val"),
              session::MaxSerialNumber, 0.0, Label(di::kFinalAssemblyValue)->text(), true, false);
  if (entry.exec() != QDialog::Accepted) return;
  // The accepted value is a decimal text ("%.3lf"); the number sent is its whole part.
  const long long whole = ReadCInteger(entry.ValueText().toStdString());
  WriteSetting(tables_, Setting::FinalAssembly, {std::to_string(whole)});
}

bool CDetailedInfo::AskText(const char* titleKey, const char* promptKey, int length,
                            const QString& start, std::string& text) {
  SetMaximumTextLength(std::to_string(length));
  CValidateText entry(this);
  entry.Setup(Title(titleKey), Prompt(promptKey), start);
  if (entry.exec() != QDialog::Accepted) return false;
  text = entry.Text().toStdString();
  return true;
}

void CDetailedInfo::OnTag() {
  const session::LinkHold hold = HoldLink();
  std::string tag, descriptor;
  if (!AskText("Set_Tag_Text_Title", "Set_TAG_Text", static_cast<int>(TagLength),
               Label(di::kTagValue)->text(), tag)) {
    return;
  }
  // A tag that cannot be sent is refused before the descriptor is asked for.
  const session::SettingCheck check = session::CheckSetting(tables_, Setting::Tag, {tag});
  if (check.reason) {
    ShowReason(*check.reason);
    return;
  }
  // A descriptor that cannot be sent is asked again as it was typed; the tag stays accepted.
  QString start = Label(di::kDescriptorValue)->text();
  for (;;) {
    if (!AskText("Set_Description_Text_Title", "Set_Description_Text",
                 static_cast<int>(DescriptorLength), start, descriptor)) {
      return;
    }
    const session::SettingCheck both =
        session::CheckSetting(tables_, Setting::Tag, {tag, descriptor});
    if (!both.reason || both.reason->kind != session::ReasonKind::NotPackedText) break;
    ShowReason(*both.reason);
    start = ToQString(descriptor);
  }
  // The date the device is given with them, today's unless the technician changes it.
  CValidateText dateEntry(this);
  dateEntry.Setup(Title("Set_Date_Text_Title"), Prompt("Set_Date_Text"),
                  ToQString(session::TodayText()), false, true);
  if (dateEntry.exec() != QDialog::Accepted) return;
  // Tag, descriptor and date go together in one write, the date as entered.
  WriteSetting(tables_, Setting::Tag, {tag, descriptor, dateEntry.Text().toStdString()});
}

void CDetailedInfo::OnMessage() {
  const session::LinkHold hold = HoldLink();
  std::string message;
  if (!AskText("Set_Message_Text_Title", "Set_Message_Text", static_cast<int>(MessageLength),
               Label(di::kMessageValue)->text(), message)) {
    return;
  }
  WriteSetting(tables_, Setting::Message, {message});
}

}  // namespace va5
