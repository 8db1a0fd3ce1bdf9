#include "gui/config/FileProperty2.h"

#include "lang/ControlIds.h"

namespace va5 {

namespace {

namespace p2 = ids::config_page2;
using Kind = ConfigEditorKind;
using Row = session::ConfigRow;
using V = ConfigurationValues;

ConfigPageSpec Page2Spec() {
  ConfigPageSpec spec;
  spec.layout = p2::kLayout;
  spec.pageNumber = 2;
  spec.buttons = {p2::kExitButton,         p2::kPageButton,           p2::kReadFileButton,
                  p2::kWriteFileButton,    p2::kUploadButton,         p2::kDownloadButton,
                  p2::kCompareFileButton,  p2::kCopyAllToFileButton,  p2::kCopyAllToDeviceButton,
                  p2::kCompareDeviceButton};
  spec.decorations = {p2::kPropertiesHeading, p2::kFileHeading,  p2::kDeviceHeading,
                      p2::kPropertiesStrip,   p2::kFileStrip,    p2::kDeviceStrip,
                      p2::kPageNumber};
  spec.rows = {
      {{{p2::kTerminalUnitName, p2::kTerminalUnitFile, p2::kTerminalUnitDevice,
         &V::terminalUnit}},
       {{p2::kTerminalUnitFileChange, p2::kTerminalUnitDeviceChange, Kind::TerminalUnit}},
       p2::kTerminalUnitToFile, p2::kTerminalUnitToDevice, {Row::TerminalUnit}},
      {{{p2::kCjcModeName, p2::kCjcModeFile, p2::kCjcModeDevice, &V::cjcMode}},
       {{p2::kCjcModeFileChange, p2::kCjcModeDeviceChange, Kind::CjcMode}},
       p2::kCjcModeToFile, p2::kCjcModeToDevice, {Row::CjcMode}},
      {{{p2::kSerialNumberName, p2::kSerialNumberFile, p2::kSerialNumberDevice,
         &V::sensorSerialNumber}},
       {{p2::kSerialNumberFileChange, p2::kSerialNumberDeviceChange, Kind::SerialNumber}},
       p2::kSerialNumberToFile, p2::kSerialNumberToDevice, {Row::SerialNumber}},
      {{{p2::kFinalAssemblyName, p2::kFinalAssemblyFile, p2::kFinalAssemblyDevice,
         &V::finalAssemblyNumber}},
       {{p2::kFinalAssemblyFileChange, p2::kFinalAssemblyDeviceChange, Kind::FinalAssembly}},
       p2::kFinalAssemblyToFile, p2::kFinalAssemblyToDevice, {Row::FinalAssembly}},
  };
  return spec;
}

}  // namespace

CFileProperty2::CFileProperty2(CConfigEditor& editor, QWidget* parent)
    : CConfigPage(editor, Page2Spec(), parent) {}

}  // namespace va5
