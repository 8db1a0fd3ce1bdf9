// The settings of the sensor and detailed-information panels: each one's entry rules, its
// checks against the connected device, and its request chain.
//
// A setting is written in three parts, so that a window and the command-line tool share all
// of it: CheckSetting reads and checks the entry with no device (a window before it sends, the
// tool before it opens the port); CheckAgainstDevice holds it against the uploaded record
// (sensor limits, unit family, model); SettingChain says what to store, which requests to run
// and what the outcome shows. WriteSetting runs all three on the calling thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "device/DeviceRecord.h"
#include "device/GlobalFile.h"
#include "session/Operation.h"
#include "session/Reason.h"
#include "session/RequestChain.h"

namespace va5::session {

class Session;

// Fixed entry limits, the same for the window's dialogs and the command-line tool.
inline constexpr double MinimumDamping = 0.5;   // s
inline constexpr double MaximumDamping = 30.0;  // s
inline constexpr double MaxSerialNumber = 16777215;  // three bytes on the wire

// The model whose tag, final assembly number and polling address can be written.
inline bool IsConfigurableModel(const DeviceRecord& device) { return device.modelName == "TQ5R"; }

enum class Setting {
  Damping,
  Range,
  PvUnit,
  Sensor,
  Burnout,
  Cjc,
  TransferFunction,
  TerminalUnit,
  SerialNumber,
  FinalAssembly,
  Tag,
  Descriptor,
  Message,
  PollingAddress,
};

// The settings' names ("damping", "range", "pv-unit", ...) in the order of the enum.
const std::vector<std::string>& SettingNames();
std::optional<Setting> SettingOfName(const std::string& name);
const std::string& NameOf(Setting setting);

// True when the setting's device checks need the uploaded configuration (limits, units, tag
// group), not only the identity.
bool SettingNeedsUpload(Setting setting);

// An entry that passed the checks that need no device, read into what the request needs.
struct SettingEntry {
  Setting setting = Setting::Damping;
  std::vector<std::string> texts;  // as entered
  std::string valueText;           // damping: "%.3lf" of the value
  unsigned long long whole = 0;    // serial number, final assembly number, polling address
  int code = -1;                   // a code table's choice; the sensor type
  int wires = 0;                   // the sensor's wiring code
  std::string packed;              // tag, descriptor, message: padded and upper case
  std::string packedDescriptor;    // a tag entered with its descriptor: the descriptor, packed
  std::string date;                // a tag entered with a date: "YYYY/MM/DD"; empty: today
};

struct SettingCheck {
  std::optional<Reason> reason;  // nothing when the entry is acceptable
  SettingEntry entry;
};

// (a) The entry alone: the number of values, numbers and their fixed limits, names in the
// code tables, text lengths and packed characters. The tag may come with its descriptor and
// then a date (YYYY/MM/DD, any separators, 1900 to 2155), which the write sends instead of
// today's.
SettingCheck CheckSetting(const CglobalFile& tables, Setting setting,
                          const std::vector<std::string>& values);

// (b) The entry against the connected device: range limits and minimum span, the PV unit
// family of the sensor, and the settings that only model "TQ5R" takes.
std::optional<Reason> CheckAgainstDevice(const CglobalFile& tables, const SettingEntry& entry,
                                         const DeviceRecord& device);

// (c) The request chain of an entry that passed both checks: the request fields, the
// requests with their preconditions (a custom table or the special curve must be defined),
// and the description of what the device returned. The chain refers to `tables`, which must
// outlive it.
RequestChain SettingChain(const CglobalFile& tables, const SettingEntry& entry,
                          const DeviceRecord& device);

// (b) and (c) run to the end on the calling thread.
OperationOutcome WriteSetting(Session& session, const CglobalFile& tables,
                              const SettingEntry& entry);

// Today's local date as the tag write sends it when none was entered ("%Y/%m/%d").
std::string TodayText();

}  // namespace va5::session
