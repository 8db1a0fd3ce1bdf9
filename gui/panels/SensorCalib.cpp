#include "gui/panels/SensorCalib.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <string>

#include "base/NumberText.h"
#include "comm/RequestTypes.h"
#include "device/DeviceRecord.h"
#include "gui/LblColor.h"
#include "gui/Localise.h"
#include "gui/LoopGuard.h"
#include "gui/ValidateNumber.h"
#include "lang/ControlIds.h"
#include "lang/MessageFormat.h"
#include "lang/ResourceDatabase.h"
#include "session/LinkHold.h"
#include "session/Session.h"

namespace va5 {

namespace sc = ids::sensor_calib;
using session::SensorTrimPoint;

CSensorCalib::CSensorCalib(const CglobalFile& tables, QWidget* parent)
    : COperationPanel(sc::kLayout, ReplySensorCalib, parent), tables_(tables) {
  Build();
  OnConnectionChanged();
}

void CSensorCalib::Build() {
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(6, 6, 6, 6);
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(4);

  // Built-in captions; the language file replaces them when the panel is shown.
  title_ = MakePanelCaption("Sensor Calibration", sc::kTitle, this);
  grid->addWidget(title_, 0, 0, 1, 3);

  pvLabel_ = AddLabel(sc::kPvLabel);
  pvLabel_->setText(QStringLiteral("PV"));
  pvValue_ = AddValue(sc::kPvValue);
  pvUnit_ = AddValue(sc::kPvUnit);
  pvUnit_->setMinimumWidth(60);
  grid->addWidget(pvLabel_, 1, 0);
  grid->addWidget(pvValue_, 1, 1);
  grid->addWidget(pvUnit_, 1, 2);

  // Zero point and zero value carry the unit in their text; the gain has none.
  const auto addRow = [&](int row, QLabel*& label, int labelId, const char* caption, QLabel*& value,
                          int valueId) {
    label = AddLabel(labelId);
    label->setText(QString::fromUtf8(caption));
    value = AddValue(valueId);
    grid->addWidget(label, row, 0);
    grid->addWidget(value, row, 1, 1, 2);
  };
  addRow(2, zeroPointLabel_, sc::kZeroPointLabel, "Zero Point", zeroPointValue_,
         sc::kZeroPointValue);
  addRow(3, zeroValueLabel_, sc::kZeroValueLabel, "Zero Value", zeroValueValue_,
         sc::kZeroValueValue);
  addRow(4, gainLabel_, sc::kGainLabel, "Gain", gainValue_, sc::kGainValue);
  grid->setRowMinimumHeight(5, 8);

  read_ = AddActionButton("Read Calibration Data", sc::kReadDataButton, [this] { OnReadData(); });
  clear_ = AddActionButton("Clear Sensor Calibration Data", sc::kClearDataButton,
                           [this] { OnClearData(); });
  zero_ = AddActionButton("Zero Calibration", sc::kZeroButton,
                          [this] { OnTrim(SensorTrimPoint::Zero); });
  span_ = AddActionButton("Span Calibration", sc::kSpanButton,
                          [this] { OnTrim(SensorTrimPoint::Span); });
  close_ = MakePanelButton("Close Sensor Calibration", sc::kCloseButton, this);
  connect(close_, &QPushButton::clicked, this, [this] { emit closeRequested(); });
  int row = 6;
  for (QPushButton* button : {read_, clear_, zero_, span_, close_}) {
    grid->addWidget(button, row++, 0, 1, 3);
  }
  grid->setRowStretch(row, 1);
  grid->setColumnStretch(1, 1);
  UpdateAccessibleNames();
}

QLabel* CSensorCalib::AddLabel(int id) {
  auto* label = new QLabel(this);
  SetControlId(label, id);
  return label;
}

QLabel* CSensorCalib::AddValue(int id) {
  QLabel* label = MakeValueLabel(id, this);
  label->setMinimumWidth(110);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return label;
}

void CSensorCalib::UpdateAccessibleNames() {
  NameButtonsByCaption(this);
  title_->setAccessibleName(title_->text());
  pvValue_->setAccessibleName(pvLabel_->text());
  // The unit sits in the PV row; a screen reader says it after the value.
  pvUnit_->setAccessibleName(pvLabel_->text());
  zeroPointValue_->setAccessibleName(zeroPointLabel_->text());
  zeroValueValue_->setAccessibleName(zeroValueLabel_->text());
  gainValue_->setAccessibleName(gainLabel_->text());
}

void CSensorCalib::EnableButtons() {
  const bool on = Connected();
  for (QPushButton* button : {read_, clear_, zero_, span_}) button->setEnabled(on);
}

void CSensorCalib::OnConnectionChanged() {
  EnableButtons();
  // The trim data of another device (or of none) is not shown until it is read.
  if (GetSession() == nullptr) ClearTrimData();
  RefreshPv();
}

void CSensorCalib::Show(bool visible) {
  if (visible) {
    LocaliseWindow(Layout(), this);
    UpdateAccessibleNames();
    EnableButtons();
    RefreshPv();
  }
  setVisible(visible);
  if (visible) close_->setFocus(Qt::OtherFocusReason);
}

// ---- the shown values --------------------------------------------------------------------

QString CSensorCalib::PvUnitName(const DeviceRecord& record) const {
  const int index = CglobalFile::IndexOfCode(tables_.PvUnitCodes(), record.pvUnit);
  if (index < 0) return QString::number(record.pvUnit);
  return ToQString(tables_.PvUnitNames()[static_cast<std::size_t>(index)]);
}

void CSensorCalib::RefreshPv() {
  if (GetSession() == nullptr) {
    SetShownValue(pvValue_, {});
    SetShownValue(pvUnit_, {});
    return;
  }
  const DeviceRecord record = GetSession()->Record();
  SetShownValue(pvValue_, ToQString(FormatFixed(record.pvValue, 6)));
  SetShownValue(pvUnit_, PvUnitName(record));
}

void CSensorCalib::ShowTrimData() {
  if (GetSession() == nullptr) return;
  const DeviceRecord record = GetSession()->Record();
  const QString unit = QLatin1Char(' ') + PvUnitName(record);
  SetShownValue(zeroPointValue_, ToQString(FormatFixed(record.sensorTrimZeroPoint, 4)) + unit);
  SetShownValue(zeroValueValue_, ToQString(FormatFixed(record.sensorTrimZeroValue, 4)) + unit);
  SetShownValue(gainValue_, ToQString(FormatFixed(record.sensorTrimGain, 4)));
}

void CSensorCalib::ClearTrimData() {
  SetShownValue(zeroPointValue_, {});
  SetShownValue(zeroValueValue_, {});
  SetShownValue(gainValue_, {});
}

// ---- the worker's messages ---------------------------------------------------------------

bool CSensorCalib::OnOtherMessage(const WorkerMessage& message) {
  // Polls bring the PV and its unit; the main window still updates the live display.
  if (message.kind == RequestPoll) {
    RefreshPv();
    ShowLivePv();
  }
  return false;
}

void CSensorCalib::OnDone(const session::Operation& operation) {
  RefreshPv();
  // A refused read or trim leaves the shown data as it was.
  if (operation.Outcome().Succeeded()) ShowTrimData();
}

// ---- the buttons -------------------------------------------------------------------------

void CSensorCalib::OnReadData() { Run(session::ReadSensorTrimChain(tables_)); }

void CSensorCalib::OnClearData() {
  // One question: the clear's own with the loop's, No the default.
  if (!ConfirmLoopChange(this, GetSession(), "Confr_Reset_SensorCal_Data")) return;
  // The chain takes the unit and the PV of the moment it starts.
  Run(session::SensorTrimChain(tables_, SensorTrimPoint::Clear));
}

void CSensorCalib::ShowLivePv() {
  if (LiveEntry() == nullptr || GetSession() == nullptr) return;
  const DeviceRecord record = GetSession()->Record();
  LiveEntry()->SetLiveValue(
      DisplayText("Live_PV", "Present PV: %1 %2",
                  {FormatFixed(record.pvValue, 6), PvUnitName(record).toStdString()}));
}

void CSensorCalib::OnTrim(SensorTrimPoint point) {
  std::string valueText;
  {
    const DeviceRecord device = GetSession()->Record();
    const std::vector<std::string> args{FormatFixed(device.lowerSensorLimit, 6),
                                        FormatFixed(device.upperSensorLimit, 6),
                                        PvUnitName(device).toStdString()};
    CValidateNumber entry(this);
    entry.Setup(ToQString(GetTitleMsg(point == SensorTrimPoint::Zero ? "Set_Calibration_Val_Zero"
                                                                     : "Set_Calibration_Val_Span")),
                ToQString(FormatMessageText(GetDisplayMsg("Set_Calibration_val"), args)),
                device.upperSensorLimit, device.lowerSensorLimit, pvValue_->text(), true, false);
    // The poll goes on while the value is entered, so that a settling input can be watched
    // in the dialog; only its own messages hold the link.
    if (!RunLiveEntry(entry, [this] { ShowLivePv(); }) || GetSession() == nullptr) return;
    const session::LinkHold hold = HoldLink();
    // The typed text is what the device receives, within the limits of the record as it is
    // now.
    if (auto reason = session::CheckSensorTrimValue(entry.EnteredText().toStdString(),
                                                    GetSession()->Record(), valueText)) {
      ShowReason(*reason);
      return;
    }
    if (!ConfirmLoopChange(this, GetSession())) return;
  }
  Run(session::SensorTrimChain(tables_, point, valueText));
}

}  // namespace va5
