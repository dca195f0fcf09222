#include <gtest/gtest.h>

#include <algorithm>

#include "operations/ConfigCommandFlows.h"
#include "operations/ConfigTestSupport.h"
#include "support/SimApp.h"
#include "support/TestApp.h"

namespace tola::test {
namespace {

// Against the amplifier model, connected by the port test first as an operator would be.
class ConfigCommandSimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(s.RunTest());
    ASSERT_EQ(s.app->ConnectionState(), kConnectionFirmware);
    s.port->ClearSent();
    s.app->dialogueFinished.AddListenerQuiet(&finished);
  }
  void TearDown() override { s.app->dialogueFinished.RemoveListener(&finished); }
  bool RunToEnd(const ConfigCommandMachine& machine, std::uint32_t limitMs = 20000) {
    return s.host.RunUntil([&machine] { return machine.IsIdle(); }, limitMs);
  }

  SimApp s;
  RecordingListener finished;
};

TEST_F(ConfigCommandSimTest, EachBandButtonErasesItsOwnBandAllBandsIsFifteenAndASecondClickIsIgnored) {
  std::vector<unsigned> shown;
  EraseMemoriesFlow flow(*s.app, [&shown](unsigned band) { shown.push_back(band); });
  ASSERT_EQ(shown.size(), 1u) << "the current band is selected on opening";
  for (unsigned band = 0; band <= kBandCount; ++band) {
    flow.ChooseBand(band < kBandCount ? band : kBandIndexAll);
    ASSERT_TRUE(flow.EraseAntenna(1 + band % 2));
    EXPECT_EQ(s.app->antenna.Get(), 1 + band % 2);
    EXPECT_FALSE(flow.EraseAntenna(1)) << "a second click finds the erase still running";
    const std::uint64_t started = s.host.NowMicros();
    ASSERT_TRUE(RunToEnd(*flow.Machine()));
    EXPECT_EQ((s.host.NowMicros() - started) / 1000, 10u) << "finishes about 10 ms after sending";
  }
  EXPECT_EQ(s.port->Sent(),
            "^em001;^em012;^em021;^em032;^em041;^em052;^em061;^em072;^em081;^em092;^em101;^em152;");
  EXPECT_EQ(s.model->MemoryErasures().size(), kBandCount + 1);
  EXPECT_EQ(s.model->MemoryErasures().back(), std::make_pair(15u, 2u));
  EXPECT_EQ(s.app->bandIndex.Get(), kBandIndexAll);
  EXPECT_EQ(finished.messages, (std::vector<std::pair<std::uint32_t, std::uint32_t>>(
                                   kBandCount + 1, {std::uint32_t{kIdDialogueFinished}, 0})));
  EXPECT_EQ(shown.size(), 2u + kBandCount);
  // Operate polling sets the band too; the dialog follows it.
  s.app->bandIndex.Change(7);
  EXPECT_EQ(flow.SelectedBand(), 7u);
  EXPECT_EQ(shown.back(), 7u);
}

TEST_F(ConfigCommandSimTest, ResetSendsTheEraseAndClosingAtOnceLeavesNoTimerBehind) {
  s.app->antennaEnable.Set("33311111122");
  {
    ResetConfigurationFlow flow(*s.app);
    ASSERT_NE(flow.Machine(), nullptr);
    ASSERT_TRUE(flow.Reset());
    EXPECT_EQ(s.port->Sent(), "^ec;");
    EXPECT_TRUE(s.host.IsTimerArmed(kTimerConfigCommand));
    flow.Close();  // the dialog closes while the 10 ms wait is pending
    EXPECT_EQ(flow.Machine(), nullptr);
    EXPECT_EQ(s.app->OperationMachine(), nullptr);
  }
  EXPECT_FALSE(s.host.IsTimerArmed(kTimerConfigCommand));
  s.host.AdvanceBy(100);
  EXPECT_TRUE(finished.messages.empty()) << "the result is not shown";
  EXPECT_EQ(s.model->AntennaEnable(), "33333333333") << "the model went back to its factory settings";
}

TEST(ConfigCommandParseTest, AntennaEnableAnswers) {
  EXPECT_EQ(ParseAntennaEnable("^AEA33311111122;"), "33311111122");
  EXPECT_EQ(ParseAntennaEnable("^AEA333111111221;"), "33311111122") << "twelve digits: the first eleven";
  EXPECT_EQ(ParseAntennaEnable("^AEA3331111112;"), std::nullopt) << "fifteen characters";
  EXPECT_EQ(ParseAntennaEnable("^AEA33311101122;"), std::nullopt) << "a band without an antenna";
  EXPECT_EQ(ParseAntennaEnable("^aea33311111122;"), std::nullopt) << "the prefix is case-sensitive";
}

// A scripted amplifier for what the model will not do: keep another string than the one set,
// stay silent, or answer nonsense.
class ConfigCommandScriptedTest : public ::testing::Test {
 protected:
  ConfigCommandScriptedTest() {
    t.OpenPort();
    t.app->dialogueFinished.AddListenerQuiet(&finished);
  }
  ~ConfigCommandScriptedTest() override { t.app->dialogueFinished.RemoveListener(&finished); }
  bool RunToEnd(const ConfigCommandMachine& machine, std::uint32_t limitMs = 20000) {
    return t.host.RunUntil([&machine] { return machine.IsIdle(); }, limitMs);
  }
  TestApp t;
  RecordingListener finished;
};

TEST_F(ConfigCommandScriptedTest, SetThatTheAmplifierStoresDifferentlyEndsAfterNineQueries) {
  const std::function<std::string(const std::string&)> amplifiers[] = {
      [](const std::string& w) { return w == "^aea;" ? std::string("^AEA33333333331;") : std::string(); },
      // Every command gets the stored string back at once, the set included. Taken as a read-back,
      // the set's answer would send the set again before its wait could end, without end.
      [](const std::string& w) {
        return w.rfind("^AEA", 0) == 0 || w == "^aea;" ? std::string("^AEA33333333333;") : std::string();
      },
  };
  for (const auto& amplifier : amplifiers) {
    t.port->writes.clear();
    finished.messages.clear();
    t.port->responder = amplifier;
    ConfigCommandSession session(*t.app);
    ConfigCommandMachine& m = *session.Machine();
    ASSERT_TRUE(m.StartSetAntennaEnable("12121212121"));
    ASSERT_TRUE(RunToEnd(m, 60000));
    EXPECT_EQ(m.Result(), kNoResponseAntennaEnable);
    ASSERT_EQ(t.port->writes.size(), 19u);
    for (std::size_t i = 0; i < t.port->writes.size(); ++i) {
      EXPECT_EQ(t.port->writes[i], i % 2 == 0 ? "^AEA12121212121;" : "^aea;") << "set and query alternate";
    }
    EXPECT_EQ(t.app->antennaEnable.Get(), "") << "a read-back that differs is never taken";
    ASSERT_EQ(finished.messages.size(), 1u);
    EXPECT_EQ(finished.messages[0].second, kNoResponseAntennaEnable);
  }
}

TEST_F(ConfigCommandScriptedTest, SilentReadBackIsAskedAgainUntilItMatches) {
  // A silent read-back is asked again; the first answer that matches ends the set.
  int queries = 0;
  t.port->responder = [&queries](const std::string& w) -> std::string {
    if (w != "^aea;") return "";
    return ++queries < 3 ? "" : "^AEA12121212121;";
  };
  ConfigCommandSession session(*t.app);
  ConfigCommandMachine& m = *session.Machine();
  ASSERT_TRUE(m.StartSetAntennaEnable("12121212121"));
  ASSERT_TRUE(RunToEnd(m));
  EXPECT_EQ(m.Result(), 0u);
  EXPECT_EQ(queries, 3);
  EXPECT_EQ(CountOf(t.port->writes, "^AEA12121212121;"), 1u) << "unanswered queries are sent again as queries";
  EXPECT_EQ(t.app->antennaEnable.Get(), "12121212121");
}

TEST_F(ConfigCommandScriptedTest, QueryRetriesTenTimesAndTakesOnlyReadableAnswers) {
  ConfigCommandSession session(*t.app);
  ConfigCommandMachine& m = *session.Machine();
  ASSERT_TRUE(m.StartQueryAntennaEnable());
  const std::uint64_t started = t.host.NowMicros();
  ASSERT_TRUE(RunToEnd(m));
  EXPECT_EQ(m.Result(), kNoResponseAntennaEnable);
  EXPECT_EQ(CountOf(t.port->writes, "^aea;"), 10u);
  EXPECT_EQ((t.host.NowMicros() - started) / 1000, 5000u);

  t.app->antennaEnable.Set("33311111122");
  t.port->responder = [](const std::string&) -> std::string { return "^AEA3331111112;"; };
  ASSERT_TRUE(m.StartQueryAntennaEnable());
  ASSERT_TRUE(RunToEnd(m));
  EXPECT_EQ(m.Result(), 0u) << "any complete answer ends the query";
  EXPECT_EQ(t.app->antennaEnable.Get(), "33311111122") << "an unreadable answer changes nothing";
}

// --- The "Enable Antennas" page.

class AntennaEnableSheetTest : public ConfigCommandSimTest {
 protected:
  // Shows the page and waits for the boxes to be loaded.
  bool Show(AntennaEnableSheet& sheet) {
    sheet.Show();
    return s.host.RunUntil([&sheet] { return !sheet.Running(); }, 20000);
  }
};

TEST_F(AntennaEnableSheetTest, ShowingLoadsTheBoxesAndTheirRulesKeepAnAntennaOnEveryBand) {
  AntennaEnableSheet sheet(*s.app);
  int refreshes = 0;
  sheet.onRefresh = [&refreshes] { ++refreshes; };
  ASSERT_TRUE(Show(sheet));
  EXPECT_EQ(sheet.PageString(), "33311111122");
  EXPECT_FALSE(sheet.Changed());
  EXPECT_GE(refreshes, 1);
  EXPECT_TRUE(sheet.BandChecked(0, 1));
  EXPECT_TRUE(sheet.BandChecked(0, 2));
  EXPECT_FALSE(sheet.BandChecked(3, 2));
  EXPECT_FALSE(sheet.BandChecked(10, 1));
  EXPECT_EQ(sheet.AllBands(1), CheckState::Mixed);
  // 6 m has only antenna 2: clearing it turns antenna 1 on.
  sheet.ClickBand(10, 2);
  EXPECT_TRUE(sheet.BandChecked(10, 1));
  EXPECT_FALSE(sheet.BandChecked(10, 2));
  EXPECT_TRUE(sheet.Changed());
  sheet.ClickBand(10, 2);
  EXPECT_EQ(sheet.PageString(), "33311111123") << "toggled back on: both antennas";

  sheet.ClickAllBands(1);  // mixed: every ANT 1 box on
  EXPECT_EQ(sheet.AllBands(1), CheckState::Checked);
  EXPECT_EQ(sheet.PageString(), "33311111133");
  sheet.ClickAllBands(1);  // checked: exactly the ANT 2 boxes stay
  EXPECT_EQ(sheet.AllBands(1), CheckState::Cleared);
  EXPECT_EQ(sheet.AllBands(2), CheckState::Checked);
  EXPECT_EQ(sheet.PageString(), "22222222222");
  sheet.ClickAllBands(2);
  EXPECT_EQ(sheet.PageString(), "11111111111");
}

TEST_F(AntennaEnableSheetTest, OkAppliesThenClosesWhenTheSetHasFinished) {
  AntennaEnableSheet sheet(*s.app);
  bool closed = false;
  sheet.onClosed = [&closed] { closed = true; };
  ASSERT_TRUE(Show(sheet));
  s.port->ClearSent();
  EXPECT_TRUE(sheet.Apply());
  EXPECT_EQ(s.port->Sent(), "") << "nothing changed, nothing sent";
  sheet.ClickBand(0, 2);  // 160 m: antenna 1 only
  sheet.Ok();
  EXPECT_FALSE(closed) << "stays open while the set runs";
  EXPECT_FALSE(sheet.RequestClose()) << "closing is refused while the machine runs";
  ASSERT_TRUE(s.host.RunUntil([&closed] { return closed; }, 20000));
  EXPECT_EQ(s.port->Sent(), "^AEA13311111122;^aea;");
  EXPECT_EQ(s.model->AntennaEnable(), "13311111122");
  EXPECT_TRUE(sheet.Closed());
  EXPECT_EQ(s.app->OperationMachine(), nullptr);
}

TEST_F(AntennaEnableSheetTest, UnsavedChangesAreAskedAbout) {
  AntennaEnableSheet sheet(*s.app);
  ASSERT_TRUE(Show(sheet));
  sheet.ClickBand(1, 2);
  s.host.ExpectBox("Changes have not been applied", BoxAnswer::Cancel);
  EXPECT_FALSE(sheet.RequestClose());
  EXPECT_FALSE(sheet.Closed());
  s.host.ExpectBox("Changes have not been applied", BoxAnswer::Yes);
  EXPECT_FALSE(sheet.RequestClose()) << "Yes applies first";
  ASSERT_TRUE(s.host.RunUntil([&sheet] { return sheet.Closed(); }, 20000));
  EXPECT_EQ(s.model->AntennaEnable(), "31311111122");
  ASSERT_EQ(s.host.Boxes().size(), 2u);
  EXPECT_EQ(s.host.Boxes()[0].caption, "Unsaved Changes");
  EXPECT_EQ(s.host.Boxes()[0].buttons, BoxButtons::YesNoCancel);
  EXPECT_EQ(s.host.Boxes()[0].icon, BoxIcon::Question);

  AntennaEnableSheet second(*s.app);
  ASSERT_TRUE(Show(second));
  second.ClickBand(1, 2);
  s.port->ClearSent();
  s.host.ExpectBox("Changes have not been applied", BoxAnswer::No);
  EXPECT_TRUE(second.RequestClose());
  EXPECT_EQ(s.port->Sent(), "") << "No closes without sending";

  AntennaEnableSheet unchanged(*s.app);
  ASSERT_TRUE(Show(unchanged));
  s.port->ClearSent();
  unchanged.Ok();
  EXPECT_TRUE(unchanged.Closed()) << "Ok with nothing changed closes at once, sending nothing";
  EXPECT_EQ(s.port->Sent(), "");
}

TEST_F(ConfigCommandScriptedTest, SheetWithoutAnAnswerSendsElevenThreesOnOk) {
  std::string stored;
  t.port->responder = [&stored](const std::string& w) -> std::string {
    if (w.rfind("^AEA", 0) == 0) stored = w.substr(4, 11);
    if (w == "^aea;" && !stored.empty()) return "^AEA" + stored + ";";
    return "";
  };
  AntennaEnableSheet sheet(*t.app);
  sheet.Show();
  ASSERT_TRUE(t.host.RunUntil([&sheet] { return !sheet.Running(); }, 20000));
  EXPECT_EQ(sheet.Machine()->Result(), kNoResponseAntennaEnable);
  EXPECT_FALSE(sheet.BandChecked(0, 1));
  EXPECT_FALSE(sheet.BandChecked(0, 2));
  sheet.Ok();
  ASSERT_TRUE(t.host.RunUntil([&sheet] { return sheet.Closed(); }, 20000));
  EXPECT_EQ(stored, "33333333333");
}

TEST_F(ConfigCommandScriptedTest, FailedSetAfterOkAsksAgainBeforeClosing) {
  t.port->responder = [](const std::string& w) -> std::string { return w == "^aea;" ? "^AEA33333333333;" : ""; };
  AntennaEnableSheet sheet(*t.app);
  sheet.Show();
  ASSERT_TRUE(t.host.RunUntil([&sheet] { return !sheet.Running(); }, 20000));
  sheet.ClickBand(4, 1);  // 30 m: antenna 2 only
  t.host.ExpectBox("Changes have not been applied", BoxAnswer::No);
  sheet.Ok();
  ASSERT_TRUE(t.host.RunUntil([&sheet] { return sheet.Closed(); }, 60000));
  EXPECT_EQ(CountOf(t.port->writes, "^AEA33332333333;"), 10u);
  EXPECT_EQ(t.host.Boxes().size(), 1u);
}

}  // namespace
}  // namespace tola::test
