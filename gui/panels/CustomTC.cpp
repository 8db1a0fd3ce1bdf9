#include "gui/panels/CustomTC.h"

#include <utility>

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

CCustomTC::CCustomTC(std::shared_ptr<session::TableCopyOrigin> origin, QWidget* parent)
    : CTableEditor(TableKind::Tc, ids::custom_tc::kLayout, ReplyCustomTc, kTexts,
                   std::move(origin), parent) {}

}  // namespace va5
