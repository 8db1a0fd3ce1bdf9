#include "gui/panels/SensorCalib.h"

#include "comm/RequestTypes.h"
#include "lang/ControlIds.h"

namespace va5 {

CSensorCalib::CSensorCalib(const CglobalFile& tables, QWidget* parent) : COperationPanel(ids::sensor_calib::kLayout, ReplySensorCalib, parent) { (void)tables; }

void CSensorCalib::Show(bool visible) { setVisible(visible); }

}  // namespace va5
