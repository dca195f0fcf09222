#include "app/SettingsTest.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/FileSystem.h"

namespace tola::test {
namespace {

TEST_P(SettingsRulesTest, FirstRunWritesCaptionsFoldersAndPlacementOnly) {
  {
    auto t = StartApp();
    AppState& app = *t->app;
    EXPECT_EQ(app.commandCaptions.At(0), "Macro 1");
    EXPECT_EQ(app.commandCaptions.At(15), "Macro 16");
    EXPECT_EQ(app.commandTexts.At(3), "");
    const std::string ostravel = JoinPath(AppDataFolder(), "Ostravel");
    EXPECT_EQ(app.firmwareFolder.Get(), JoinPath(ostravel, "TOLA Firmware"));
    EXPECT_EQ(app.configurationFolder.Get(), JoinPath(ostravel, "TOLA Configuration"));
    EXPECT_TRUE(IsDirectory(app.firmwareFolder.Get()));
    EXPECT_TRUE(IsDirectory(app.configurationFolder.Get()));
    EXPECT_EQ(app.operatePollInterval.Get(), 300u);
    EXPECT_EQ(app.firmwareLoadRetryLimit.Get(), 10u);
    app.activePage.Change(0);  // the first page was showing
    app.SaveSettings();
    WindowPlacement placement;
    placement.showCmd = 1;
    placement.left = -8;
    placement.right = 800;
    ASSERT_TRUE(app.SavePlacement(placement));
  }
  const auto hive = ReadBack();
  std::vector<std::string> names = hive->EnumValueNames(kSettingsKey);
  std::sort(names.begin(), names.end());
  std::vector<std::string> expected{"ConfigurationFolder", "FirmwareFolder"};
  for (int i = 1; i <= 16; ++i) expected.push_back("CommandCaption" + std::to_string(i));
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(names, expected);
  EXPECT_EQ(hive->EnumValueNames(kPlacementKey).size(), 10u);

  // The next start reads them back; a page other than the first is then remembered.
  auto t = StartApp();
  EXPECT_EQ(t->app->commandCaptions.StoredAt(4), "Macro 5");
  WindowPlacement placement;
  ASSERT_TRUE(t->app->RestorePlacement(placement));
  EXPECT_EQ(placement.left, -8);
  EXPECT_EQ(placement.right, 800);
  t->app->activePage.Change(3);
  t->app->SaveSettings();
  EXPECT_EQ(Stored("ActivePage"), (RegValue{kRegDword, DwordBytes(3)}));
}

TEST_P(SettingsRulesTest, ClampedNumbersLoadLimitedAndAreWrittenBack) {
  struct Case {
    const char* name;
    std::uint32_t stored;
    std::uint32_t loaded;
  };
  for (const Case c : {Case{"OperatePollInterval", 50, 100}, Case{"OperatePollInterval", 60000, 30000},
                       Case{"FirmwareLoadRetryLimit", 3, 5}, Case{"FirmwareLoadRetryLimit", 40, 25},
                       Case{"FirmwareLoadRetryLimit", 17, 17}}) {
    SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.stored));
    Put(c.name, kRegDword, DwordBytes(c.stored));
    auto t = StartApp();
    const PersistedNumber& value =
        std::string(c.name) == "OperatePollInterval" ? t->app->operatePollInterval : t->app->firmwareLoadRetryLimit;
    EXPECT_EQ(value.Get(), c.loaded);
    t->app->SaveSettings();
    EXPECT_EQ(Stored(c.name).data, DwordBytes(c.loaded));
  }
}

TEST_P(SettingsRulesTest, TextRulesForPort) {
  // Expandable text is accepted as it stands (nothing is expanded).
  Put("Port", kRegExpandSz, Utf16FromUtf8("%HOME%ttyUSB1"));
  EXPECT_EQ(StartApp()->app->port.Get(), "%HOME%ttyUSB1");

  // A number is no text: ignored, and left alone at exit while the port stays unchosen.
  Put("Port", kRegDword, DwordBytes(3));
  {
    auto t = StartApp();
    EXPECT_EQ(t->app->port.Get(), "");
    t->app->SaveSettings();
    EXPECT_EQ(Stored("Port").type, kRegDword);
  }

  // Odd length, missing terminator: invalid. Zero length: the empty text.
  const std::vector<std::uint8_t> text = Utf16FromUtf8("ttyS0");
  for (std::size_t cut : {std::size_t{1}, std::size_t{2}, text.size()}) {
    Put("Port", kRegSz, std::vector<std::uint8_t>(text.begin(), text.end() - static_cast<std::ptrdiff_t>(cut)));
    EXPECT_EQ(StartApp()->app->port.Get(), "") << cut;
  }
  Put("Port", kRegSz, Utf16FromUtf8("ttyACM0"));
  EXPECT_EQ(StartApp()->app->port.Get(), "ttyACM0");
}

TEST_P(SettingsRulesTest, NumbersTooLargeFallBackToTheDefault) {
  Put("VerboseLogging", kRegQword, {1, 0, 0, 0, 0, 0, 0, 0});
  Put("Trace", kRegBinary, {1, 0});
  auto t = StartApp();
  EXPECT_EQ(t->app->verboseLogging.Get(), 0u);
  EXPECT_EQ(t->app->trace.Get(), 1u) << "up to four bytes are read whatever their type";
}

TEST_P(SettingsRulesTest, EmptyCaptionComesBackAsItsDefault) {
  Put("CommandCaption5", kRegSz, Utf16FromUtf8(""));
  Put("CommandCaption6", kRegSz, Utf16FromUtf8("Band up"));
  auto t = StartApp();
  EXPECT_EQ(t->app->commandCaptions.At(4), "Macro 5");
  EXPECT_EQ(t->app->commandCaptions.At(5), "Band up");
  t->app->SaveSettings();
  EXPECT_EQ(Utf8FromUtf16(Stored("CommandCaption5").data), "Macro 5");
}

TEST_P(SettingsRulesTest, PlacementNeedsAllTenValues) {
  ASSERT_TRUE(StartApp()->app->SavePlacement(WindowPlacement{}));
  const auto store = ReadBack();
  ASSERT_EQ(store->DeleteValue(kPlacementKey, "top"), kErrorSuccess);
  auto t = StartApp();
  WindowPlacement placement;
  placement.left = 1234;
  EXPECT_FALSE(t->app->RestorePlacement(placement));
  EXPECT_EQ(placement.left, 1234) << "nothing applied";

  // A value of the wrong type counts as missing too.
  ASSERT_EQ(store->SetValue(kPlacementKey, "top", kRegSz, Utf16FromUtf8("40")), kErrorSuccess);
  EXPECT_FALSE(StartApp()->app->RestorePlacement(placement));
}

TEST_F(SettingsTest, HandWrittenExportReadsAsTheProgramsOwnHive) {
  const std::string exported =
      "Windows Registry Editor Version 5.00\r\n"
      "\r\n"
      "[HKEY_CURRENT_USER\\Software\\Ostravel\\TOLA Utility]\r\n"
      "\"Port\"=\"ttyUSB0\"\r\n"
      "\"OperatePollInterval\"=dword:000003e8\r\n"
      "\"Trace\"=dword:00000001\r\n"
      "\"CommandCaption2\"=\"Query \\\"SWR\\\"\"\r\n"
      "\"CommandText2\"=hex(2):5e,00,73,00,77,00,3b,00,00,00\r\n"
      "\"FirmwareFolder\"=\"/srv/firmware\"\r\n"
      "\r\n";
  WriteWholeFile(HivePath(), exported);
  auto t = StartApp();
  AppState& app = *t->app;
  EXPECT_EQ(app.port.Get(), "ttyUSB0");
  EXPECT_EQ(app.operatePollInterval.Get(), 1000u);
  EXPECT_EQ(app.trace.Get(), 1u);
  EXPECT_EQ(app.commandCaptions.At(1), "Query \"SWR\"");
  EXPECT_EQ(app.commandTexts.At(1), "^sw;");
  EXPECT_EQ(app.firmwareFolder.Get(), "/srv/firmware");

  // Save everything the program has (changed so all is written), then read it back.
  app.port.Change("ttyUSB1");
  app.port.Change("ttyUSB0");
  app.SaveSettings();
  t.reset();
  auto again = StartApp();
  EXPECT_EQ(again->app->port.Get(), "ttyUSB0");
  EXPECT_EQ(again->app->operatePollInterval.Get(), 1000u);
  EXPECT_EQ(again->app->commandCaptions.At(1), "Query \"SWR\"");
  EXPECT_EQ(again->app->commandTexts.At(1), "^sw;");
  EXPECT_EQ(again->app->commandCaptions.At(0), "Macro 1");
}

TEST_F(SettingsTest, UnreadableHiveMeansDefaultsAndNothingSaved) {
  // The hive's folder is a file: the key cannot be opened.
  WriteWholeFile(m_folder / "blocker", "x");
  auto t = std::make_unique<TestApp>(std::make_unique<HiveFileStore>(m_folder / "blocker/hive.reg"));
  t->app->LoadSettings();
  EXPECT_EQ(t->app->operatePollInterval.Get(), 300u);
  t->app->port.Change("ttyS3");
  t->app->SaveSettings();  // silently nothing
  EXPECT_EQ(ReadWholeFile(m_folder / "blocker"), "x");
}

TEST_F(SettingsTest, EnsureFolderExistsAsksBeforeCreating) {
  auto t = StartApp();
  const std::string wanted = m_folder / "a/b/c";
  t->host.ExpectBox("Folder \"" + wanted + "\" does not exist. Do you want to create it now?", BoxAnswer::No);
  EXPECT_FALSE(t->app->EnsureFolderExists(wanted));
  EXPECT_FALSE(IsDirectory(m_folder / "a"));
  t->host.ExpectBox("does not exist", BoxAnswer::Yes);
  EXPECT_TRUE(t->app->EnsureFolderExists(wanted));
  EXPECT_TRUE(IsDirectory(wanted));
  EXPECT_EQ(t->host.Boxes().back().caption, "Create folder");
  EXPECT_TRUE(t->app->EnsureFolderExists(wanted)) << "no question for an existing folder";
  EXPECT_EQ(t->host.Boxes().size(), 2u);

  // A creation that fails is asked about again until the operator gives up.
  WriteWholeFile(m_folder / "file", "x");
  const std::string blocked = m_folder / "file/d";
  for (const BoxAnswer answer : {BoxAnswer::Yes, BoxAnswer::Yes, BoxAnswer::No}) t->host.ExpectBox(blocked, answer);
  EXPECT_FALSE(t->app->EnsureFolderExists(blocked));
  EXPECT_TRUE(t->host.AllBoxesShown());
  EXPECT_EQ(t->host.Boxes().size(), 5u);
}

INSTANTIATE_TEST_SUITE_P(HiveFile, SettingsRulesTest,
                         ::testing::Values(SettingsBackend{
                             "HiveFile", [](const std::string& hivePath) { return std::make_unique<HiveFileStore>(hivePath); },
                             nullptr}),
                         BackendName);

}  // namespace
}  // namespace tola::test
