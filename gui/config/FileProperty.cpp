#include "gui/config/FileProperty.h"

#include "lang/ControlIds.h"

namespace va5 {

namespace {

namespace p1 = ids::config_page1;
using Kind = ConfigEditorKind;
using Row = session::ConfigRow;
using V = ConfigurationValues;

ConfigPageSpec Page1Spec() {
  ConfigPageSpec spec;
  spec.layout = p1::kLayout;
  spec.pageNumber = 1;
  spec.buttons = {p1::kExitButton,         p1::kPageButton,           p1::kReadFileButton,
                  p1::kWriteFileButton,    p1::kUploadButton,         p1::kDownloadButton,
                  p1::kCompareFileButton,  p1::kCopyAllToFileButton,  p1::kCopyAllToDeviceButton,
                  p1::kCompareDeviceButton};
  spec.decorations = {p1::kPropertiesHeading, p1::kFileHeading,  p1::kDeviceHeading,
                      p1::kPropertiesStrip,   p1::kFileStrip,    p1::kDeviceStrip,
                      p1::kPageNumber};
  spec.rows = {
      {{{p1::kTagName, p1::kTagFile, p1::kTagDevice, &V::tag}},
       {{p1::kTagFileChange, p1::kTagDeviceChange, Kind::Tag}},
       p1::kTagToFile, p1::kTagToDevice, {Row::TagGroup}},
      {{{p1::kDescriptorName, p1::kDescriptorFile, p1::kDescriptorDevice, &V::descriptor}},
       {{p1::kDescriptorFileChange, p1::kDescriptorDeviceChange, Kind::Descriptor}},
       p1::kDescriptorToFile, p1::kDescriptorToDevice, {Row::TagGroup}},
      {{{p1::kDateName, p1::kDateFile, p1::kDateDevice, &V::date}},
       {{p1::kDateFileChange, p1::kDateDeviceChange, Kind::Date}},
       p1::kDateToFile, p1::kDateToDevice, {Row::TagGroup}},
      {{{p1::kMessageName, p1::kMessageFile, p1::kMessageDevice, &V::message, 0, 0, false,
         true}},
       {{p1::kMessageFileChange, p1::kMessageDeviceChange, Kind::Message}},
       p1::kMessageToFile, p1::kMessageToDevice, {Row::Message}},
      {{{p1::kDeviceIdName, p1::kDeviceIdFile, p1::kDeviceIdDevice, &V::deviceIdentification}},
       {{p1::kDeviceIdFileChange, p1::kDeviceIdDeviceChange, Kind::None}},
       p1::kDeviceIdToFile, p1::kDeviceIdToDevice, {}, false},
      {{{p1::kSensorTypeName, p1::kSensorTypeFile, p1::kSensorTypeDevice, &V::sensorType},
        {p1::kSensorWiresName, p1::kSensorWiresFile, p1::kSensorWiresDevice, &V::sensorWires}},
       {{p1::kSensorFileChange, p1::kSensorDeviceChange, Kind::Sensor, 0, 2}},
       p1::kSensorToFile, p1::kSensorToDevice, {Row::Sensor}},
      {{{p1::kPvUnitName, p1::kPvUnitFile, p1::kPvUnitDevice, &V::pvUnit},
        {p1::kUpperRangeName, p1::kUpperRangeFile, p1::kUpperRangeDevice, &V::upperRange,
         p1::kUpperRangeUnitFile, p1::kUpperRangeUnitDevice, true},
        {p1::kLowerRangeName, p1::kLowerRangeFile, p1::kLowerRangeDevice, &V::lowerRange,
         p1::kLowerRangeUnitFile, p1::kLowerRangeUnitDevice, true}},
       {{p1::kPvUnitFileChange, p1::kPvUnitDeviceChange, Kind::PvUnit, 0, 1},
        {p1::kRangeFileChange, p1::kRangeDeviceChange, Kind::Range, 1, 2}},
       p1::kPvToFile, p1::kPvToDevice, {Row::PvUnit, Row::Range}},
      {{{p1::kDampingName, p1::kDampingFile, p1::kDampingDevice, &V::damping,
         p1::kDampingUnitFile, p1::kDampingUnitDevice}},
       {{p1::kDampingFileChange, p1::kDampingDeviceChange, Kind::Damping}},
       p1::kDampingToFile, p1::kDampingToDevice, {Row::Damping}},
      {{{p1::kTransferFunctionName, p1::kTransferFunctionFile, p1::kTransferFunctionDevice,
         &V::transferFunction}},
       {{p1::kTransferFunctionFileChange, p1::kTransferFunctionDeviceChange,
         Kind::TransferFunction}},
       p1::kTransferFunctionToFile, p1::kTransferFunctionToDevice,
       {Row::TransferFunction}},
      {{{p1::kBurnoutName, p1::kBurnoutFile, p1::kBurnoutDevice, &V::burnout}},
       {{p1::kBurnoutFileChange, p1::kBurnoutDeviceChange, Kind::Burnout}},
       p1::kBurnoutToFile, p1::kBurnoutToDevice, {Row::Burnout}},
  };
  return spec;
}

}  // namespace

CFileProperty::CFileProperty(CConfigEditor& editor, QWidget* parent)
    : CConfigPage(editor, Page1Spec(), parent) {}

}  // namespace va5
