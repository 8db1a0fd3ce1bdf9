// The DAC trim panel: trims the output current at 4 mA and 20 mA against an external meter and
// clears the trim.
#pragma once

#include "gui/FontManager.h"
#include "gui/OperationPanel.h"
#include "gui/ResourceManager.h"

namespace va5 {

class CTrimDAC : public COperationPanel, public CResourceManager, public CFontManager {
  Q_OBJECT

 public:
  explicit CTrimDAC(QWidget* parent = nullptr);

  void Show(bool visible) override;
};

}  // namespace va5
