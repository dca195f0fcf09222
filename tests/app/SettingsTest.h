#pragma once
// The settings tests' fixture. The value rules run on every store the program has: the rule tests
// are parameterised by the store they keep their settings in (the hive file here, the registry on
// Windows), so each store answers the same table.

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <memory>
#include <string>

#include "support/TempFolder.h"
#include "support/TestApp.h"

namespace tola::test {

// Each test gets its own hive and its own data folder.
class SettingsTest : public ::testing::Test {
 protected:
  SettingsTest() : m_data("XDG_DATA_HOME", m_folder / "data"), m_docs("XDG_DOCUMENTS_DIR", std::nullopt) {}

  std::string HivePath() const { return m_folder / "TOLA Utility.reg"; }
  // A fresh store on the test's settings, not loaded yet.
  virtual std::unique_ptr<RegistryStore> NewStore() const { return std::make_unique<HiveFileStore>(HivePath()); }

  std::unique_ptr<TestApp> StartApp() const {
    auto t = std::make_unique<TestApp>(NewStore());
    t->app->LoadSettings();
    return t;
  }

  // What the settings hold, read by a fresh store.
  std::unique_ptr<RegistryStore> ReadBack() const {
    auto store = NewStore();
    EXPECT_EQ(store->Load(), kErrorSuccess);
    return store;
  }

  // A value of the settings key as the store holds it.
  RegValue Stored(const std::string& name) const {
    RegValue value;
    EXPECT_EQ(ReadBack()->QueryValue(kSettingsKey, name, value), kErrorSuccess) << name;
    return value;
  }

  void Put(const std::string& name, std::uint32_t type, const std::vector<std::uint8_t>& data) const {
    auto store = ReadBack();
    ASSERT_EQ(store->CreateKey(kSettingsKey), kErrorSuccess);
    ASSERT_EQ(store->SetValue(kSettingsKey, name, type, data), kErrorSuccess);
  }

  TempFolder m_folder;
  ScopedEnv m_data;
  ScopedEnv m_docs;
};

// A place to keep the rule tests' settings.
struct SettingsBackend {
  std::string name;
  // A fresh store on that place; `hivePath` is the test's own file, for a backend that uses one.
  std::function<std::unique_ptr<RegistryStore>(const std::string& hivePath)> open;
  // Empties the place before and after each test; nothing to do for a file in the test's folder.
  std::function<void()> clear;
};

class SettingsRulesTest : public SettingsTest, public ::testing::WithParamInterface<SettingsBackend> {
 protected:
  SettingsRulesTest() {
    if (GetParam().clear) GetParam().clear();
  }
  ~SettingsRulesTest() override {
    if (GetParam().clear) GetParam().clear();
  }
  std::unique_ptr<RegistryStore> NewStore() const override { return GetParam().open(HivePath()); }
};

inline void PrintTo(const SettingsBackend& backend, std::ostream* os) { *os << backend.name; }
inline std::string BackendName(const ::testing::TestParamInfo<SettingsBackend>& info) { return info.param.name; }

}  // namespace tola::test
