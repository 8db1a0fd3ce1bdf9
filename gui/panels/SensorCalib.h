// The sensor calibration panel: the live PV, the sensor trim data, zero and span trim against a
// reference value, and clearing the trim.
#pragma once

#include <QString>

#include "device/GlobalFile.h"
#include "gui/FontManager.h"
#include "gui/OperationPanel.h"
#include "session/Operations.h"

class QLabel;
class QPushButton;

namespace va5 {

class CLblColor;

class CSensorCalib : public COperationPanel, public CFontManager {
  Q_OBJECT

 public:
  explicit CSensorCalib(const CglobalFile& tables, QWidget* parent = nullptr);

  void Show(bool visible) override;

 private:
  void Build();
  QLabel* AddLabel(int id);
  QLabel* AddValue(int id);
  void UpdateAccessibleNames();
  void EnableButtons();

  void OnConnectionChanged() override;
  bool OnOtherMessage(const WorkerMessage& message) override;
  void ShowLivePv();
  void OnDone(const session::Operation& operation) override;

  // The name of the PV unit the device reports now (its number when the tables lack it).
  QString PvUnitName(const DeviceRecord& record) const;
  // The live PV and its unit.
  void RefreshPv();
  // The sensor trim data as the last read or trim left them in the record.
  void ShowTrimData();
  void ClearTrimData();

  // Click handlers.
  void OnReadData();
  void OnClearData();
  // Zero or span: asks for the reference value between the sensor limits and trims there.
  void OnTrim(session::SensorTrimPoint point);

  const CglobalFile& tables_;
  CLblColor* title_ = nullptr;
  QLabel* pvLabel_ = nullptr;
  QLabel* pvValue_ = nullptr;
  QLabel* pvUnit_ = nullptr;
  QLabel* zeroPointLabel_ = nullptr;
  QLabel* zeroPointValue_ = nullptr;
  QLabel* zeroValueLabel_ = nullptr;
  QLabel* zeroValueValue_ = nullptr;
  QLabel* gainLabel_ = nullptr;
  QLabel* gainValue_ = nullptr;
  QPushButton* read_ = nullptr;
  QPushButton* clear_ = nullptr;
  QPushButton* zero_ = nullptr;
  QPushButton* span_ = nullptr;
  QPushButton* close_ = nullptr;
};

}  // namespace va5
