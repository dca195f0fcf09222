// The model counts exactly the damage that its line put past a checksum: a flipped packet or EEPROM
// block that still sums to zero and was taken as good. A flip the checksum catches is not counted.
// Each case runs over many seeds with flips frequent enough for two to meet in one block.

#include <gtest/gtest.h>

#include <algorithm>

#include "formats/EepromCommands.h"
#include "sim/SimTestSupport.h"

namespace tola::test {
namespace {

constexpr unsigned kSeeds = 200;
constexpr double kFlipRate = 0.015;  // two flips in a block of 132 to 141 bytes, on average

struct Tally {
  unsigned blind = 0;     // damaged and taken
  unsigned caught = 0;    // damaged and refused
};

void ExpectBothKinds(const Tally& tally) {
  EXPECT_GT(tally.blind, 0u) << "no damage ever passed a checksum: the cases prove nothing";
  EXPECT_GT(tally.caught, 0u);
}

TEST(BlindCorruption, LoaderPacketsThatStillSumToZero) {
  Tally tally;
  for (unsigned seed = 1; seed <= kSeeds; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Tola400Options options;
    options.startInLoader = true;
    options.faults.seed = seed;
    ModelBench bench(options);
    ASSERT_EQ(bench.Ask("D"), "D");
    bench.model.Faults().corruptRate = kFlipRate;
    for (std::uint32_t address = 0x880; address < 0x880 + 10 * 128; address += 128) {
      const ModelCounters before = bench.model.Counters();
      const auto data = PatternBlock(seed + address);
      bench.Ask(Packet(address, data));
      const ModelCounters& after = bench.model.Counters();
      const bool taken = after.packetsAccepted != before.packetsAccepted;
      const auto block = bench.model.FlashImage().begin() + (address - Tola400Model::kFlashStart);
      const bool damaged = after.corruptedIn != before.corruptedIn;
      const bool blind = taken && !std::equal(data.begin(), data.end(), block);
      EXPECT_EQ(after.blindCorruptions - before.blindCorruptions, blind ? 1u : 0u) << "packet at " << address;
      tally.blind += blind ? 1u : 0u;
      tally.caught += damaged && !taken ? 1u : 0u;
    }
  }
  ExpectBothKinds(tally);
}

TEST(BlindCorruption, EepromWritesThatStillSumToZero) {
  Tally tally;
  for (unsigned seed = 1; seed <= kSeeds; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Tola400Options options;
    options.faults.seed = seed;
    ModelBench bench(options);
    bench.model.Faults().corruptRate = kFlipRate;
    for (std::uint16_t address = 0; address < 0x400; address += 64) {
      std::vector<std::uint8_t> data(64);
      for (std::size_t i = 0; i < data.size(); ++i) data[i] = bench.model.Mem3()[address + i] ^ 0x5A;
      const ModelCounters before = bench.model.Counters();
      bench.Ask(FormatWriteCommand("^EWS", static_cast<std::uint8_t>(address >> 8),
                                   static_cast<std::uint8_t>(address & 0xFF), 64, data.data()));
      const ModelCounters& after = bench.model.Counters();
      const bool taken = after.eepromWrites != before.eepromWrites;
      const bool blind = taken && !std::equal(data.begin(), data.end(), bench.model.Mem3().begin() + address);
      EXPECT_EQ(after.blindCorruptions - before.blindCorruptions, blind ? 1u : 0u) << "block at " << address;
      tally.blind += blind ? 1u : 0u;
      tally.caught += after.corruptedIn != before.corruptedIn && !taken ? 1u : 0u;
    }
  }
  ExpectBothKinds(tally);
}

TEST(BlindCorruption, EepromReadAnswersThatStillSumToZero) {
  Tally tally;
  for (unsigned seed = 1; seed <= kSeeds; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Tola400Options options;
    options.faults.seed = seed;
    ModelBench bench(options);
    bench.model.Faults().corruptRate = kFlipRate;
    for (std::uint16_t address = 0; address < 0x400; address += 64) {
      const std::string command = FormatReadCommand("^ERS", static_cast<std::uint8_t>(address >> 8),
                                                    static_cast<std::uint8_t>(address & 0xFF), 64);
      const ModelCounters before = bench.model.Counters();
      const std::string answer = bench.Ask(command);
      // The program's own check decides what it takes, on the answer up to its first ";".
      std::vector<std::uint8_t> got(64);
      const bool taken = CheckReadResponse(command, answer.substr(0, answer.find(';') + 1), 64, got.data());
      const ModelCounters& after = bench.model.Counters();
      const bool blind = taken && !std::equal(got.begin(), got.end(), bench.model.Mem3().begin() + address);
      EXPECT_EQ(after.blindCorruptions - before.blindCorruptions, blind ? 1u : 0u) << "block at " << address;
      tally.blind += blind ? 1u : 0u;
      tally.caught += after.corruptedOut != before.corruptedOut && !taken ? 1u : 0u;
    }
  }
  ExpectBothKinds(tally);
}

}  // namespace
}  // namespace tola::test
