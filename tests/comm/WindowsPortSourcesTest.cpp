// Port discovery through WMI, SetupAPI and the serial port map on a real Windows system call
// stack (also under Wine, whose WMI and SetupAPI know no serial ports).
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// windows.h first: objbase.h builds on its types.
#include <objbase.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <regex>
#include <thread>
#include <vector>

#include "comm/COMPortEnumerator.h"
#include "comm/PortSources.h"

namespace va5 {
namespace {

bool RunningUnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// Runs PlatformPortSources on a thread of the given apartment (or none) and gives up after a
// limit, so that a stuck source fails the test instead of hanging it. `apartmentAfter` receives
// what CoInitializeEx of the same kind answers afterwards: S_FALSE while the apartment is intact.
std::vector<PortRecord> EnumerateOnThread(DWORD apartment, HRESULT* apartmentAfter = nullptr) {
  std::packaged_task<std::vector<PortRecord>()> task([apartment, apartmentAfter] {
    const bool joined = apartment != DWORD(-1) && SUCCEEDED(CoInitializeEx(nullptr, apartment));
    std::vector<PortRecord> ports = PlatformPortSources();
    if (joined) {
      const HRESULT again = CoInitializeEx(nullptr, apartment);
      if (apartmentAfter != nullptr) *apartmentAfter = again;
      if (SUCCEEDED(again)) CoUninitialize();
      CoUninitialize();
    }
    return ports;
  });
  auto result = task.get_future();
  std::thread worker(std::move(task));
  if (result.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
    worker.detach();  // the process ends with the failed test
    ADD_FAILURE() << "port enumeration did not finish within 30 s";
    return {};
  }
  worker.join();
  return result.get();
}

void ExpectComRecords(const std::vector<PortRecord>& ports) {
  const std::regex com("COM[0-9]+");
  for (const PortRecord& port : ports) {
    EXPECT_TRUE(std::regex_match(port.portName, com)) << port.portName;
    EXPECT_EQ(port.openName, ComOpenName(std::stoi(port.portName.substr(3)))) << port.portName;
  }
}

TEST(WindowsPortSources, FinishOnAThreadWithoutComponentSystem) {
  const auto ports = EnumerateOnThread(DWORD(-1));
  ExpectComRecords(ports);
  // Wine's WMI has no Win32_SerialPort rows and its SetupAPI no COM port devices: what it
  // lists comes from the serial port map, which names no device.
  if (RunningUnderWine()) {
    for (const PortRecord& port : ports) EXPECT_EQ(port.description, "") << port.portName;
  }
  // A second run must find the component system in the same state as the first.
  EXPECT_EQ(EnumerateOnThread(DWORD(-1)), ports);
}

TEST(WindowsPortSources, KeepTheCallersApartment) {
  HRESULT multi = E_FAIL;
  const auto fromMulti = EnumerateOnThread(COINIT_MULTITHREADED, &multi);
  EXPECT_EQ(multi, S_FALSE) << "the multithreaded apartment was left";
  ExpectComRecords(fromMulti);

  // A single-threaded apartment cannot become multithreaded: WMI runs in it as it is.
  HRESULT single = E_FAIL;
  const auto fromSingle = EnumerateOnThread(COINIT_APARTMENTTHREADED, &single);
  EXPECT_EQ(single, S_FALSE) << "the single-threaded apartment was left";
  EXPECT_EQ(fromSingle, fromMulti);
}

TEST(WindowsPortSources, EnumeratorListsThePlatformPorts) {
  CCOMPortEnumerator enumerator;
  std::thread worker([&] { enumerator.Enumerate(); });
  worker.join();
  const auto ports = enumerator.Ports();
  ExpectComRecords(ports);
  EXPECT_EQ(MergePorts(ports), ports);
}

// A port only the registry's serial port map knows (a virtual or USB-serial driver's, and every
// port under Wine) is listed too.
TEST(WindowsPortSources, ListThePortsOfTheSerialPortMap) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr,
                      REG_OPTION_VOLATILE, KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    GTEST_SKIP() << "the serial port map cannot be written without administrator rights";
  }
  const wchar_t kValue[] = L"\\Device\\VA5VIVITest";
  const wchar_t kPort[] = L"COM87";
  ASSERT_EQ(RegSetValueExW(key, kValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(kPort),
                           sizeof kPort),
            ERROR_SUCCESS);
  const auto ports = EnumerateOnThread(COINIT_MULTITHREADED);
  RegDeleteValueW(key, kValue);
  RegCloseKey(key);
  ExpectComRecords(ports);
  EXPECT_EQ(std::count_if(ports.begin(), ports.end(),
                          [](const PortRecord& port) { return port.portName == "COM87"; }),
            1);
}

}  // namespace
}  // namespace va5
