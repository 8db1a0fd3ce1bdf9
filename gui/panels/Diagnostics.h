// The diagnostics panel: the self test, the reset of the configuration-changed flag and the six
// EEPROM lamps of the additional status.
#pragma once

#include "gui/FontManager.h"
#include "gui/OperationPanel.h"
#include "gui/ResourceManager.h"

namespace va5 {

class CDiagnostics : public COperationPanel, public CResourceManager, public CFontManager {
  Q_OBJECT

 public:
  explicit CDiagnostics(QWidget* parent = nullptr);

  void Show(bool visible) override;
};

}  // namespace va5
