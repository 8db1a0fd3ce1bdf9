#include "gui/panels/CustomRTD.h"

#include <utility>

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

CCustomRTD::CCustomRTD(std::shared_ptr<session::TableCopyOrigin> origin, QWidget* parent)
    : CTableEditor(TableKind::Rtd, ids::custom_rtd::kLayout, ReplyCustomRtd, kTexts,
                   std::move(origin), parent) {}

}  // namespace va5
