#pragma once

#include <atomic>

#include "comm/CommandSet.h"
#include "comm/HartLink.h"
#include "comm/HartResult.h"
#include "device/DeviceRecord.h"

namespace va5 {

// The one transaction step every command list is made of: the entry's builder writes the
// request, the frame goes to the device and its reply comes back (with repeats), the reply is
// parsed and checked for size, and the entry's decoder stores it. The worker runs the parts one
// by one, with its record lock, hold and failure protocol between them; tests and benchmarks run
// the whole step with RunCommand.

// Sets the command and request byte count of `entry` and lets its builder write the data.
void PrepareRequest(const CommandDescriptor& entry, const DeviceRecord& record, LinkState& link);

// Addresses the request to the device: a long frame to the identity of the last command 0
// reply (command 0 goes as a short frame to `pollingAddress`), master and burst flags clear.
void AddressRequest(LinkState& link, int pollingAddress);

// Builds the request from the link state and sends it, up to `attempts` times, until a reply
// to it is received. 200, or 209 with the reason in link.LastFailure(). A set `stop` ends the
// attempts.
HartResult ExchangeFrames(HartLink& link, int attempts, const std::atomic<bool>* stop = nullptr);

// True when the parsed reply carries fewer data bytes than its command's decoder reads: the
// decoder would read whatever the data area held before (the request, an older reply).
bool ReplyTooShort(const LinkState& link);

// Parses the received reply: 200 when it is accepted (response code 0, both status bytes) and
// long enough for its decoder; 208 otherwise.
HartResult AcceptReply(HartLink& link);

// The whole step for one command-table entry, to the device at record.pollingAddress: prepare,
// exchange, accept, and decode an accepted reply into the record. 200, 208 or 209.
HartResult RunCommand(HartLink& link, const CommandDescriptor& entry, DeviceRecord& record,
                      int attempts = 1);

}  // namespace va5
