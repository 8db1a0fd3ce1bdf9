// The special curve editor: the linearisation table of output percent against input percent.
#pragma once

#include <memory>

#include "gui/panels/TableEditor.h"

namespace va5 {

class CSpecialCurve : public CTableEditor {
  Q_OBJECT

 public:
  explicit CSpecialCurve(std::shared_ptr<session::TableCopyOrigin> origin = nullptr,
              QWidget* parent = nullptr);
};

}  // namespace va5
