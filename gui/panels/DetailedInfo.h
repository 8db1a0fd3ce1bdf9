// The detailed information panel: the identity of the connected transmitter and its tag group,
// with the writes of the final assembly number, the tag with descriptor and date, and the
// message.
#pragma once

#include "device/GlobalFile.h"
#include "gui/FontManager.h"
#include "gui/OperationPanel.h"
#include "gui/ResourceManager.h"

namespace va5 {

class CDetailedInfo : public COperationPanel, public CResourceManager, public CFontManager {
  Q_OBJECT

 public:
  explicit CDetailedInfo(const CglobalFile& tables, QWidget* parent = nullptr);

  void Show(bool visible) override;
};

}  // namespace va5
