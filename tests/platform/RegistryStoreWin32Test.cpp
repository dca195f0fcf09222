// The settings store on the registry itself: under Wine, the registry of the test's prefix. Every
// test works below a throw-away key of the current user and removes it afterwards.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "platform/HiveFileStore.h"
#include "platform/Win32RegistryStore.h"
#include "support/TempFolder.h"

namespace tola {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr const char* kRoot = "Software\\TOLA Utility Tests\\Store";

class Win32RegistryStoreTest : public ::testing::Test {
 protected:
  Win32RegistryStoreTest() { Remove(); }
  ~Win32RegistryStoreTest() override { Remove(); }
  static void Remove() { ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\TOLA Utility Tests"); }

  // A store as the program has it, loaded.
  static std::unique_ptr<Win32RegistryStore> Open(bool readOnly = false) {
    auto store = std::make_unique<Win32RegistryStore>(HKEY_CURRENT_USER, kRoot);
    store->SetReadOnly(readOnly);
    EXPECT_EQ(store->Load(), kErrorSuccess);
    return store;
  }
};

TEST_F(Win32RegistryStoreTest, ValuesComeBackWithTheirTypeAndEveryByte) {
  struct Case {
    std::string name;
    std::uint32_t type;
    Bytes data;
  };
  const std::vector<Case> cases{
      {"Dword", kRegDword, DwordBytes(0x12345678)},
      {"Text", kRegSz, Utf16FromUtf8("COM3")},
      {"Expandable", kRegExpandSz, Utf16FromUtf8("%APPDATA%\\Ostravel")},
      {"OddLength", kRegSz, Bytes{'C', 0, 'O', 0, 'M'}},
      {"NoTerminator", kRegSz, Bytes{'C', 0, 'O', 0}},
      {"Empty", kRegSz, Bytes{}},
      {"Wide", kRegQword, Bytes{1, 2, 3, 4, 5, 6, 7, 8}},
      {"\xC5\xBDlu\xC5\xA5", kRegBinary, Bytes{0xFF, 0}},
      {"", kRegSz, Utf16FromUtf8("the default value")},
  };
  {
    Win32RegistryStore unloaded(HKEY_CURRENT_USER, kRoot);
    EXPECT_EQ(unloaded.CreateKey("K"), kErrorInvalidHandle);
    auto store = Open();
    EXPECT_EQ(store->SetValue("K", "Dword", kRegDword, DwordBytes(1)), kErrorFileNotFound) << "no key yet";
    ASSERT_EQ(store->CreateKey("K\\Window"), kErrorSuccess);
    for (const Case& c : cases) ASSERT_EQ(store->SetValue("K", c.name, c.type, c.data), kErrorSuccess) << c.name;
  }
  // Read by a store of its own, so nothing comes from what the writer kept.
  const auto store = Open();
  std::vector<std::string> names;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RegValue value;
    ASSERT_EQ(store->QueryValue("k", c.name, value), kErrorSuccess);
    EXPECT_EQ(value.type, c.type);
    EXPECT_EQ(value.data, c.data);
    names.push_back(c.name);
  }
  std::vector<std::string> listed = store->EnumValueNames("K");
  std::sort(listed.begin(), listed.end());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(listed, names);
  EXPECT_EQ(store->EnumSubKeys("K"), std::vector<std::string>{"Window"});
  EXPECT_TRUE(store->KeyExists("k\\WINDOW"));
  EXPECT_FALSE(store->KeyExists("K\\Other"));
  EXPECT_TRUE(store->EnumValueNames("K\\Other").empty());

  RegValue value{kRegDword, {9}};
  EXPECT_EQ(store->QueryValue("K", "Missing", value), kErrorFileNotFound);
  EXPECT_EQ(store->QueryValue("K\\Other", "Dword", value), kErrorFileNotFound);
  EXPECT_EQ(value, (RegValue{kRegDword, {9}})) << "untouched";
  ASSERT_EQ(store->DeleteValue("K", "TEXT"), kErrorSuccess);
  EXPECT_EQ(store->QueryValue("K", "Text", value), kErrorFileNotFound);
  EXPECT_EQ(store->DeleteValue("K", "Text"), kErrorFileNotFound);
}

TEST_F(Win32RegistryStoreTest, ReadOnlyStoreRefusesEveryChange) {
  {
    auto store = Open();
    ASSERT_EQ(store->CreateKey("K"), kErrorSuccess);
    ASSERT_EQ(store->SetValue("K", "Port", kRegSz, Utf16FromUtf8("COM1")), kErrorSuccess);
  }
  auto store = Open(true);
  EXPECT_EQ(store->CreateKey("K\\New"), kErrorAccessDenied);
  EXPECT_EQ(store->SetValue("K", "Port", kRegSz, Utf16FromUtf8("COM2")), kErrorAccessDenied);
  EXPECT_EQ(store->SetValue("K", "Other", kRegDword, DwordBytes(1)), kErrorAccessDenied);
  EXPECT_EQ(store->DeleteValue("K", "Port"), kErrorAccessDenied);

  const auto reader = Open();
  RegValue value;
  ASSERT_EQ(reader->QueryValue("K", "Port", value), kErrorSuccess);
  EXPECT_EQ(value.data, Utf16FromUtf8("COM1"));
  EXPECT_EQ(reader->EnumValueNames("K"), std::vector<std::string>{"Port"});
  EXPECT_FALSE(reader->KeyExists("K\\New"));

  // Writable again, it writes.
  store->SetReadOnly(false);
  EXPECT_EQ(store->SetValue("K", "Port", kRegSz, Utf16FromUtf8("COM2")), kErrorSuccess);
  ASSERT_EQ(reader->QueryValue("K", "Port", value), kErrorSuccess);
  EXPECT_EQ(value.data, Utf16FromUtf8("COM2"));
}

TEST(SettingsStoreWin32, TheRegistryUnlessAFileIsNamed) {
  const test::TempFolder dir;
  struct Case {
    std::optional<std::string> named;
    std::optional<std::string> environment;
    std::string hivePath;  // empty: the registry
  };
  for (const Case& c : {Case{std::nullopt, std::nullopt, ""}, Case{dir / "named.reg", std::nullopt, dir / "named.reg"},
                        Case{std::nullopt, dir / "env.reg", dir / "env.reg"},
                        Case{dir / "named.reg", dir / "env.reg", dir / "named.reg"}}) {
    SCOPED_TRACE(c.named.value_or("-") + " " + c.environment.value_or("-"));
    const test::ScopedEnv env("TOLA_SETTINGS", c.environment);
    const auto store = MakeSettingsStore(c.named);
    EXPECT_EQ(store->HivePath(), c.hivePath);
    EXPECT_EQ(store->Location(), c.hivePath.empty() ? "HKEY_CURRENT_USER" : c.hivePath);
  }
}

// The hive file, for a settings file named on Windows: read by its UTF-8 name, and only when it is a
// file.
TEST(HiveFileStoreWin32, ReadsOnlyAFileAndFindsItByItsUnicodeName) {
  const test::TempFolder dir;
  const std::string named = dir / "\xC5\xBDlu\xC5\xA5.reg";
  {
    const std::u8string utf8(named.begin(), named.end());
    std::ofstream(std::filesystem::path(utf8), std::ios::binary)
        << "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n\"Port\"=\"COM4\"\r\n";
  }
  struct Case {
    std::string path;
    ResultCode load;
    std::vector<std::string> values;
  };
  for (const Case& c : {Case{named, kErrorSuccess, {"Port"}}, Case{dir / "none.reg", kErrorSuccess, {}},
                        Case{dir / "none/h.reg", kErrorSuccess, {}}, Case{dir.Path(), kErrorDirectory, {}},
                        Case{"NUL", kErrorAccessDenied, {}}}) {
    SCOPED_TRACE(c.path);
    HiveFileStore store(c.path);
    EXPECT_EQ(store.Load(), c.load);
    EXPECT_EQ(store.EnumValueNames("K"), c.values);
  }
}

}  // namespace
}  // namespace tola
