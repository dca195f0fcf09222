// Erase and antenna enable on a line that drops, corrupts and delays bytes, with an amplifier that
// now and then goes deaf: every run ends in bounded time with one of its own codes, and a run that
// reports success left the amplifier as asked. TOLA_FAULT_SEEDS=N runs N seeds instead of 200.

#include <gtest/gtest.h>

#include <cstdlib>

#include "operations/ConfigCommandFlows.h"
#include "support/SimApp.h"

namespace tola::test {
namespace {

unsigned SeedCount() {
  const char* text = std::getenv("TOLA_FAULT_SEEDS");
  const long n = text ? std::strtol(text, nullptr, 10) : 0;
  return n > 0 ? static_cast<unsigned>(n) : 200u;
}

void InjectFaults(Tola400Model& model) {
  FaultOptions& f = model.Faults();
  f.dropRate = 0.01;
  f.corruptRate = 0.01;
  f.delayRate = 0.01;
  f.silenceRate = 0.03;
}

bool LineWasClean(const ModelCounters& before, const ModelCounters& after) {
  return after.droppedIn == before.droppedIn && after.corruptedIn == before.corruptedIn &&
         after.delayedIn == before.delayedIn && after.silences == before.silences &&
         after.droppedOut == before.droppedOut && after.corruptedOut == before.corruptedOut &&
         after.delayedOut == before.delayedOut;
}

// Each operation gets far more virtual time than its retries can use.
constexpr std::uint32_t kBoundMs = 15000;

TEST(ConfigCommandFaultTest, AntennaEnableQueryAndSetUnderFaults) {
  const std::string desired = "22311222211";  // differs from the model's "33311111122"
  unsigned succeeded = 0;
  unsigned checkedStrictly = 0;
  for (unsigned seed = 1; seed <= SeedCount(); ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed) + " (replay with this seed in FaultOptions)");
    Tola400Options options;
    options.faults.seed = seed;
    SimApp s(options);
    ASSERT_TRUE(s.RunTest());
    ASSERT_EQ(s.app->ConnectionState(), kConnectionFirmware);
    InjectFaults(*s.model);
    ConfigCommandSession session(*s.app);
    ConfigCommandMachine& m = *session.Machine();

    const ModelCounters beforeQuery = s.model->Counters();
    ASSERT_TRUE(m.StartQueryAntennaEnable());
    ASSERT_TRUE(s.host.RunUntil([&m] { return m.IsIdle(); }, kBoundMs)) << "query did not end";
    ASSERT_TRUE(m.Result() == 0 || m.Result() == kNoResponseAntennaEnable) << std::hex << m.Result();
    const std::string read = s.app->antennaEnable.Get();
    if (m.Result() == 0 && !read.empty() && s.model->Counters().corruptedOut == beforeQuery.corruptedOut) {
      EXPECT_EQ(read, s.model->AntennaEnable());
    }

    const ModelCounters beforeSet = s.model->Counters();
    ASSERT_TRUE(m.StartSetAntennaEnable(desired));
    ASSERT_TRUE(s.host.RunUntil([&m] { return m.IsIdle(); }, kBoundMs)) << "set did not end";
    ASSERT_TRUE(m.Result() == 0 || m.Result() == kNoResponseAntennaEnable) << std::hex << m.Result();
    if (m.Result() == 0) {
      ++succeeded;
      EXPECT_EQ(s.app->antennaEnable.Get(), desired);
      // Without a checksum, a bit flipped on the way back could fake the read-back.
      if (s.model->Counters().corruptedOut == beforeSet.corruptedOut) {
        ++checkedStrictly;
        EXPECT_EQ(s.model->AntennaEnable(), desired);
      }
    }
    if (LineWasClean(beforeSet, s.model->Counters())) {
      EXPECT_EQ(m.Result(), 0u) << "a clean line never fails";
    }
    if (HasFailure()) break;
  }
  EXPECT_GT(succeeded, SeedCount() / 2) << "faults are meant to be occasional";
  EXPECT_GT(checkedStrictly, succeeded / 2);
}

TEST(ConfigCommandFaultTest, MemoryEraseUnderFaults) {
  for (unsigned seed = 1; seed <= SeedCount(); ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed) + " (replay with this seed in FaultOptions)");
    Tola400Options options;
    options.faults.seed = seed;
    SimApp s(options);
    ASSERT_TRUE(s.RunTest());
    InjectFaults(*s.model);
    EraseMemoriesFlow flow(*s.app);
    const unsigned band = seed % 12;
    const unsigned antenna = 1 + seed % 2;
    flow.ChooseBand(band);
    const ModelCounters before = s.model->Counters();
    ASSERT_TRUE(flow.EraseAntenna(antenna));
    ASSERT_TRUE(s.host.RunUntil([&flow] { return flow.Machine()->IsIdle(); }, kBoundMs));
    // Unconfirmed: the machine always ends well; the amplifier erased what was asked or nothing.
    EXPECT_EQ(flow.Machine()->Result(), 0u);
    const auto& erased = s.model->MemoryErasures();
    ASSERT_LE(erased.size(), 1u);
    const ModelCounters& after = s.model->Counters();
    // A flipped digit on the way in can name another band: the command carries no checksum.
    if (!erased.empty() && after.corruptedIn == before.corruptedIn) {
      EXPECT_EQ(erased[0].first, EraseBandCode(band));
      EXPECT_EQ(erased[0].second, antenna);
    }
    if (after.droppedIn == before.droppedIn && after.corruptedIn == before.corruptedIn &&
        after.delayedIn == before.delayedIn && after.silences == before.silences) {
      EXPECT_EQ(erased.size(), 1u) << "a command that arrived whole is carried out";
    }
    if (HasFailure()) break;
  }
}

}  // namespace
}  // namespace tola::test
