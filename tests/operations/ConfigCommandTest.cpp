#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/Format.h"
#include "operations/ConfigCommandFlows.h"
#include "operations/ConfigTestSupport.h"
#include "operations/EepromStates.h"
#include "support/SimApp.h"
#include "support/TestApp.h"

namespace tola::test {
namespace {

using ConfigCommandSimTest = ConnectedModelTest;

TEST_F(ConfigCommandSimTest, EachBandButtonErasesItsOwnBandAllBandsIsFifteenAndASecondClickIsIgnored) {
  std::vector<unsigned> shown;
  EraseMemoriesFlow flow(*s.app, [&shown](unsigned band) { shown.push_back(band); });
  ASSERT_EQ(shown.size(), 1u) << "the current band is selected on opening";
  for (unsigned band = 0; band <= kBandCount; ++band) {
    flow.ChooseBand(band < kBandCount ? band : kBandIndexAll);
    ASSERT_TRUE(flow.EraseAntenna(1 + band % 2));
    EXPECT_EQ(s.app->antenna.Get(), 1 + band % 2);
    EXPECT_FALSE(flow.EraseAntenna(2 - band % 2)) << "a second click finds the erase still running";
    EXPECT_EQ(s.app->antenna.Get(), 1 + band % 2) << "and changes nothing";
    const std::uint64_t started = s.host.NowMicros();
    ASSERT_TRUE(RunToIdle(s.host, *flow.Machine()));
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

TEST_F(ConfigCommandSimTest, ABandOrAntennaTheEraseHasNoCodeForNeverReachesTheAmplifier) {
  EraseMemoriesFlow flow(*s.app);
  const std::size_t sent = s.port->Sent().size();
  s.app->bandIndex.Change(0xFFFFFFFFu);
  EXPECT_FALSE(flow.EraseAntenna(1));
  s.app->bandIndex.Change(3);
  s.app->antenna.Change(7);
  ConfigCommandMachine* machine = flow.Machine();
  ASSERT_NE(machine, nullptr);
  EXPECT_FALSE(machine->StartEraseMemory());
  s.host.AdvanceBy(100);
  EXPECT_EQ(s.port->Sent().size(), sent);
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
using ConfigCommandScriptedTest = ScriptedPortTest;

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
    ASSERT_TRUE(RunToIdle(t.host, m, 60000));
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
  int queries = 0;
  t.port->responder = [&queries](const std::string& w) -> std::string {
    if (w != "^aea;") return "";
    return ++queries < 3 ? "" : "^AEA12121212121;";
  };
  ConfigCommandSession session(*t.app);
  ConfigCommandMachine& m = *session.Machine();
  ASSERT_TRUE(m.StartSetAntennaEnable("12121212121"));
  ASSERT_TRUE(RunToIdle(t.host, m));
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
  ASSERT_TRUE(RunToIdle(t.host, m));
  EXPECT_EQ(m.Result(), kNoResponseAntennaEnable);
  EXPECT_EQ(CountOf(t.port->writes, "^aea;"), 10u);
  EXPECT_EQ((t.host.NowMicros() - started) / 1000, 5000u);

  t.app->antennaEnable.Set("33311111122");
  t.port->responder = [](const std::string&) -> std::string { return "^AEA3331111112;"; };
  ASSERT_TRUE(m.StartQueryAntennaEnable());
  ASSERT_TRUE(RunToIdle(t.host, m));
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

std::string Hex(unsigned value) { return FormatText("%02X", value & 0xFF); }

// An EEPROM on the far end of a scripted port: answers well-formed reads and writes from its own
// arrays; writes whose ordinal number is in `silent` (counting from 1 over all sends) go unanswered.
class FakeEeprom {
 public:
  FakeEeprom() {
    for (std::size_t i = 0; i < mem2.size(); ++i) mem2[i] = static_cast<std::uint8_t>(i * 7 + 3);
    for (std::size_t i = 0; i < mem3.size(); ++i) mem3[i] = static_cast<std::uint8_t>(i * 13 + 1);
  }

  std::string Answer(const std::string& command) {
    if (silent.count(++sends) != 0) return {};
    const auto field = [&command](std::size_t at) { return unsigned(std::stoul(command.substr(at, 2), nullptr, 16)); };
    const unsigned bank = field(4), address = field(6), count = field(8);
    std::uint8_t* memory = (command[3] == 'S' ? mem3.data() : mem2.data()) + bank * 256 + address;
    std::string answer = command.substr(0, 10);
    unsigned sum = bank + address + count;
    for (unsigned i = 0; i < count; ++i) {
      if (command[2] == 'R') {
        answer += Hex(memory[i]);
        sum += memory[i];
      } else {
        memory[i] = static_cast<std::uint8_t>(field(10 + 2 * i));
      }
    }
    return answer + Hex(0x100 - (sum & 0xFF)) + ";";
  }

  std::array<std::uint8_t, 1024> mem2{};
  std::array<std::uint8_t, 16384> mem3{};
  std::set<int> silent;
  int sends = 0;
};

class BlockMachine : public CStateMachine {
 public:
  BlockMachine(AppState& app, EepromMemory memory)
      : CStateMachine(app, kTimerConfigSave),
        read(*this, "ConfigSaveLoopBodyState", &Final(), memory),
        write(*this, "ConfigRestoreLoopBodyState", &Final(), memory) {}

  EepromReadState read;
  EepromWriteState write;
};

class EepromStateTest : public ::testing::Test {
 protected:
  BlockMachine& Install(EepromMemory memory) {
    t.OpenPort();
    auto machine = std::make_unique<BlockMachine>(*t.app, memory);
    BlockMachine& ref = *machine;
    EXPECT_TRUE(t.app->ReplaceOperationMachine(std::move(machine)));
    return ref;
  }
  void AnswerFrom(FakeEeprom& eeprom) {
    t.port->responder = [&eeprom](const std::string& written) { return eeprom.Answer(written); };
  }

  TestApp t;
};

TEST_F(EepromStateTest, ALowerCaseAnswerIsAcceptedAndABadChecksumCostsOneTimeOut) {
  BlockMachine& m = Install(EepromMemory::Mem2);
  std::vector<std::uint32_t> sendTimes;
  int sends = 0;
  t.port->responder = [&](const std::string&) {
    sendTimes.push_back(t.host.TickCount());
    // bank 0, address 0x1F, one byte 0xAB: 0x1F + 0x01 + 0xAB = 0xCB, checksum 0x35.
    return std::string(++sends == 1 ? "^ERP001F01AB36;" : "^erp001f01ab35;");
  };
  std::uint8_t value = 0;
  m.read.SetRun({0, 0x1F, 1, &value});
  m.Start(m.read);
  ASSERT_TRUE(RunToIdle(t.host, m, 100000));
  EXPECT_EQ(m.Result(), 0u);
  EXPECT_EQ(value, 0xAB);
  ASSERT_EQ(t.port->writes.size(), 2u);
  EXPECT_EQ(t.port->writes[0], t.port->writes[1]);
  EXPECT_EQ(sendTimes[1] - sendTimes[0], 2000u);
  EXPECT_EQ(m.read.Retries(), 1u);
}

TEST_F(EepromStateTest, NineTimeOutsOverTheFourBlocksOfARunAreSurvivedTheTenthIsNot) {
  // Blocks 1-4 each see two or three silences: nine in all, then a tenth on the last block. No
  // block ever sees ten time-outs of its own; the run does.
  for (const bool tenth : {false, true}) {
    SCOPED_TRACE(tenth ? "ten time-outs" : "nine time-outs");
    BlockMachine& m = Install(EepromMemory::Mem3);
    FakeEeprom eeprom;
    eeprom.silent = {1, 2, 4, 5, 7, 8, 10, 11, 12};
    if (tenth) eeprom.silent.insert(13);
    AnswerFrom(eeprom);
    std::array<std::uint8_t, 256> buffer{};
    EepromBlockState& state = tenth ? static_cast<EepromBlockState&>(m.write) : m.read;
    state.SetRun({0x05, 0x00, 256, buffer.data()});
    m.Start(state);
    ASSERT_TRUE(RunToIdle(t.host, m, 100000));
    EXPECT_EQ(m.Result(), tenth ? kNoResponseWriteEeprom : 0u);
    EXPECT_EQ(state.Retries(), tenth ? 10u : 9u);
    EXPECT_EQ(eeprom.sends, 13);
  }
}

TEST_F(EepromStateTest, AMemTwoRunLeavingItsBankIsRefusedBeforeItsFirstBlockButMemThreeIsNotChecked) {
  BlockMachine& m = Install(EepromMemory::Mem2);
  FakeEeprom eeprom;
  AnswerFrom(eeprom);
  const auto before = eeprom.mem2;
  std::array<std::uint8_t, 128> data{};
  // Block by block the first would pass: 0xC0-0xFF, then the second block's address wraps to 0x00.
  for (const EepromRun& run : {EepromRun{1, 0xC0, 128, data.data()}, EepromRun{0, 0xF0, 32, data.data()},
                               EepromRun{4, 0x00, 16, data.data()}}) {
    m.write.SetRun(run);
    m.Start(m.write);
    EXPECT_TRUE(m.IsIdle()) << "the check fails inside the start";
    EXPECT_EQ(m.Result(), kInvalidEepromAddress);
  }
  EXPECT_TRUE(t.port->writes.empty());
  EXPECT_EQ(eeprom.mem2, before);

  // Up to the last address of the bank is fine.
  m.write.SetRun({1, 0x80, 128, data.data()});
  m.Start(m.write);
  ASSERT_TRUE(RunToIdle(t.host, m, 100000));
  EXPECT_EQ(m.Result(), 0u);
  EXPECT_EQ(t.port->writes.size(), 2u);

  BlockMachine& m3 = Install(EepromMemory::Mem3);
  t.port->writes.clear();
  m3.read.SetRun({0, 0xF0, 32, data.data()});
  m3.Start(m3.read);
  ASSERT_TRUE(RunToIdle(t.host, m3, 100000));
  EXPECT_EQ(m3.Result(), 0u);
  EXPECT_EQ(t.port->writes, std::vector<std::string>{"^ERS00F020F0;"});
}

}  // namespace
}  // namespace tola::test
