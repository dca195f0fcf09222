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

struct Block {
  bool taken;  // the block passed its checksum
  bool wrong;  // and what was taken differs from what was meant
};

// Runs `exchange(bench, seed, address)` for every block from `first` to `end` under every seed. Damage on the way in
// (`damageOut` false) or on the way out is caught when the block was not taken.
template <class Exchange>
void ExpectBlindDamageCounted(bool inLoader, std::uint32_t first, std::uint32_t end, std::uint32_t stride,
                              bool damageOut, Exchange exchange) {
  unsigned blind = 0;
  unsigned caught = 0;
  for (unsigned seed = 1; seed <= kSeeds; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    ModelBench bench([&](Tola400Options& o) { o.startInLoader = inLoader, o.faults.seed = seed; });
    if (inLoader) {
      ASSERT_EQ(bench.Ask("D"), "D");
    }
    bench.model.Faults().corruptRate = kFlipRate;
    for (std::uint32_t address = first; address < end; address += stride) {
      const ModelCounters before = bench.model.Counters();
      const Block block = exchange(bench, seed, address);
      const ModelCounters& after = bench.model.Counters();
      const bool isBlind = block.taken && block.wrong;
      EXPECT_EQ(after.blindCorruptions - before.blindCorruptions, isBlind ? 1u : 0u) << "block at " << address;
      const bool damaged =
          damageOut ? after.corruptedOut != before.corruptedOut : after.corruptedIn != before.corruptedIn;
      blind += isBlind ? 1u : 0u;
      caught += damaged && !block.taken ? 1u : 0u;
    }
  }
  EXPECT_GT(blind, 0u) << "no damage ever passed a checksum: the case proves nothing";
  EXPECT_GT(caught, 0u);
}

TEST(BlindCorruption, LoaderPacketsThatStillSumToZero) {
  const std::uint32_t first = 0x880;
  ExpectBlindDamageCounted(true, first, first + 10 * 128, 128, false, [](ModelBench& bench, unsigned seed,
                                                                         std::uint32_t address) {
    const auto data = PatternBlock(seed + address);
    const auto accepted = bench.model.Counters().packetsAccepted;
    bench.Ask(Packet(address, data));
    const auto block = bench.model.FlashImage().begin() + (address - Tola400Model::kFlashStart);
    return Block{bench.model.Counters().packetsAccepted != accepted, !std::equal(data.begin(), data.end(), block)};
  });
}

TEST(BlindCorruption, EepromWritesThatStillSumToZero) {
  ExpectBlindDamageCounted(false, 0, 0x400, 64, false, [](ModelBench& bench, unsigned, std::uint32_t address) {
    std::vector<std::uint8_t> data(64);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = bench.model.Mem3()[address + i] ^ 0x5A;
    const auto writes = bench.model.Counters().eepromWrites;
    bench.Ask(FormatWriteCommand("^EWS", static_cast<std::uint8_t>(address >> 8),
                                 static_cast<std::uint8_t>(address & 0xFF), 64, data.data()));
    return Block{bench.model.Counters().eepromWrites != writes,
                 !std::equal(data.begin(), data.end(), bench.model.Mem3().begin() + address)};
  });
}

TEST(BlindCorruption, EepromReadAnswersThatStillSumToZero) {
  ExpectBlindDamageCounted(false, 0, 0x400, 64, true, [](ModelBench& bench, unsigned, std::uint32_t address) {
    const std::string command = FormatReadCommand("^ERS", static_cast<std::uint8_t>(address >> 8),
                                                  static_cast<std::uint8_t>(address & 0xFF), 64);
    const std::string answer = bench.Ask(command);
    // The program's own check decides what it takes, on the answer up to its first ";".
    std::vector<std::uint8_t> got(64);
    const bool taken = CheckReadResponse(command, answer.substr(0, answer.find(';') + 1), 64, got.data());
    return Block{taken, !std::equal(got.begin(), got.end(), bench.model.Mem3().begin() + address)};
  });
}

}  // namespace
}  // namespace tola::test
