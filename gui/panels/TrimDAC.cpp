#include "gui/panels/TrimDAC.h"

#include "comm/RequestTypes.h"
#include "lang/ControlIds.h"

namespace va5 {

CTrimDAC::CTrimDAC(QWidget* parent) : COperationPanel(ids::dac_trim::kLayout, ReplyTrimDac, parent) { }

void CTrimDAC::Show(bool visible) { setVisible(visible); }

}  // namespace va5
