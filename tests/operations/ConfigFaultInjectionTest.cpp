// The save and the restore on a line with seeded faults: whatever happens, a run that reports
// success produced exactly the data it claims, a run that fails reports one of its own codes, and
// every run ends within a bounded time.

#include <gtest/gtest.h>

#include <cstdio>
#include <span>
#include <string>

#include "operations/ConfigRestoreController.h"
#include "operations/ConfigSaveController.h"
#include "operations/ConfigTestSupport.h"
#include "operations/FaultSeedRun.h"
#include "platform/FileSystem.h"

namespace tola::test {
namespace {

// 68 runs of at most ten 2-second time-outs each, the speed searches and the transfers.
constexpr std::uint32_t kVirtualTimeBoundMs = 1'600'000;

void RecordBoxes(SimApp& sim, std::vector<std::string>& captions) {
  sim.host.SetUnexpectedBoxHandler(
      [&captions](const VirtualHost::BoxRecord& box) { captions.push_back(box.caption); });
}

class ConfigSaveFaultInjection : public ::testing::TestWithParam<unsigned> {};

TEST_P(ConfigSaveFaultInjection, ASaveEitherWritesTheAmplifiersMemoriesOrFailsWithAReadCode) {
  TempFolder folder;
  RunFaultSeeds("save", GetParam(), [&folder](unsigned seed, SeedOutcome& outcome) {
    SimApp sim(SeededOptions(seed));
    std::vector<std::string> boxes;
    RecordBoxes(sim, boxes);
    sim.app->configurationFolder.Set(folder.Path());
    ASSERT_TRUE(sim.RunTest());
    sim.model->Faults() = SeededFaults(seed);

    const std::string path = folder / ("seed" + std::to_string(seed) + ".TOLAConfig");
    ConfigSaveController save(*sim.app);
    ASSERT_TRUE(save.Open());
    ASSERT_TRUE(save.FileChosen(path));
    EXPECT_TRUE(sim.host.RunUntil([&] { return !save.Busy(); }, kVirtualTimeBoundMs)) << "no end within the bound";
    if (save.Outcome() == kErrorSuccess) {
      outcome.succeeded = true;
      EXPECT_TRUE(save.Closed());
      ImageSink file;
      EXPECT_EQ(ReadImages(path, file), 0u);
      EXPECT_TRUE(file.Complete());
      const bool equal = file.mem2 == sim.model->Mem2() && file.mem3 == sim.model->Mem3();
      outcome.exempt = !equal && LineFooledAChecksum(*sim.model);
      EXPECT_TRUE(equal || outcome.exempt) << "the file differs from the amplifier's memories";
      EXPECT_TRUE(boxes.empty());
    } else {
      EXPECT_TRUE(save.Outcome() == kNoResponseAfterReset || save.Outcome() == kNoResponseReadEeprom)
          << "code 0x" << std::hex << save.Outcome();
      EXPECT_FALSE(IsRegularFile(path));
      EXPECT_EQ(boxes, std::vector<std::string>{"Save Configuration Error"});
    }
    std::remove(path.c_str());
  }, {.someFail = true});
}

INSTANTIATE_TEST_SUITE_P(Seeds, ConfigSaveFaultInjection, ::testing::Range(0u, kSeedParts));

// One file for every seed: another amplifier's memories, configured for 9,600 bit/s.
struct RestoreSource {
  RestoreSource() {
    ConnectedSim source;
    for (std::size_t i = 0; i < kMem2Size; ++i) source.Model().Mem2()[i] = static_cast<std::uint8_t>(i * 5 + 1);
    for (std::size_t i = 0; i < kMem3Size; ++i) source.Model().Mem3()[i] = static_cast<std::uint8_t>(i * 3 + 7);
    source.Model().Mem2()[Tola400Model::kSpeedCodeAddress] = 1;
    ConfigSaveController save(source.App());
    EXPECT_TRUE(save.Open() && save.FileChosen(path));
    EXPECT_TRUE(source.Host().RunUntil([&] { return save.Closed(); }, 120000));
    EXPECT_EQ(ReadImages(path, image), 0u);
  }
  TempFolder folder;
  std::string path = folder / "source.TOLAConfig";
  ImageSink image;
};

void RestoreWithSeed(unsigned seed, SeedOutcome& outcome) {
  static const RestoreSource source;
  SimApp sim(SeededOptions(seed));
  std::vector<std::string> boxes;
  RecordBoxes(sim, boxes);
  sim.app->configurationFolder.Set(source.folder.Path());
  ASSERT_TRUE(sim.RunTest());
  const auto identity = sim.model->Mem2();
  sim.model->Faults() = SeededFaults(seed);

  ConfigRestoreController restore(*sim.app);
  ASSERT_TRUE(restore.Open());
  ASSERT_TRUE(restore.FileChosen(source.path));
  EXPECT_TRUE(sim.host.RunUntil([&] { return !restore.Busy(); }, kVirtualTimeBoundMs)) << "no end within the bound";

  // Never sent, whatever the line did: the identity bytes and the fault ring.
  const std::string& sent = sim.port->Sent();
  for (const char* page : {"^EWS38", "^EWS39", "^EWS3A", "^EWS3B", "^EWS3C", "^EWS3D", "^EWS3E", "^EWS3F",
                           "^EWP000", "^EWP001"}) {
    EXPECT_EQ(sent.find(page), std::string::npos) << page;
  }
  EXPECT_TRUE(std::equal(identity.begin(), identity.begin() + 0x1F, sim.model->Mem2().begin()));

  if (restore.Outcome() == kErrorSuccess) {
    outcome.succeeded = true;
    EXPECT_TRUE(restore.Closed());
    // Bank 0 from 0x20 and banks 1-3 as the blocks were written; MEM3 below the fault ring.
    const auto& mem2 = sim.model->Mem2();
    const auto& mem3 = sim.model->Mem3();
    const bool equal = std::equal(mem2.begin() + 0x20, mem2.end(), source.image.mem2.begin() + 0x20) &&
                       std::equal(mem3.begin(), mem3.begin() + 0x3800, source.image.mem3.begin());
    outcome.exempt = !equal && LineFooledAChecksum(*sim.model);
    EXPECT_TRUE(equal || outcome.exempt) << "the restorable ranges differ from the file's";
    EXPECT_TRUE(boxes.empty());
  } else {
    EXPECT_TRUE(restore.Outcome() == kNoResponseAfterReset || restore.Outcome() == kNoResponseWriteEeprom)
        << "code 0x" << std::hex << restore.Outcome();
    EXPECT_EQ(boxes, std::vector<std::string>{"Restore Configuration Error"});
  }
}

class ConfigRestoreFaultInjection : public ::testing::TestWithParam<unsigned> {};

TEST_P(ConfigRestoreFaultInjection, ARestoreEitherWritesTheRestorableRangesOrFailsWithAWriteCode) {
  RunFaultSeeds("restore", GetParam(), RestoreWithSeed, {.someFail = true});
}

INSTANTIATE_TEST_SUITE_P(Seeds, ConfigRestoreFaultInjection, ::testing::Range(0u, kSeedParts));

}  // namespace
}  // namespace tola::test
