// The custom TC editor: the custom thermocouple table (voltage in mV against temperature).
#pragma once

#include "gui/panels/TableEditor.h"

namespace va5 {

class CCustomTC : public CTableEditor {
  Q_OBJECT

 public:
  explicit CCustomTC(QWidget* parent = nullptr);
};

}  // namespace va5
