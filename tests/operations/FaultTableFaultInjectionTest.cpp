// The fault table on a line with seeded faults: a read that succeeds lists exactly the amplifier's
// ring, one that fails reports one of its own codes, and every run ends within a bounded time.

#include <gtest/gtest.h>

#include <iostream>
#include <string>

#include "operations/ConfigTestSupport.h"
#include "operations/FaultTableController.h"

namespace tola::test {
namespace {

// Nine runs of at most ten 2-second time-outs each, the speed search and the transfers.
constexpr std::uint32_t kVirtualTimeBoundMs = 300'000;

TEST(FaultTableFaultInjection, AReadEitherListsTheAmplifiersRingOrFailsWithAReadCode) {
  const SeedRange seeds = FaultSeeds(0, 1);
  unsigned listed = 0;
  for (unsigned seed = seeds.first; seed < seeds.last; ++seed) {
    SCOPED_TRACE("fault seed " + std::to_string(seed));
    SimApp sim(SeededOptions(seed));
    std::vector<std::string> boxes;
    sim.host.SetUnexpectedBoxHandler([&boxes](const VirtualHost::BoxRecord& box) { boxes.push_back(box.caption); });
    ASSERT_TRUE(sim.RunTest());
    // A ring that differs from seed to seed, with its newest record anywhere.
    for (unsigned i = 0; i < seed % 300; ++i) {
      sim.model->TripFault("ACDHILPRST"[i % 10], static_cast<std::uint16_t>(seed * 7 + i));
    }
    sim.model->Faults() = SeededFaults(seed);

    FaultTableController table(*sim.app);
    ASSERT_TRUE(table.Open());
    EXPECT_TRUE(sim.host.RunUntil([&] { return !table.Busy(); }, kVirtualTimeBoundMs)) << "no end within the bound";
    if (table.Outcome() == kErrorSuccess) {
      ++listed;
      const auto ring = std::span<const std::uint8_t, kFaultRingSize>(sim.model->Mem3().data() + kFaultRingAddress,
                                                                      kFaultRingSize);
      EXPECT_TRUE(table.Listed());
      EXPECT_EQ(table.Rows(), ListFaultRing(sim.model->FaultIndex(), ring));
      EXPECT_TRUE(boxes.empty());
    } else {
      EXPECT_TRUE(table.Outcome() == kNoResponseAfterReset || table.Outcome() == kNoResponseReadEeprom)
          << "code 0x" << std::hex << table.Outcome();
      EXPECT_TRUE(table.Rows().empty());
      EXPECT_EQ(boxes, std::vector<std::string>{"Fault Table Error"});
    }
    if (::testing::Test::HasFailure()) {
      std::cerr << "fault table failed with fault seed " << seed << " (replay: TOLA_FAULT_SEED=" << seed << ")"
                << std::endl;
      break;
    }
  }
  std::cout << listed << " of " << seeds.Count() << " fault tables were read" << std::endl;
  if (seeds.Count() >= 16) {
    EXPECT_GT(listed, seeds.Count() / 2);
  }
}

}  // namespace
}  // namespace tola::test
