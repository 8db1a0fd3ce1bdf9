// Checks the two shipped language files against what the program looks up: the identifying
// elements, every message key with the number of values its callers pass, and the captions of
// every localised window addressed by the control identifiers of app/ControlIds.h.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "lang/ControlIds.h"

namespace va5 {
namespace {

// A message key and the number of values that the code showing it passes (as texts).
struct MessageKey {
  const char* name;
  int values;
};

struct Section {
  const char* name;
  std::vector<MessageKey> keys;
};

const std::vector<Section>& Sections() {
  static const std::vector<Section> sections = {
      {"UIMsg",
       {
           {"Apllication_Close", 0},
           {"Confr_DAC_Init_Data", 0},
           {"Confr_Download_Changes", 0},
           {"Confr_Download_CustomRTD", 0},
           {"Confr_Download_CustomTC", 0},
           {"Confr_Download_Linearization", 0},
           {"Confr_Download_Same", 0},
           {"Confr_Download_Unread", 0},
           {"Confr_Editor_Disconnect", 0},
           {"Confr_Execute_Diagnostics", 0},
           {"Confr_Loop_Change", 0},
           {"Confr_Output_Return", 1},  // the fixed current in mA
           {"Confr_Loop_Table_Write", 0},
           {"Confr_Reset_SensorCal_Data", 0},
           {"Confr_Search_Address", 2},  // the address found, the next one
           {"Err_CMD", 3},               // command (number and name), response code, meaning
           {"Err_CMD_Bad_Reply", 2},     // command, what was wrong with the answer
           {"Err_CMD_Comm_Error", 2},    // command, the communication errors
           {"Err_COM", 2},               // port name, polling address
           {"Confr_Save_Job", 1},        // the tag of the job's device
           {"Confr_Save_Other_Job", 1},  // the tag of the last job's device
           {"Err_Calibration_Value_Invalid", 0},
           // point, value, point, lower bound, upper bound, unit
           {"Err_CustomRTD_Data_Bound", 6},
           {"Err_CustomTable_Data_Bound", 6},
           // point, value, unit, previous point, previous value, unit
           {"Err_Custom_Table_Data", 6},
           {"Err_Date_Invalid", 0},
           {"Err_Device_Not_Configurable", 1},  // model name
           {"Err_Identify_Refused", 3},         // port name, polling address, the refusal
           {"Err_No_Packed_ASCII", 1},          // the character
           {"Err_Not_Device", 1},               // port name
           // rows written, not confirmed, failed, not reached
           {"Err_Download_Partial", 4},
           {"Err_Num_Inalid_char", 0},
           {"Err_Range_Input", 0},
           {"Err_Range_Limits", 3},  // entry, lower limit, upper limit
           {"Err_Scale_Order", 2},   // minimum, maximum
           {"Err_Span", 2},          // minimum span, unit
           // point, X, previous point, previous X
           {"Err_Special_Table_Data", 4},
           {"Err_Special_Table_Data_Bound_X", 4},  // point, value, lower, upper
           {"Err_Special_Table_Data_Bound_Y", 4},
           {"Err_Special_Table_Not_Defined", 0},
           {"Err_TableSize", 4},            // maximum + 1, type name, maximum, maximum
           {"Err_TableSize_Min", 1},        // points read
           {"Err_TableType", 1},            // kind of table found in the file
           {"Err_Table_Not_Defined", 1},    // "TC" or "RTD"
           {"Err_Tag_Inalid_char", 1},      // the character
           {"Err_Table_End_Not_Confirmed", 1},     // points
           {"Err_Table_Header_Not_Confirmed", 1},  // points
           {"Err_Table_Header_Written", 1},        // points
           {"Err_Table_Partly_Written", 2},        // points written, points
           // points written, points, the point not confirmed
           {"Err_Table_Point_Not_Confirmed", 3},
           {"Err_Tag_Number_overflow", 1},  // maximum length
           {"Err_Temp_Min", 1},             // minimum temperature
           {"Err_Temp_Step", 1},            // step
           {"Err_Trim_Mode_Not_Set", 0},
           {"Err_File_Write", 2},  // file, why
           {"File_Filter", 0},
           {"Message_Box", 0},
           {"RTD_Table_Name", 0},
           {"RTD_Table_X_Name", 0},
           {"RTD_Table_Y_Name", 0},
           {"RTD_Table_Y_Unit", 0},
           {"SC_Table_Name", 0},
           {"SC_Table_X_Name", 0},
           {"SC_Table_Y_Name", 0},
           {"SC_Table_Y_Unit", 0},
           {"Sensor_Type_Error_RTD", 0},
           {"Sensor_Type_Error_TC", 0},
           {"TC_Table_Name", 0},
           {"TC_Table_X_Name", 0},
           {"TC_Table_Y_Name", 0},
           {"TC_Table_Y_Unit", 0},
           {"XFER_Error_SC", 0},
       }},
      {"DisplayMsg",
       {
           {"Acc_Lamp_Green", 0},
           {"Acc_Lamp_Light_Green", 0},
           {"Acc_Lamp_Off", 0},
           {"Acc_Lamp_Red", 0},
           {"Acc_Scale_Max", 1},  // the gauge's caption
           {"Acc_Scale_Min", 1},  // the gauge's caption
           {"Acc_Unit", 1},       // the gauge's caption
           {"Config_No_File", 0},
           {"Live_PV", 2},            // the PV, its unit
           {"Live_Loop_Current", 1},  // the loop current in mA
           {"Table_Configured", 0},
           {"Table_Not_Configured", 0},
           {"Table_From_File", 0},
           {"Table_Source", 0},
           {"Table_Source_Device", 1},  // the device's tag, model and ID
           {"Table_Source_File", 1},    // the file's name
           {"Table_Points", 0},
           {"Set_Analog_Output", 3},    // lower, upper, unit
           {"Set_Calibration_val", 3},  // lower, upper, unit
           {"Set_Damping_val", 0},
           {"Set_Date_Text", 0},
           {"Set_Description_Text", 0},
           {"Set_Device_Address", 0},
           {"Set_FinalAssemblyNo_val", 0},
           {"Set_Lower_Range", 3},  // lower limit, upper limit, unit
           {"Set_Message_Text", 0},
           {"Set_PV_Lower_Range", 0},
           {"Set_PV_Upper_Range", 0},
           {"Set_SerialNo_val", 0},
           {"Set_TAG_Text", 0},
           {"Set_Upper_Range", 3},  // lower limit, upper limit, unit
           {"Traffic_Title", 0},
           {"Link_Offline", 0},
           {"Link_Online", 3},  // port, polling address, tag
           {"Traffic_Menu", 0},
           {"Traffic_Retry", 0},
           {"Traffic_No_Reply", 0},
           {"Traffic_Checksum_Error", 0},
           {"Traffic_Bad_Reply", 0},
           {"Traffic_Answer_Retry", 0},
           {"Traffic_Answer_Give_Up", 0},
           {"Traffic_Column_Time", 0},
           {"Traffic_Column_Direction", 0},
           {"Traffic_Column_Address", 0},
           {"Traffic_Column_Command", 0},
           {"Traffic_Column_Command_Name", 0},
           {"Traffic_Column_Bytes", 0},
           {"Traffic_Column_Response", 0},
           {"Traffic_Column_Status", 0},
           {"Traffic_Column_Data", 0},
           {"Traffic_Frames", 0},
           {"Traffic_Request", 0},
           {"Traffic_Reply", 0},
           {"Traffic_Link", 0},
           {"Traffic_Address_Polling", 1},  // polling address
           {"Traffic_Address_Long", 1},     // the five address bytes
           {"Traffic_Skipped", 0},
           {"Traffic_Send_Timeout", 0},
           {"Traffic_Receive_Timeout", 1},  // milliseconds
           {"Traffic_Pause", 0},
           {"Traffic_Clear", 0},
           {"Traffic_Copy", 0},
           {"Traffic_Save_Capture", 0},
           {"Traffic_Save_Capture_Tip", 0},
           {"Traffic_Capture_Files", 0},
           {"Traffic_Command_Filter", 0},
           {"Traffic_Command_Filter_All", 0},
           {"Traffic_Paused", 0},
           {"Traffic_Paused_Dropped", 1},
           {"Traffic_Dropped", 1},  // number of lines
           {"Traffic_Dropped_Name", 0},
           {"Button_OK", 0},
           {"Button_Cancel", 0},
           {"Button_Yes", 0},
           {"Button_No", 0},
           {"Button_Retry", 0},
           {"Lamp_COM", 0},
           {"Lamp_PE", 0},
           {"Lamp_OVE", 0},
           {"Lamp_FE", 0},
           {"Lamp_SME", 0},
           {"Lamp_BOE", 0},
           {"Lamp_TME", 0},
           {"Lamp_MAL", 0},
           {"Lamp_CFG", 0},
           {"Lamp_CLD", 0},
           {"Lamp_AFX", 0},
           {"Output_Fixed", 1},  // the fixed current in mA
           {"Confirm_Loop_Change", 0},
           {"Lamp_AOS", 0},
           {"Lamp_NPV", 0},
           {"Lamp_PV", 0},
           {"Acc_Lamp_State", 2},      // what the lamp watches, its colour
           {"Acc_Change", 3},          // button caption, row, column heading
           {"Acc_Copy_To_File", 1},    // row
           {"Acc_Copy_To_Device", 1},  // row
           {"Acc_Column_Value", 2},    // row, column heading
           {"Acc_Column_Unit", 2},     // row, column heading
           {"Graph_Time_Axis", 0},
           {"Gauge_No_Value", 0},
           {"Gauge_Sensor_Failure", 0},
           {"Gauge_Alarm", 0},
           {"Port_Serial", 1},     // port name
           {"Port_Simulated", 1},  // port name
           {"Job_Report_Title", 0},
           {"Job_Device", 0},
           {"Job_Manufacturer", 0},
           {"Job_Model", 0},
           {"Job_Device_ID", 0},
           {"Job_Tag", 0},
           {"Job_Descriptor", 0},
           {"Job_Serial_Number", 0},
           {"Job_Final_Assembly", 0},
           {"Job_Revisions", 0},
           {"Job_Polling_Address", 0},
           {"Job_Port", 0},
           {"Job_Opened", 0},
           {"Job_Closed", 0},
           {"Job_Still_Open", 0},
           {"Job_Configuration", 0},
           {"Job_Setting", 0},
           {"Job_As_Found", 0},
           {"Job_As_Left", 0},
           {"Job_Changed", 0},
           {"Job_Not_Read", 0},
           {"Job_Writes", 0},
           {"Job_Time", 0},
           {"Job_Before", 0},
           {"Job_Requested", 0},
           {"Job_Answered", 0},
           {"Job_Result", 0},
           {"Job_Result_Done", 0},
           {"Job_Result_Refused", 0},
           {"Job_Result_Not_Confirmed", 0},
           {"Job_Response_Code", 2},
           {"Job_Trims", 1},
           {"Job_Trim", 0},
           {"Job_Reference", 0},
           {"Job_Reading_Before", 0},
           {"Job_Reading_After", 0},
           {"Job_Deviation", 0},
           {"Job_Pass", 0},
           {"Job_Fail", 0},
           {"Job_Not_Judged", 0},
           {"Job_Currents", 0},
           {"Job_Current_Requested", 0},
           {"Job_Current_Reading", 0},
           {"Job_Self_Tests", 0},
           {"Job_Self_Test_Passed", 0},
           {"Job_Self_Test_Failed", 0},
           {"Job_Tables", 0},
           {"Job_Points", 0},
           {"Job_Source", 0},
           {"Job_None", 0},
           {"Job_Technician", 0},
           {"Job_Date", 0},
           {"Job_Program", 0},
           {"Job_Notes", 0},
           {"Job_Signature_Technician", 0},
           {"Job_Signature_Approved", 0},
           {"Job_Menu", 0},
           {"Job_Reference_Instrument", 0},
           {"Job_Tolerance", 0},
           {"Job_Save", 0},
           {"Job_Close", 0},
           {"Job_Record_Files", 0},
           {"Job_Pdf_Files", 0},
       }},
      {"TitleMsg",
       {
           {"Select_CJCModeSW", 0},
           {"Select_CJC_Unit", 0},
           {"Select_Display_Language", 0},
           {"Select_PV_Unit", 0},
           {"Select_Sensor_Type", 0},
           {"Select_TermTempUnit", 0},
           {"Select_Wire_Type", 0},
           {"Set_AnalogOP_Val", 0},
           {"Set_BurnOut", 0},
           {"Set_Calibration_Val_Span", 0},
           {"Set_Calibration_Val_Trim", 0},
           {"Set_Calibration_Val_Zero", 0},
           {"Set_Damping_Value_Title", 0},
           {"Set_Date_Text_Title", 0},
           {"Set_Description_Text_Title", 0},
           {"Set_Device_Address_Title", 0},
           {"Set_FinalAssemblyNo_Value_Title", 0},
           {"Set_Lower_Range_Title", 0},
           {"Set_Message_Text_Title", 0},
           {"Set_PV_Lower_Range_File", 0},
           {"Set_PV_Upper_Range_File", 0},
           {"Set_SerialNo_Value_Title", 0},
           {"Set_Tag_Text_Title", 0},
           {"Set_Upper_Range_Title", 0},
           {"Set_Xfer", 0},
       }},
      {"ProgressMsg",
       {
           {"Custom_RTD_Download", 0},
           {"Custom_RTD_Upload", 0},
           {"Custom_SC_Download", 0},
           {"Custom_SC_Upload", 0},
           {"Custom_TC_Download", 0},
           {"Custom_TC_Upload", 0},
           {"Download_Dev_Info", 0},
           {"LookingFor_Hart_Dev", 0},
           {"Upload_Dev_Info", 0},
       }},
  };
  return sections;
}

// One localised layout: the controls that carry a caption in the language files, and the
// controls whose text the program sets (listed so that identifier clashes are caught).
struct Layout {
  int id;
  std::vector<int> captioned;
  std::vector<int> uncaptioned;
};

std::vector<int> TableEditorCaptioned(bool withStep) {
  using namespace ids::table_editor;
  std::vector<int> v = {
      ids::kWindowCaption, kTitle,          kContentsHeading, kStatusLabel,      kMinimumLabel,
      kMaximumLabel,       kSizeLabel,      kSizeNote,        kReadDeviceButton, kWriteDeviceButton,
      kWriteFileButton,    kReadFileButton, kGraphButton,     kCloseButton};
  if (withStep) v.push_back(kStepLabel);
  return v;
}

std::vector<int> TableEditorUncaptioned(bool withStep) {
  using namespace ids::table_editor;
  std::vector<int> v = {kStatusValue,  kMinimumValue, kMinimumUnit,
                        kMaximumValue, kMaximumUnit,  kSizeValue};
  if (withStep) v.insert(v.end(), {kStepValue, kStepUnit});
  return v;
}

const std::vector<Layout>& Layouts() {
  using namespace ids;
  constexpr int kCaption = kWindowCaption;
  static const std::vector<Layout> layouts = {
      {main_window::kLayout, {main_window::kAboutMenuCommand}, {}},
      {detailed_info::kLayout,
       {kCaption, detailed_info::kTitle, detailed_info::kManufacturerLabel,
        detailed_info::kDeviceTypeLabel, detailed_info::kDeviceIdLabel,
        detailed_info::kPreamblesLabel, detailed_info::kUniversalRevisionLabel,
        detailed_info::kSpecificRevisionLabel, detailed_info::kHardwareRevisionLabel,
        detailed_info::kSoftwareRevisionLabel, detailed_info::kFinalAssemblyButton,
        detailed_info::kTagButton, detailed_info::kDescriptorLabel, detailed_info::kDateLabel,
        detailed_info::kMessageButton, detailed_info::kCloseButton},
       {detailed_info::kManufacturerValue, detailed_info::kDeviceTypeValue,
        detailed_info::kDeviceIdValue, detailed_info::kPreamblesValue,
        detailed_info::kUniversalRevisionValue, detailed_info::kSpecificRevisionValue,
        detailed_info::kHardwareRevisionValue, detailed_info::kSoftwareRevisionValue,
        detailed_info::kFinalAssemblyValue, detailed_info::kTagValue,
        detailed_info::kDescriptorValue, detailed_info::kDateValue, detailed_info::kMessageValue}},
      {analog_output::kLayout,
       {kCaption, analog_output::kTitle, analog_output::kSetFromPvButton,
        analog_output::kSetSpecifiedButton, analog_output::kExitFixedModeButton,
        analog_output::kCloseButton},
       {}},
      {dac_trim::kLayout,
       {kCaption, dac_trim::kTitle, dac_trim::kLowerTrimModeButton, dac_trim::kUpperTrimModeButton,
        dac_trim::kTrimMeasuredButton, dac_trim::kClearTrimButton, dac_trim::kCloseButton},
       {}},
      {sensor_calib::kLayout,
       {kCaption, sensor_calib::kTitle, sensor_calib::kPvLabel, sensor_calib::kZeroPointLabel,
        sensor_calib::kZeroValueLabel, sensor_calib::kGainLabel, sensor_calib::kReadDataButton,
        sensor_calib::kClearDataButton, sensor_calib::kZeroButton, sensor_calib::kSpanButton,
        sensor_calib::kCloseButton},
       {sensor_calib::kPvValue, sensor_calib::kPvUnit, sensor_calib::kZeroPointValue,
        sensor_calib::kZeroValueValue, sensor_calib::kGainValue}},
      {diagnostics::kLayout,
       {kCaption, diagnostics::kTitle, diagnostics::kAdditionalStatusHeading,
        diagnostics::kBasicSumLabel, diagnostics::kCustomTcSumLabel,
        diagnostics::kCustomRtdSumLabel, diagnostics::kSpecialCurveSumLabel,
        diagnostics::kSummarySumLabel, diagnostics::kHardwareLabel, diagnostics::kExecuteButton,
        diagnostics::kResetConfigFlagButton, diagnostics::kReadStatusButton,
        diagnostics::kCloseButton},
       {diagnostics::kBasicSumLamp, diagnostics::kCustomTcSumLamp, diagnostics::kCustomRtdSumLamp,
        diagnostics::kSpecialCurveSumLamp, diagnostics::kSummarySumLamp,
        diagnostics::kHardwareLamp}},
      {custom_tc::kLayout, TableEditorCaptioned(true), TableEditorUncaptioned(true)},
      {custom_rtd::kLayout, TableEditorCaptioned(true), TableEditorUncaptioned(true)},
      {special_curve::kLayout, TableEditorCaptioned(false), TableEditorUncaptioned(false)},
      {trend_graph::kLayout,
       {kCaption, trend_graph::kTitle, trend_graph::kStartButton, trend_graph::kStopButton,
        trend_graph::kCloseButton, trend_graph::kSaveCsvButton, trend_graph::kSavePictureButton},
       {trend_graph::kPlot}},
      {sensor_info::kLayout,
       {kCaption, sensor_info::kTitle, sensor_info::kSensorTypeButton,
        sensor_info::kSerialNumberButton, sensor_info::kSensorWireLabel, sensor_info::kPvUnitButton,
        sensor_info::kPvRangeButton, sensor_info::kUpperRangeLabel, sensor_info::kLowerRangeLabel,
        sensor_info::kUpperLimitLabel, sensor_info::kLowerLimitLabel,
        sensor_info::kMinimumSpanLabel, sensor_info::kDampingButton, sensor_info::kBurnoutButton,
        sensor_info::kCjcModeButton, sensor_info::kTransferFunctionButton,
        sensor_info::kTerminalUnitButton},
       {sensor_info::kSensorTypeValue, sensor_info::kSerialNumberValue,
        sensor_info::kSensorWireValue, sensor_info::kPvUnitValue, sensor_info::kUpperRangeValue,
        sensor_info::kLowerRangeValue, sensor_info::kUpperLimitValue, sensor_info::kLowerLimitValue,
        sensor_info::kMinimumSpanValue, sensor_info::kDampingValue, sensor_info::kBurnoutValue,
        sensor_info::kCjcModeValue, sensor_info::kTransferFunctionValue,
        sensor_info::kTerminalUnitValue}},
      {live_display::kLayout,
       {kCaption, live_display::kPvCaption, live_display::kPercentCaption,
        live_display::kTerminalCaption, live_display::kAoCaption, live_display::kPvGraphButton,
        live_display::kPercentGraphButton, live_display::kTerminalGraphButton,
        live_display::kAoGraphButton},
       {live_display::kPvUnit, live_display::kPvGauge, live_display::kPercentUnit,
        live_display::kPercentGauge, live_display::kPercentMaxEdit, live_display::kPercentMinEdit,
        live_display::kTerminalUnit, live_display::kTerminalGauge, live_display::kTerminalMaxEdit,
        live_display::kTerminalMinEdit, live_display::kAoUnit, live_display::kAoGauge,
        live_display::kAoMaxEdit, live_display::kAoMinEdit}},
      {function_keys::kLayout,
       {kCaption, function_keys::kHeading, function_keys::kConnectButton,
        function_keys::kDiagnosticsButton, function_keys::kDeviceInfoButton,
        function_keys::kAnalogOutputButton, function_keys::kTrimDacButton,
        function_keys::kSensorCalButton, function_keys::kCustomTcButton,
        function_keys::kCustomRtdButton, function_keys::kSpecialCurveButton,
        function_keys::kPollingAddressButton, function_keys::kFileButton,
        function_keys::kLanguageButton, function_keys::kExitButton},
       {}},
      {config_page1::kLayout,
       {kCaption,
        config_page1::kPropertiesHeading,
        config_page1::kFileHeading,
        config_page1::kDeviceHeading,
        config_page1::kTagName,
        config_page1::kDescriptorName,
        config_page1::kDateName,
        config_page1::kMessageName,
        config_page1::kDeviceIdName,
        config_page1::kSensorTypeName,
        config_page1::kSensorWiresName,
        config_page1::kPvUnitName,
        config_page1::kUpperRangeName,
        config_page1::kLowerRangeName,
        config_page1::kDampingName,
        config_page1::kTransferFunctionName,
        config_page1::kBurnoutName,
        config_page1::kExitButton,
        config_page1::kPageButton,
        config_page1::kReadFileButton,
        config_page1::kWriteFileButton,
        config_page1::kUploadButton,
        config_page1::kDownloadButton,
        config_page1::kCompareFileButton,
        config_page1::kCopyAllToFileButton,
        config_page1::kCopyAllToDeviceButton,
        config_page1::kCompareDeviceButton,
        config_page1::kTagFileChange,
        config_page1::kTagDeviceChange,
        config_page1::kTagToFile,
        config_page1::kTagToDevice,
        config_page1::kDescriptorFileChange,
        config_page1::kDescriptorDeviceChange,
        config_page1::kDescriptorToFile,
        config_page1::kDescriptorToDevice,
        config_page1::kDateFileChange,
        config_page1::kDateDeviceChange,
        config_page1::kDateToFile,
        config_page1::kDateToDevice,
        config_page1::kMessageFileChange,
        config_page1::kMessageDeviceChange,
        config_page1::kMessageToFile,
        config_page1::kMessageToDevice,
        config_page1::kDeviceIdFileChange,
        config_page1::kDeviceIdDeviceChange,
        config_page1::kDeviceIdToFile,
        config_page1::kDeviceIdToDevice,
        config_page1::kSensorFileChange,
        config_page1::kSensorDeviceChange,
        config_page1::kSensorToFile,
        config_page1::kSensorToDevice,
        config_page1::kPvUnitFileChange,
        config_page1::kRangeFileChange,
        config_page1::kPvUnitDeviceChange,
        config_page1::kRangeDeviceChange,
        config_page1::kPvToFile,
        config_page1::kPvToDevice,
        config_page1::kDampingUnitFile,
        config_page1::kDampingUnitDevice,
        config_page1::kDampingFileChange,
        config_page1::kDampingDeviceChange,
        config_page1::kDampingToFile,
        config_page1::kDampingToDevice,
        config_page1::kTransferFunctionFileChange,
        config_page1::kTransferFunctionDeviceChange,
        config_page1::kTransferFunctionToFile,
        config_page1::kTransferFunctionToDevice,
        config_page1::kBurnoutFileChange,
        config_page1::kBurnoutDeviceChange,
        config_page1::kBurnoutToFile,
        config_page1::kBurnoutToDevice},
       {config_page1::kPropertiesStrip,
        config_page1::kFileStrip,
        config_page1::kDeviceStrip,
        config_page1::kPageNumber,
        config_page1::kTagFile,
        config_page1::kTagDevice,
        config_page1::kDescriptorFile,
        config_page1::kDescriptorDevice,
        config_page1::kDateFile,
        config_page1::kDateDevice,
        config_page1::kMessageFile,
        config_page1::kMessageDevice,
        config_page1::kDeviceIdFile,
        config_page1::kDeviceIdDevice,
        config_page1::kSensorTypeFile,
        config_page1::kSensorWiresFile,
        config_page1::kSensorTypeDevice,
        config_page1::kSensorWiresDevice,
        config_page1::kPvUnitFile,
        config_page1::kUpperRangeFile,
        config_page1::kLowerRangeFile,
        config_page1::kUpperRangeUnitFile,
        config_page1::kLowerRangeUnitFile,
        config_page1::kPvUnitDevice,
        config_page1::kUpperRangeDevice,
        config_page1::kLowerRangeDevice,
        config_page1::kUpperRangeUnitDevice,
        config_page1::kLowerRangeUnitDevice,
        config_page1::kDampingFile,
        config_page1::kDampingDevice,
        config_page1::kTransferFunctionFile,
        config_page1::kTransferFunctionDevice,
        config_page1::kBurnoutFile,
        config_page1::kBurnoutDevice}},
      {list_select::kLayout,
       {list_select::kOkButton, list_select::kCancelButton},
       {list_select::kList}},
      {status_strip::kLayout,
       {kCaption,
        status_strip::kBannerModel,
        status_strip::kBannerProduct,
        status_strip::kBannerMonitor,
        status_strip::kCommStatusLabel,
        status_strip::kDeviceStatusLabel,
        status_strip::kComLamp,
        status_strip::kParityLamp,
        status_strip::kOverrunLamp,
        status_strip::kFramingLamp,
        status_strip::kChecksumLamp,
        status_strip::kBufferLamp,
        status_strip::kTimeoutLamp,
        status_strip::kMalfunctionLamp,
        status_strip::kConfigChangedLamp,
        status_strip::kColdStartLamp,
        status_strip::kOutputFixedLamp,
        status_strip::kOutputSaturatedLamp,
        status_strip::kNonPvOutOfLimitsLamp,
        status_strip::kPvOutOfLimitsLamp},
       {status_strip::kCommSpareLamp, status_strip::kDeviceSpareLamp, status_strip::kBitmap}},
      {text_entry::kLayout,
       {text_entry::kOkButton, text_entry::kCancelButton},
       {text_entry::kPrompt, text_entry::kEdit}},
      {connect_panel::kLayout,
       {kCaption, connect_panel::kTitle, connect_panel::kCloseButton, connect_panel::kConnectButton,
        connect_panel::kDisconnectButton, connect_panel::kPortLabel, connect_panel::kAddressButton,
        connect_panel::kSearchButton},
       {connect_panel::kPortList, connect_panel::kAddressValue}},
      {numeric_entry::kLayout,
       {numeric_entry::kOkButton, numeric_entry::kCancelButton},
       {numeric_entry::kPrompt, numeric_entry::kEdit}},
      {table_graph::kLayout,
       {kCaption, table_graph::kCloseButton},
       {table_graph::kTitle, table_graph::kValueAxisUnit, table_graph::kValueAxisName,
        table_graph::kValueAxisBar, table_graph::kHorizontalAxisName, table_graph::kPlot}},
      {language_panel::kLayout,
       {kCaption, language_panel::kTitle, language_panel::kChangeButton,
        language_panel::kCloseButton},
       {language_panel::kLanguageName}},
      {config_page2::kLayout,
       {kCaption,
        config_page2::kPropertiesHeading,
        config_page2::kFileHeading,
        config_page2::kDeviceHeading,
        config_page2::kTerminalUnitName,
        config_page2::kCjcModeName,
        config_page2::kSerialNumberName,
        config_page2::kFinalAssemblyName,
        config_page2::kExitButton,
        config_page2::kPageButton,
        config_page2::kReadFileButton,
        config_page2::kWriteFileButton,
        config_page2::kUploadButton,
        config_page2::kDownloadButton,
        config_page2::kCompareFileButton,
        config_page2::kCopyAllToFileButton,
        config_page2::kCopyAllToDeviceButton,
        config_page2::kCompareDeviceButton,
        config_page2::kTerminalUnitFileChange,
        config_page2::kTerminalUnitDeviceChange,
        config_page2::kTerminalUnitToFile,
        config_page2::kTerminalUnitToDevice,
        config_page2::kCjcModeFileChange,
        config_page2::kCjcModeDeviceChange,
        config_page2::kCjcModeToFile,
        config_page2::kCjcModeToDevice,
        config_page2::kSerialNumberFileChange,
        config_page2::kSerialNumberDeviceChange,
        config_page2::kSerialNumberToFile,
        config_page2::kSerialNumberToDevice,
        config_page2::kFinalAssemblyFileChange,
        config_page2::kFinalAssemblyDeviceChange,
        config_page2::kFinalAssemblyToFile,
        config_page2::kFinalAssemblyToDevice},
       {config_page2::kPropertiesStrip, config_page2::kFileStrip, config_page2::kDeviceStrip,
        config_page2::kPageNumber, config_page2::kTerminalUnitFile,
        config_page2::kTerminalUnitDevice, config_page2::kCjcModeFile, config_page2::kCjcModeDevice,
        config_page2::kSerialNumberFile, config_page2::kSerialNumberDevice,
        config_page2::kFinalAssemblyFile, config_page2::kFinalAssemblyDevice}},
      {polling_address::kLayout,
       {kCaption, polling_address::kTitle, polling_address::kAddressLabel,
        polling_address::kPreambleLabel, polling_address::kWriteButton,
        polling_address::kCloseButton},
       {polling_address::kAddressValue, polling_address::kPreambleValue}},
      {search_progress::kLayout,
       {kCaption, search_progress::kAddressLabel},
       {search_progress::kMessage, search_progress::kProgressBar, search_progress::kAddressValue}},
  };
  return layouts;
}

// What a message text asks of the formatter.
struct InsertUse {
  std::set<int> numbers;            // %1, %2!s!, ...
  std::vector<std::string> faults;  // notation the formatter would misread
};

// Scans a text in the Windows message-formatter notation. Inserts are %1 to %99 with an optional
// printf format between exclamation marks; %n is a line break and %% a percent sign.
InsertUse ScanInserts(const std::string& text) {
  InsertUse use;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') continue;
    if (i + 1 >= text.size()) {
      use.faults.push_back("lone % at the end");
      break;
    }
    const char c = text[i + 1];
    if (c >= '1' && c <= '9') {
      std::size_t j = i + 1;
      int number = 0;
      while (j < text.size() && j < i + 3 && std::isdigit(static_cast<unsigned char>(text[j]))) {
        number = number * 10 + (text[j] - '0');
        ++j;
      }
      use.numbers.insert(number);
      if (j < text.size() && text[j] == '!') {
        const std::size_t end = text.find('!', j + 1);
        if (end == std::string::npos) {
          use.faults.push_back("unterminated format of %" + std::to_string(number));
          break;
        }
        // Every value is passed as a text, so only the string format fits.
        if (text.substr(j + 1, end - j - 1) != "s") {
          use.faults.push_back("%" + std::to_string(number) + " has a non-text format");
        }
        j = end + 1;
      }
      i = j - 1;
    } else if (c == 'n' || c == '%') {
      ++i;
    } else {
      use.faults.push_back(std::string("unexpected %") + c);
      ++i;
    }
  }
  return use;
}

// Message-box texts and prompts are format strings; titles, progress texts, the box caption,
// the file filter and the graph labels are shown as they stand (the special curve's unit is
// a bare "%").
bool IsFormatString(const std::string& section, const std::string& key) {
  if (section == "DisplayMsg") return true;
  if (section != "UIMsg") return false;
  return key != "Message_Box" && key != "File_Filter" && key.find("_Table_") == std::string::npos;
}

std::string FilePath(const std::string& name) {
  return std::string(VA5VIVI_RESOURCES_DIR) + "/" + name;
}

struct LanguageFile {
  const char* file;
  const char* language;
  const char* locale;
};

void PrintTo(const LanguageFile& file, std::ostream* os) { *os << file.file; }

const LanguageFile kFiles[] = {{"English.lng", "English", "en"},
                              {"Japanese.lng", "Japanese", "ja"}};

class LanguageFileTest : public ::testing::TestWithParam<LanguageFile> {
 protected:
  void SetUp() override {
    const pugi::xml_parse_result result = doc_.load_file(
        FilePath(GetParam().file).c_str(), pugi::parse_default | pugi::parse_declaration);
    ASSERT_TRUE(result) << GetParam().file << ": " << result.description() << " at offset "
                        << result.offset;
    root_ = doc_.document_element();
  }

  pugi::xml_document doc_;
  pugi::xml_node root_;
};

std::string Trimmed(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

TEST_P(LanguageFileTest, IdentifiesItselfAsALanguageFileInUtf8) {
  const pugi::xml_node declaration = doc_.first_child();
  ASSERT_EQ(declaration.type(), pugi::node_declaration);
  std::string encoding = declaration.attribute("encoding").value();
  std::transform(encoding.begin(), encoding.end(), encoding.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  EXPECT_EQ(encoding, "UTF-8");

  EXPECT_STREQ(root_.name(), "root");
  EXPECT_STREQ(root_.select_node("/root/application").node().text().get(), "RA5DERI");
  EXPECT_STREQ(root_.select_node("/root/filetype").node().text().get(), "language");
  EXPECT_STREQ(root_.select_node("/root/language").node().text().get(), GetParam().language);
  // The list of languages shows each in its own script; Qt's dialogs follow the locale.
  EXPECT_STRNE(root_.select_node("/root/displayname").node().text().get(), "");
  EXPECT_STREQ(root_.select_node("/root/locale").node().text().get(), GetParam().locale);
}

TEST_P(LanguageFileTest, EachSectionHoldsExactlyItsKeysOnceAndFilled) {
  for (const Section& section : Sections()) {
    SCOPED_TRACE(section.name);
    const pugi::xml_node node = root_.child(section.name);
    ASSERT_TRUE(node) << "missing section";
    EXPECT_FALSE(node.next_sibling(section.name)) << "section given twice";

    std::map<std::string, int> seen;
    for (const pugi::xml_node text : node.children()) {
      if (text.type() != pugi::node_element) continue;
      EXPECT_STREQ(text.name(), "text");
      ++seen[text.attribute("name").value()];
    }
    for (const MessageKey& key : section.keys) {
      // A second entry would be silently ignored (the first one wins).
      EXPECT_EQ(seen[key.name], 1) << key.name;
      const std::string path =
          std::string("/root/") + section.name + "/text[@name='" + key.name + "']";
      EXPECT_FALSE(Trimmed(root_.select_node(path.c_str()).node().text().get()).empty())
          << key.name << " is empty";
      seen.erase(key.name);
    }
    for (const auto& [name, count] : seen) ADD_FAILURE() << "unknown key " << name;
  }
}

TEST_P(LanguageFileTest, InsertsMatchTheValuesTheCallersPass) {
  for (const Section& section : Sections()) {
    for (const MessageKey& key : section.keys) {
      SCOPED_TRACE(key.name);
      const std::string path =
          std::string("/root/") + section.name + "/text[@name='" + key.name + "']";
      const std::string text = root_.select_node(path.c_str()).node().text().get();
      const InsertUse use = ScanInserts(text);
      if (key.values == 0) {
        // A text without values may be shown as it stands: an insert or %n would appear
        // literally, or read a value that is not there.
        EXPECT_TRUE(use.numbers.empty()) << text;
        EXPECT_EQ(text.find("%n"), std::string::npos) << text;
        // Message boxes and prompts go through the formatter all the same, which would eat a
        // stray percent sign.
        if (IsFormatString(section.name, key.name)) {
          for (const std::string& fault : use.faults) ADD_FAILURE() << fault << " in: " << text;
        }
        continue;
      }
      for (const std::string& fault : use.faults) ADD_FAILURE() << fault << " in: " << text;
      std::set<int> expected;
      for (int i = 1; i <= key.values; ++i) expected.insert(i);
      EXPECT_EQ(use.numbers, expected) << text;
    }
  }
}

TEST_P(LanguageFileTest, EveryLocalisedLayoutCaptionsExactlyItsCaptionedControls) {
  std::set<int> expectedLayouts;
  for (const Layout& layout : Layouts()) {
    SCOPED_TRACE("layout " + std::to_string(layout.id));
    expectedLayouts.insert(layout.id);
    const std::string path = "/root/gui[@name='" + std::to_string(layout.id) + "']";
    const pugi::xml_node gui = root_.select_node(path.c_str()).node();
    ASSERT_TRUE(gui) << "missing gui";

    std::multiset<int> names;
    for (const pugi::xml_node text : gui.children("text")) {
      names.insert(text.attribute("name").as_int(-1));
      EXPECT_FALSE(Trimmed(text.text().get()).empty())
          << "empty caption for control " << text.attribute("name").value();
    }
    const std::multiset<int> expected(layout.captioned.begin(), layout.captioned.end());
    EXPECT_EQ(names, expected);
  }

  std::multiset<int> layouts;
  for (const pugi::xml_node gui : root_.children("gui"))
    layouts.insert(gui.attribute("name").as_int(-1));
  EXPECT_EQ(layouts, std::multiset<int>(expectedLayouts.begin(), expectedLayouts.end()));
}

TEST_P(LanguageFileTest, FileFilterIsPairsOfDescriptionAndPatternEndedByTwoBars) {
  const std::string filter =
      root_.select_node("/root/UIMsg/text[@name='File_Filter']").node().text().get();
  ASSERT_GE(filter.size(), 2u);
  EXPECT_EQ(filter.substr(filter.size() - 2), "||");
  std::vector<std::string> fields;
  std::string field;
  for (char c : filter.substr(0, filter.size() - 1)) {
    if (c == '|') {
      fields.push_back(field);
      field.clear();
    } else {
      field += c;
    }
  }
  EXPECT_TRUE(field.empty()) << "text after the last field: " << field;
  ASSERT_FALSE(fields.empty());
  ASSERT_EQ(fields.size() % 2, 0u) << filter;
  for (std::size_t i = 0; i < fields.size(); i += 2) {
    EXPECT_FALSE(Trimmed(fields[i]).empty()) << "description " << i / 2;
    EXPECT_EQ(fields[i + 1].rfind("*.", 0), 0u) << "pattern " << fields[i + 1];
  }
  // Table and configuration files default to the extension txt: the first choice offers it.
  EXPECT_EQ(fields[1], "*.txt");
}

INSTANTIATE_TEST_SUITE_P(Shipped, LanguageFileTest, ::testing::ValuesIn(kFiles),
                         [](const ::testing::TestParamInfo<LanguageFile>& info) {
                           return std::string(info.param.language);
                         });

// Controls and layouts whose identifiers are fixed: a caption filed under the wrong number
// would label the wrong button.
TEST(LanguageFiles, IdentifiersAreUniqueWithinEachLayout) {
  for (const Layout& layout : Layouts()) {
    SCOPED_TRACE("layout " + std::to_string(layout.id));
    std::multiset<int> all(layout.captioned.begin(), layout.captioned.end());
    all.insert(layout.uncaptioned.begin(), layout.uncaptioned.end());
    for (int id : all) EXPECT_EQ(all.count(id), 1u) << "identifier " << id << " used twice";
  }
  std::multiset<int> layoutIds;
  for (const Layout& layout : Layouts()) layoutIds.insert(layout.id);
  EXPECT_EQ(layoutIds.size(), 24u);
  for (int id : layoutIds) EXPECT_EQ(layoutIds.count(id), 1u) << "layout " << id;
  // Numeric entry and text entry are two layouts, not one.
  EXPECT_EQ(ids::numeric_entry::kLayout, 153);
  EXPECT_EQ(ids::text_entry::kLayout, 149);
}

class BothFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(english_.load_file(FilePath("English.lng").c_str()));
    ASSERT_TRUE(japanese_.load_file(FilePath("Japanese.lng").c_str()));
  }

  static std::string Gui(const pugi::xml_document& doc, int layout, int control) {
    const std::string path = "/root/gui[@name='" + std::to_string(layout) + "']/text[@name='" +
                             std::to_string(control) + "']";
    return doc.select_node(path.c_str()).node().text().get();
  }

  static std::string Message(const pugi::xml_document& doc, const char* section, const char* key) {
    const std::string path = std::string("/root/") + section + "/text[@name='" + key + "']";
    return doc.select_node(path.c_str()).node().text().get();
  }

  pugi::xml_document english_;
  pugi::xml_document japanese_;
};

TEST_F(BothFiles, HaveTheSameLayoutsAndControls) {
  auto inventory = [](const pugi::xml_document& doc) {
    std::set<std::pair<int, int>> entries;
    for (const pugi::xml_node gui : doc.document_element().children("gui")) {
      entries.insert({gui.attribute("name").as_int(), -1});
      for (const pugi::xml_node text : gui.children("text")) {
        entries.insert({gui.attribute("name").as_int(), text.attribute("name").as_int()});
      }
    }
    return entries;
  };
  EXPECT_EQ(inventory(english_), inventory(japanese_));
}

TEST_F(BothFiles, JapaneseMessagesAreTranslatedWithTheSameInserts) {
  // Names, units and the box caption are the same in every language.
  const std::set<std::string> untranslated = {"Message_Box", "RTD_Table_Y_Unit", "TC_Table_Y_Unit",
                                              "SC_Table_Y_Unit", "Button_OK"};
  for (const Section& section : Sections()) {
    for (const MessageKey& key : section.keys) {
      SCOPED_TRACE(key.name);
      const std::string en = Message(english_, section.name, key.name);
      const std::string ja = Message(japanese_, section.name, key.name);
      EXPECT_EQ(ScanInserts(en).numbers, ScanInserts(ja).numbers);
      if (untranslated.count(key.name)) {
        EXPECT_EQ(en, ja);
        continue;
      }
      // Japanese script is encoded with lead bytes 0xE3 to 0xE9 (U+3000 to U+9FFF) or 0xEF
      // (full-width forms): a text made only of ASCII was left untranslated.
      const bool hasJapanese = std::any_of(ja.begin(), ja.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return (b >= 0xE3 && b <= 0xE9) || b == 0xEF;
      });
      EXPECT_TRUE(hasJapanese) << ja;
    }
  }
}

TEST_F(BothFiles, FixedControlsCarryTheirOwnEnglishCaptions) {
  using namespace ids;
  const struct {
    int layout;
    int control;
    const char* caption;
  } fixed[] = {
      {function_keys::kLayout, function_keys::kConnectButton, "Connect"},
      {function_keys::kLayout, function_keys::kDiagnosticsButton, "Diagnostics"},
      {function_keys::kLayout, function_keys::kDeviceInfoButton, "Device Info"},
      {function_keys::kLayout, function_keys::kAnalogOutputButton, "Analog Output"},
      {function_keys::kLayout, function_keys::kTrimDacButton, "Trim DAC"},
      {function_keys::kLayout, function_keys::kSensorCalButton, "Sensor Cal"},
      {function_keys::kLayout, function_keys::kCustomTcButton, "Custom TC"},
      {function_keys::kLayout, function_keys::kCustomRtdButton, "Custom RTD"},
      {function_keys::kLayout, function_keys::kSpecialCurveButton, "Special Curve"},
      {function_keys::kLayout, function_keys::kPollingAddressButton, "Polling Address"},
      {function_keys::kLayout, function_keys::kFileButton, "File"},
      {function_keys::kLayout, function_keys::kLanguageButton, "Language"},
      {function_keys::kLayout, function_keys::kExitButton, "Exit"},
      {sensor_info::kLayout, sensor_info::kSensorTypeButton, "Sensor Type"},
      {sensor_info::kLayout, sensor_info::kSerialNumberButton, "Serial No."},
      {sensor_info::kLayout, sensor_info::kTerminalUnitButton, "Term Temp Unit"},
      {sensor_info::kLayout, sensor_info::kDampingButton, "PV Damping"},
      {trend_graph::kLayout, trend_graph::kStartButton, "Start"},
      {trend_graph::kLayout, trend_graph::kStopButton, "Stop"},
      {trend_graph::kLayout, trend_graph::kCloseButton, "Close Trend Graph"},
      {table_graph::kLayout, table_graph::kCloseButton, "Close Graph"},
      {language_panel::kLayout, language_panel::kChangeButton, "Change"},
      {config_page1::kLayout, config_page1::kExitButton, "EXIT"},
      {config_page1::kLayout, config_page1::kUploadButton, "Upload"},
      {config_page1::kLayout, config_page1::kCopyAllToFileButton, "All Copy <<"},
      {config_page1::kLayout, config_page1::kCopyAllToDeviceButton, ">> All Copy"},
      {config_page1::kLayout, config_page1::kDateToFile, "<"},
      {config_page1::kLayout, config_page1::kTagDeviceChange, "CHG"},
      {config_page2::kLayout, config_page2::kPageButton, "Page"},
      {config_page2::kLayout, config_page2::kFinalAssemblyToDevice, ">"},
      {numeric_entry::kLayout, numeric_entry::kCancelButton, "Cancel"},
      {text_entry::kLayout, text_entry::kOkButton, "OK"},
      {diagnostics::kLayout, diagnostics::kBasicSumLabel, "EEPROM SUM Error (Basic Part)"},
      {sensor_calib::kLayout, sensor_calib::kCloseButton, "Close Sensor Calibration"},
      {connect_panel::kLayout, connect_panel::kConnectButton, "Connect Device"},
  };
  for (const auto& f : fixed) {
    EXPECT_EQ(Gui(english_, f.layout, f.control), f.caption)
        << "layout " << f.layout << " control " << f.control;
  }
  // The damping unit is shown in the language (configuration files carry "Sec" whatever it
  // shows).
  EXPECT_EQ(Gui(japanese_, config_page1::kLayout, config_page1::kDampingUnitFile), "秒");
  EXPECT_EQ(Gui(japanese_, config_page1::kLayout, config_page1::kDampingUnitDevice), "秒");
}

}  // namespace
}  // namespace va5
