// The special curve editor: the linearisation table of output percent against input percent.
#pragma once

#include "gui/panels/TableEditor.h"

namespace va5 {

class CSpecialCurve : public CTableEditor {
  Q_OBJECT

 public:
  explicit CSpecialCurve(QWidget* parent = nullptr);
};

}  // namespace va5
