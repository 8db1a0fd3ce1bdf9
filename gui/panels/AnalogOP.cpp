#include "gui/panels/AnalogOP.h"

#include "comm/RequestTypes.h"
#include "lang/ControlIds.h"

namespace va5 {

CAnalogOP::CAnalogOP(QWidget* parent) : COperationPanel(ids::analog_output::kLayout, ReplyAnalogOutput, parent) { }

void CAnalogOP::Show(bool visible) { setVisible(visible); }

}  // namespace va5
