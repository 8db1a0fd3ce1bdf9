// The custom TC editor: the custom thermocouple table (voltage in mV against temperature).
#pragma once

#include <memory>

#include "gui/panels/TableEditor.h"

namespace va5 {

class CCustomTC : public CTableEditor {
  Q_OBJECT

 public:
  explicit CCustomTC(std::shared_ptr<session::TableCopyOrigin> origin = nullptr,
              QWidget* parent = nullptr);
};

}  // namespace va5
