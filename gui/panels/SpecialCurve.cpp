#include "gui/panels/SpecialCurve.h"

#include "comm/RequestTypes.h"
#include "lang/ControlIds.h"

namespace va5 {

namespace {

constexpr TableEditorTexts kTexts{
    .title = "Special Curve",
    .heading = "Special Curve Table Contents",
    .minimumCaption = "Minimum Value",
    .maximumCaption = "Maximum Value",
    .unit = "%",
    .sizeNote = "Max Size\n128",
    .graphCaption = "Display graph of Special Curve",
    .closeCaption = "Close Special Curve",
    .readProgress = "Custom_SC_Upload",
    .writeProgress = "Custom_SC_Download",
    .confirmWrite = "Confr_Download_Linearization",
    .graphPrefix = "SC",
};

}  // namespace

CSpecialCurve::CSpecialCurve(QWidget* parent)
    : CTableEditor(TableKind::Curve, ids::special_curve::kLayout, ReplySpecialCurve, kTexts,
                   parent) {}

}  // namespace va5
