// The polling address panel: the device's polling address and its change.
#pragma once

#include "device/DeviceRecord.h"
#include "gui/FontManager.h"
#include "gui/MessageBox.h"
#include "gui/Panel.h"

class QLabel;
class QPushButton;

namespace va5 {

class CAppSettings;
class CLblColor;

class CPollingAddr : public CPanel, public CFontManager {
  Q_OBJECT

 public:
  explicit CPollingAddr(CAppSettings& settings, QWidget* parent = nullptr);

  // The record the panel shows: the polling address and the minimum preambles; the write is
  // offered for model "TQ5R" only.
  void SetRecord(const DeviceRecord& record);

  void Show(bool visible) override;
  // The window runs the address write; the panel handles no message itself.
  bool OnWorkerMessage(const WorkerMessage& message) override;

  // After the write: the address the device answered with, shown and stored.
  void ShowAddress(int address);

  QPushButton* Button(int controlId) const;
  QLabel* AddressLabel() const { return addressValue_; }
  QLabel* PreambleLabel() const { return preambleValue_; }

 signals:
  // The technician entered a new address (0 ... 15) for the device.
  void writeRequested(const QString& entry);

 private:
  void OnWrite();

  CAppSettings& settings_;
  DeviceRecord record_;
  CLblColor* title_;
  QLabel* addressLabel_;
  QLabel* addressValue_;
  QLabel* preambleLabel_;
  QLabel* preambleValue_;
  QPushButton* write_;
  QPushButton* close_;
  HoldCallback hold_;

 public:
  // Holds the link around the entry dialog.
  void SetHoldCallback(HoldCallback hold) { hold_ = std::move(hold); }
};

}  // namespace va5
