#include "gui/panels/Diagnostics.h"

#include "comm/RequestTypes.h"
#include "lang/ControlIds.h"

namespace va5 {

CDiagnostics::CDiagnostics(QWidget* parent) : COperationPanel(ids::diagnostics::kLayout, ReplyDiagnostics, parent) { }

void CDiagnostics::Show(bool visible) { setVisible(visible); }

}  // namespace va5
