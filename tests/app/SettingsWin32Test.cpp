// The settings rules again, on the registry itself (under Wine, the prefix's registry).

#include "app/SettingsTest.h"
#include "platform/Win32RegistryStore.h"

namespace tola::test {
namespace {

// A throw-away key of the current user's hive stands in for HKEY_CURRENT_USER.
constexpr const char* kTestRoot = "Software\\TOLA Utility Tests\\Settings";

INSTANTIATE_TEST_SUITE_P(Registry, SettingsRulesTest,
                         ::testing::Values(SettingsBackend{
                             "Registry",
                             [](const std::string&) {
                               return std::make_unique<Win32RegistryStore>(HKEY_CURRENT_USER, kTestRoot);
                             },
                             [] { ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\TOLA Utility Tests"); }}),
                         BackendName);

}  // namespace
}  // namespace tola::test
