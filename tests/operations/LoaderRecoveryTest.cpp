// A firmware load cut short leaves the bootstrap loader in the middle of its download, deaf to
// everything but packets. Looking for the loader finds it by fill polls, and the next load sends the
// whole image again without a power cycle.

#include <gtest/gtest.h>

#include "operations/FirmwareLoadRig.h"

namespace tola::test {
namespace {

struct CutCase {
  const char* name;
  // Packet (counted from 1) that the loader takes without answering, 0 for none.
  unsigned swallowed;
  // Virtual time the load runs on after that packet, or after the first accepted packets.
  std::uint32_t runOnMs;
};

class LoaderRecoveryTest : public ::testing::TestWithParam<CutCase> {};

TEST_P(LoaderRecoveryTest, LoadCutShortIsFollowedByAWorkingLoad) {
  const CutCase& c = GetParam();
  FirmwareLoadRig rig;
  const auto window = MakeFirmwareWindow(0x3000, 21);
  const std::string path = rig.WriteFirmware(window, 123);
  ASSERT_TRUE(rig.Connect());
  unsigned packets = 0;
  rig.ScriptPackets([&](std::uint32_t, unsigned seen) {
    ++packets;
    return seen == 1 && packets == c.swallowed ? Tola400Model::PacketFate::Swallow : Tola400Model::PacketFate::Normal;
  });

  // The operator closes the dialog part-way ("Yes" to the question, or Ctrl+C on the command line).
  rig.Begin(path, 123);
  ASSERT_TRUE(rig.sim.host.RunUntil([&] { return packets >= std::max(c.swallowed, 8u); }, 60000));
  rig.sim.host.AdvanceBy(c.runOnMs);
  rig.dialog->CloseConfirmed();
  rig.dialog.reset();
  rig.sim.host.AdvanceBy(3000);
  ASSERT_EQ(rig.sim.model->Mode(), AmplifierMode::Loader);

  // The port test hears nothing at any speed, and its polls pile up in the loader's packet.
  EXPECT_FALSE(rig.sim.RunTest(5000));
  EXPECT_EQ(rig.sim.app->ConnectionState(), kConnectionNone);

  // The "Prepare TOLA to Receive Firmware" wait finds the loader without a power cycle.
  rig.sim.connection->StartWatching();
  ASSERT_TRUE(rig.sim.host.RunUntil([&] { return rig.sim.connection->IsIdle(); }, 30000));
  rig.sim.connection->StopWatching();
  EXPECT_EQ(rig.sim.app->ConnectionState(), kConnectionLoader);
  EXPECT_EQ(rig.sim.app->downloadWaiting.Get(), 1u);

  rig.view = RecordingSendingView();
  ASSERT_TRUE(rig.Load(path, 123));
  EXPECT_EQ(rig.dialog->Result(), SendingFirmwareController::kResultSuccess);
  EXPECT_TRUE(rig.view.Has("TOLA400 firmware load is complete"));
  EXPECT_TRUE(rig.Flash() == window);
  EXPECT_EQ(rig.sim.model->Counters().downloads, 1u) << "one \"D\": the second load went on with packets";
  EXPECT_EQ(rig.sim.app->downloadWaiting.Get(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Cuts, LoaderRecoveryTest,
                         ::testing::Values(CutCase{"BetweenPackets", 0, 0},
                                           // Fill polls have left part of a packet in the loader.
                                           CutCase{"DuringResynchronisation", 9, 2000 + 2050}),
                         [](const ::testing::TestParamInfo<CutCase>& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace tola::test
