#include "gui/panels/PollingAddr.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "comm/RequestTypes.h"
#include "gui/AppSettings.h"
#include "gui/LblColor.h"
#include "gui/Localise.h"
#include "gui/ValidateNumber.h"
#include "lang/ControlIds.h"
#include "session/Setting.h"
#include "lang/ResourceDatabase.h"

namespace va5 {

namespace pa = ids::polling_address;


CPollingAddr::CPollingAddr(CAppSettings& settings, QWidget* parent)
    : CPanel(pa::kLayout, ReplyPollingAddress, parent),
      settings_(settings),
      title_(new CLblColor(QStringLiteral("Polling Address"), this)),
      addressLabel_(new QLabel(QStringLiteral("Device Address"), this)),
      addressValue_(MakeValueLabel(pa::kAddressValue, this)),
      preambleLabel_(new QLabel(QStringLiteral("Res. Preamble"), this)),
      preambleValue_(MakeValueLabel(pa::kPreambleValue, this)),
      write_(MakePanelButton("Write Device Address", pa::kWriteButton, this)),
      close_(MakePanelButton("Close polling Address", pa::kCloseButton, this)) {
  record_.SetStartValues();
  SetControlId(title_, pa::kTitle);
  SetControlId(addressLabel_, pa::kAddressLabel);
  SetControlId(preambleLabel_, pa::kPreambleLabel);
  title_->setAlignment(Qt::AlignCenter);
  title_->SetCaptionLook();
  auto* layout = new QGridLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->addWidget(title_, 0, 0, 1, 2);
  layout->addWidget(addressLabel_, 1, 0);
  layout->addWidget(addressValue_, 1, 1);
  layout->addWidget(preambleLabel_, 2, 0);
  layout->addWidget(preambleValue_, 2, 1);
  layout->addWidget(write_, 3, 0, 1, 2);
  layout->addWidget(close_, 4, 0, 1, 2);
  layout->setRowStretch(5, 1);
  setMinimumWidth(240);
  setTabOrder(write_, close_);
  connect(write_, &QPushButton::clicked, this, &CPollingAddr::OnWrite);
  connect(close_, &QPushButton::clicked, this, [this] { emit closeRequested(); });
  hide();
}

void CPollingAddr::SetRecord(const DeviceRecord& record) {
  record_ = record;
  write_->setEnabled(session::IsConfigurableModel(record_));
}

void CPollingAddr::Show(bool visible) {
  if (!visible) {
    hide();
    return;
  }
  LocaliseWindow(pa::kLayout, this);
  NameButtonsByCaption(this);
  addressValue_->setAccessibleName(addressLabel_->text());
  preambleValue_->setAccessibleName(preambleLabel_->text());
  write_->setEnabled(session::IsConfigurableModel(record_));
  ShowAddress(record_.pollingAddress);
  SetShownValue(preambleValue_, QString::fromStdString(record_.preamblesText));
  show();
  close_->setFocus();
}

bool CPollingAddr::OnWorkerMessage(const WorkerMessage&) { return false; }

void CPollingAddr::ShowAddress(int address) {
  record_.pollingAddress = static_cast<std::int16_t>(address);
  SetShownValue(addressValue_, QString::asprintf("%d", address));
  const QString text = QString::number(address);
  if (settings_.PollingAddr() != text) {
    settings_.SetPollingAddr(text);
    settings_.Save();
  }
}

QPushButton* CPollingAddr::Button(int controlId) const {
  for (QPushButton* button : findChildren<QPushButton*>())
    if (ControlId(button) == controlId) return button;
  return nullptr;
}

void CPollingAddr::OnWrite() {
  if (hold_) hold_(true);
  CValidateNumber dialog(this);
  dialog.SetHoldCallback(hold_);
  dialog.Setup(ToQString(GetTitleMsg("Set_Device_Address_Title")),
               ToQString(GetDisplayMsg("Set_Device_Address")), MaxPollingAddress, 0,
               QString::asprintf("%d", int{record_.pollingAddress}));
  const bool accepted = dialog.exec() == QDialog::Accepted;
  if (hold_) hold_(false);
  if (accepted) emit writeRequested(dialog.EnteredText().trimmed());
}

}  // namespace va5
