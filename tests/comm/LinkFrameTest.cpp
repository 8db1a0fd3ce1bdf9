#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing/FakeSerialPort.h"
#include "comm/HartLink.h"
#include "testing/LinkTestSupport.h"

namespace va5 {

using test::FakeSerialPort;
namespace {

using test::Reply;

std::vector<std::uint8_t> Build(const HartLink& link) {
  std::vector<std::uint8_t> buffer(MaxRequestFrame, 0xEE);
  buffer.resize(link.BuildRequestFrame(buffer.data()));
  return buffer;
}

class LinkFrame : public ::testing::Test {
 protected:
  FakeSerialPort port;
  HartLink link{port, Timing{}, NullTraceSink()};
};

TEST_F(LinkFrame, ShortFramesCarryThePollingAddressAndFlags) {
  LinkState& s = link.State();
  s.command = 0;
  s.masterFlag = true;
  EXPECT_EQ(Build(link), (std::vector<std::uint8_t>{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x80, 0x00,
                                                    0x00, 0x82}));
  s.masterFlag = false;
  s.pollingAddress = 2;
  EXPECT_EQ(Build(link), (std::vector<std::uint8_t>{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x02, 0x00,
                                                    0x00, 0x00}));
  // Burst flag in bit 6; only six address bits reach the wire.
  s.burstFlag = true;
  s.pollingAddress = 0x7F;
  EXPECT_EQ(Build(link)[6], 0x7F);
}

TEST_F(LinkFrame, CommandZeroStaysShortEvenInLongMode) {
  LinkState& s = link.State();
  s.frameKind = FrameKindLong;
  s.identityManufacturer = 0x1D;
  s.command = 0;
  s.pollingAddress = 3;
  const auto frame = Build(link);
  ASSERT_EQ(frame.size(), 10u);
  EXPECT_EQ(frame[5], 0x02);
  EXPECT_EQ(frame[6], 0x03);
}

TEST_F(LinkFrame, LongFramesCarryTheIdentityAndData) {
  LinkState& s = link.State();
  s.frameKind = FrameKindLong;
  s.identityManufacturer = 0x1D;
  s.identityDeviceType = 0x02;
  s.identityDeviceId = {0x00, 0x01, 0x25};
  s.command = 3;
  EXPECT_EQ(Build(link), (std::vector<std::uint8_t>{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x82, 0x1D, 0x02,
                                                    0x00, 0x01, 0x25, 0x03, 0x00, 0xBA}));

  s.masterFlag = true;
  s.command = 34;
  s.byteCount = 4;
  s.data[0] = 0x40;
  s.data[1] = 0xA0;
  s.data[2] = 0x00;
  s.data[3] = 0x00;
  const auto frame = Build(link);
  ASSERT_EQ(frame.size(), 18u);
  EXPECT_EQ(frame[6], 0x9D);
  EXPECT_EQ(frame[11], 34);
  EXPECT_EQ(frame[12], 4);
  EXPECT_EQ(frame[13], 0x40);
  EXPECT_EQ(frame[14], 0xA0);
  std::uint8_t check = 0;
  for (std::size_t i = 5; i < 17; ++i) check ^= frame[i];
  EXPECT_EQ(frame[17], check);
}

TEST_F(LinkFrame, ARequestTooLongForTheBufferIsNotBuilt) {
  LinkState& s = link.State();
  s.frameKind = FrameKindLong;
  s.command = 17;
  s.byteCount = 24;  // the largest request: 38 bytes
  EXPECT_EQ(Build(link).size(), 38u);
  s.byteCount = 60;
  EXPECT_EQ(Build(link).size(), 0u);
  s.byteCount = 0;
  s.preambleCount = 100;
  EXPECT_EQ(Build(link).size(), 0u);
  // An empty frame is never written.
  EXPECT_EQ(link.SendFrame(nullptr, 0), ResultLinkFailed);
  EXPECT_TRUE(port.Writes().empty());
}

// ParseReply works on rxFrame as ReceiveFrame leaves it.
void Load(HartLink& link, const std::vector<std::uint8_t>& frame) {
  LinkState& s = link.State();
  std::copy(frame.begin(), frame.end(), s.rxFrame.begin());
  s.rxLength = frame.size();
}

TEST_F(LinkFrame, ParseLongReplyFillsTheReplyFields) {
  LinkState& s = link.State();
  s.preambleCount = 20;
  Load(link, Reply(0x86, {0xDD, 0x02, 0x00, 0x01, 0x25}, 3, {0x00, 0x40, 0x3F, 0x80, 0, 0}));
  ASSERT_TRUE(link.ParseReply());
  EXPECT_EQ(s.preambleCount, 5);
  EXPECT_EQ(s.frameKind, FrameKindLong);
  EXPECT_TRUE(s.masterFlag);
  EXPECT_TRUE(s.burstFlag);
  EXPECT_EQ(s.replyManufacturer, 0x1D);
  EXPECT_EQ(s.replyDeviceType, 0x02);
  EXPECT_EQ(s.replyDeviceId, 0x000125u);
  EXPECT_EQ(s.command, 3);
  EXPECT_EQ(s.byteCount, 6);
  EXPECT_EQ(s.responseCode, 0x00);
  EXPECT_EQ(s.deviceStatus, 0x40);
  EXPECT_EQ(s.data[2], 0x3F);
  EXPECT_EQ(s.data[3], 0x80);
}

TEST_F(LinkFrame, ParseShortReplyTakesThePollingAddress) {
  LinkState& s = link.State();
  Load(link, Reply(0x06, {0x85}, 0, {0x00, 0x00, 0xFE, 0x1D}));
  ASSERT_TRUE(link.ParseReply());
  EXPECT_EQ(s.frameKind, FrameKindShort);
  EXPECT_EQ(s.pollingAddress, 5);
  EXPECT_TRUE(s.masterFlag);
  EXPECT_EQ(s.data[3], 0x1D);
}

TEST_F(LinkFrame, ParseRejectsRefusalsChecksumsAndMissingStatus) {
  LinkState& s = link.State();
  // A warning is refused like an error.
  Load(link, Reply(0x06, {0x00}, 0, {0x10, 0x00}));
  EXPECT_FALSE(link.ParseReply());
  EXPECT_EQ(s.responseCode, 0x10);
  EXPECT_EQ(s.commErrorBits, 0);

  auto frame = Reply(0x06, {0x00}, 0, {0x00, 0x00});
  frame.back() ^= 1;
  Load(link, frame);
  EXPECT_FALSE(link.ParseReply());

  // Byte count 0: the byte after the count is the checksum, not a response code.
  Load(link, Reply(0x06, {0x06}, 0, {}));  // checksum 0x00
  EXPECT_FALSE(link.ParseReply());
  EXPECT_EQ(s.responseCode, 0);

  // A frame cut short of its byte count.
  frame = Reply(0x06, {0x00}, 0, {0x00, 0x00, 1, 2, 3});
  frame.resize(frame.size() - 2);
  Load(link, frame);
  EXPECT_FALSE(link.ParseReply());
}

TEST_F(LinkFrame, CommunicationErrorsAccumulate) {
  LinkState& s = link.State();
  Load(link, Reply(0x86, {0x1D, 0x02, 0, 1, 0x25}, 3, {0x82, 0x00}));
  EXPECT_FALSE(link.ParseReply());
  Load(link, Reply(0x06, {0x00}, 0, {0x90, 0x00}));
  EXPECT_FALSE(link.ParseReply());
  EXPECT_EQ(s.commErrorBits, 0x92);
}

TEST_F(LinkFrame, OpenPortTakesTheNameWholeAndTellsWhyItFailed) {
  EXPECT_EQ(link.OpenPort(""), ResultBadPortDefinition);
  EXPECT_EQ(link.OpenPort("  "), ResultBadPortDefinition);
  EXPECT_FALSE(port.IsOpen());
  // A name with colons and beyond the old 256-character cut reaches the port unchanged, with
  // the modem's line settings.
  const std::string longName = "/dev/serial/by-path/pci-0000:00:14.0-usb-0:1:1.0-port0" +
                               std::string(300, 'x');
  ASSERT_EQ(link.OpenPort(longName), ResultOk);
  EXPECT_EQ(port.PortName(), longName);
  EXPECT_EQ(port.Settings(), PortSettings{});
  EXPECT_EQ(link.LastOpenError(), PortOpenError::None);
  // A blank name does not close the open port.
  EXPECT_EQ(link.OpenPort(""), ResultBadPortDefinition);
  EXPECT_TRUE(port.IsOpen());

  port.FailOpen(ResultPortOpenFailed, PortOpenError::Busy);
  EXPECT_EQ(link.OpenPort("COM4", PortSettings{1200, Parity::Odd, 8, StopBits::One}),
            ResultPortOpenFailed);
  EXPECT_EQ(link.LastOpenError(), PortOpenError::Busy);
  // The old port was closed before the new one was tried.
  EXPECT_FALSE(port.IsOpen());
  port.FailOpen(ResultOk);

  ASSERT_EQ(link.OpenPort("COM5", PortSettings{1200, Parity::Odd, 8, StopBits::One}), ResultOk);
  EXPECT_EQ(port.Settings().parity, Parity::Odd);
  EXPECT_EQ(link.LastOpenError(), PortOpenError::None);
  link.ClosePort();
  EXPECT_FALSE(port.IsOpen());
}

TEST_F(LinkFrame, PurgePortClearsReceiveThenTransmit) {
  ASSERT_TRUE(link.PurgePort());
  const auto events = port.Events();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].kind, FakeSerialPort::EventKind::PurgeReceive);
  EXPECT_EQ(events[1].kind, FakeSerialPort::EventKind::PurgeTransmit);
}

}  // namespace
}  // namespace va5
