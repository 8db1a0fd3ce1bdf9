#include "gui/display/DisplaySignal.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPalette>
#include <QVBoxLayout>

#include "base/NumberText.h"
#include "comm/StatusBits.h"
#include "gui/LblColor.h"
#include "gui/Localise.h"
#include "lang/ControlIds.h"

namespace va5 {
namespace {

namespace sid = ids::status_strip;

// How a lamp follows one bit of a status byte: the bit (its place and the lamp's text), or
// no bit and a text of its own.
struct LampRule {
  int controlId;
  const StatusBit* bit;  // nullptr: no bit drives the lamp
  const char* ownText;   // the text of a lamp no bit drives
  bool setIsRed;         // else green when set
  bool clearIsFace;      // else green when clear
  // What the lamp watches, for its tool tip and assistive technology: the language file's
  // key and the English text.
  const char* meaningKey;
  const char* meaning;

  constexpr const char* Text() const { return bit != nullptr ? bit->abbreviation : ownText; }
  constexpr std::uint8_t Mask() const { return bit != nullptr ? bit->mask : 0; }
};

namespace ce = comm_error;
namespace ds = device_status;

constexpr LampRule kCommRules[CDisplaySignal::kLampCount] = {
    {sid::kComLamp, nullptr, "COM", true, true, "Lamp_COM",
     "Communication: blinks at every good reply of the device"},
    {sid::kParityLamp, &ce::Parity, nullptr, true, true, "Lamp_PE",
     "Parity error: the device received a character with a parity error"},
    {sid::kOverrunLamp, &ce::Overrun, nullptr, true, true, "Lamp_OVE",
     "Overrun error: the device's receiver lost a character"},
    {sid::kFramingLamp, &ce::Framing, nullptr, true, true, "Lamp_FE",
     "Framing error: the device received a character without its stop bit"},
    {sid::kCommSpareLamp, nullptr, "", true, true, nullptr, nullptr},
    {sid::kChecksumLamp, &ce::Checksum, nullptr, true, true, "Lamp_SME",
     "Checksum error: the device received a frame with a wrong checksum"},
    {sid::kBufferLamp, &ce::BufferOverflow, nullptr, true, true, "Lamp_BOE",
     "Buffer overflow: the device received a frame too long for its buffer"},
    {sid::kTimeoutLamp, nullptr, "TME", true, true, "Lamp_TME",
     "Time-out: the device did not answer"},
};

// More status available has no lamp.
constexpr LampRule kDeviceRules[CDisplaySignal::kLampCount] = {
    {sid::kMalfunctionLamp, &ds::Malfunction, nullptr, true, true, "Lamp_MAL",
     "Device malfunction"},
    {sid::kConfigChangedLamp, &ds::ConfigChanged, nullptr, true, true, "Lamp_CFG",
     "Configuration changed"},
    {sid::kColdStartLamp, &ds::ColdStart, nullptr, true, true, "Lamp_CLD",
     "Cold start: the device was restarted"},
    {sid::kDeviceSpareLamp, nullptr, "", true, true, nullptr, nullptr},
    {sid::kOutputFixedLamp, &ds::CurrentFixed, nullptr, true, true, "Lamp_AFX",
     "Analog output fixed"},
    {sid::kOutputSaturatedLamp, &ds::CurrentSaturated, nullptr, true, false, "Lamp_AOS",
     "Analog output saturated"},
    {sid::kNonPvOutOfLimitsLamp, &ds::NonPvOutOfLimits, nullptr, false, true, "Lamp_NPV",
     "A variable other than the PV is out of its limits"},
    {sid::kPvOutOfLimitsLamp, &ds::PvOutOfLimits, nullptr, true, false, "Lamp_PV",
     "PV out of limits"},
};

// The first status byte reports communication errors, not a response code, when bit 7 is set.
std::uint8_t CommErrorsOf(const DisplayValues& values) {
  const std::uint8_t reported =
      (values.responseCode & CommErrorFlag) != 0 ? values.responseCode : 0;
  return values.commErrors | reported;
}

// What a lamp's colour says, for assistive technology.
QString StateOf(const QColor& colour) {
  if (colour == CDisplaySignal::Red()) return DisplayText("Acc_Lamp_Red", "red");
  if (colour == CDisplaySignal::Green()) return DisplayText("Acc_Lamp_Green", "green");
  if (colour == CDisplaySignal::LightGreen()) {
    return DisplayText("Acc_Lamp_Light_Green", "light green");
  }
  return DisplayText("Acc_Lamp_Off", "off");
}

// A lamp lit in `colour`; assistive technology reads what it watches (its tool tip) and its
// colour.
void LightLamp(CLblColor* lamp, const QColor& colour) {
  lamp->SetLook(lamp->font(), colour, Qt::black);
  const QString meaning = lamp->toolTip();
  const QString state = StateOf(colour);
  lamp->setAccessibleDescription(
      meaning.isEmpty()
          ? state
          : DisplayText("Acc_Lamp_State", "%1: %2", {meaning.toStdString(), state.toStdString()}));
}

void Explain(CLblColor* lamp, const LampRule& rule) {
  if (rule.meaningKey == nullptr) return;
  lamp->setToolTip(DisplayText(rule.meaningKey, rule.meaning));
  LightLamp(lamp, lamp->Background());
}

void Apply(CLblColor* lamp, const LampRule& rule, std::uint8_t bits) {
  const bool set = (bits & rule.Mask()) != 0;
  QColor colour;
  if (set) {
    colour = rule.setIsRed ? CDisplaySignal::Red() : CDisplaySignal::Green();
  } else {
    colour = rule.clearIsFace ? CDisplaySignal::ButtonFace() : CDisplaySignal::Green();
  }
  LightLamp(lamp, colour);
}

}  // namespace

QColor CDisplaySignal::ButtonFace() { return QApplication::palette().color(QPalette::Button); }

CDisplaySignal::CDisplaySignal(QWidget* parent) : QWidget(parent) {
  QFont normal;
  MakeFont(normal, 100, 400);
  setFont(normal);
  auto* row = new QHBoxLayout(this);

  // The product's name: three bold lines on a pink block.
  QFont banner(QStringLiteral("Arial"));
  banner.setPixelSize(25);
  banner.setWeight(QFont::Bold);
  auto* name = new QVBoxLayout;
  name->setSpacing(0);
  const std::pair<int, const char*> lines[] = {{sid::kBannerModel, "TQ5R"},
                                                {sid::kBannerProduct, "Configurator"},
                                                {sid::kBannerMonitor, "Monitor"}};
  for (const auto& [id, text] : lines) {
    auto* line = new CLblColor(QString::fromUtf8(text), this);
    line->SetLook(banner, QColor(253, 164, 181), Qt::black);
    line->setContentsMargins(8, 0, 8, 0);
    SetControlId(line, id);
    name->addWidget(line);
  }
  row->addLayout(name);
  row->addSpacing(QFontMetrics(normal).averageCharWidth() * 2);

  auto* lamps = new QGridLayout;
  lamps->setHorizontalSpacing(4);
  lamps->setVerticalSpacing(4);
  auto* commLabel = new CLblColor(QStringLiteral("Comm Status"), this);
  auto* deviceLabel = new CLblColor(QStringLiteral("Device Status"), this);
  SetControlId(commLabel, sid::kCommStatusLabel);
  SetControlId(deviceLabel, sid::kDeviceStatusLabel);
  lamps->addWidget(commLabel, 0, 0);
  lamps->addWidget(deviceLabel, 1, 0);

  auto makeRow = [&](const LampRule(&rules)[kLampCount], std::array<CLblColor*, kLampCount>& out,
                     int gridRow) {
    for (int i = 0; i < kLampCount; ++i) {
      auto* lamp = new CLblColor(QString::fromUtf8(rules[i].Text()), this);
      lamp->setAlignment(Qt::AlignCenter);
      lamp->setFrameStyle(QFrame::Panel | QFrame::Sunken);
      lamp->setMinimumWidth(lamp->fontMetrics().horizontalAdvance(QStringLiteral("OVE")) +
                            lamp->fontMetrics().averageCharWidth() * 2);
      SetControlId(lamp, rules[i].controlId);
      lamp->setAccessibleName(QString::fromUtf8(rules[i].Text()));
      Explain(lamp, rules[i]);
      Apply(lamp, rules[i], 0);
      lamps->addWidget(lamp, gridRow, i + 1);
      out[i] = lamp;
    }
  };
  makeRow(kCommRules, commLamps_, 0);
  makeRow(kDeviceRules, deviceLamps_, 1);
  row->addLayout(lamps);
  row->addSpacing(QFontMetrics(normal).averageCharWidth() * 2);
  link_ = new QLabel(this);
  link_->setObjectName(QStringLiteral("linkStatus"));
  link_->setTextFormat(Qt::PlainText);
  link_->setAccessibleName(QStringLiteral("Link"));
  // Port, polling address and tag all matter: wrapped over the lines beside the lamps rather
  // than cut short.
  link_->setWordWrap(true);
  link_->setMinimumWidth(QFontMetrics(normal).averageCharWidth() * 4);
  row->addWidget(link_, 1);
  // Black on amber, bold: a loop held at one current is what a technician must not miss.
  fixed_ = new CLblColor(this);
  fixed_->setObjectName(QStringLiteral("outputFixed"));
  QFont bold = normal;
  bold.setBold(true);
  fixed_->SetLook(bold, QColor(255, 191, 0), Qt::black);
  fixed_->setFrameStyle(QFrame::Panel | QFrame::Raised);
  fixed_->setContentsMargins(6, 2, 6, 2);
  fixed_->hide();
  row->addWidget(fixed_);
  ShowLink(DisplayText("Link_Offline", "Off line"), false);
}

void CDisplaySignal::ShowFixedOutput(double milliamps) {
  outputFixed_ = true;
  fixedCurrent_ = milliamps;
  ShowFixedText();
}

void CDisplaySignal::ClearFixedOutput() {
  outputFixed_ = false;
  fixed_->clear();
  fixed_->hide();
}

QString CDisplaySignal::FixedOutputText() const {
  return outputFixed_ ? fixed_->text() : QString();
}

void CDisplaySignal::ShowFixedText() {
  if (!outputFixed_) return;
  const QString text =
      DisplayText("Output_Fixed", "Output fixed at %1 mA", {FormatFixed(fixedCurrent_, 3)});
  fixed_->setText(text);
  fixed_->setAccessibleName(text);
  fixed_->show();
}

void CDisplaySignal::ShowLink(const QString& text, bool online) {
  link_->setText(text);
  link_->setAccessibleDescription(text);
  link_->setToolTip(text);
  if (online) return;
  for (auto* lamps : {&commLamps_, &deviceLamps_}) {
    for (CLblColor* lamp : *lamps) Light(lamp, ButtonFace());
  }
}

QString CDisplaySignal::LinkText() const { return ShownValue(link_); }

void CDisplaySignal::Light(CLblColor* lamp, const QColor& colour) { LightLamp(lamp, colour); }

void CDisplaySignal::Update(const DisplayValues& values) {
  for (int i = 0; i < kLampCount; ++i) {
    if (kDeviceRules[i].Mask() != 0) Apply(deviceLamps_[i], kDeviceRules[i], values.deviceStatus);
  }
  CLblColor* com = commLamps_[kComLamp];
  Light(com, com->Background() == Green() ? LightGreen() : Green());
  Light(commLamps_[kTimeoutLamp], ButtonFace());
  ShowCommErrors(CommErrorsOf(values));
}

void CDisplaySignal::ShowCommErrors(std::uint8_t commErrors) {
  for (int i = 0; i < kLampCount; ++i) {
    if (kCommRules[i].Mask() != 0) Apply(commLamps_[i], kCommRules[i], commErrors);
  }
}

void CDisplaySignal::ShowNoReply() { Light(commLamps_[kTimeoutLamp], Red()); }

void CDisplaySignal::Localise() {
  LocaliseWindow(sid::kLayout, this);
  for (int i = 0; i < kLampCount; ++i) {
    Explain(commLamps_[i], kCommRules[i]);
    Explain(deviceLamps_[i], kDeviceRules[i]);
  }
  ShowFixedText();
}

}  // namespace va5
