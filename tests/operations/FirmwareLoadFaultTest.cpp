// Firmware loads on a line that drops, corrupts and delays bytes, with a loader that refuses good
// packets now and then and an amplifier that sometimes goes deaf for two seconds. Every load ends
// within a virtual-time bound; one that reports success left the amplifier's flash equal to the
// file's image and the new revision installed; one that fails reports a code of the load.

#include <gtest/gtest.h>

#include <set>

#include "operations/ConfigTestSupport.h"
#include "operations/FaultSeedRun.h"
#include "operations/FirmwareLoadRig.h"

namespace tola::test {
namespace {

constexpr std::uint16_t kNewRevision = 150;

void LoadWithSeed(unsigned seed, SeedOutcome& outcome) {
  static const std::set<ResultCode> loadCodes{
      kUnexpectedDevice,      kLoaderNoD,         kRetryLimitExhausted,    kNoResponseFirmwarePacket,
      kNoResponseResync,      kNoResponseAfterReset, kNoResponseRevision, kNoResponseSerialNumber,
      kRevisionVerifyFailed,
  };
  Tola400Options options;
  options.faults.seed = seed;
  options.revisionAfterLoad = kNewRevision;
  FirmwareLoadRig rig(options);
  ASSERT_TRUE(rig.Connect());
  SetFaultRates(*rig.sim.model, 0.0003, 0.0001, 0.0003, 0.002);
  rig.sim.model->Faults().nakRate = 0.02;

  // One to a hundred and thirty packets, now and then the whole window.
  const std::size_t length = seed % 100 == 0 ? kWindowSize : 0x80 + (std::size_t{seed} * 7919u) % 0x4000;
  const auto window = MakeFirmwareWindow(length, seed);
  const std::string path = rig.WriteFirmware(window, kNewRevision);
  // Clean, a load takes about 36 ms a packet; the bound leaves room for dozens of resynchronisations.
  const auto boundMs = static_cast<std::uint32_t>(200000 + (length + 127) / 128 * 1000);
  ASSERT_TRUE(rig.Load(path, kNewRevision, boundMs)) << "no end within " << boundMs << " ms of virtual time";

  const ResultCode code = rig.dialog->Completion();
  AppState& app = *rig.sim.app;
  if (code == 0) {
    outcome.succeeded = true;
    outcome.exempt = rig.Flash() != window && LineFooledAChecksum(*rig.sim.model);
    EXPECT_TRUE(rig.Flash() == window || outcome.exempt) << "success with the flash differing from the file";
    EXPECT_EQ(app.installedRevision.Get(), kNewRevision);
    EXPECT_EQ(app.ConnectionState(), kConnectionFirmware);
    EXPECT_EQ(rig.view.closedWith, 1);
  } else {
    EXPECT_EQ(loadCodes.count(code), 1u) << FormatText("unexpected code 0x%08X", code);
    EXPECT_FALSE(rig.view.closedWith.has_value());
    EXPECT_TRUE(rig.view.Has("Click \"Close\" to close this window"));
  }
  // A finished load is silent.
  EXPECT_FALSE(rig.sim.host.IsTimerArmed(kTimerFirmwareLoad));
  const std::size_t sent = rig.sim.port->Sent().size();
  rig.sim.host.AdvanceBy(10000);
  EXPECT_EQ(rig.sim.port->Sent().size(), sent);
}

class FirmwareLoadFaultTest : public ::testing::TestWithParam<unsigned> {};

TEST_P(FirmwareLoadFaultTest, LoadsUnderFaults) { RunFaultSeeds("firmware load", GetParam(), LoadWithSeed); }

INSTANTIATE_TEST_SUITE_P(Seeds, FirmwareLoadFaultTest, ::testing::Range(0u, kSeedParts));

}  // namespace
}  // namespace tola::test
