#include "serial/PortDiscoveryWin32.h"

#include "platform/Text.h"
#include "platform/Win32Text.h"

namespace tola {

namespace {

// The buffers the port list has always used: longer names or data end the enumeration.
constexpr DWORD kNameChars = 256;
constexpr DWORD kDataBytes = 32;

}  // namespace

std::vector<PortInfo> DescribeSerialPorts(HKEY root, const std::string& keyPath) {
  std::vector<PortInfo> ports;
  HKEY key = nullptr;
  if (::RegOpenKeyExW(root, Wide(keyPath).c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return ports;
  for (DWORD index = 0;; ++index) {
    wchar_t name[kNameChars];
    DWORD nameChars = kNameChars;
    wchar_t data[kDataBytes / sizeof(wchar_t)];
    DWORD dataBytes = kDataBytes;
    DWORD type = REG_NONE;
    // Anything but success (no more items, or a name or port name too long for the buffers) ends the list.
    if (::RegEnumValueW(key, index, name, &nameChars, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataBytes) !=
        ERROR_SUCCESS) {
      break;
    }
    if (type != REG_SZ || dataBytes < sizeof(wchar_t)) continue;
    // The data normally ends in its zero; without one it ends where the data does.
    std::size_t chars = dataBytes / sizeof(wchar_t);
    while (chars > 0 && data[chars - 1] == L'\0') --chars;
    PortInfo info;
    info.name = Utf8(std::wstring(data, chars));
    info.driver = Utf8(std::wstring(name, nameChars));
    if (info.name.empty() || EqualNoCase(info.driver, "winachsf0")) continue;
    ports.push_back(std::move(info));
  }
  ::RegCloseKey(key);
  return ports;
}

std::vector<PortInfo> DescribeSerialPorts() {
  return DescribeSerialPorts(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM");
}

std::vector<std::string> ListSerialPorts() {
  std::vector<std::string> names;
  for (PortInfo& info : DescribeSerialPorts()) names.push_back(std::move(info.name));
  return names;
}

}  // namespace tola
