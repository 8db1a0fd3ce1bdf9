// Page 1 of the configuration file editor: device information and the PV input.
#pragma once

#include "gui/config/ConfigPage.h"

namespace va5 {

class CFileProperty : public CConfigPage {
  Q_OBJECT

 public:
  explicit CFileProperty(CConfigEditor& editor, QWidget* parent = nullptr);
};

}  // namespace va5
