#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "comm/HartLink.h"
#include "device/DeviceRecord.h"

namespace va5 {

// Writes LinkState::data[0..requestBytes) from the record, just before the frame is built.
// Builders clear the data area first, so request bytes they do not set are sent as zeros.
using CommandBuilder = void (*)(const DeviceRecord& record, LinkState& link);
// Stores an accepted reply (LinkState::data, status bytes at 0 and 1) into the record. The
// identity decoder also fills the link's identity fields, the polling-address decoder the
// link's polling address. A table point index from the device that the record cannot hold is
// ignored, and table sizes are clamped to the record's capacity.
using CommandDecoder = void (*)(LinkState& link, DeviceRecord& record);

// One entry of the command table, and of a command list (lists hold copies of table entries).
// A list ends with an entry whose command and byte count are both 0xFF; a list also stops
// after an entry without a decoder.
struct CommandDescriptor {
  std::uint8_t command;
  std::uint8_t requestBytes;
  CommandDecoder decoder;
  CommandBuilder builder;
  // Reply data bytes (after the two status bytes) the decoder reads; 0 without a decoder.
  std::uint8_t replyBytes = 0;
  // Leading request data bytes that the reply repeats at the start of its data (a table point
  // index, a trim point): a reply that repeats other bytes answers another request.
  std::uint8_t echoBytes = 0;
};

inline constexpr std::uint8_t CommandListEnd = 0xFF;

// The descriptor of one command, or nullptr for a command the tool does not use.
const CommandDescriptor* FindCommand(std::uint8_t command);

// How a request's list reports progress: not at all, or after each decoded command of the list
// (n / 10 for the upload).
enum class ListProgress : std::uint8_t { None, PerCommand };

// Picks a request's list from the record (the DAC trim's zero or gain command).
using ListChooser = const CommandDescriptor* (*)(const DeviceRecord& record);

// One entry of the request table: what a request type (400-459) runs.
struct RequestDescriptor {
  int type;
  const CommandDescriptor* list;  // terminated; nullptr for a type without commands (403)
  ListChooser choose;             // when set, picks the list instead of `list`
  bool silentRetry;               // a failure is first retried without asking
  Millis Timing::*afterWait;      // the worker waits this long after the list; nullptr: none
  ListProgress progress;
};

// The request table's entry of a type, or nullptr for a number that is no request type.
const RequestDescriptor* FindRequest(int requestType);

// The command list of a request type (400-459), terminated by the end entry; nullptr for a
// type without a list (403) or an unknown type. Type 430 depends on record.requestedTrimMode.
const CommandDescriptor* CommandListFor(int requestType, const DeviceRecord& record);

// Reply data bytes (after the two status bytes) that the command's decoder reads; 0 for a
// command without a decoder or one the tool does not use. The link leaves bytes beyond a short
// reply as they were, so a reply with fewer data bytes than this would decode stale bytes.
std::size_t ReplyDataBytes(std::uint8_t command);

// Leading request data bytes that a reply to the command repeats (CommandDescriptor::
// echoBytes); 0 for a command whose reply repeats nothing or one the tool does not use.
std::size_t ReplyEchoBytes(std::uint8_t command);

// Request types marked for a silent first retry.
bool IsSilentRetryRequest(int requestType);

// Fixed lists. The spans hold the commands without the end entry; their data() is a
// terminated list like the ones CommandListFor returns.
std::span<const CommandDescriptor> PollList();    // 3, 2
std::span<const CommandDescriptor> UploadList();  // 0, 130, 14, 15, 13, 132, 12, 16, 134, 3

// Identity names of a command 0 reply (empty for unknown codes).
const char* ManufacturerName(std::uint8_t manufacturer);
const char* ModelName(std::uint8_t manufacturer, std::uint8_t deviceType);

// Range values of command 35: a value sitting exactly on a sensor limit (limits and minimum span
// rounded to the three decimals they are shown with) moves 0.0001 inward; when the entered span
// is the minimum span, the other end moves with it. The four checks run in order.
struct RangePair {
  double upper;
  double lower;
};
RangePair AdjustRangeValues(double upper, double lower, double upperSensorLimit,
                            double lowerSensorLimit, double minimumSpan);

inline constexpr int TableEndIndex = 9999;

}  // namespace va5
