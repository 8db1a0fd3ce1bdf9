#include "gui/FunctionKeys.h"

#include <QPushButton>
#include <QVBoxLayout>

#include "gui/BusyFilter.h"
#include "gui/LblColor.h"
#include "gui/Localise.h"
#include "gui/Panel.h"
#include "lang/ControlIds.h"

namespace va5 {

namespace fk = ids::function_keys;

namespace {

struct KeyText {
  int id;
  const char* caption;
};

// The built-in captions; the language file may replace them.
constexpr KeyText kKeys[] = {
    {fk::kConnectButton, "Connect"},
    {fk::kDiagnosticsButton, "Diagnostics"},
    {fk::kDeviceInfoButton, "Device Info"},
    {fk::kAnalogOutputButton, "Analog Output"},
    {fk::kTrimDacButton, "Trim DAC"},
    {fk::kSensorCalButton, "Sensor Cal"},
    {fk::kCustomTcButton, "Custom TC"},
    {fk::kCustomRtdButton, "Custom RTD"},
    {fk::kSpecialCurveButton, "Special Curve"},
    {fk::kPollingAddressButton, "Polling Address"},
    {fk::kFileButton, "File"},
    {fk::kLanguageButton, "Language"},
    {fk::kExitButton, "Exit"},
};

bool IsDeviceKey(int id) {
  return id == fk::kDiagnosticsButton || id == fk::kDeviceInfoButton ||
         id == fk::kAnalogOutputButton || id == fk::kTrimDacButton;
}

bool IsConfigurableKey(int id) {
  return id == fk::kSensorCalButton || id == fk::kCustomTcButton || id == fk::kCustomRtdButton ||
         id == fk::kSpecialCurveButton || id == fk::kPollingAddressButton;
}

}  // namespace

const std::vector<int>& CFunctionKeys::KeyIds() {
  static const std::vector<int> ids = [] {
    std::vector<int> list;
    for (const KeyText& key : kKeys) list.push_back(key.id);
    return list;
  }();
  return ids;
}

CFunctionKeys::CFunctionKeys(QWidget* parent)
    : QWidget(parent), heading_(new CLblColor(QStringLiteral("Functions"), this)) {
  SetControlId(heading_, fk::kHeading);
  heading_->setAlignment(Qt::AlignCenter);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  // Thirteen keys fit a 1280x800 screen at 150 %: as tall as the style makes a button.
  layout->setSpacing(3);
  layout->addWidget(heading_);
  for (const KeyText& key : kKeys) {
    auto* button = new CPaddedButton(QString::fromUtf8(key.caption), this);
    SetControlId(button, key.id);
    button->setAutoDefault(false);
    const int id = key.id;
    connect(button, &QPushButton::clicked, this, [this, id] { emit keyPressed(id); });
    if (id == fk::kExitButton) layout->addStretch(1);
    layout->addWidget(button);
    keys_[id] = button;
  }
  available_ = {fk::kConnectButton, fk::kExitButton};
  ApplyRules();
}

void CFunctionKeys::SetAvailable(int keyId, bool available) {
  if (available) {
    available_.insert(keyId);
  } else if (keyId != fk::kConnectButton && keyId != fk::kExitButton) {
    available_.erase(keyId);
  }
}

void CFunctionKeys::SetDevice(bool connected, bool configurable) {
  connected_ = connected;
  configurable_ = connected && configurable;
}

bool CFunctionKeys::Rule(int keyId) const {
  if (!Available(keyId)) return false;
  if (IsDeviceKey(keyId)) return connected_;
  if (IsConfigurableKey(keyId)) return configurable_;
  return true;
}

void CFunctionKeys::ApplyRules() {
  for (auto& [id, button] : keys_) button->setEnabled(Rule(id));
}

void CFunctionKeys::Show(bool visible) {
  if (visible) {
    LocaliseWindow(fk::kLayout, this);
    heading_->SetCaptionLook();
    NameButtonsByCaption(this);
    ApplyRules();
  }
  setVisible(visible);
}

void CFunctionKeys::DisableAll() {
  for (auto& [id, button] : keys_) button->setEnabled(id == fk::kExitButton);
}

void CFunctionKeys::SetBusyTest(std::function<bool()> busy) {
  if (filter_ == nullptr) {
    filter_ = new CBusyFilter(std::move(busy), this);
    filter_->Watch(this);
  }
}

QPushButton* CFunctionKeys::Key(int keyId) const {
  auto it = keys_.find(keyId);
  return it == keys_.end() ? nullptr : it->second;
}

}  // namespace va5
