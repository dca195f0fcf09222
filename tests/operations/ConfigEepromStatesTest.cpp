#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/Format.h"
#include "operations/EepromStates.h"
#include "support/TestApp.h"

namespace tola::test {
namespace {

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
    ++sends;
    if (silent.count(sends) != 0) return {};
    const bool mem3Command = command[3] == 'S';
    const unsigned bank = std::stoul(command.substr(4, 2), nullptr, 16);
    const unsigned address = std::stoul(command.substr(6, 2), nullptr, 16);
    const unsigned count = std::stoul(command.substr(8, 2), nullptr, 16);
    std::uint8_t* memory = mem3Command ? mem3.data() + bank * 256 + address : mem2.data() + bank * 256 + address;
    const std::string head = command.substr(0, 10);
    unsigned sum = bank + address + count;
    if (command[2] == 'R') {
      std::string answer = head;
      for (unsigned i = 0; i < count; ++i) {
        answer += Hex(memory[i]);
        sum += memory[i];
      }
      return answer + Hex(0x100 - (sum & 0xFF)) + ";";
    }
    for (unsigned i = 0; i < count; ++i) {
      memory[i] = static_cast<std::uint8_t>(std::stoul(command.substr(10 + 2 * i, 2), nullptr, 16));
    }
    return head + Hex(0x100 - (sum & 0xFF)) + ";";
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
  bool RunToEnd(BlockMachine& m, std::uint32_t limitMs = 100000) {
    return t.host.RunUntil([&] { return m.IsIdle(); }, limitMs);
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
  ASSERT_TRUE(RunToEnd(m));
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
    ASSERT_TRUE(RunToEnd(m));
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
  ASSERT_TRUE(RunToEnd(m));
  EXPECT_EQ(m.Result(), 0u);
  EXPECT_EQ(t.port->writes.size(), 2u);

  BlockMachine& m3 = Install(EepromMemory::Mem3);
  t.port->writes.clear();
  m3.read.SetRun({0, 0xF0, 32, data.data()});
  m3.Start(m3.read);
  ASSERT_TRUE(RunToEnd(m3));
  EXPECT_EQ(m3.Result(), 0u);
  EXPECT_EQ(t.port->writes, std::vector<std::string>{"^ERS00F020F0;"});
}

}  // namespace
}  // namespace tola::test
