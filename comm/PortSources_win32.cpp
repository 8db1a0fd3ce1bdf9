// Serial ports of a Windows machine: the WMI class Win32_SerialPort, then the present devices
// of the COM port interface class through SetupAPI (loaded at run time), then the serial port
// map in the registry. Every failing step
// ends its source silently; the caller merges, sorts and drops duplicates.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// windows.h first: the COM, WMI and SetupAPI headers build on its types.
#include <objbase.h>
#include <oleauto.h>
#include <setupapi.h>
#include <wbemidl.h>

#include <algorithm>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "comm/PortSources.h"

namespace va5 {

namespace {

// The COM port device interface class, {86E0D1E0-8089-11D0-9CE4-08003E301F73}.
constexpr GUID kComPortInterfaceClass = {
    0x86e0d1e0, 0x8089, 0x11d0, {0x9c, 0xe4, 0x08, 0x00, 0x3e, 0x30, 0x1f, 0x73}};

// The longest wait for the next WMI row. The provider answers at once on a healthy machine;
// a stuck one must not keep the enumeration thread (and every later enumeration) forever.
constexpr long kWmiRowTimeoutMs = 10000;

std::string Utf8(const wchar_t* text, std::size_t length) {
  if (length == 0) return {};
  const int wide = static_cast<int>(length);
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, wide, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, wide, out.data(), size, nullptr, nullptr);
  return out;
}

std::string Utf8(const std::wstring& text) { return Utf8(text.data(), text.size()); }

// Releases a COM interface pointer when it goes out of scope.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() {
    if (p_ != nullptr) p_->Release();
  }
  T* operator->() const { return p_; }
  T* get() const { return p_; }
  T** put() { return &p_; }

 private:
  T* p_ = nullptr;
};

class Bstr {
 public:
  explicit Bstr(const wchar_t* text) : b_(SysAllocString(text)) {}
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { SysFreeString(b_); }
  BSTR get() const { return b_; }
  explicit operator bool() const { return b_ != nullptr; }

 private:
  BSTR b_;
};

// A string property of a WMI object; nullopt when it is missing or not a string.
std::optional<std::string> StringProperty(IWbemClassObject* object, const wchar_t* name) {
  VARIANT value;
  VariantInit(&value);
  std::optional<std::string> result;
  if (SUCCEEDED(object->Get(name, 0, &value, nullptr, nullptr)) && value.vt == VT_BSTR &&
      value.bstrVal != nullptr) {
    result = Utf8(value.bstrVal, SysStringLen(value.bstrVal));
  }
  VariantClear(&value);
  return result;
}

void AddWmiPorts(std::vector<PortRecord>& ports) {
  ComPtr<IWbemLocator> locator;
  if (FAILED(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                              reinterpret_cast<void**>(locator.put())))) {
    return;
  }
  const Bstr space(L"\\\\.\\root\\cimv2");
  const Bstr language(L"WQL");
  const Bstr query(L"SELECT * FROM Win32_SerialPort");
  if (!space || !language || !query) return;

  ComPtr<IWbemServices> services;
  if (FAILED(locator->ConnectServer(space.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                                    services.put()))) {
    return;
  }
  // The caller's identity is enough to read hardware classes of the local machine.
  if (FAILED(CoSetProxyBlanket(services.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                               RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr,
                               EOAC_NONE))) {
    return;
  }
  ComPtr<IEnumWbemClassObject> rows;
  if (FAILED(services->ExecQuery(language.get(), query.get(),
                                 WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr,
                                 rows.put()))) {
    return;
  }
  for (;;) {
    ComPtr<IWbemClassObject> row;
    ULONG returned = 0;
    const HRESULT hr = rows->Next(kWmiRowTimeoutMs, 1, row.put(), &returned);
    if (FAILED(hr) || hr == WBEM_S_TIMEDOUT || returned == 0 || row.get() == nullptr) return;
    const auto deviceId = StringProperty(row.get(), L"DeviceID");
    if (!deviceId) continue;
    const auto name = StringProperty(row.get(), L"Name");
    if (auto record = PortFromWmi(*deviceId, name.value_or(std::string()))) {
      ports.push_back(std::move(*record));
    }
  }
}

// The SetupAPI functions we use, resolved from the system's SETUPAPI.DLL.
struct SetupApi {
  decltype(&::SetupDiGetClassDevsW) getClassDevs = nullptr;
  decltype(&::SetupDiEnumDeviceInfo) enumDeviceInfo = nullptr;
  decltype(&::SetupDiOpenDevRegKey) openDevRegKey = nullptr;
  decltype(&::SetupDiGetDeviceRegistryPropertyW) getDeviceRegistryProperty = nullptr;
  decltype(&::SetupDiDestroyDeviceInfoList) destroyDeviceInfoList = nullptr;
};

template <typename Fn>
bool Resolve(HMODULE library, const char* name, Fn& fn) {
  // Through void(*)(): the one function pointer type that converts to any other silently.
  fn = reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
  return fn != nullptr;
}

// A REG_SZ value of an open key; empty when it is missing or of another type.
std::wstring RegistryString(HKEY key, const wchar_t* name) {
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      type != REG_SZ || size == 0) {
    return {};
  }
  // The stored value need not be terminated: read into a buffer one character longer.
  std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ) {
    return {};
  }
  text.resize(std::min<std::size_t>(text.size(), size / sizeof(wchar_t)));
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  return text;
}

std::wstring FriendlyName(const SetupApi& api, HDEVINFO devices, SP_DEVINFO_DATA& device) {
  DWORD type = 0;
  DWORD size = 0;
  api.getDeviceRegistryProperty(devices, &device, SPDRP_FRIENDLYNAME, &type, nullptr, 0, &size);
  if (size == 0) return {};
  std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
  if (!api.getDeviceRegistryProperty(devices, &device, SPDRP_FRIENDLYNAME, &type,
                                     reinterpret_cast<BYTE*>(text.data()), size, &size) ||
      type != REG_SZ) {
    return {};
  }
  text.resize(std::min<std::size_t>(text.size(), size / sizeof(wchar_t)));
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  return text;
}

void AddSetupApiPorts(std::vector<PortRecord>& ports) {
  // From the system directory only, never from beside the executable or the working directory.
  const HMODULE library = LoadLibraryExW(L"SETUPAPI.DLL", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (library == nullptr) return;
  SetupApi api;
  const bool complete =
      Resolve(library, "SetupDiGetClassDevsW", api.getClassDevs) &&
      Resolve(library, "SetupDiEnumDeviceInfo", api.enumDeviceInfo) &&
      Resolve(library, "SetupDiOpenDevRegKey", api.openDevRegKey) &&
      Resolve(library, "SetupDiGetDeviceRegistryPropertyW", api.getDeviceRegistryProperty) &&
      Resolve(library, "SetupDiDestroyDeviceInfoList", api.destroyDeviceInfoList);
  if (complete) {
    const HDEVINFO devices = api.getClassDevs(&kComPortInterfaceClass, nullptr, nullptr,
                                              DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (devices != INVALID_HANDLE_VALUE) {
      SP_DEVINFO_DATA device{};
      device.cbSize = sizeof(device);
      for (DWORD index = 0; api.enumDeviceInfo(devices, index, &device); ++index) {
        const HKEY key =
            api.openDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
        if (key == nullptr || key == reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE)) continue;
        const std::wstring portName = RegistryString(key, L"PortName");
        RegCloseKey(key);
        if (auto record =
                PortFromSetupApi(Utf8(portName), Utf8(FriendlyName(api, devices, device)))) {
          ports.push_back(std::move(*record));
        }
      }
      api.destroyDeviceInfoList(devices);
    }
  }
  FreeLibrary(library);
}

// The serial port map every serial driver keeps (HARDWARE\DEVICEMAP\SERIALCOMM: a value per
// port, its data the port name). It also holds ports that neither WMI nor the COM port
// interface class report: some virtual and USB-serial drivers, and Wine's.
void AddSerialCommPorts(std::vector<PortRecord>& ports) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE,
                    &key) != ERROR_SUCCESS) {
    return;
  }
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];
    DWORD nameLength = static_cast<DWORD>(std::size(name));
    if (RegEnumValueW(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    if (auto record = PortFromSetupApi(Utf8(RegistryString(key, name)), {})) {
      ports.push_back(std::move(*record));
    }
  }
  RegCloseKey(key);
}

}  // namespace

std::vector<PortRecord> PlatformPortSources() {
  std::vector<PortRecord> ports;
  // Enumeration runs on its own thread, which needs the component system for WMI. A thread
  // that already joined a single-threaded apartment keeps it (RPC_E_CHANGED_MODE).
  const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  if (SUCCEEDED(com) || com == RPC_E_CHANGED_MODE) AddWmiPorts(ports);
  if (SUCCEEDED(com)) CoUninitialize();
  AddSetupApiPorts(ports);
  AddSerialCommPorts(ports);
  return ports;
}

}  // namespace va5
