// The port list from a key laid out as HARDWARE\DEVICEMAP\SERIALCOMM, filled by the test below a
// throw-away key of the current user (under Wine, in the test's prefix).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Win32Text.h"
#include "serial/PortDiscoveryWin32.h"

namespace tola {
namespace {

constexpr const char* kKey = "Software\\TOLA Utility Tests\\SERIALCOMM";

struct Value {
  std::string name;
  DWORD type;
  std::wstring text;  // written with its terminating zero; a REG_DWORD gets 7
};

struct Case {
  const char* what;
  std::vector<Value> values;  // in the order written, which the registry enumerates them in
  std::vector<std::pair<std::string, std::string>> listed;  // port name, driver
};

void Fill(const std::vector<Value>& values) {
  HKEY key = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, Wide(kKey).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                              nullptr),
            ERROR_SUCCESS);
  for (const Value& v : values) {
    const DWORD number = 7;
    const BYTE* data = v.type == REG_DWORD ? reinterpret_cast<const BYTE*>(&number)
                                           : reinterpret_cast<const BYTE*>(v.text.c_str());
    const DWORD bytes = v.type == REG_DWORD ? 4 : static_cast<DWORD>((v.text.size() + 1) * sizeof(wchar_t));
    EXPECT_EQ(::RegSetValueExW(key, Wide(v.name).c_str(), 0, v.type, data, bytes), ERROR_SUCCESS) << v.name;
  }
  ::RegCloseKey(key);
}

TEST(PortDiscoveryWin32, FollowsTheSerialCommRules) {
  // Written in the order Wine keeps them in (sorted by name); Windows enumerates in the order written.
  const std::string name255(255, 'n');
  const std::string name256(256, 'n');
  const std::vector<Case> cases{
      {"skipped values, enumeration goes on",
       {{"WinAchSf0", REG_SZ, L"COM9"},
        {"\\Device\\A", REG_DWORD, L""},
        {"\\Device\\B", REG_SZ, L""},
        {"\\Device\\C", REG_SZ, L"COM7"},
        {"\\Device\\D", REG_EXPAND_SZ, L"COM6"},
        {"\\Device\\E", REG_SZ, L"COM456789012345"}},
       {{"COM7", "\\Device\\C"}, {"COM456789012345", "\\Device\\E"}}},
      {"a port name of 16 characters ends the list",
       {{"\\Device\\A", REG_SZ, L"COM1"}, {"\\Device\\B", REG_SZ, L"COM4567890123456"}, {"\\Device\\C", REG_SZ, L"COM2"}},
       {{"COM1", "\\Device\\A"}}},
      {"a value name of 256 characters ends the list",
       {{name255, REG_SZ, L"COM3"}, {name256, REG_SZ, L"COM4"}, {"o", REG_SZ, L"COM5"}},
       {{"COM3", name255}}},
      {"no key", {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\TOLA Utility Tests");
    if (!c.values.empty()) Fill(c.values);
    std::vector<std::pair<std::string, std::string>> listed;
    for (const PortInfo& p : DescribeSerialPorts(HKEY_CURRENT_USER, kKey)) {
      listed.emplace_back(p.name, p.driver);
      EXPECT_TRUE(p.usbVendor.empty() && p.manufacturer.empty() && p.product.empty() && p.devicePath.empty());
    }
    EXPECT_EQ(listed, c.listed);
  }
  ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\TOLA Utility Tests");
}

}  // namespace
}  // namespace tola
