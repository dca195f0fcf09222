// Operate polling on a line that drops, corrupts and delays bytes, with an amplifier that now and
// then goes deaf: every cycle ends in bounded time with success or one of the cycle's codes, the
// failed cycles are counted, the connection state follows, and a cycle that read clean answers
// shows the amplifier's settings.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "operations/ConfigTestSupport.h"
#include "operations/FaultSeedRun.h"
#include "operations/OperatePoller.h"
#include "support/SimApp.h"

namespace tola::test {
namespace {

const std::set<ResultCode>& CycleCodes() {
  static const std::set<ResultCode> codes{
      0,                          kNoResponseSemicolonPoll, kNoResponseRevision,     kNoResponseTunerInstalled,
      kNoResponseOperate,         kNoResponseAttenuator,    kNoResponseBand,         kNoResponseDrainCurrent,
      kNoResponsePowerDissipated, kNoResponsePowerForward,  kNoResponsePowerInput,   kNoResponsePowerReflected,
      kNoResponseSupplyVoltage,   kNoResponseFrequency,     kNoResponseSwr,          kNoResponseTuneStatus,
      kNoResponseFault,           kNoResponseTemperature,   kNoResponseAntenna,      kNoResponseBypass,
      kNoResponseCapacitor,       kNoResponseInductor,      kNoResponseMode,         kNoResponseSide,
  };
  return codes;
}

constexpr unsigned kCycles = 5;
// The longest cycle: a full speed search, both identification queries and every query timing out
// is far below this; add the poll interval and the injected delays.
constexpr std::uint32_t kCycleBoundMs = 20000;

struct CycleTally {
  unsigned ok = 0, failed = 0;
};

// A seed succeeds when most of its cycles did.
void PollWithSeed(unsigned seed, SeedOutcome& outcome, CycleTally& tally) {
  SimApp s(SeededOptions(seed));
  ASSERT_TRUE(s.RunTest());
  SetFaultRates(*s.model, 0.0005, 0.0005, 0.0005, 0.002);

  OperatePoller poller(*s.app);
  s.host.SetTimerHandler([&](unsigned id) {
    if (!poller.OnTimer(id)) RouteTimer(*s.app, id);
  });
  std::vector<ResultCode> results;
  unsigned checked = 0;
  ModelCounters atStart = s.model->Counters();
  poller.onCycleFinished = [&](ResultCode code) {
    results.push_back(code);
    const ModelCounters& now = s.model->Counters();
    EXPECT_TRUE(CycleCodes().count(code)) << "cycle " << results.size() << " code 0x" << std::hex << code;
    EXPECT_EQ(s.app->ConnectionState(), code == 0 ? kConnectionFirmware : kConnectionNone);
    // The answers carry no checksum: only a cycle that read them undamaged must show the settings.
    const bool clean = now.corruptedOut == atStart.corruptedOut && now.droppedOut == atStart.droppedOut &&
                       now.delayedOut == atStart.delayedOut;
    if (code == 0 && clean) {
      ++checked;
      const OperateSettings& m = s.model->Settings();
      EXPECT_EQ(s.app->bandIndex.Get(), m.band);
      EXPECT_EQ(s.app->mode.Get(), m.mode);
      EXPECT_EQ(s.app->bypass.Get(), m.bypass);
      EXPECT_EQ(s.app->side.Get(), m.side);
      EXPECT_EQ(s.app->capacitor.Get(), m.capacitor);
      EXPECT_EQ(s.app->inductor.Get(), m.inductor);
      EXPECT_EQ(s.app->operate.Get(), m.operate);
      EXPECT_EQ(s.app->fault.Get(), m.fault);
    }
    atStart = now;
  };
  ASSERT_TRUE(poller.Show());
  poller.Change({OperateControl::Antenna, 2});
  ASSERT_TRUE(s.host.RunUntil([&] { return results.size() >= kCycles; }, kCycles * kCycleBoundMs))
      << "only " << results.size() << " cycles ended";
  const auto failed =
      static_cast<std::uint32_t>(std::count_if(results.begin(), results.end(), [](ResultCode c) { return c != 0; }));
  EXPECT_EQ(s.app->failedCycles.Get(), failed);
  outcome.succeeded = failed * 2 < kCycles;
  outcome.exempt = failed < kCycles && checked == 0;
  tally.failed += failed;
  tally.ok += static_cast<unsigned>(results.size()) - failed;
  poller.Hide();
}

class OperateFaultTest : public ::testing::TestWithParam<unsigned> {};

TEST_P(OperateFaultTest, CyclesUnderFaults) {
  CycleTally tally;
  const unsigned runs = RunFaultSeeds("operate polling", GetParam(),
                                      [&tally](unsigned seed, SeedOutcome& outcome) { PollWithSeed(seed, outcome, tally); });
  if (runs >= 16) {
    EXPECT_GT(tally.failed, 0u) << "the faults never reached a cycle";
    EXPECT_GT(tally.ok, tally.failed);
  }
}

INSTANTIATE_TEST_SUITE_P(Seeds, OperateFaultTest, ::testing::Range(0u, kSeedParts));

}  // namespace
}  // namespace tola::test
