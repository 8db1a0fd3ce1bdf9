#include "gui/panels/DetailedInfo.h"

#include "comm/RequestTypes.h"
#include "lang/ControlIds.h"

namespace va5 {

CDetailedInfo::CDetailedInfo(const CglobalFile& tables, QWidget* parent) : COperationPanel(ids::detailed_info::kLayout, ReplyDetailedInfo, parent) { (void)tables; }

void CDetailedInfo::Show(bool visible) { setVisible(visible); }

}  // namespace va5
