#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "sim/SimTestSupport.h"
#include "sim/Tola400Model.h"

namespace tola::test {
namespace {

TEST(Tola400ModelLine, GarbageAtAnotherSpeedDoesNotDisturbACommand) {
  ModelBench bench;
  bench.Send("^s");
  bench.Send("\x13;^x;", 9600);
  bench.Ask("w;");
  EXPECT_TRUE(std::regex_match(bench.text, std::regex(R"(\^SW\d+;)"))) << bench.text;
  ASSERT_FALSE(bench.model.Commands().empty());
  EXPECT_EQ(bench.model.Commands().back(), "^sw;");
}

TEST(Tola400ModelLine, SpeedCommandsMoveTheAmplifierWithoutAnswer) {
  const std::pair<const char*, std::uint32_t> commands[] = {
      {"^brp0;", 4800}, {"^brp1;", 9600}, {"^brp2;", 19200}, {"^brp3;", 38400}};
  for (const auto& [command, speed] : commands) {
    ModelBench bench([&](Tola400Options& o) { o.speed = speed == 38400 ? 4800 : 38400; });
    const std::uint32_t before = bench.model.Speed();
    EXPECT_EQ(bench.Ask(command, 100), "") << command;
    EXPECT_EQ(bench.model.Speed(), speed) << command;
    // The old speed is now garbage; the new one is answered.
    EXPECT_EQ(bench.Ask(";", 100, before), "") << command;
    EXPECT_FALSE(bench.Ask(";", 100).empty()) << command;
    ASSERT_FALSE(bench.out.empty());
    EXPECT_EQ(bench.out.back().speed, speed);
  }
}

TEST(Tola400ModelQueries, EveryQueryIsAnsweredWithCaretUpperCaseNameValueAndSemicolon) {
  ModelBench bench;
  const std::pair<const char*, const char*> forms[] = {
      {"^I;", R"(\^I.*TOLA400.*;)"},   {"^ID;", R"(\^ID.*TOLA400.*;)"},  {"^RV;", R"(\^RV\d\d\.\d\d;)"},
      {"^sn;", R"(\^SN\d+;)"},         {"^tu;", R"(\^TU[01];)"},         {"^at;", R"(\^AT[012];)"},
      {"^bn;", R"(\^BN(\d|10);)"},     {"^pc;", R"(\^PC\d+;)"},          {"^f;", R"(\^F\d+;)"},
      {"^op;", R"(\^OP[01];)"},        {"^pd;", R"(\^PD\d+;)"},          {"^pf;", R"(\^PF\d+;)"},
      {"^pi;", R"(\^PI\d+;)"},         {"^pv;", R"(\^PV\d+;)"},          {"^sv;", R"(\^SV\d+;)"},
      {"^sw;", R"(\^SW\d+;)"},         {"^fl;", R"(\^FL[A-Z];)"},        {"^tm;", R"(\^TM\d+;)"},
      {"^xp;", R"(\^XP[01];)"},        {"^an;", R"(\^AN[12];)"},         {"^by;", R"(\^BY[BN];)"},
      {"^cr;", R"(\^CR[0-9A-F]{2};)"}, {"^lr;", R"(\^LR[0-9A-F]{2};)"},  {"^md;", R"(\^MD[AMB];)"},
      {"^si;", R"(\^SI[TA];)"},        {"^ts;", R"(\^TS[^;]+;)"},        {"^aea;", R"(\^AEA[123]{11};)"},
  };
  for (const auto& [command, form] : forms) {
    const std::string answer = bench.Ask(command);
    EXPECT_TRUE(std::regex_match(answer, std::regex(form))) << command << " -> " << answer;
    // Numbers must fit the 16-bit values they land in.
    std::smatch digits;
    if (std::regex_search(answer, digits, std::regex(R"(\d+)")) && std::string(command) != "^aea;") {
      EXPECT_LE(std::stoul(digits.str()), 65535u) << command;
    }
  }
  EXPECT_EQ(bench.model.Counters().unknown, 0u);
}

TEST(Tola400ModelQueries, CommandsOfTheWrongCaseOrFormChangeNothing) {
  ModelBench bench;
  const auto settings = [&] {
    return bench.Ask("^cr;") + bench.Ask("^an;") + bench.Ask("^at;") + bench.Ask("^md;") + bench.Ask("^aea;");
  };
  const std::string before = settings();
  for (const char* command : {"^SW;", "^rv;", "^Sn;", "^i;", "^AEA;", "^ld;", "^rs;", "^EC;", "^BRP1;", "^brp4;",
                              "^brp;", "^brp11;", "^cra5;", "^crA;", "^cr1A5;", "^an3;", "^an0;", "^at2;", "^mdX;",
                              "^byb;", "^AEA1231231231;", "^AEA12312312310;", "^aea31231231231;", "^AEA123123123123;"}) {
    EXPECT_EQ(bench.Ask(command, 100), "") << command;
  }
  EXPECT_EQ(bench.model.Mode(), AmplifierMode::Firmware);
  EXPECT_EQ(bench.model.Speed(), 38400u);
  EXPECT_EQ(settings(), before);
  EXPECT_EQ(bench.model.Counters().unknown, 24u);
}

TEST(Tola400ModelSets, SetFormsAreSilentAndShowInTheNextQuery) {
  const struct {
    const char* set;
    const char* query;
    const char* answer;
  } cases[] = {
      {"^at1;", "^at;", "^AT1;"},   {"^op1;", "^op;", "^OP1;"},   {"^an2;", "^an;", "^AN2;"},
      {"^byB;", "^by;", "^BYB;"},   {"^crA5;", "^cr;", "^CRA5;"}, {"^lr0F;", "^lr;", "^LR0F;"},
      {"^mdM;", "^md;", "^MDM;"},   {"^siA;", "^si;", "^SIA;"},   {"^at0;", "^at;", "^AT0;"},
      {"^AEA12312312312;", "^aea;", "^AEA12312312312;"},
  };
  ModelBench bench;
  for (const auto& c : cases) {
    EXPECT_EQ(bench.Ask(c.set, 100), "") << c.set;
    EXPECT_EQ(bench.Ask(c.query), c.answer) << c.set;
  }
  EXPECT_EQ(bench.model.Counters().unknown, 0u);
}

TEST(Tola400ModelSets, FaultShowsUntilClearedAndTuneReportsItsProgress) {
  ModelBench bench;
  EXPECT_EQ(bench.Ask("^fl;"), "^FLN;");
  bench.model.Settings().operate = 1;
  const std::uint8_t indexBefore = bench.model.FaultIndex();
  bench.model.TripFault('T', 652);
  EXPECT_EQ(bench.Ask("^fl;"), "^FLT;");
  EXPECT_EQ(bench.Ask("^op;"), "^OP0;");
  EXPECT_EQ(bench.model.FaultIndex(), static_cast<std::uint8_t>(indexBefore + 1));
  EXPECT_EQ(bench.model.Mem3()[Tola400Model::kFaultRingStart + 8u * bench.model.FaultIndex()], 'T');
  EXPECT_EQ(bench.Ask("^flc;"), "");
  EXPECT_EQ(bench.Ask("^fl;"), "^FLN;");

  EXPECT_TRUE(std::regex_match(bench.Ask("^ts;"), std::regex(R"(\^TS\d{3} 0 0;)")));
  EXPECT_EQ(bench.Ask("^ft;"), "");
  EXPECT_TRUE(std::regex_match(bench.Ask("^ts;"), std::regex(R"(\^TS\d{3} 1 1;)")));
  bench.host.AdvanceBy(2500);
  EXPECT_TRUE(std::regex_match(bench.Ask("^ts;"), std::regex(R"(\^TS\d{3} 2 1;)")));
}

TEST(Tola400ModelRestart, ResetIsSilentThenAnswersAtTheConfiguredSpeed) {
  ModelBench bench([](Tola400Options& o) { o.speed = 9600; o.restartMs = 1200; });
  bench.Ask("^brp3;");
  ASSERT_EQ(bench.model.Speed(), 38400u);
  EXPECT_EQ(bench.Ask("^RS;", 10), "");
  EXPECT_EQ(bench.model.Mode(), AmplifierMode::Restarting);
  for (std::uint32_t speed : {4800u, 9600u, 19200u, 38400u}) {
    EXPECT_EQ(bench.Ask(";", 100, speed), "") << speed;
  }
  bench.host.AdvanceBy(1200);
  EXPECT_EQ(bench.model.Mode(), AmplifierMode::Firmware);
  EXPECT_EQ(bench.model.Speed(), 9600u);
  EXPECT_EQ(bench.Ask(";", 100, 38400), "");
  EXPECT_FALSE(bench.Ask(";", 100, 9600).empty());
  EXPECT_EQ(bench.model.Counters().restarts, 1u);
}

// The data of a 64-byte read, once the answer's echo, upper-case digits and checksum are right.
std::vector<std::uint8_t> ReadBlock(ModelBench& bench, const std::string& prefix, unsigned bank, unsigned address) {
  const std::string answer = bench.Ask(ReadCommand(prefix, bank, address, 64), 200);
  EXPECT_EQ(answer.size(), 141u) << answer;
  EXPECT_EQ(answer.substr(0, 10), prefix + Hex2(bank) + Hex2(address) + "40");
  EXPECT_EQ(answer.back(), ';');
  EXPECT_EQ(answer.find_first_of("abcdef"), std::string::npos);
  std::vector<std::uint8_t> bytes = HexBytes(answer.substr(10, 130));
  unsigned sum = bank + address + 64;
  for (std::uint8_t b : bytes) sum += b;
  EXPECT_EQ(sum & 0xFF, 0u) << answer;
  bytes.resize(64);
  return bytes;
}

TEST(Tola400ModelEeprom, ReadsAnswerEchoDataAndChecksum) {
  ModelBench bench;
  ASSERT_EQ(ReadCommand("^ERP", 1, 0x40, 64), "^ERP0140407F;");
  const std::vector<std::uint8_t> bytes = ReadBlock(bench, "^ERP", 1, 0x40);
  for (std::size_t i = 0; i < 64; ++i) {
    EXPECT_EQ(bytes[i], bench.model.Mem2At(1, 0x40 + static_cast<unsigned>(i))) << i;
  }
  // MEM3 reads cover the fault pages too.
  const std::vector<std::uint8_t> fault = ReadBlock(bench, "^ERS", 0x38, 0x00);
  EXPECT_TRUE(std::equal(fault.begin(), fault.end(), bench.model.Mem3().begin() + 0x3800));
  const unsigned index = bench.model.FaultIndex();
  EXPECT_EQ(bench.Ask("^ERP001F01E0;"), "^ERP001F01" + Hex2(index) + Hex2(Negate(0x1F + 1 + index)) + ";");
}

TEST(Tola400ModelEeprom, WriteIsConfirmedWithTheHeadAndAFreshChecksumAndReadsBack) {
  ModelBench bench;
  EXPECT_EQ(bench.Ask("^EWP00200201AB32;"), "^EWP002002DE;");
  EXPECT_EQ(bench.model.Mem2At(0, 0x20), 0x01);
  EXPECT_EQ(bench.model.Mem2At(0, 0x21), 0xAB);
  EXPECT_EQ(bench.model.Counters().eepromWrites, 1u);
  std::vector<std::uint8_t> data(64);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(0xC3 ^ (i * 5));
  EXPECT_EQ(bench.Ask(WriteCommand("^EWS", 0x12, 0x40, data), 200),
            "^EWS124040" + Hex2(Negate(0x12 + 0x40 + 0x40)) + ";");
  EXPECT_EQ(ReadBlock(bench, "^ERS", 0x12, 0x40), data);
}

TEST(Tola400ModelEeprom, MalformedCommandsAreNotAnswered) {
  ModelBench bench;
  const auto mem2 = bench.model.Mem2();
  const auto mem3 = bench.model.Mem3();
  const std::string commands[] = {
      "^ERP0140407E;",                                        // checksum off by one
      "^erp0140407F;",                                        // lower-case prefix
      "^ERP01404" "a" + Hex2(Negate(0x01 + 0x40 + 0x4A)) + ";",  // lower-case digit
      ReadCommand("^ERP", 4, 0, 16),                          // no bank 4
      ReadCommand("^ERP", 0, 0xF0, 0x20),                     // runs past the bank
      ReadCommand("^ERS", 0x40, 0, 16),                       // no page 0x40
      ReadCommand("^ERP", 0, 0, 0),                           // nothing to read
      ReadCommand("^ERP", 0, 0, 0x41),                        // more than a block
      WriteCommand("^EWP", 0, 0x40, {1, 2, 3}).substr(0, 17) + ";",  // shorter than its count
      "^EWP00200201AB33;",                                    // bad checksum
      "^EWP00200201ab32;",                                    // lower-case data
      "^ERP0140407F",                                         // no terminator yet
  };
  for (const std::string& command : commands) EXPECT_EQ(bench.Ask(command, 200), "") << command;
  EXPECT_EQ(bench.model.Mem2(), mem2);
  EXPECT_EQ(bench.model.Mem3(), mem3);
  EXPECT_EQ(bench.model.Counters().eepromReads + bench.model.Counters().eepromWrites, 0u);
}

TEST(Tola400ModelEeprom, WrittenSpeedCodeAndAntennaEnableTakeEffect) {
  ModelBench bench;
  bench.Ask(WriteCommand("^EWP", 0, Tola400Model::kSpeedCodeAddress, {2}));
  EXPECT_EQ(bench.model.Speed(), 38400u);
  bench.Ask(WriteCommand("^EWP", 0, Tola400Model::kAntennaEnableAddress, {1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 3}));
  EXPECT_EQ(bench.Ask("^aea;"), "^AEA11111222223;");
  bench.Ask("^RS;");
  bench.host.AdvanceBy(3000);
  EXPECT_EQ(bench.model.Speed(), 19200u);
}

TEST(Tola400ModelFaultRing, WrapsAfter256Records) {
  ModelBench bench;
  const unsigned index = bench.model.FaultIndex();
  for (int i = 0; i < 300; ++i) bench.model.AddFaultRecord('S', 14200, static_cast<std::uint16_t>(i));
  EXPECT_EQ(bench.model.FaultIndex(), static_cast<std::uint8_t>((index + 300) % 256));
  const std::uint8_t* ring = bench.model.Mem3().data() + Tola400Model::kFaultRingStart;
  for (unsigned slot = 0; slot < 256; ++slot) EXPECT_NE(ring[8 * slot], 0xFF) << slot;
  const std::uint8_t* newest = ring + 8u * bench.model.FaultIndex();
  EXPECT_EQ(newest[6] | (newest[7] << 8), 299);
}

TEST(Tola400ModelConfig, EraseConfigurationRestoresFactoryDefaultsButKeepsTheRing) {
  ModelBench bench([](Tola400Options& o) { o.speed = 9600; });
  const auto ring = std::vector<std::uint8_t>(bench.model.Mem3().begin() + 0x3800, bench.model.Mem3().end());
  EXPECT_EQ(bench.Ask("^ec;"), "");
  EXPECT_TRUE(std::all_of(bench.model.Mem3().begin() + Tola400Model::kTunerMemoryStart,
                          bench.model.Mem3().begin() + 0x3800, [](std::uint8_t b) { return b == 0xFF; }));
  EXPECT_TRUE(std::equal(ring.begin(), ring.end(), bench.model.Mem3().begin() + 0x3800));
  EXPECT_EQ(bench.Ask("^aea;"), "^AEA33333333333;");
  EXPECT_EQ(bench.model.Speed(), 9600u);
  EXPECT_EQ(bench.model.ConfiguredSpeed(), 38400u);
}

TEST(Tola400ModelConfig, EraseMemoryClearsTheChosenBandAndAntenna) {
  ModelBench bench;
  const auto area = [&](unsigned band, unsigned antenna) {
    const auto begin = bench.model.Mem3().begin() + Tola400Model::kTunerMemoryStart +
                       (band * 2 + antenna - 1) * Tola400Model::kTunerMemorySize;
    return std::vector<std::uint8_t>(begin, begin + Tola400Model::kTunerMemorySize);
  };
  const auto empty = std::vector<std::uint8_t>(Tola400Model::kTunerMemorySize, 0xFF);
  ASSERT_NE(area(5, 2), empty);
  const auto band5Antenna1 = area(5, 1);
  EXPECT_EQ(bench.Ask("^em052;"), "");
  EXPECT_EQ(area(5, 2), empty);
  EXPECT_EQ(area(5, 1), band5Antenna1);

  EXPECT_EQ(bench.Ask("^em151;"), "");
  for (unsigned band = 0; band <= 10; ++band) EXPECT_EQ(area(band, 1), empty) << band;
  EXPECT_NE(area(0, 2), empty);

  const auto before = bench.model.Mem3();
  for (const char* command : {"^em112;", "^em053;", "^em52;", "^EM052;"}) EXPECT_EQ(bench.Ask(command), "");
  EXPECT_EQ(bench.model.Mem3(), before);
  EXPECT_EQ(bench.model.MemoryErasures(), (std::vector<std::pair<unsigned, unsigned>>{{5, 2}, {15, 1}}));
}

TEST(Tola400ModelLoader, LoadCommandStartsTheLoaderAt38400) {
  ModelBench bench([](Tola400Options& o) { o.speed = 9600; o.loaderStartMs = 400; });
  EXPECT_EQ(bench.Ask("^LD;", 10), "");
  EXPECT_EQ(bench.model.Mode(), AmplifierMode::Restarting);
  bench.host.AdvanceBy(400);
  EXPECT_EQ(bench.model.Mode(), AmplifierMode::Loader);
  EXPECT_EQ(bench.model.Speed(), 38400u);
  EXPECT_EQ(bench.Ask(";", 100, 9600), "");
  for (const char* command : {"^I;", "B;", ";"}) {
    const std::string answer = bench.Ask(command);
    EXPECT_NE(answer.find("tola400"), std::string::npos) << command;
    EXPECT_EQ(answer.find("TOLA400"), std::string::npos) << command;
    EXPECT_EQ(answer.back(), ';') << command;
  }
  // The "D" inside "^ID;" is part of a command, not the start of a download.
  bench.Ask("^ID;");
  EXPECT_EQ(bench.model.Counters().downloads, 0u);
  // Firmware commands mean nothing to the loader.
  EXPECT_EQ(bench.Ask("^sw;"), "");
}

TEST(Tola400ModelLoader, DownloadChecksEveryPacketAndKeepsTheImage) {
  ModelBench bench([](Tola400Options& o) { o.revisionAfterLoad = 204; o.restartMs = 1000; });
  bench.Ask("^LD;", 1000);
  ASSERT_EQ(bench.model.Mode(), AmplifierMode::Loader);
  EXPECT_EQ(bench.Ask("D"), "D");

  EXPECT_EQ(bench.Ask(Packet(0x880, PatternBlock(1))), "A");
  EXPECT_EQ(bench.Ask(Packet(0x900, PatternBlock(2))), "A");
  std::string broken = Packet(0x980, PatternBlock(3));
  broken[5] = static_cast<char>(broken[5] + 1);
  EXPECT_EQ(bench.Ask(broken), "N");
  EXPECT_EQ(bench.Ask(Packet(0x000800, PatternBlock(4))), "N");  // the last block has its own address
  EXPECT_EQ(bench.Ask(Packet(0x8C0, PatternBlock(5))), "N");     // not on a block boundary
  EXPECT_EQ(bench.Ask(Packet(0x1FD80, PatternBlock(6))), "N");   // past the end
  EXPECT_EQ(bench.Ask(Packet(0x1FD00, PatternBlock(7))), "A");   // the highest block
  EXPECT_EQ(bench.model.Counters().packetsAccepted, 3u);
  EXPECT_EQ(bench.model.Counters().packetsRejected, 4u);

  EXPECT_EQ(bench.Ask(Packet(Tola400Model::kLastPacketAddress, PatternBlock(8)), 10), "B");
  EXPECT_EQ(bench.model.Mode(), AmplifierMode::Restarting);

  std::vector<std::uint8_t> expected(Tola400Model::kFlashEnd - Tola400Model::kFlashStart, 0xFF);
  for (const auto& [address, seed] : {std::pair{0x800u, 8u}, {0x880u, 1u}, {0x900u, 2u}, {0x1FD00u, 7u}}) {
    const auto block = PatternBlock(seed);
    std::copy(block.begin(), block.end(), expected.begin() + (address - 0x800));
  }
  EXPECT_EQ(bench.model.FlashImage(), expected);

  bench.host.AdvanceBy(1000);
  EXPECT_EQ(bench.model.Mode(), AmplifierMode::Firmware);
  EXPECT_EQ(bench.Ask("^RV;"), "^RV02.04;");
}

TEST(Tola400ModelLoader, FillPollsCompleteAPartPacketAndTheLastOneGetsN) {
  ModelBench bench([](Tola400Options& o) { o.startInLoader = true; });
  ASSERT_EQ(bench.Ask("D"), "D");
  const std::string packet = Packet(0x880, PatternBlock(9));
  EXPECT_EQ(bench.Ask(packet.substr(0, 50)), "");
  for (int poll = 1; poll < 82; ++poll) ASSERT_EQ(bench.Ask(";", 5), "") << poll;
  EXPECT_EQ(bench.Ask(";"), "N");
  // The loader is at a packet boundary again.
  EXPECT_EQ(bench.Ask(packet), "A");
}

TEST(Tola400ModelLoader, StartingInTheLoaderStaysThere) {
  ModelBench bench([](Tola400Options& o) { o.speed = 9600; o.startInLoader = true; });
  EXPECT_EQ(bench.model.Mode(), AmplifierMode::Loader);
  EXPECT_EQ(bench.model.Speed(), 38400u);
  EXPECT_FALSE(bench.model.FirmwareValid());
  bench.host.AdvanceBy(10000);
  EXPECT_EQ(bench.model.Mode(), AmplifierMode::Loader);
  bench.model.PowerOff();
  bench.model.PowerOn();
  bench.host.AdvanceBy(10000);
  EXPECT_EQ(bench.model.Mode(), AmplifierMode::Loader);
}

TEST(Tola400ModelFaults, NakRateRejectsGoodPackets) {
  ModelBench bench([](Tola400Options& o) { o.startInLoader = true; o.faults.nakRate = 1.0; });
  bench.Ask("D");
  EXPECT_EQ(bench.Ask(Packet(0x880, PatternBlock(1))), "N");
  EXPECT_EQ(bench.model.Counters().naksInjected, 1u);
  EXPECT_EQ(bench.model.FlashImage()[0x80], 0xFF);
}

TEST(Tola400ModelFaults, DroppedBytesNeverArrive) {
  ModelBench bench([](Tola400Options& o) { o.faults.dropRate = 1.0; });
  EXPECT_EQ(bench.Ask("^sn;"), "");
  EXPECT_EQ(bench.model.Counters().droppedIn, 4u);
  EXPECT_TRUE(bench.model.Commands().empty());
}

TEST(Tola400ModelFaults, SilenceIgnoresEverythingForAWhile) {
  ModelBench bench([](Tola400Options& o) { o.faults.silenceRate = 1.0; o.faults.silenceMs = 1000; });
  EXPECT_EQ(bench.Ask("^sn;"), "");
  EXPECT_TRUE(bench.model.Silent());
  EXPECT_EQ(bench.Ask("^sn;", 500), "");
  EXPECT_EQ(bench.model.Counters().silences, 1u);
  EXPECT_EQ(bench.model.Commands().size(), 1u);
  bench.host.AdvanceBy(600);
  EXPECT_FALSE(bench.model.Silent());
  bench.Ask("^sn;");
  EXPECT_EQ(bench.model.Counters().silences, 2u);
}

TEST(Tola400ModelFaults, UnplugCallsTheHandlerAndGoesDeaf) {
  ModelBench bench([](Tola400Options& o) { o.faults.unplugRate = 1.0; });
  int unplugs = 0;
  bench.model.SetUnplugHandler([&] { ++unplugs; });
  EXPECT_EQ(bench.Ask("^sn;"), "");
  EXPECT_EQ(unplugs, 1);
  EXPECT_EQ(bench.model.Mode(), AmplifierMode::Unplugged);
  bench.model.PowerOn();
  EXPECT_EQ(bench.Ask(";", 3000), "");
}

TEST(Tola400ModelFaults, DelayedBytesKeepTheirOrder) {
  ModelBench bench([](Tola400Options& o) { o.faults.delayRate = 1.0; o.faults.delayMs = 100; });
  bench.Send("^sn;");
  const std::uint64_t sent = bench.host.NowMicros();
  bench.host.AdvanceBy(2000);
  EXPECT_EQ(bench.text, "^SN1234;");
  ASSERT_EQ(bench.out.size(), 8u);
  // Held on the way in, then every byte out is held once more.
  EXPECT_GE(bench.out.front().timeUs, sent + 100'000);
  EXPECT_GE(bench.out.back().timeUs, bench.out.front().timeUs + 7 * 100'000);
}

TEST(Tola400ModelFaults, TheSameSeedGivesTheSameRun) {
  const auto run = [](std::uint64_t seed) {
    ModelBench bench([&](Tola400Options& o) {
      o.faults.seed = seed;
      o.faults.corruptRate = 0.2;
      o.faults.dropRate = o.faults.delayRate = 0.05;
    });
    std::vector<std::pair<char, std::uint64_t>> seen;
    for (int i = 0; i < 20; ++i) {
      bench.Ask("^RV;^sn;^aea;", 400);
      for (const Arrival& a : bench.out) seen.emplace_back(a.byte, a.timeUs);
    }
    return seen;
  };
  const auto first = run(7);
  EXPECT_EQ(run(7), first);
  EXPECT_NE(run(8), first);
}

}  // namespace
}  // namespace tola::test
