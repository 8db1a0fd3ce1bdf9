#include "gui/panels/CustomRTD.h"

#include "comm/RequestTypes.h"
#include "lang/ControlIds.h"

namespace va5 {

namespace {

constexpr TableEditorTexts kTexts{
    .title = "Custom RTD",
    .heading = "Custom RTD Table Contents",
    .minimumCaption = "Min. Temperature",
    .maximumCaption = "Max. Temperature",
    .unit = "degC",
    .sizeNote = "Max Size\n500",
    .graphCaption = "Display graph of Custom RTD",
    .closeCaption = "Close Custom RTD",
    .readProgress = "Custom_RTD_Upload",
    .writeProgress = "Custom_RTD_Download",
    .confirmWrite = "Confr_Download_CustomRTD",
    .graphPrefix = "RTD",
};

}  // namespace

CCustomRTD::CCustomRTD(QWidget* parent)
    : CTableEditor(TableKind::Rtd, ids::custom_rtd::kLayout, ReplyCustomRtd, kTexts, parent) {}

}  // namespace va5
