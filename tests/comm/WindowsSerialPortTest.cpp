// The Win32 serial layer on a COM port with a simulated transmitter behind it. tools/check-windows
// links a COM port of its Wine prefix to the Linux simulator's pseudo-terminal and names it in
// VA5VIVI_TEST_COM_PORT; without that variable the line tests are skipped. Wine answers "not
// supported" for DTR/RTS, modem status and RTS toggle on such a port: the layer must take it for
// a port without modem lines, as the POSIX layer takes a pseudo-terminal.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "comm/HartLink.h"
#include "comm/Win32SerialPort.h"

namespace va5 {
namespace {

using Clock = std::chrono::steady_clock;

bool RunningUnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

class WindowsSerialPort : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* name = std::getenv("VA5VIVI_TEST_COM_PORT");
    if (name == nullptr || *name == '\0') {
      GTEST_SKIP() << "VA5VIVI_TEST_COM_PORT names no port with a transmitter behind it";
    }
    portName_ = name;
  }

  std::string portName_;
  Timing timing_ = Timing{}.Scaled(0.2);
};

TEST_F(WindowsSerialPort, OpensAndTreatsMissingModemLinesAsNoCarrier) {
  Win32SerialPort port;
  ASSERT_EQ(port.Open(portName_, PortSettings{}, timing_), ResultOk);
  EXPECT_TRUE(port.IsOpen());
  const ModemStatus status = port.GetModemStatus();
  EXPECT_TRUE(status.ok);
  if (RunningUnderWine()) {
    EXPECT_FALSE(status.carrier);
  }
  EXPECT_TRUE(port.SetDtr(true));
  EXPECT_TRUE(port.SetRts(false));
  EXPECT_TRUE(port.PurgeReceive());
  EXPECT_TRUE(port.PurgeTransmit());
  EXPECT_EQ(port.ClearLineErrors(), 0u);

  port.Close();
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(port.Open(portName_, PortSettings{}, timing_), ResultOk) << "open again after close";

  // The port is opened without sharing: a second open fails while the first holds it. (Wine
  // shares its serial devices freely, so this shows only on Windows.)
  if (!RunningUnderWine()) {
    Win32SerialPort second;
    EXPECT_EQ(second.Open(portName_, PortSettings{}, timing_), ResultPortOpenFailed);
    EXPECT_EQ(second.LastOpenError(), PortOpenError::Busy);
    EXPECT_FALSE(second.IsOpen());
  }
}

TEST_F(WindowsSerialPort, ASilentLineReadReturnsAfterItsTimeout) {
  Win32SerialPort port;
  ASSERT_EQ(port.Open(portName_, PortSettings{}, timing_), ResultOk);
  ASSERT_TRUE(port.PurgeReceive());
  for (const Millis timeout : {Millis(100), Millis(30)}) {
    const auto start = Clock::now();
    const ReadResult read = port.ReadByte(timeout);
    const auto elapsed = Clock::now() - start;
    EXPECT_TRUE(read.ok);
    EXPECT_EQ(read.transferred, 0u);
    EXPECT_GE(elapsed, timeout - Millis(10));
    EXPECT_LT(elapsed, timeout + Millis(500));
  }
}

TEST_F(WindowsSerialPort, CarriesAHartTransactionToTheTransmitter) {
  Win32SerialPort port;
  HartLink link(port, timing_, NullTraceSink());
  ASSERT_EQ(link.OpenPort(portName_), ResultOk);
  LinkState& state = link.State();
  state.frameKind = FrameKindShort;
  state.pollingAddress = 0;
  state.command = 0;
  state.byteCount = 0;
  std::uint8_t frame[MaxRequestFrame];
  const std::size_t length = link.BuildRequestFrame(frame);
  // Twice: the second exchange shows that the first left nothing behind on the line.
  for (int round = 0; round < 2; ++round) {
    ASSERT_EQ(link.SendFrame(frame, length), ResultOk) << "round " << round;
    ASSERT_EQ(link.ReceiveFrame(), ResultOk) << "round " << round;
    ASSERT_TRUE(link.ParseReply()) << "round " << round;
    EXPECT_EQ(state.command, 0);
    EXPECT_EQ(state.data[2], 254);   // expanded device type code of a command 0 reply
    EXPECT_EQ(state.data[3], 0x1D);  // manufacturer of the simulated transmitter
    EXPECT_EQ(state.data[4], 0x02);  // its device type
  }
  link.ClosePort();
  EXPECT_FALSE(port.IsOpen());
}

TEST(WindowsSerialPortNames, MissingPortsAndBadNamesSayWhy) {
  Win32SerialPort port;
  // COM1 to COM4 of a Wine prefix are the machine's real ports: a number no one maps is used.
  EXPECT_EQ(port.Open("COM219", PortSettings{}, Timing{}), ResultPortOpenFailed);
  EXPECT_EQ(port.LastOpenError(), PortOpenError::NotFound);
  EXPECT_EQ(port.Open("", PortSettings{}, Timing{}), ResultBadPortDefinition);
  EXPECT_EQ(port.Open(std::string(400, 'C'), PortSettings{}, Timing{}), ResultPortOpenFailed);
  EXPECT_EQ(port.LastOpenError(), PortOpenError::NameTooLong);
  EXPECT_FALSE(port.IsOpen());
  // Windows refuses a second open of a COM port with "access denied": the port is busy.
  EXPECT_EQ(PortOpenErrorFromWin32(ERROR_ACCESS_DENIED), PortOpenError::Busy);
  EXPECT_EQ(PortOpenErrorFromWin32(ERROR_FILE_NOT_FOUND), PortOpenError::NotFound);
  EXPECT_EQ(PortOpenErrorFromWin32(ERROR_FILENAME_EXCED_RANGE), PortOpenError::NameTooLong);
}

}  // namespace
}  // namespace va5
