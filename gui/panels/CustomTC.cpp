#include "gui/panels/CustomTC.h"

#include "comm/RequestTypes.h"
#include "lang/ControlIds.h"

namespace va5 {

namespace {

constexpr TableEditorTexts kTexts{
    .title = "Custom TC",
    .heading = "Custom TC Table Contents",
    .minimumCaption = "Min. Temperature",
    .maximumCaption = "Max. Temperature",
    .unit = "degC",
    .sizeNote = "Max Size\n1000",
    .graphCaption = "Display graph of Custom TC",
    .closeCaption = "Close Custom TC",
    .readProgress = "Custom_TC_Upload",
    .writeProgress = "Custom_TC_Download",
    .confirmWrite = "Confr_Download_CustomTC",
    .graphPrefix = "TC",
};

}  // namespace

CCustomTC::CCustomTC(QWidget* parent)
    : CTableEditor(TableKind::Tc, ids::custom_tc::kLayout, ReplyCustomTc, kTexts, parent) {}

}  // namespace va5
