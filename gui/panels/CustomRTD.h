// The custom RTD editor: the custom RTD table (resistance in ohms against temperature).
#pragma once

#include "gui/panels/TableEditor.h"

namespace va5 {

class CCustomRTD : public CTableEditor {
  Q_OBJECT

 public:
  explicit CCustomRTD(QWidget* parent = nullptr);
};

}  // namespace va5
