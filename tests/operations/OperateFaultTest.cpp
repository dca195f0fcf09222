// Operate polling on a line that drops, corrupts and delays bytes, with an amplifier that now and
// then goes deaf: every cycle ends in bounded time with success or one of the cycle's codes, the
// failed cycles are counted, the connection state follows, and a cycle that read clean answers
// shows the amplifier's settings. TOLA_FAULT_SEEDS=N runs N seeds instead of 200.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>

#include "operations/OperatePoller.h"
#include "support/SimApp.h"

namespace tola::test {
namespace {

unsigned SeedCount() {
  const char* text = std::getenv("TOLA_FAULT_SEEDS");
  const long n = text ? std::strtol(text, nullptr, 10) : 0;
  return n > 0 ? static_cast<unsigned>(n) : 200u;
}

const std::set<ResultCode>& CycleCodes() {
  static const std::set<ResultCode> codes{
      0,
      kNoResponseSemicolonPoll,
      kNoResponseRevision,
      kNoResponseTunerInstalled,
      kNoResponseOperate,
      kNoResponseAttenuator,
      kNoResponseBand,
      kNoResponseDrainCurrent,
      kNoResponsePowerDissipated,
      kNoResponsePowerForward,
      kNoResponsePowerInput,
      kNoResponsePowerReflected,
      kNoResponseSupplyVoltage,
      kNoResponseFrequency,
      kNoResponseSwr,
      kNoResponseTuneStatus,
      kNoResponseFault,
      kNoResponseTemperature,
      kNoResponseAntenna,
      kNoResponseBypass,
      kNoResponseCapacitor,
      kNoResponseInductor,
      kNoResponseMode,
      kNoResponseSide,
  };
  return codes;
}

constexpr unsigned kCycles = 5;
// The longest cycle: a full speed search, both identification queries and every query timing out
// is far below this; add the poll interval and the injected delays.
constexpr std::uint32_t kCycleBoundMs = 20000;

TEST(OperateFaultTest, CyclesUnderFaults) {
  unsigned cleanCycles = 0, okCycles = 0, failedCycles = 0;
  for (unsigned seed = 1; seed <= SeedCount(); ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed) + " (replay with this seed in FaultOptions)");
    Tola400Options options;
    options.faults.seed = seed;
    SimApp s(options);
    ASSERT_TRUE(s.RunTest());
    FaultOptions& f = s.model->Faults();
    f.dropRate = 0.0005;
    f.corruptRate = 0.0005;
    f.delayRate = 0.0005;
    f.silenceRate = 0.002;

    OperatePoller poller(*s.app);
    s.host.SetTimerHandler([&](unsigned id) {
      if (!poller.OnTimer(id)) RouteTimer(*s.app, id);
    });
    std::vector<ResultCode> results;
    ModelCounters atStart = s.model->Counters();
    poller.onCycleFinished = [&](ResultCode code) {
      results.push_back(code);
      (code == 0 ? okCycles : failedCycles)++;
      const ModelCounters& now = s.model->Counters();
      EXPECT_TRUE(CycleCodes().count(code)) << "cycle " << results.size() << " code 0x" << std::hex << code;
      EXPECT_EQ(s.app->ConnectionState(), code == 0 ? kConnectionFirmware : kConnectionNone);
      const bool clean = now.corruptedOut == atStart.corruptedOut && now.droppedOut == atStart.droppedOut &&
                         now.delayedOut == atStart.delayedOut;
      if (code == 0 && clean) {
        ++cleanCycles;
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
    const auto failed = static_cast<std::uint32_t>(std::count_if(results.begin(), results.end(),
                                                                 [](ResultCode c) { return c != 0; }));
    EXPECT_EQ(s.app->failedCycles.Get(), failed);
    poller.Hide();
    if (HasFailure()) break;
  }
  EXPECT_GT(cleanCycles, SeedCount() * kCycles / 2) << "faults are meant to be occasional";
  if (SeedCount() >= 50) {
    EXPECT_GT(failedCycles, 0u) << "the faults never reached a cycle";
    EXPECT_GT(okCycles, failedCycles);
  }
}

}  // namespace
}  // namespace tola::test
