#include "gui/panels/ConnectDevice.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

#include "comm/RequestTypes.h"
#include "device/DeviceRecord.h"
#include "gui/AppSettings.h"
#include "gui/COMPortManager.h"
#include "gui/LblColor.h"
#include "gui/Localise.h"
#include "gui/ValidateNumber.h"
#include "lang/ControlIds.h"
#include "lang/ResourceDatabase.h"

namespace va5 {

namespace cp = ids::connect_panel;

CConnectDevice::CConnectDevice(CAppSettings& settings, CCOMPortEnumerator::Source source,
                               std::vector<std::string> folders, QWidget* parent)
    : CPanel(cp::kLayout, ReplyConnect, parent),
      settings_(settings),
      title_(new CLblColor(QStringLiteral("Device Connection"), this)),
      close_(MakePanelButton("Close Device Connection", cp::kCloseButton, this)),
      portList_(new QComboBox(this)),
      connect_(MakePanelButton("Connect Device", cp::kConnectButton, this)),
      disconnect_(MakePanelButton("Disconnect Device", cp::kDisconnectButton, this)),
      portLabel_(new QLabel(QStringLiteral("COMM Port"), this)),
      addressButton_(MakePanelButton("Device Address", cp::kAddressButton, this)),
      addressValue_(MakeValueLabel(cp::kAddressValue, this)),
      search_(MakePanelButton("Search Device", cp::kSearchButton, this)) {
  SetControlId(title_, cp::kTitle);
  SetControlId(portList_, cp::kPortList);
  SetControlId(portLabel_, cp::kPortLabel);
  title_->setAlignment(Qt::AlignCenter);
  title_->SetCaptionLook();
  portLabel_->setBuddy(portList_);

  auto* layout = new QGridLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->addWidget(title_, 0, 0, 1, 2);
  layout->addWidget(close_, 1, 0, 1, 2);
  layout->addWidget(portLabel_, 2, 0, 1, 2);
  layout->addWidget(portList_, 3, 0, 1, 2);
  layout->addWidget(connect_, 4, 0, 1, 2);
  layout->addWidget(disconnect_, 5, 0, 1, 2);
  layout->addWidget(addressButton_, 6, 0);
  layout->addWidget(addressValue_, 6, 1);
  layout->addWidget(search_, 7, 0, 1, 2);
  layout->setRowStretch(8, 1);
  setMinimumWidth(240);
  // The tab order of the layout: close, port list, connect, disconnect, address, search.
  setTabOrder(close_, portList_);
  setTabOrder(portList_, connect_);
  setTabOrder(connect_, disconnect_);
  setTabOrder(disconnect_, addressButton_);
  setTabOrder(addressButton_, search_);

  connect(close_, &QPushButton::clicked, this, [this] { emit closeRequested(); });
  connect(connect_, &QPushButton::clicked, this, [this] { emit connectRequested(); });
  connect(disconnect_, &QPushButton::clicked, this, [this] { emit disconnectRequested(); });
  connect(search_, &QPushButton::clicked, this, [this] { emit searchRequested(); });
  connect(addressButton_, &QPushButton::clicked, this, &CConnectDevice::OnAddressButton);

  address_ = PollingAddressFromText(settings_.PollingAddr().toStdString());
  SetShownValue(addressValue_, QString::number(address_));
  // No port is known until the first enumeration reports.
  portList_->setEnabled(false);
  connect_->setEnabled(false);
  ports_manager_ = new CCOMPortManager(this, std::move(source), std::move(folders));
  ports_manager_->Attach(this);
  hide();
}

CConnectDevice::~CConnectDevice() { ports_manager_->Detach(this); }

void CConnectDevice::Show(bool visible) {
  if (!visible) {
    hide();
    return;
  }
  LocaliseWindow(cp::kLayout, this);
  NameButtonsByCaption(this);
  portList_->setAccessibleName(portLabel_->text().remove('&'));
  addressValue_->setAccessibleName(addressButton_->text().remove('&'));
  SetAddress(address_);
  // The ports in the language in force, the selection kept.
  for (int i = 0; i < portList_->count() && i < static_cast<int>(ports_.size()); ++i) {
    portList_->setItemText(i, PortCaption(ports_[static_cast<std::size_t>(i)]));
  }
  EnableControls();
  show();
  close_->setFocus();
}

bool CConnectDevice::OnWorkerMessage(const WorkerMessage&) { return false; }

void CConnectDevice::SetConnected(bool connected) {
  connected_ = connected;
  EnableControls();
}

void CConnectDevice::SetAddress(int address) {
  address_ = ValidPollingAddress(address);
  SetShownValue(addressValue_, QString::asprintf("%d", address_));
  const QString text = QString::number(address_);
  if (settings_.PollingAddr() != text) {
    settings_.SetPollingAddr(text);
    settings_.Save();
  }
}

QString CConnectDevice::PortCaption(const PortRecord& port) {
  const QString name = QString::fromStdString(port.portName);
  const std::string& description = port.description;
  if (description.empty()) return name;
  // The two descriptions the port sources write themselves, in the language in force; a
  // device's own name (a USB adapter's product string) stays as the device gives it.
  if (description == "Serial port (" + port.portName + ")") {
    return DisplayText("Port_Serial", "Serial port (%1)", {port.portName});
  }
  if (description == "Simulated transmitter (" + port.portName + ")") {
    return DisplayText("Port_Simulated", "Simulated transmitter (%1)", {port.portName});
  }
  return QString::fromStdString(description);
}

PortRecord CConnectDevice::TakeSelectedPort() {
  PortRecord port;
  const int index = portList_->currentIndex();
  if (index >= 0 && index < static_cast<int>(ports_.size())) {
    port = ports_[static_cast<std::size_t>(index)];
  } else {
    port.portName = port.openName = settings_.ComPort().toStdString();
  }
  settings_.SetComPort(QString::fromStdString(port.portName));
  settings_.Save();
  return port;
}

QPushButton* CConnectDevice::Button(int controlId) const {
  for (QPushButton* button : findChildren<QPushButton*>())
    if (ControlId(button) == controlId) return button;
  return nullptr;
}

void CConnectDevice::Update(CObservable*) {
  ports_ = ports_manager_->Ports();
  const QString stored = settings_.ComPort();
  portList_->clear();
  int selected = 0;
  for (std::size_t i = 0; i < ports_.size(); ++i) {
    const PortRecord& port = ports_[i];
    portList_->addItem(PortCaption(port));
    if (QString::fromStdString(port.portName) == stored) selected = static_cast<int>(i);
  }
  if (!ports_.empty()) portList_->setCurrentIndex(selected);
  EnableControls();
}

void CConnectDevice::EnableControls() {
  const bool hasPorts = !ports_.empty();
  portList_->setEnabled(hasPorts && !connected_);
  connect_->setEnabled(hasPorts && !connected_);
  addressButton_->setEnabled(!connected_);
  search_->setEnabled(hasPorts && !connected_);
}

void CConnectDevice::OnAddressButton() {
  CValidateNumber dialog(this);
  dialog.Setup(ToQString(GetTitleMsg("Set_Device_Address_Title")),
               ToQString(GetDisplayMsg("Set_Device_Address")), MaxPollingAddress, 0,
               QString::asprintf("%d", address_));
  if (dialog.exec() != QDialog::Accepted) return;
  SetAddress(static_cast<int>(dialog.ValueText().toDouble()));
}

}  // namespace va5
