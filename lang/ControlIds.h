#pragma once

// Dialog layout and control identifiers of the localised windows.
//
// A language file (resources/*.lng) addresses a caption by these two numbers:
// <gui name="LAYOUT"><text name="CONTROL">caption</text></gui>, where control 0 stands for the
// window's own caption. The comment beside each control gives its built-in (English) caption;
// "no caption" marks a control whose text the program sets (values, lists, graphs, lamps that
// are driven by colour only). Identifiers are unique within a layout; the same number may mean
// different controls in different layouts (1078 is "Cancel" in the entry dialogs and the Date
// "<" button on the first configuration page).
//
// Qt-free: included by the core, the GUI and the tests.

namespace va5::ids {

// Control identifier 0 in a language file: the window's own caption.
inline constexpr int kWindowCaption = 0;

// Main window. It has no controls of its own; its title is made from the product name and
// version by the program, so the language file gives it no caption. Its one text is the About
// command of the window's menu.
namespace main_window {
inline constexpr int kLayout = 102;
inline constexpr int kAboutMenuCommand = 16;  // "&About VA5VIVI..." (a menu command, not a control)
}  // namespace main_window

// Detailed information panel: identity and tag group of the device.
namespace detailed_info {
inline constexpr int kLayout = 130;
inline constexpr int kTitle = 1450;                   // "Detailed Information"
inline constexpr int kManufacturerLabel = 1451;       // "Manufacture"
inline constexpr int kManufacturerValue = 1452;       // no caption
inline constexpr int kDeviceTypeLabel = 1453;         // "Device Type"
inline constexpr int kDeviceTypeValue = 1454;         // no caption
inline constexpr int kDeviceIdLabel = 1455;           // "Device ID"
inline constexpr int kDeviceIdValue = 1456;           // no caption
inline constexpr int kPreamblesLabel = 1457;          // "Number of preambles"
inline constexpr int kPreamblesValue = 1458;          // no caption
inline constexpr int kUniversalRevisionLabel = 1459;  // "Universal cmd revision"
inline constexpr int kUniversalRevisionValue = 1460;  // no caption
inline constexpr int kSpecificRevisionLabel = 1461;   // "Transmitter-spec revision"
inline constexpr int kSpecificRevisionValue = 1462;   // no caption
inline constexpr int kHardwareRevisionLabel = 1463;   // "Hardware Revision"
inline constexpr int kHardwareRevisionValue = 1464;   // no caption
inline constexpr int kSoftwareRevisionLabel = 1465;   // "Software Revision"
inline constexpr int kSoftwareRevisionValue = 1466;   // no caption
inline constexpr int kFinalAssemblyButton = 1467;     // "Final Assembly No"
inline constexpr int kFinalAssemblyValue = 1468;      // no caption
inline constexpr int kTagButton = 1469;               // "Tag No"
inline constexpr int kTagValue = 1470;                // no caption
inline constexpr int kDescriptorLabel = 1471;         // "Descriptor"
inline constexpr int kDescriptorValue = 1472;         // no caption
inline constexpr int kDateLabel = 1473;               // "Date"
inline constexpr int kDateValue = 1474;               // no caption
inline constexpr int kMessageButton = 1475;           // "Message"
inline constexpr int kMessageValue = 1476;            // no caption (the line below the button)
inline constexpr int kCloseButton = 1477;             // "Close Detailed Information"
}  // namespace detailed_info

// Analog output panel: fixed output current (loop test).
namespace analog_output {
inline constexpr int kLayout = 131;
inline constexpr int kTitle = 1480;                // "Analog Output"
inline constexpr int kSetFromPvButton = 1481;      // "Set AO for current PV output"
inline constexpr int kSetSpecifiedButton = 1482;   // "Set AO for specified value"
inline constexpr int kExitFixedModeButton = 1483;  // "Exit Fixed AO Mode"
inline constexpr int kCloseButton = 1484;          // "Close Analog Output"
}  // namespace analog_output

// DAC trim panel: output trim at 4 mA and 20 mA.
namespace dac_trim {
inline constexpr int kLayout = 133;
inline constexpr int kTitle = 1490;                // "Trim DAC"
inline constexpr int kLowerTrimModeButton = 1491;  // "Enter Lower Range Trim Mode"
inline constexpr int kUpperTrimModeButton = 1492;  // "Enter Upper Range Trim Mode"
inline constexpr int kTrimMeasuredButton = 1493;   // "Trim by actual measured value"
inline constexpr int kClearTrimButton = 1494;      // "Clear Trim DAC Data"
inline constexpr int kCloseButton = 1495;          // "Close Trim DAC"
}  // namespace dac_trim

// Sensor calibration panel: sensor zero and span trim.
namespace sensor_calib {
inline constexpr int kLayout = 134;
inline constexpr int kTitle = 1500;            // "Sensor Calibration"
inline constexpr int kPvLabel = 1501;          // "PV"
inline constexpr int kPvValue = 1502;          // no caption
inline constexpr int kPvUnit = 1503;           // no caption (PV unit name)
inline constexpr int kZeroPointLabel = 1504;   // "Zero Point"
inline constexpr int kZeroPointValue = 1505;   // no caption
inline constexpr int kZeroValueLabel = 1506;   // "Zero Value"
inline constexpr int kZeroValueValue = 1507;   // no caption
inline constexpr int kGainLabel = 1508;        // "Gain"
inline constexpr int kGainValue = 1509;        // no caption
inline constexpr int kReadDataButton = 1510;   // "Read Calibration Data"
inline constexpr int kClearDataButton = 1511;  // "Clear Sensor Calibration Data"
inline constexpr int kZeroButton = 1512;       // "Zero Calibration"
inline constexpr int kSpanButton = 1513;       // "Span Calibration"
inline constexpr int kCloseButton = 1514;      // "Close Sensor Calibration"
}  // namespace sensor_calib

// Diagnostics panel: self test, configuration-changed flag, additional status lamps.
namespace diagnostics {
inline constexpr int kLayout = 136;
inline constexpr int kTitle = 1520;                    // "Diagnostics"
inline constexpr int kAdditionalStatusHeading = 1521;  // "Additional Status"
// Lamps: coloured labels without caption, one beside each status text below.
inline constexpr int kBasicSumLamp = 1522;
inline constexpr int kCustomTcSumLamp = 1523;
inline constexpr int kCustomRtdSumLamp = 1524;
inline constexpr int kSpecialCurveSumLamp = 1525;
inline constexpr int kSummarySumLamp = 1526;
inline constexpr int kHardwareLamp = 1527;
inline constexpr int kBasicSumLabel = 1528;          // "EEPROM SUM Error (Basic Part)"
inline constexpr int kCustomTcSumLabel = 1529;       // "EEPROM SUM Error (Custom TC Part)"
inline constexpr int kCustomRtdSumLabel = 1530;      // "EEPROM SUM Error (Custom RTD Part)"
inline constexpr int kSpecialCurveSumLabel = 1531;   // "EEPROM SUM Error (Special Curve Part)"
inline constexpr int kSummarySumLabel = 1532;        // "EEPROM SUM Error (Summary)"
inline constexpr int kHardwareLabel = 1533;          // "EEPROM Hardware Error"
inline constexpr int kExecuteButton = 1534;          // "Execute Diagnostics"
inline constexpr int kResetConfigFlagButton = 1535;  // "Reset Configuration Change Flag"
inline constexpr int kReadStatusButton = 1536;       // "Start to display Additional Status"
inline constexpr int kCloseButton = 1537;            // "Close Diagnostics"
}  // namespace diagnostics

// The three table editors share one set of controls; the captions differ per layout and are
// given as RTD / TC / special curve. The special curve editor has no step row.
namespace table_editor {
inline constexpr int kTitle = 1540;              // "Custom RTD" / "Custom TC" / "Special Curve"
inline constexpr int kContentsHeading = 1541;    // "Custom RTD Table Contents" / "Custom TC Table
                                                 // Contents" / "Special Curve Table Contents"
inline constexpr int kStatusLabel = 1542;        // "Status"
inline constexpr int kStatusValue = 1543;        // no caption ("Configured" / "Non configured")
inline constexpr int kMinimumLabel = 1544;       // "Min. Temperature" / "Minimum Value"
inline constexpr int kMinimumValue = 1545;       // no caption
inline constexpr int kMinimumUnit = 1546;        // no caption: "degC" / "%" (unit names)
inline constexpr int kMaximumLabel = 1547;       // "Max. Temperature" / "Maximum Value"
inline constexpr int kMaximumValue = 1548;       // no caption
inline constexpr int kMaximumUnit = 1549;        // no caption: "degC" / "%"
inline constexpr int kStepLabel = 1550;          // "Temperature Step" (RTD and TC only)
inline constexpr int kStepValue = 1551;          // no caption
inline constexpr int kStepUnit = 1552;           // no caption: "degC"
inline constexpr int kSizeLabel = 1553;          // "Table Size"
inline constexpr int kSizeValue = 1554;          // no caption
inline constexpr int kSizeNote = 1555;           // "Max Size" and the maximum on two lines
inline constexpr int kReadDeviceButton = 1556;   // "Read table from Device"
inline constexpr int kWriteDeviceButton = 1557;  // "Write table to Device"
inline constexpr int kWriteFileButton = 1558;    // "Write table to File"
inline constexpr int kReadFileButton = 1559;     // "Read table from File"
inline constexpr int kGraphButton = 1560;  // "Display graph of Custom RTD" / "... of Custom TC" /
                                           // "... of Special Curve"
inline constexpr int kCloseButton = 1561;  // "Close Custom RTD" / "Close Custom TC" /
                                           // "Close Special Curve"
}  // namespace table_editor

// custom_tc::kReadDeviceButton and the like name the shared controls above.
namespace custom_tc {
inline constexpr int kLayout = 137;
using namespace table_editor;
}  // namespace custom_tc

namespace custom_rtd {
inline constexpr int kLayout = 138;
using namespace table_editor;
}  // namespace custom_rtd

namespace special_curve {
inline constexpr int kLayout = 139;
using namespace table_editor;
}  // namespace special_curve

// Trend graph of one live signal.
namespace trend_graph {
inline constexpr int kLayout = 140;
inline constexpr int kTitle = 1273;        // "Trend Graph"
inline constexpr int kPlot = 1323;         // no caption (line-graph control)
inline constexpr int kStartButton = 1172;  // "Start"
inline constexpr int kStopButton = 1173;   // "Stop"
inline constexpr int kCloseButton = 1174;  // "Close Trend Graph"
inline constexpr int kSaveCsvButton = 1175;      // "Save CSV..."
inline constexpr int kSavePictureButton = 1176;  // "Save Picture..."
}  // namespace trend_graph

// Sensor information panel: caption buttons (or statics) on the left, values on the right.
namespace sensor_info {
inline constexpr int kLayout = 141;
inline constexpr int kTitle = 1283;                   // "Sensor Information"
inline constexpr int kSensorTypeButton = 1000;        // "Sensor Type"
inline constexpr int kSensorTypeValue = 1003;         // no caption
inline constexpr int kSerialNumberButton = 1430;      // "Serial No."
inline constexpr int kSerialNumberValue = 1063;       // no caption
inline constexpr int kSensorWireLabel = 1004;         // "Sensor Wire"
inline constexpr int kSensorWireValue = 1005;         // no caption
inline constexpr int kPvUnitButton = 1006;            // "PV Unit"
inline constexpr int kPvUnitValue = 1007;             // no caption
inline constexpr int kPvRangeButton = 1008;           // "PV Range"
inline constexpr int kUpperRangeLabel = 1009;         // "Upper"
inline constexpr int kLowerRangeLabel = 1010;         // "Lower"
inline constexpr int kUpperRangeValue = 1209;         // no caption
inline constexpr int kLowerRangeValue = 1011;         // no caption
inline constexpr int kUpperLimitLabel = 1012;         // "PV Upper Limit"
inline constexpr int kLowerLimitLabel = 1013;         // "PV Lower Limit"
inline constexpr int kUpperLimitValue = 1014;         // no caption
inline constexpr int kLowerLimitValue = 1015;         // no caption
inline constexpr int kMinimumSpanLabel = 1016;        // "PV Minimum Span"
inline constexpr int kMinimumSpanValue = 1017;        // no caption
inline constexpr int kDampingButton = 1020;           // "PV Damping"
inline constexpr int kDampingValue = 1021;            // no caption
inline constexpr int kBurnoutButton = 1022;           // "Burnout Detection"
inline constexpr int kBurnoutValue = 1023;            // no caption
inline constexpr int kCjcModeButton = 1024;           // "CJC Mode"
inline constexpr int kCjcModeValue = 1025;            // no caption
inline constexpr int kTransferFunctionButton = 1026;  // "Transfer Function"
inline constexpr int kTransferFunctionValue = 1027;   // no caption
inline constexpr int kTerminalUnitButton = 1436;      // "Term Temp Unit"
inline constexpr int kTerminalUnitValue = 1054;       // no caption
}  // namespace sensor_info

// Live display: four bar gauges with their units, scale boxes and graph buttons.
namespace live_display {
inline constexpr int kLayout = 142;
inline constexpr int kPvCaption = 1570;            // "PV"
inline constexpr int kPvUnit = 1571;               // no caption (e.g. "(degC)")
inline constexpr int kPvGauge = 1572;              // no caption
inline constexpr int kPercentCaption = 1573;       // "PV %"
inline constexpr int kPercentUnit = 1574;          // no caption ("%")
inline constexpr int kPercentGauge = 1575;         // no caption
inline constexpr int kPercentMaxEdit = 1576;       // no caption (scale box, default 100)
inline constexpr int kPercentMinEdit = 1577;       // no caption (scale box, default 0)
inline constexpr int kTerminalCaption = 1578;      // "Term."
inline constexpr int kTerminalUnit = 1579;         // no caption
inline constexpr int kTerminalGauge = 1580;        // no caption
inline constexpr int kTerminalMaxEdit = 1581;      // no caption (default 100)
inline constexpr int kTerminalMinEdit = 1582;      // no caption (default -40)
inline constexpr int kAoCaption = 1583;            // "AO"
inline constexpr int kAoUnit = 1584;               // no caption ("mA")
inline constexpr int kAoGauge = 1585;              // no caption
inline constexpr int kAoMaxEdit = 1586;            // no caption (default 20)
inline constexpr int kAoMinEdit = 1587;            // no caption (default 4)
inline constexpr int kPvGraphButton = 1588;        // "PV Graph"
inline constexpr int kPercentGraphButton = 1589;   // "PV % Graph"
inline constexpr int kTerminalGraphButton = 1590;  // "Term Graph"
inline constexpr int kAoGraphButton = 1591;        // "AO Graph"
}  // namespace live_display

// Function keys: a column of buttons under a heading.
namespace function_keys {
inline constexpr int kLayout = 143;
inline constexpr int kHeading = 1600;               // "Functions"
inline constexpr int kConnectButton = 1037;         // "Connect"
inline constexpr int kDiagnosticsButton = 1045;     // "Diagnostics"
inline constexpr int kDeviceInfoButton = 1039;      // "Device Info"
inline constexpr int kAnalogOutputButton = 1040;    // "Analog Output"
inline constexpr int kTrimDacButton = 1042;         // "Trim DAC"
inline constexpr int kSensorCalButton = 1044;       // "Sensor Cal"
inline constexpr int kCustomTcButton = 1047;        // "Custom TC"
inline constexpr int kCustomRtdButton = 1046;       // "Custom RTD"
inline constexpr int kSpecialCurveButton = 1048;    // "Special Curve"
inline constexpr int kPollingAddressButton = 1055;  // "Polling Address"
inline constexpr int kFileButton = 1049;            // "File"
inline constexpr int kLanguageButton = 1050;        // "Language"
inline constexpr int kExitButton = 1196;            // "Exit"
}  // namespace function_keys

// Configuration file editor, page 1: device information and PV input.
// Per row: file value, device value, file "CHG", device "CHG", "<" (device to file),
// ">" (file to device).
namespace config_page1 {
inline constexpr int kLayout = 144;
inline constexpr int kPropertiesHeading = 1610;  // "Properties"
inline constexpr int kFileHeading = 1611;        // "File Configuration"
inline constexpr int kDeviceHeading = 1612;      // "Device Configuration"
inline constexpr int kPropertiesStrip = 1613;    // no caption (coloured strip under a heading)
inline constexpr int kFileStrip = 1614;          // no caption
inline constexpr int kDeviceStrip = 1615;        // no caption
inline constexpr int kPageNumber = 1616;         // no caption ("1")
// Row names.
inline constexpr int kTagName = 1617;               // "Tag No."
inline constexpr int kDescriptorName = 1618;        // "Descriptor"
inline constexpr int kDateName = 1619;              // "Date"
inline constexpr int kMessageName = 1620;           // "Message"
inline constexpr int kDeviceIdName = 1621;          // "Device Identification"
inline constexpr int kSensorTypeName = 1622;        // "Sensor Type"
inline constexpr int kSensorWiresName = 1623;       // "Sensor Wires"
inline constexpr int kPvUnitName = 1624;            // "PV Unit"
inline constexpr int kUpperRangeName = 1625;        // "PV Upper Range"
inline constexpr int kLowerRangeName = 1626;        // "PV Lower Range"
inline constexpr int kDampingName = 1627;           // "PV Damping"
inline constexpr int kTransferFunctionName = 1628;  // "Transfer Function"
inline constexpr int kBurnoutName = 1629;           // "Burnout Detection"
// Buttons along the top.
inline constexpr int kExitButton = 1196;             // "EXIT"
inline constexpr int kPageButton = 1197;             // "Page"
inline constexpr int kReadFileButton = 1198;         // "Read File"
inline constexpr int kWriteFileButton = 1199;        // "Write File"
inline constexpr int kUploadButton = 1038;           // "Upload"
inline constexpr int kDownloadButton = 1203;         // "Download"
inline constexpr int kCompareFileButton = 1205;      // "Compare" (under the file column)
inline constexpr int kCopyAllToFileButton = 1200;    // "All Copy <<"
inline constexpr int kCopyAllToDeviceButton = 1201;  // ">> All Copy"
inline constexpr int kCompareDeviceButton = 1204;    // "Compare" (under the device column)
// Tag No.
inline constexpr int kTagFile = 1231;
inline constexpr int kTagDevice = 1246;
inline constexpr int kTagFileChange = 1260;    // "CHG"
inline constexpr int kTagDeviceChange = 1007;  // "CHG"
inline constexpr int kTagToFile = 1075;        // "<"
inline constexpr int kTagToDevice = 1086;      // ">"
// Descriptor
inline constexpr int kDescriptorFile = 1230;
inline constexpr int kDescriptorDevice = 1245;
inline constexpr int kDescriptorFileChange = 1040;    // "CHG"
inline constexpr int kDescriptorDeviceChange = 1041;  // "CHG"
inline constexpr int kDescriptorToFile = 1074;        // "<"
inline constexpr int kDescriptorToDevice = 1085;      // ">"
// Date
inline constexpr int kDateFile = 1243;
inline constexpr int kDateDevice = 1258;
inline constexpr int kDateFileChange = 1066;    // "CHG"
inline constexpr int kDateDeviceChange = 1097;  // "CHG"
inline constexpr int kDateToFile = 1078;        // "<"
inline constexpr int kDateToDevice = 1089;      // ">"
// Message (two lines high)
inline constexpr int kMessageFile = 1242;
inline constexpr int kMessageDevice = 1257;
inline constexpr int kMessageFileChange = 1064;    // "CHG"
inline constexpr int kMessageDeviceChange = 1105;  // "CHG"
inline constexpr int kMessageToFile = 1084;        // "<"
inline constexpr int kMessageToDevice = 1095;      // ">"
// Device Identification (only "<" is enabled)
inline constexpr int kDeviceIdFile = 1244;
inline constexpr int kDeviceIdDevice = 1259;
inline constexpr int kDeviceIdFileChange = 1106;    // "CHG" (disabled)
inline constexpr int kDeviceIdDeviceChange = 1107;  // "CHG" (disabled)
inline constexpr int kDeviceIdToFile = 1108;        // "<"
inline constexpr int kDeviceIdToDevice = 1109;      // ">" (disabled)
// Sensor Type and Sensor Wires
inline constexpr int kSensorTypeFile = 1232;
inline constexpr int kSensorWiresFile = 1233;
inline constexpr int kSensorTypeDevice = 1247;
inline constexpr int kSensorWiresDevice = 1248;
inline constexpr int kSensorFileChange = 1065;    // "CHG"
inline constexpr int kSensorDeviceChange = 1096;  // "CHG"
inline constexpr int kSensorToFile = 1076;        // "<"
inline constexpr int kSensorToDevice = 1087;      // ">"
// PV Unit, PV Upper Range, PV Lower Range, with a unit label beside each range
inline constexpr int kPvUnitFile = 1234;
inline constexpr int kUpperRangeFile = 1235;
inline constexpr int kLowerRangeFile = 1236;
inline constexpr int kUpperRangeUnitFile = 1292;
inline constexpr int kLowerRangeUnitFile = 1293;
inline constexpr int kPvUnitDevice = 1249;
inline constexpr int kUpperRangeDevice = 1250;
inline constexpr int kLowerRangeDevice = 1251;
inline constexpr int kUpperRangeUnitDevice = 1294;
inline constexpr int kLowerRangeUnitDevice = 1295;
inline constexpr int kPvUnitFileChange = 1067;    // "CHG"
inline constexpr int kRangeFileChange = 1068;     // "CHG"
inline constexpr int kPvUnitDeviceChange = 1098;  // "CHG"
inline constexpr int kRangeDeviceChange = 1099;   // "CHG"
inline constexpr int kPvToFile = 1077;            // "<"
inline constexpr int kPvToDevice = 1088;          // ">"
// PV Damping, with its unit label
inline constexpr int kDampingFile = 1237;
inline constexpr int kDampingUnitFile = 1300;  // "Sec" (written into configuration files)
inline constexpr int kDampingDevice = 1252;
inline constexpr int kDampingUnitDevice = 1301;    // "Sec"
inline constexpr int kDampingFileChange = 1069;    // "CHG"
inline constexpr int kDampingDeviceChange = 1100;  // "CHG"
inline constexpr int kDampingToFile = 1079;        // "<"
inline constexpr int kDampingToDevice = 1090;      // ">"
// Transfer Function
inline constexpr int kTransferFunctionFile = 1238;
inline constexpr int kTransferFunctionDevice = 1253;
inline constexpr int kTransferFunctionFileChange = 1070;    // "CHG"
inline constexpr int kTransferFunctionDeviceChange = 1101;  // "CHG"
inline constexpr int kTransferFunctionToFile = 1080;        // "<"
inline constexpr int kTransferFunctionToDevice = 1091;      // ">"
// Burnout Detection
inline constexpr int kBurnoutFile = 1239;
inline constexpr int kBurnoutDevice = 1254;
inline constexpr int kBurnoutFileChange = 1071;    // "CHG"
inline constexpr int kBurnoutDeviceChange = 1102;  // "CHG"
inline constexpr int kBurnoutToFile = 1081;        // "<"
inline constexpr int kBurnoutToDevice = 1092;      // ">"
}  // namespace config_page1

// Configuration file editor, page 2: terminal temperature, CJC, serial and assembly numbers.
namespace config_page2 {
inline constexpr int kLayout = 165;
inline constexpr int kPropertiesHeading = 1610;  // "Properties"
inline constexpr int kFileHeading = 1611;        // "File Configuration"
inline constexpr int kDeviceHeading = 1612;      // "Device Configuration"
inline constexpr int kPropertiesStrip = 1613;    // no caption
inline constexpr int kFileStrip = 1614;          // no caption
inline constexpr int kDeviceStrip = 1615;        // no caption
inline constexpr int kPageNumber = 1616;         // no caption ("2")
// Row names.
inline constexpr int kTerminalUnitName = 1630;   // "Term Temperature Unit"
inline constexpr int kCjcModeName = 1631;        // "CJC Mode"
inline constexpr int kSerialNumberName = 1632;   // "Sensor Serial No"
inline constexpr int kFinalAssemblyName = 1633;  // "Final Assembly Number"
// Buttons along the top.
inline constexpr int kExitButton = 1342;             // "EXIT"
inline constexpr int kPageButton = 1343;             // "Page"
inline constexpr int kReadFileButton = 1344;         // "Read File"
inline constexpr int kWriteFileButton = 1345;        // "Write File"
inline constexpr int kUploadButton = 1346;           // "Upload"
inline constexpr int kDownloadButton = 1347;         // "Download"
inline constexpr int kCompareFileButton = 1348;      // "Compare" (under the file column)
inline constexpr int kCopyAllToFileButton = 1349;    // "All Copy <<"
inline constexpr int kCopyAllToDeviceButton = 1350;  // ">> All Copy"
inline constexpr int kCompareDeviceButton = 1351;    // "Compare" (under the device column)
// Term Temperature Unit
inline constexpr int kTerminalUnitFile = 1354;
inline constexpr int kTerminalUnitDevice = 1357;
inline constexpr int kTerminalUnitFileChange = 1353;    // "CHG"
inline constexpr int kTerminalUnitDeviceChange = 1358;  // "CHG"
inline constexpr int kTerminalUnitToFile = 1355;        // "<"
inline constexpr int kTerminalUnitToDevice = 1356;      // ">"
// CJC Mode
inline constexpr int kCjcModeFile = 1361;
inline constexpr int kCjcModeDevice = 1364;
inline constexpr int kCjcModeFileChange = 1360;    // "CHG"
inline constexpr int kCjcModeDeviceChange = 1365;  // "CHG"
inline constexpr int kCjcModeToFile = 1362;        // "<"
inline constexpr int kCjcModeToDevice = 1363;      // ">"
// Sensor Serial No
inline constexpr int kSerialNumberFile = 1241;
inline constexpr int kSerialNumberDevice = 1256;
inline constexpr int kSerialNumberFileChange = 1073;    // "CHG"
inline constexpr int kSerialNumberDeviceChange = 1389;  // "CHG"
inline constexpr int kSerialNumberToFile = 1083;        // "<"
inline constexpr int kSerialNumberToDevice = 1094;      // ">"
// Final Assembly Number
inline constexpr int kFinalAssemblyFile = 1245;
inline constexpr int kFinalAssemblyDevice = 1260;
inline constexpr int kFinalAssemblyFileChange = 1074;    // "CHG"
inline constexpr int kFinalAssemblyDeviceChange = 1390;  // "CHG"
inline constexpr int kFinalAssemblyToFile = 1085;        // "<"
inline constexpr int kFinalAssemblyToDevice = 1096;      // ">"
}  // namespace config_page2

// Selection list dialog. Its caption is the title the caller passes.
namespace list_select {
inline constexpr int kLayout = 145;
inline constexpr int kList = 1198;          // no caption
inline constexpr int kOkButton = 1199;      // "OK"
inline constexpr int kCancelButton = 1078;  // "Cancel"
}  // namespace list_select

// Status strip across the top of the main window.
namespace status_strip {
inline constexpr int kLayout = 147;
inline constexpr int kBannerModel = 1640;        // "TQ5R"
inline constexpr int kBannerProduct = 1641;      // "Configurator"
inline constexpr int kBannerMonitor = 1642;      // "Monitor"
inline constexpr int kCommStatusLabel = 1643;    // "Comm Status"
inline constexpr int kDeviceStatusLabel = 1644;  // "Device Status"
// Comm Status row.
inline constexpr int kComLamp = 1645;        // "COM" (heartbeat)
inline constexpr int kParityLamp = 1646;     // "PE"
inline constexpr int kOverrunLamp = 1647;    // "OVE"
inline constexpr int kFramingLamp = 1648;    // "FE"
inline constexpr int kCommSpareLamp = 1649;  // no caption (not driven)
inline constexpr int kChecksumLamp = 1650;   // "SME"
inline constexpr int kBufferLamp = 1651;     // "BOE"
inline constexpr int kTimeoutLamp = 1652;    // "TME" (no reply)
// Device Status row.
inline constexpr int kMalfunctionLamp = 1653;       // "MAL"
inline constexpr int kConfigChangedLamp = 1654;     // "CFG"
inline constexpr int kColdStartLamp = 1655;         // "CLD"
inline constexpr int kDeviceSpareLamp = 1656;       // no caption (0x10 is not shown)
inline constexpr int kOutputFixedLamp = 1657;       // "AFX"
inline constexpr int kOutputSaturatedLamp = 1658;   // "AOS"
inline constexpr int kNonPvOutOfLimitsLamp = 1659;  // "NPV"
inline constexpr int kPvOutOfLimitsLamp = 1660;     // "PV"
inline constexpr int kBitmap = 1661;                // no caption (picture on the right)
}  // namespace status_strip

// Text entry dialog. Its caption is the title the caller passes.
namespace text_entry {
inline constexpr int kLayout = 149;
inline constexpr int kPrompt = 1208;        // no caption (the caller's prompt)
inline constexpr int kEdit = 1201;          // no caption
inline constexpr int kOkButton = 1199;      // "OK"
inline constexpr int kCancelButton = 1078;  // "Cancel"
}  // namespace text_entry

// Connect panel.
namespace connect_panel {
inline constexpr int kLayout = 150;
inline constexpr int kTitle = 1670;             // "Device Connection"
inline constexpr int kCloseButton = 1671;       // "Close Device Connection"
inline constexpr int kPortList = 1672;          // no caption (drop-down)
inline constexpr int kConnectButton = 1673;     // "Connect Device"
inline constexpr int kDisconnectButton = 1674;  // "Disconnect Device"
inline constexpr int kPortLabel = 1675;         // "COMM Port"
inline constexpr int kAddressButton = 1676;     // "Device Address"
inline constexpr int kAddressValue = 1677;      // no caption (initially "0")
inline constexpr int kSearchButton = 1678;      // "Search Device"
}  // namespace connect_panel

// Numeric entry dialog. Its caption is the title the caller passes.
namespace numeric_entry {
inline constexpr int kLayout = 153;
inline constexpr int kPrompt = 1208;        // no caption (the caller's prompt)
inline constexpr int kEdit = 1201;          // no caption
inline constexpr int kOkButton = 1199;      // "OK"
inline constexpr int kCancelButton = 1078;  // "Cancel"
}  // namespace numeric_entry

// Upload progress window (not localised: its text is set by the caller).
namespace upload_progress {
inline constexpr int kLayout = 154;
inline constexpr int kMessage = 1264;  // no caption
inline constexpr int kFrame = 1265;    // no caption
inline constexpr int kBar = 1266;      // no caption
inline constexpr int kPercent = 1268;  // no caption
}  // namespace upload_progress

// Table graph window of the three table editors. Title and axis texts are set by the editor.
namespace table_graph {
inline constexpr int kLayout = 159;
inline constexpr int kTitle = 1304;               // no caption (the table name)
inline constexpr int kValueAxisUnit = 1329;       // no caption
inline constexpr int kValueAxisName = 1328;       // no caption
inline constexpr int kValueAxisBar = 1331;        // no caption (bar under the value-axis texts)
inline constexpr int kHorizontalAxisName = 1330;  // no caption
inline constexpr int kPlot = 1308;                // no caption (line-graph control)
inline constexpr int kCloseButton = 1275;         // "Close Graph"
}  // namespace table_graph

// Language panel.
namespace language_panel {
inline constexpr int kLayout = 164;
inline constexpr int kTitle = 1340;         // "Language"
inline constexpr int kChangeButton = 1050;  // "Change"
inline constexpr int kLanguageName = 1341;  // no caption (name of the language in use)
inline constexpr int kCloseButton = 1275;   // "Close Language"
}  // namespace language_panel

// Polling address panel.
namespace polling_address {
inline constexpr int kLayout = 169;
inline constexpr int kTitle = 1680;          // "Polling Address"
inline constexpr int kAddressLabel = 1681;   // "Device Address"
inline constexpr int kAddressValue = 1682;   // no caption
inline constexpr int kPreambleLabel = 1683;  // "Res. Preamble"
inline constexpr int kPreambleValue = 1684;  // no caption
inline constexpr int kWriteButton = 1685;    // "Write Device Address"
inline constexpr int kCloseButton = 1686;    // "Close polling Address"
}  // namespace polling_address

// Device search progress window.
namespace search_progress {
inline constexpr int kLayout = 170;
inline constexpr int kMessage = 1690;       // no caption (the progress text)
inline constexpr int kProgressBar = 1691;   // no caption
inline constexpr int kAddressLabel = 1692;  // "Address"
inline constexpr int kAddressValue = 1693;  // no caption (the address being tried)
}  // namespace search_progress

}  // namespace va5::ids
