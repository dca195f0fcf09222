// The save and the restore on a line with seeded faults: whatever happens, a run that reports
// success produced exactly the data it claims, a run that fails reports one of its own codes, and
// every run ends within a bounded time.

#include <gtest/gtest.h>

#include <cstdio>
#include <iostream>
#include <span>
#include <string>

#include "operations/ConfigRestoreController.h"
#include "operations/ConfigSaveController.h"
#include "operations/ConfigTestSupport.h"
#include "platform/FileSystem.h"

namespace tola::test {
namespace {

// 68 runs of at most ten 2-second time-outs each, the speed searches and the transfers.
constexpr std::uint32_t kVirtualTimeBoundMs = 1'600'000;

void RecordBoxes(SimApp& sim, std::vector<std::string>& captions) {
  sim.host.SetUnexpectedBoxHandler(
      [&captions](const VirtualHost::BoxRecord& box) { captions.push_back(box.caption); });
}

// Seeds [first, last) of the save.
void RunSaveSeeds(SeedRange seeds) {
  TempFolder folder;
  unsigned saved = 0;
  for (unsigned seed = seeds.first; seed < seeds.last; ++seed) {
    SCOPED_TRACE("fault seed " + std::to_string(seed));
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
    const bool ended = sim.host.RunUntil([&] { return !save.Busy(); }, kVirtualTimeBoundMs);
    EXPECT_TRUE(ended) << "no end within the bound";
    if (save.Outcome() == kErrorSuccess) {
      ++saved;
      EXPECT_TRUE(save.Closed());
      ImageSink file;
      EXPECT_EQ(ReadImages(path, file), 0u);
      EXPECT_TRUE(file.Complete());
      if (file.mem2 != sim.model->Mem2() || file.mem3 != sim.model->Mem3()) {
        // Only two answers' flipped digits that cancel in one block's checksum may get through.
        const auto& mem2 = sim.model->Mem2();
        const auto& mem3 = sim.model->Mem3();
        const bool blind = sim.model->Counters().corruptedOut >= 2 &&
                           (file.mem2 == mem2 || OnlyChecksumBlindDifferences(file.mem2, mem2)) &&
                           (file.mem3 == mem3 || OnlyChecksumBlindDifferences(file.mem3, mem3));
        EXPECT_TRUE(blind) << "the file differs from the amplifier's memories";
        if (blind) std::cout << "seed " << seed << ": two corruptions cancelled in one block's checksum" << std::endl;
      }
      EXPECT_TRUE(boxes.empty());
    } else {
      EXPECT_TRUE(save.Outcome() == kNoResponseAfterReset || save.Outcome() == kNoResponseReadEeprom)
          << "code 0x" << std::hex << save.Outcome();
      EXPECT_FALSE(IsRegularFile(path));
      EXPECT_EQ(boxes, std::vector<std::string>{"Save Configuration Error"});
    }
    std::remove(path.c_str());
    if (::testing::Test::HasFailure()) {
      std::cerr << "save failed with fault seed " << seed << " (replay: TOLA_FAULT_SEED=" << seed << ")" << std::endl;
      break;
    }
  }
  std::cout << saved << " of " << seeds.Count() << " saves succeeded" << std::endl;
  if (seeds.Count() >= 16) {
    EXPECT_GT(saved, seeds.Count() / 2) << "the faults are meant to be survivable most of the time";
    EXPECT_LT(saved, seeds.Count()) << "the storms are meant to end some saves";
  }
}

// Two halves, so that a slow (sanitizer) build can run them side by side.
TEST(ConfigFaultInjection, ASaveEitherWritesTheAmplifiersMemoriesOrFailsWithAReadCode) {
  RunSaveSeeds(FaultSeeds(0, 2));
}

TEST(ConfigFaultInjection, ASaveEitherWritesTheAmplifiersMemoriesOrFailsWithAReadCodeMoreSeeds) {
  RunSaveSeeds(FaultSeeds(1, 2));
}

class ConfigRestoreFaultInjection : public ::testing::Test {
 protected:
  // One file for every seed: another amplifier's memories, configured for 9,600 bit/s.
  static void SetUpTestSuite() {
    s_folder = new TempFolder;
    s_path = *s_folder / "source.TOLAConfig";
    ConnectedSim source;
    for (std::size_t i = 0; i < kMem2Size; ++i) source.Model().Mem2()[i] = static_cast<std::uint8_t>(i * 5 + 1);
    for (std::size_t i = 0; i < kMem3Size; ++i) source.Model().Mem3()[i] = static_cast<std::uint8_t>(i * 3 + 7);
    source.Model().Mem2()[Tola400Model::kSpeedCodeAddress] = 1;
    ConfigSaveController save(source.App());
    ASSERT_TRUE(save.Open() && save.FileChosen(s_path));
    ASSERT_TRUE(source.Host().RunUntil([&] { return save.Closed(); }, 120000));
    ASSERT_EQ(save.Outcome(), 0u);
    s_image = new ImageSink;
    ASSERT_EQ(ReadImages(s_path, *s_image), 0u);
  }
  static void TearDownTestSuite() {
    delete s_image;
    delete s_folder;
  }

  void RunSeeds(SeedRange seeds);

  static TempFolder* s_folder;
  static std::string s_path;
  static ImageSink* s_image;
};

TempFolder* ConfigRestoreFaultInjection::s_folder = nullptr;
std::string ConfigRestoreFaultInjection::s_path;
ImageSink* ConfigRestoreFaultInjection::s_image = nullptr;

void ConfigRestoreFaultInjection::RunSeeds(SeedRange seeds) {
  unsigned restored = 0;
  for (unsigned seed = seeds.first; seed < seeds.last; ++seed) {
    SCOPED_TRACE("fault seed " + std::to_string(seed));
    SimApp sim(SeededOptions(seed));
    std::vector<std::string> boxes;
    RecordBoxes(sim, boxes);
    sim.app->configurationFolder.Set(s_folder->Path());
    ASSERT_TRUE(sim.RunTest());
    const auto identity = sim.model->Mem2();
    sim.model->Faults() = SeededFaults(seed);

    ConfigRestoreController restore(*sim.app);
    ASSERT_TRUE(restore.Open());
    ASSERT_TRUE(restore.FileChosen(s_path));
    const bool ended = sim.host.RunUntil([&] { return !restore.Busy(); }, kVirtualTimeBoundMs);
    EXPECT_TRUE(ended) << "no end within the bound";

    // Never sent, whatever the line did: the identity bytes and the fault ring.
    const std::string& sent = sim.port->Sent();
    for (const char* page : {"^EWS38", "^EWS39", "^EWS3A", "^EWS3B", "^EWS3C", "^EWS3D", "^EWS3E", "^EWS3F"}) {
      EXPECT_EQ(sent.find(page), std::string::npos) << page;
    }
    EXPECT_EQ(sent.find("^EWP000"), std::string::npos);
    EXPECT_EQ(sent.find("^EWP001"), std::string::npos);
    EXPECT_TRUE(std::equal(identity.begin(), identity.begin() + 0x1F, sim.model->Mem2().begin()));

    if (restore.Outcome() == kErrorSuccess) {
      ++restored;
      EXPECT_TRUE(restore.Closed());
      // Bank 0 from 0x20 and banks 1-3 as the blocks were written; MEM3 below the fault ring.
      const std::span<const std::uint8_t> areas[][2] = {
          {std::span(sim.model->Mem2()).subspan(0x20, 0xE0), std::span(s_image->mem2).subspan(0x20, 0xE0)},
          {std::span(sim.model->Mem2()).subspan(0x100), std::span(s_image->mem2).subspan(0x100)},
          {std::span(sim.model->Mem3()).first(0x3800), std::span(s_image->mem3).first(0x3800)},
      };
      bool equal = true;
      bool blind = sim.model->Counters().corruptedIn >= 2;
      for (const auto& area : areas) {
        if (std::equal(area[0].begin(), area[0].end(), area[1].begin())) continue;
        equal = false;
        blind = blind && OnlyChecksumBlindDifferences(area[0], area[1]);
      }
      if (!equal) {
        // Only a command's flipped digits that cancel in its block's checksum may get through.
        EXPECT_TRUE(blind) << "the restorable ranges differ from the file's";
        if (blind) std::cout << "seed " << seed << ": two corruptions cancelled in one block's checksum" << std::endl;
      }
      EXPECT_TRUE(boxes.empty());
    } else {
      EXPECT_TRUE(restore.Outcome() == kNoResponseAfterReset || restore.Outcome() == kNoResponseWriteEeprom)
          << "code 0x" << std::hex << restore.Outcome();
      EXPECT_EQ(boxes, std::vector<std::string>{"Restore Configuration Error"});
    }
    if (::testing::Test::HasFailure()) {
      std::cerr << "restore failed with fault seed " << seed << " (replay: TOLA_FAULT_SEED=" << seed << ")"
                << std::endl;
      break;
    }
  }
  std::cout << restored << " of " << seeds.Count() << " restores succeeded" << std::endl;
  if (seeds.Count() >= 16) {
    EXPECT_GT(restored, seeds.Count() / 2);
    EXPECT_LT(restored, seeds.Count());
  }
}

TEST_F(ConfigRestoreFaultInjection, ARestoreEitherWritesTheRestorableRangesOrFailsWithAWriteCode) {
  RunSeeds(FaultSeeds(0, 2));
}

TEST_F(ConfigRestoreFaultInjection, ARestoreEitherWritesTheRestorableRangesOrFailsWithAWriteCodeMoreSeeds) {
  RunSeeds(FaultSeeds(1, 2));
}

}  // namespace
}  // namespace tola::test
