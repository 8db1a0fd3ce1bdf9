// Page 2 of the configuration file editor: terminal temperature, CJC, serial and final
// assembly numbers.
#pragma once

#include "gui/config/ConfigPage.h"

namespace va5 {

class CFileProperty2 : public CConfigPage {
  Q_OBJECT

 public:
  explicit CFileProperty2(CConfigEditor& editor, QWidget* parent = nullptr);
};

}  // namespace va5
