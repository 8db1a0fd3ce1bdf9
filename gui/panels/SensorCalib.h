// The sensor calibration panel: the live PV, the sensor trim data, zero and span trim against a
// reference value, and clearing the trim.
#pragma once

#include "device/GlobalFile.h"
#include "gui/FontManager.h"
#include "gui/OperationPanel.h"
#include "gui/ResourceManager.h"

namespace va5 {

class CSensorCalib : public COperationPanel, public CResourceManager, public CFontManager {
  Q_OBJECT

 public:
  explicit CSensorCalib(const CglobalFile& tables, QWidget* parent = nullptr);

  void Show(bool visible) override;
};

}  // namespace va5
