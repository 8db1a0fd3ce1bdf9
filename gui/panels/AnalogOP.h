// The analog output panel: fixes the loop current at the present value or an entered one (loop
// test) and releases it.
#pragma once

#include "gui/FontManager.h"
#include "gui/OperationPanel.h"
#include "gui/ResourceManager.h"

namespace va5 {

class CAnalogOP : public COperationPanel, public CResourceManager, public CFontManager {
  Q_OBJECT

 public:
  explicit CAnalogOP(QWidget* parent = nullptr);

  void Show(bool visible) override;
};

}  // namespace va5
