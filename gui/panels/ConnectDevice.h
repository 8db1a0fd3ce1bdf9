// The connect panel: the port, the polling address, connect, disconnect and search.
#pragma once

#include <string>
#include <vector>

#include "comm/COMPortEnumerator.h"
#include "comm/Observable.h"
#include "gui/FontManager.h"
#include "gui/Panel.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace va5 {

class CAppSettings;
class CCOMPortManager;
class CLblColor;

class CConnectDevice : public CPanel, public CFontManager, public CObserver {
  Q_OBJECT

 public:
  // The panel keeps the port list of its own port manager, made from `source` and watching
  // `folders` (the platform's by default).
  CConnectDevice(CAppSettings& settings, CCOMPortEnumerator::Source source,
                 std::vector<std::string> folders, QWidget* parent = nullptr);
  ~CConnectDevice() override;

  void Show(bool visible) override;
  // The window runs the connect operation; the panel handles no message itself.
  bool OnWorkerMessage(const WorkerMessage& message) override;

  // Connect, search, the address and the port list are for an off-line window only.
  void SetConnected(bool connected);
  // Shows the polling address and stores it in the settings.
  void SetAddress(int address);
  int Address() const { return address_; }

  // The port to connect to: the selected entry, or the stored port when nothing is selected.
  // Reading it for a connection stores it in the settings.
  PortRecord TakeSelectedPort();
  // How the port list names a port: its description, else its name.
  static QString PortCaption(const PortRecord& port);
  const std::vector<PortRecord>& Ports() const { return ports_; }

  QComboBox* PortList() const { return portList_; }
  QPushButton* Button(int controlId) const;
  QLabel* AddressLabel() const { return addressValue_; }

  void Update(CObservable* subject) override;

 signals:
  void connectRequested();
  void disconnectRequested();
  void searchRequested();

 private:
  void OnAddressButton();
  void EnableControls();

  CAppSettings& settings_;
  CLblColor* title_;
  QPushButton* close_;
  QComboBox* portList_;
  QPushButton* connect_;
  QPushButton* disconnect_;
  QLabel* portLabel_;
  QPushButton* addressButton_;
  QLabel* addressValue_;
  QPushButton* search_;
  CCOMPortManager* ports_manager_;
  std::vector<PortRecord> ports_;
  int address_ = 0;
  bool connected_ = false;
};

}  // namespace va5
