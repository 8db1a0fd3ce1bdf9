#include "gui/panels/SensorInfo.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QtGlobal>
#include <exception>

#include "base/NumberText.h"
#include "comm/RequestTypes.h"
#include "device/DeviceRecord.h"
#include "gui/LblColor.h"
#include "gui/Localise.h"
#include "gui/LoopGuard.h"
#include "gui/MessageBox.h"
#include "gui/SelectListBox.h"
#include "gui/ValidateNumber.h"
#include "lang/ControlIds.h"
#include "lang/MessageFormat.h"
#include "lang/ResourceDatabase.h"
#include "session/LinkHold.h"
#include "session/Session.h"

namespace va5 {

namespace ids_si = ids::sensor_info;
using session::ReasonKind;
using session::Setting;
using Status = session::Operation::Status;

namespace {


QString Title(const char* key) { return ToQString(GetTitleMsg(key)); }

std::string Text(const QLabel* label) { return label->text().toStdString(); }

}  // namespace

CSensorInfo::CSensorInfo(session::Session* session, const CglobalFile& tables, QWidget* parent)
    : COperationPanel(ids_si::kLayout, ReplySensorInfo, parent), tables_(tables) {
  Build();
  SetSession(session);
}

CSensorInfo::~CSensorInfo() = default;

void CSensorInfo::Build() {
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(6, 6, 6, 6);
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(4);

  title_ = new CLblColor(this);
  SetControlId(title_, ids_si::kTitle);
  controls_[ids_si::kTitle] = title_;
  title_->SetCaptionLook();
  title_->setAlignment(Qt::AlignCenter);
  grid->addWidget(title_, 0, 0, 1, 3);

  int row = 1;
  // A row of a caption (button or static) over the first two columns and its value.
  const auto addRow = [&](QWidget* caption, int valueId) {
    grid->addWidget(caption, row, 0, 1, 2);
    grid->addWidget(AddValue(valueId), row, 2);
    ++row;
  };
  addRow(AddButton(ids_si::kSensorTypeButton, &CSensorInfo::OnSensorType),
         ids_si::kSensorTypeValue);
  addRow(AddButton(ids_si::kSerialNumberButton, &CSensorInfo::OnSerialNumber),
         ids_si::kSerialNumberValue);
  addRow(AddLabel(ids_si::kSensorWireLabel), ids_si::kSensorWireValue);
  addRow(AddButton(ids_si::kPvUnitButton, &CSensorInfo::OnPvUnit), ids_si::kPvUnitValue);
  // The range button spans its two lines, each with its own caption.
  grid->addWidget(AddButton(ids_si::kPvRangeButton, &CSensorInfo::OnPvRange), row, 0, 2, 1);
  grid->addWidget(AddLabel(ids_si::kUpperRangeLabel), row, 1);
  grid->addWidget(AddValue(ids_si::kUpperRangeValue), row, 2);
  grid->addWidget(AddLabel(ids_si::kLowerRangeLabel), row + 1, 1);
  grid->addWidget(AddValue(ids_si::kLowerRangeValue), row + 1, 2);
  row += 2;
  addRow(AddLabel(ids_si::kUpperLimitLabel), ids_si::kUpperLimitValue);
  addRow(AddLabel(ids_si::kLowerLimitLabel), ids_si::kLowerLimitValue);
  addRow(AddLabel(ids_si::kMinimumSpanLabel), ids_si::kMinimumSpanValue);
  addRow(AddButton(ids_si::kDampingButton, &CSensorInfo::OnDamping), ids_si::kDampingValue);
  addRow(AddButton(ids_si::kBurnoutButton, &CSensorInfo::OnBurnout), ids_si::kBurnoutValue);
  addRow(AddButton(ids_si::kCjcModeButton, &CSensorInfo::OnCjcMode), ids_si::kCjcModeValue);
  addRow(AddButton(ids_si::kTransferFunctionButton, &CSensorInfo::OnTransferFunction),
         ids_si::kTransferFunctionValue);
  addRow(AddButton(ids_si::kTerminalUnitButton, &CSensorInfo::OnTerminalUnit),
         ids_si::kTerminalUnitValue);
  grid->setRowStretch(row, 1);
  grid->setColumnStretch(2, 1);
}

QPushButton* CSensorInfo::AddButton(int id, void (CSensorInfo::*handler)()) {
  // The caption comes from the language file when the panel is shown.
  QPushButton* button = AddActionButton("", id, [this, handler] { (this->*handler)(); });
  button->setMinimumHeight(0);
  controls_[id] = button;
  buttons_.push_back(button);
  return button;
}

QLabel* CSensorInfo::AddLabel(int id) {
  auto* label = new QLabel(this);
  SetControlId(label, id);
  controls_[id] = label;
  return label;
}

QLabel* CSensorInfo::AddValue(int id) {
  QLabel* label = AddLabel(id);
  label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  label->setMinimumWidth(110);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return label;
}

QPushButton* CSensorInfo::Button(int controlId) const {
  const auto found = controls_.find(controlId);
  return found == controls_.end() ? nullptr : qobject_cast<QPushButton*>(found->second);
}

QLabel* CSensorInfo::ValueLabel(int controlId) const {
  const auto found = controls_.find(controlId);
  return found == controls_.end() ? nullptr : qobject_cast<QLabel*>(found->second);
}

void CSensorInfo::UpdateAccessibleNames() {
  const auto caption = [this](int id) {
    const QWidget* w = controls_.at(id);
    if (const auto* button = qobject_cast<const QPushButton*>(w)) return button->text();
    return static_cast<const QLabel*>(w)->text();
  };
  NameButtonsByCaption(this);
  const std::pair<int, int> rows[] = {
      {ids_si::kSensorTypeValue, ids_si::kSensorTypeButton},
      {ids_si::kSerialNumberValue, ids_si::kSerialNumberButton},
      {ids_si::kSensorWireValue, ids_si::kSensorWireLabel},
      {ids_si::kPvUnitValue, ids_si::kPvUnitButton},
      {ids_si::kUpperLimitValue, ids_si::kUpperLimitLabel},
      {ids_si::kLowerLimitValue, ids_si::kLowerLimitLabel},
      {ids_si::kMinimumSpanValue, ids_si::kMinimumSpanLabel},
      {ids_si::kDampingValue, ids_si::kDampingButton},
      {ids_si::kBurnoutValue, ids_si::kBurnoutButton},
      {ids_si::kCjcModeValue, ids_si::kCjcModeButton},
      {ids_si::kTransferFunctionValue, ids_si::kTransferFunctionButton},
      {ids_si::kTerminalUnitValue, ids_si::kTerminalUnitButton},
  };
  for (const auto& [value, captionId] : rows) {
    controls_.at(value)->setAccessibleName(caption(captionId));
  }
  const QString range = caption(ids_si::kPvRangeButton);
  controls_.at(ids_si::kUpperRangeValue)
      ->setAccessibleName(range + QLatin1Char(' ') + caption(ids_si::kUpperRangeLabel));
  controls_.at(ids_si::kLowerRangeValue)
      ->setAccessibleName(range + QLatin1Char(' ') + caption(ids_si::kLowerRangeLabel));
  title_->setAccessibleName(title_->text());
}

void CSensorInfo::EnableButtons() {
  const bool on = Connected();
  for (QPushButton* button : buttons_) button->setEnabled(on);
}

void CSensorInfo::OnConnectionChanged() {
  if (GetSession() != lastSession_ || GetSession() == nullptr) reportedCodes_.clear();
  lastSession_ = GetSession();
  EnableButtons();
  Refresh();
}

void CSensorInfo::Show(bool visible) {
  if (visible) {
    LocaliseWindow(Layout(), this);
    UpdateAccessibleNames();
    EnableButtons();
    Refresh();
  }
  setVisible(visible);
}

// ---- the rows ----------------------------------------------------------------------------

QString CSensorInfo::NameOf(const StringTable& names, const StringTable& codes, int code,
                            int valueId) {
  const int index = CglobalFile::IndexOfCode(codes, code);
  if (index >= 0) return ToQString(names[static_cast<std::size_t>(index)]);
  // A code of a newer device or a damaged reply: shown as its number, reported once.
  if (reportedCodes_.insert({valueId, code}).second) {
    qWarning("sensor information: the device sent code %d, which the tables do not name", code);
    emit unknownCode(valueId, code);
  }
  return QString::number(code);
}

void CSensorInfo::SetValue(int valueId, const QString& text) {
  SetShownValue(static_cast<QLabel*>(controls_.at(valueId)), text);
}

void CSensorInfo::Refresh() {
  if (GetSession() == nullptr) {
    // Off line: no value is shown as if it were the device's, nor under a unit.
    for (int id : {ids_si::kSensorTypeValue, ids_si::kSensorWireValue,
                   ids_si::kSerialNumberValue, ids_si::kPvUnitValue, ids_si::kUpperLimitValue,
                   ids_si::kLowerLimitValue, ids_si::kMinimumSpanValue,
                   ids_si::kUpperRangeValue, ids_si::kLowerRangeValue, ids_si::kDampingValue,
                   ids_si::kBurnoutValue, ids_si::kCjcModeValue,
                   ids_si::kTransferFunctionValue, ids_si::kTerminalUnitValue}) {
      SetValue(id, QString());
    }
    emit unitsChanged(QString(), QString());
    return;
  }
  const DeviceRecord r = GetSession()->Record();
  const CglobalFile& t = tables_;
  SetValue(ids_si::kSensorTypeValue,
           NameOf(t.SensorTypeNames(), t.SensorTypeCodes(), r.sensorType,
                  ids_si::kSensorTypeValue));
  SetValue(ids_si::kSensorWireValue,
           NameOf(t.WiringNames(), t.WiringCodes(), r.sensorWires, ids_si::kSensorWireValue));
  SetValue(ids_si::kSerialNumberValue,
           ToQString(FormatInteger(static_cast<long>(r.sensorSerialNumber))));
  const QString pvUnit =
      NameOf(t.PvUnitNames(), t.PvUnitCodes(), r.pvUnit, ids_si::kPvUnitValue);
  SetValue(ids_si::kPvUnitValue, pvUnit);
  SetValue(ids_si::kUpperLimitValue, ToQString(FormatRange(r.upperSensorLimit)));
  SetValue(ids_si::kLowerLimitValue, ToQString(FormatRange(r.lowerSensorLimit)));
  SetValue(ids_si::kMinimumSpanValue, ToQString(FormatSpan(r.minimumSpan)));
  SetValue(ids_si::kUpperRangeValue, ToQString(FormatRange(r.upperRangeValue)));
  SetValue(ids_si::kLowerRangeValue, ToQString(FormatRange(r.lowerRangeValue)));
  SetValue(ids_si::kDampingValue, ToQString(FormatRange(r.damping)));
  SetValue(ids_si::kBurnoutValue,
           NameOf(t.BurnoutNames(), t.BurnoutCodes(), r.burnout, ids_si::kBurnoutValue));
  SetValue(ids_si::kCjcModeValue,
           NameOf(t.CjcModeNames(), t.CjcModeCodes(), r.cjcMode, ids_si::kCjcModeValue));
  SetValue(ids_si::kTransferFunctionValue,
           NameOf(t.TransferFunctionNames(), t.TransferFunctionCodes(), r.transferFunction,
                  ids_si::kTransferFunctionValue));
  const QString termUnit = NameOf(t.TerminalUnitNames(), t.TerminalUnitCodes(), r.terminalUnit,
                                  ids_si::kTerminalUnitValue);
  SetValue(ids_si::kTerminalUnitValue, termUnit);
  emit unitsChanged(pvUnit, termUnit);
}

// ---- the worker's messages ---------------------------------------------------------------

bool CSensorInfo::OnOtherMessage(const WorkerMessage& message) {
  // A request of another operation (the connection's upload, ...) has changed the record.
  if (message.kind != RequestPoll && message.kind != MessageProgress &&
      message.kind != MessageFailure && message.kind != MessageWorkerEnded) {
    Refresh();
  }
  return false;
}

void CSensorInfo::OnDone(const session::Operation&) { Refresh(); }

// ---- writing a setting -------------------------------------------------------------------


void CSensorInfo::OnSensorType() {
  const session::LinkHold hold = HoldLink();
  const DeviceRecord device = GetSession()->Record();
  const CglobalFile& t = tables_;
  std::vector<std::string> values;
  {
    CSelectListBox list(this);
    list.SetupByCode(Title("Select_Sensor_Type"), t.SensorTypeNames(), t.SensorTypeCodes(),
                     device.sensorType);
    if (list.exec() != 1 || list.SelectedIndex() < 0) return;
    values.push_back(t.SensorTypeNames()[static_cast<std::size_t>(list.SelectedIndex())]);
    // Thermocouples, millivolt and potentiometers have their wiring fixed; only resistance
    // sensors ask for it.
    if (CglobalFile::FixedWiringOfSensorIndex(list.SelectedIndex()) != 0) {
      WriteLoopSetting(Setting::Sensor, values);
      return;
    }
  }
  CSelectListBox wiring(this);
  wiring.SetupByCode(Title("Select_Wire_Type"), t.WiringNames(), t.WiringCodes(),
                     device.sensorWires);
  if (wiring.exec() != 1 || wiring.SelectedIndex() < 0) return;
  values.push_back(t.WiringNames()[static_cast<std::size_t>(wiring.SelectedIndex())]);
  WriteLoopSetting(Setting::Sensor, values);
}

void CSensorInfo::OnSerialNumber() {
  const session::LinkHold hold = HoldLink();
  CValidateNumber entry(this);
  entry.Setup(Title("Set_SerialNo_Value_Title"), ToQString(GetDisplayMsg("Set_SerialNo_val")),
              session::MaxSerialNumber, 0.0,
              static_cast<QLabel*>(controls_.at(ids_si::kSerialNumberValue))->text(), true, true);
  if (entry.exec() != 1) return;
  // The accepted value is a decimal text ("%.3lf"); the number sent is its whole part.
  const long long whole = ReadCInteger(entry.ValueText().toStdString());
  WriteSetting(tables_, Setting::SerialNumber, {std::to_string(whole)});
}

void CSensorInfo::OnPvUnit() {
  const session::LinkHold hold = HoldLink();
  const DeviceRecord device = GetSession()->Record();
  // The units offered follow the sensor shown.
  const int sensorIndex = CglobalFile::IndexOfName(
      tables_.SensorTypeNames(), Text(ValueLabel(ids_si::kSensorTypeValue)));
  const UnitFamily family = CglobalFile::FamilyOfSensorIndex(sensorIndex);
  const StringTable& names = tables_.FamilyNames(family);
  CSelectListBox list(this);
  list.SetupByCode(Title("Select_PV_Unit"), names, tables_.FamilyCodes(family), device.pvUnit);
  if (list.exec() != 1 || list.SelectedIndex() < 0) return;
  WriteLoopSetting(Setting::PvUnit, {names[static_cast<std::size_t>(list.SelectedIndex())]});
}

void CSensorInfo::OnPvRange() {
  const session::LinkHold hold = HoldLink();
  const DeviceRecord device = GetSession()->Record();
  // The limits are offered as they read with three decimals.
  const double upperLimit = RoundToDecimals(device.upperSensorLimit, 3);
  const double lowerLimit = RoundToDecimals(device.lowerSensorLimit, 3);
  const std::vector<std::string> args{FormatRange(lowerLimit), FormatRange(upperLimit),
                                      Text(ValueLabel(ids_si::kPvUnitValue))};
  const auto ask = [&](const char* titleKey, const char* promptKey, QString& value) {
    CValidateNumber entry(this);
    entry.Setup(Title(titleKey), ToQString(FormatMessageText(GetDisplayMsg(promptKey), args)),
                upperLimit, lowerLimit, value, true, false);
    if (entry.exec() != 1) return false;
    value = entry.EnteredText();
    return true;
  };
  QString upper = ShownValue(ValueLabel(ids_si::kUpperRangeValue));
  QString lower = ShownValue(ValueLabel(ids_si::kLowerRangeValue));
  // A span the device's minimum refuses asks both values again as they were typed, so that
  // one of them can be corrected without typing the other once more.
  for (;;) {
    if (!ask("Set_Upper_Range_Title", "Set_Upper_Range", upper)) return;
    if (!ask("Set_Lower_Range_Title", "Set_Lower_Range", lower)) return;
    const std::vector<std::string> values{upper.toStdString(), lower.toStdString()};
    const session::SettingCheck check = session::CheckSetting(tables_, Setting::Range, values);
    std::optional<session::Reason> reason = check.reason;
    if (!reason) reason = session::CheckAgainstDevice(tables_, check.entry, device);
    if (!reason) break;
    ShowReason(*reason);
    if (reason->kind != ReasonKind::SpanTooSmall) return;
  }
  WriteLoopSetting(Setting::Range, {upper.toStdString(), lower.toStdString()});
}

void CSensorInfo::OnDamping() {
  const session::LinkHold hold = HoldLink();
  CValidateNumber entry(this);
  entry.Setup(Title("Set_Damping_Value_Title"), ToQString(GetDisplayMsg("Set_Damping_val")),
              session::MaximumDamping, session::MinimumDamping, ValueLabel(ids_si::kDampingValue)->text(), true,
              true);
  if (entry.exec() != 1) return;
  WriteLoopSetting(Setting::Damping, {entry.ValueText().toStdString()});
}

void CSensorInfo::WriteLoopSetting(Setting setting, const std::vector<std::string>& values) {
  // Asked only about a write that can go: a refused entry is shown by WriteSetting instead.
  const session::SettingCheck check = session::CheckSetting(tables_, setting, values);
  const bool sendable =
      !check.reason &&
      !session::CheckAgainstDevice(tables_, check.entry, GetSession()->Record()).has_value();
  if (sendable && !ConfirmLoopChange(this, GetSession())) return;
  WriteSetting(tables_, setting, values);
}

void CSensorInfo::SelectAndWrite(Setting setting, const char* titleKey, const StringTable& names,
                                 const StringTable& codes, int valueId, bool movesLoop) {
  const session::LinkHold hold = HoldLink();
  CSelectListBox list(this);
  list.SetupByName(Title(titleKey), names, codes, ValueLabel(valueId)->text());
  if (list.exec() != 1 || list.SelectedIndex() < 0) return;
  const std::vector<std::string> values{names[static_cast<std::size_t>(list.SelectedIndex())]};
  if (movesLoop) {
    WriteLoopSetting(setting, values);
  } else {
    WriteSetting(tables_, setting, values);
  }
}

void CSensorInfo::OnBurnout() {
  SelectAndWrite(Setting::Burnout, "Set_BurnOut", tables_.BurnoutNames(), tables_.BurnoutCodes(),
                 ids_si::kBurnoutValue, true);
}

void CSensorInfo::OnCjcMode() {
  SelectAndWrite(Setting::Cjc, "Select_CJCModeSW", tables_.CjcModeNames(), tables_.CjcModeCodes(),
                 ids_si::kCjcModeValue, true);
}

void CSensorInfo::OnTransferFunction() {
  SelectAndWrite(Setting::TransferFunction, "Set_Xfer", tables_.TransferFunctionNames(),
                 tables_.TransferFunctionCodes(), ids_si::kTransferFunctionValue, true);
}

void CSensorInfo::OnTerminalUnit() {
  SelectAndWrite(Setting::TerminalUnit, "Select_CJC_Unit", tables_.TerminalUnitNames(),
                 tables_.TerminalUnitCodes(), ids_si::kTerminalUnitValue, false);
}

}  // namespace va5
