#include "comm/TransactionStep.h"

namespace va5 {

void PrepareRequest(const CommandDescriptor& entry, const DeviceRecord& record, LinkState& link) {
  link.command = entry.command;
  link.byteCount = entry.requestBytes;
  if (entry.builder != nullptr) entry.builder(record, link);
}

void AddressRequest(LinkState& link, int pollingAddress) {
  link.frameKind = FrameKindLong;  // the link still sends command 0 short
  link.masterFlag = false;
  link.burstFlag = false;
  link.pollingAddress = pollingAddress;
}

HartResult ExchangeFrames(HartLink& link, int attempts, const std::atomic<bool>* stop) {
  std::uint8_t frame[MaxRequestFrame];
  const std::size_t length = link.BuildRequestFrame(frame);
  // A reply that names another table point or trim point is a late one, skipped like a reply
  // to another command.
  const std::size_t echo = ReplyEchoBytes(link.State().command);
  for (int attempt = 0; attempt < attempts; ++attempt) {
    if (stop != nullptr && stop->load()) break;
    if (link.SendFrame(frame, length, echo) == ResultOk && link.ReceiveFrame() == ResultOk) {
      return ResultOk;
    }
  }
  return ResultLinkFailed;
}

bool ReplyTooShort(const LinkState& link) {
  return link.byteCount < 2 + ReplyDataBytes(link.command);
}

HartResult AcceptReply(HartLink& link) {
  const bool accepted = link.ParseReply();
  return accepted && !ReplyTooShort(link.State()) ? ResultOk : ResultReplyRejected;
}

HartResult RunCommand(HartLink& link, const CommandDescriptor& entry, DeviceRecord& record,
                      int attempts) {
  LinkState& state = link.State();
  AddressRequest(state, record.pollingAddress);
  PrepareRequest(entry, record, state);
  HartResult result = ExchangeFrames(link, attempts);
  if (result == ResultOk) result = AcceptReply(link);
  if (result == ResultOk && entry.decoder != nullptr) entry.decoder(state, record);
  return result;
}

}  // namespace va5
