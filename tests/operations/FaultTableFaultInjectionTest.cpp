// The fault table on a line with seeded faults: a read that succeeds lists exactly the amplifier's
// ring, one that fails reports one of its own codes, and every run ends within a bounded time.

#include <gtest/gtest.h>

#include <span>
#include <string>

#include "operations/ConfigTestSupport.h"
#include "operations/FaultSeedRun.h"
#include "operations/FaultTableController.h"

namespace tola::test {
namespace {

// Nine runs of at most ten 2-second time-outs each, the speed search and the transfers.
constexpr std::uint32_t kVirtualTimeBoundMs = 300'000;

void ReadTableWithSeed(unsigned seed, SeedOutcome& outcome) {
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
    outcome.succeeded = true;
    const auto ring =
        std::span<const std::uint8_t, kFaultRingSize>(sim.model->Mem3().data() + kFaultRingAddress, kFaultRingSize);
    const bool equal = table.Rows() == ListFaultRing(sim.model->FaultIndex(), ring);
    outcome.exempt = !equal && LineFooledAChecksum(*sim.model);
    EXPECT_TRUE(table.Listed());
    EXPECT_TRUE(equal || outcome.exempt) << "the rows differ from the amplifier's ring";
    EXPECT_TRUE(boxes.empty());
  } else {
    EXPECT_TRUE(table.Outcome() == kNoResponseAfterReset || table.Outcome() == kNoResponseReadEeprom)
        << "code 0x" << std::hex << table.Outcome();
    EXPECT_TRUE(table.Rows().empty());
    EXPECT_EQ(boxes, std::vector<std::string>{"Fault Table Error"});
  }
}

class FaultTableFaultInjection : public ::testing::TestWithParam<unsigned> {};

TEST_P(FaultTableFaultInjection, AReadEitherListsTheAmplifiersRingOrFailsWithAReadCode) {
  RunFaultSeeds("fault table", GetParam(), ReadTableWithSeed);
}

INSTANTIATE_TEST_SUITE_P(Seeds, FaultTableFaultInjection, ::testing::Range(0u, kSeedParts));

}  // namespace
}  // namespace tola::test
