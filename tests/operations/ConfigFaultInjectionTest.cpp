// The save, the restore and the fault table on a line with seeded faults: whatever happens, a run
// that reports success produced exactly the data it claims, a run that fails reports one of its own
// codes, and every run ends within a bounded time.

#include <gtest/gtest.h>

#include <cstdio>
#include <span>
#include <string>

#include "operations/ConfigRestoreController.h"
#include "operations/ConfigSaveController.h"
#include "operations/ConfigTestSupport.h"
#include "operations/FaultSeedRun.h"
#include "operations/FaultTableController.h"
#include "platform/FileSystem.h"

namespace tola::test {
namespace {

// Save and restore: 68 runs of at most ten 2-second time-outs each, the speed searches and the
// transfers; the fault table: nine runs.
constexpr std::uint32_t kVirtualTimeBoundMs = 1'600'000;
constexpr std::uint32_t kFaultTableBoundMs = 300'000;

// A model for one seed, connected on a clean line; boxes are recorded instead of answered.
struct SeededSim {
  SeededSim(unsigned seed, const std::string& folder) : sim(SeededOptions(seed)) {
    sim.host.SetUnexpectedBoxHandler([this](const VirtualHost::BoxRecord& box) { boxes.push_back(box.caption); });
    if (!folder.empty()) sim.app->configurationFolder.Set(folder);
    connected = sim.RunTest();
  }
  // Switches the seed's faults on and runs until `busy` ends.
  void Run(unsigned seed, const std::function<bool()>& busy, std::uint32_t boundMs = kVirtualTimeBoundMs) {
    sim.model->Faults() = SeededFaults(seed);
    EXPECT_TRUE(sim.host.RunUntil([&] { return !busy(); }, boundMs)) << "no end within the bound";
  }
  // A failure ends with `code` or the reset's, and shows one box, `caption`.
  void ExpectFailure(ResultCode outcome, ResultCode code, const char* caption) const {
    EXPECT_TRUE(outcome == kNoResponseAfterReset || outcome == code) << "code 0x" << std::hex << outcome;
    EXPECT_EQ(boxes, std::vector<std::string>{caption});
  }

  SimApp sim;
  std::vector<std::string> boxes;
  bool connected = false;
};

class ConfigSaveFaultInjection : public ::testing::TestWithParam<unsigned> {};

TEST_P(ConfigSaveFaultInjection, ASaveEitherWritesTheAmplifiersMemoriesOrFailsWithAReadCode) {
  TempFolder folder;
  RunFaultSeeds("save", GetParam(), [&folder](unsigned seed, SeedOutcome& outcome) {
    SeededSim s(seed, folder.Path());
    ASSERT_TRUE(s.connected);
    const std::string path = folder / ("seed" + std::to_string(seed) + ".TOLAConfig");
    ConfigSaveController save(*s.sim.app);
    ASSERT_TRUE(save.Open());
    ASSERT_TRUE(save.FileChosen(path));
    s.Run(seed, [&] { return save.Busy(); });
    if (save.Outcome() == kErrorSuccess) {
      outcome.succeeded = true;
      EXPECT_TRUE(save.Closed());
      ImageSink file;
      EXPECT_EQ(ReadImages(path, file), 0u);
      EXPECT_TRUE(file.Complete());
      const bool equal = file.mem2 == s.sim.model->Mem2() && file.mem3 == s.sim.model->Mem3();
      outcome.exempt = !equal && LineFooledAChecksum(*s.sim.model);
      EXPECT_TRUE(equal || outcome.exempt) << "the file differs from the amplifier's memories";
      EXPECT_TRUE(s.boxes.empty());
    } else {
      s.ExpectFailure(save.Outcome(), kNoResponseReadEeprom, "Save Configuration Error");
      EXPECT_FALSE(IsRegularFile(path));
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
  SeededSim s(seed, source.folder.Path());
  ASSERT_TRUE(s.connected);
  const auto identity = s.sim.model->Mem2();
  ConfigRestoreController restore(*s.sim.app);
  ASSERT_TRUE(restore.Open());
  ASSERT_TRUE(restore.FileChosen(source.path));
  s.Run(seed, [&] { return restore.Busy(); });

  // Never sent, whatever the line did: the identity bytes and the fault ring.
  const std::string& sent = s.sim.port->Sent();
  for (const char* page : {"^EWS38", "^EWS39", "^EWS3A", "^EWS3B", "^EWS3C", "^EWS3D", "^EWS3E", "^EWS3F",
                           "^EWP000", "^EWP001"}) {
    EXPECT_EQ(sent.find(page), std::string::npos) << page;
  }
  const auto& mem2 = s.sim.model->Mem2();
  const auto& mem3 = s.sim.model->Mem3();
  EXPECT_TRUE(std::equal(identity.begin(), identity.begin() + 0x1F, mem2.begin()));

  if (restore.Outcome() == kErrorSuccess) {
    outcome.succeeded = true;
    EXPECT_TRUE(restore.Closed());
    // Bank 0 from 0x20 and banks 1-3 as the blocks were written; MEM3 below the fault ring.
    const bool equal = std::equal(mem2.begin() + 0x20, mem2.end(), source.image.mem2.begin() + 0x20) &&
                       std::equal(mem3.begin(), mem3.begin() + 0x3800, source.image.mem3.begin());
    outcome.exempt = !equal && LineFooledAChecksum(*s.sim.model);
    EXPECT_TRUE(equal || outcome.exempt) << "the restorable ranges differ from the file's";
    EXPECT_TRUE(s.boxes.empty());
  } else {
    s.ExpectFailure(restore.Outcome(), kNoResponseWriteEeprom, "Restore Configuration Error");
  }
}

class ConfigRestoreFaultInjection : public ::testing::TestWithParam<unsigned> {};

TEST_P(ConfigRestoreFaultInjection, ARestoreEitherWritesTheRestorableRangesOrFailsWithAWriteCode) {
  RunFaultSeeds("restore", GetParam(), RestoreWithSeed, {.someFail = true});
}

INSTANTIATE_TEST_SUITE_P(Seeds, ConfigRestoreFaultInjection, ::testing::Range(0u, kSeedParts));

void ReadTableWithSeed(unsigned seed, SeedOutcome& outcome) {
  SeededSim s(seed, {});
  ASSERT_TRUE(s.connected);
  // A ring that differs from seed to seed, with its newest record anywhere.
  for (unsigned i = 0; i < seed % 300; ++i) {
    s.sim.model->TripFault("ACDHILPRST"[i % 10], static_cast<std::uint16_t>(seed * 7 + i));
  }
  FaultTableController table(*s.sim.app);
  ASSERT_TRUE(table.Open());
  s.Run(seed, [&] { return table.Busy(); }, kFaultTableBoundMs);
  if (table.Outcome() == kErrorSuccess) {
    outcome.succeeded = true;
    const auto ring = std::span<const std::uint8_t, kFaultRingSize>(s.sim.model->Mem3().data() + kFaultRingAddress,
                                                                    kFaultRingSize);
    const bool equal = table.Rows() == ListFaultRing(s.sim.model->FaultIndex(), ring);
    outcome.exempt = !equal && LineFooledAChecksum(*s.sim.model);
    EXPECT_TRUE(table.Listed());
    EXPECT_TRUE(equal || outcome.exempt) << "the rows differ from the amplifier's ring";
    EXPECT_TRUE(s.boxes.empty());
  } else {
    s.ExpectFailure(table.Outcome(), kNoResponseReadEeprom, "Fault Table Error");
    EXPECT_TRUE(table.Rows().empty());
  }
}

class FaultTableFaultInjection : public ::testing::TestWithParam<unsigned> {};

TEST_P(FaultTableFaultInjection, AReadEitherListsTheAmplifiersRingOrFailsWithAReadCode) {
  RunFaultSeeds("fault table", GetParam(), ReadTableWithSeed);
}

INSTANTIATE_TEST_SUITE_P(Seeds, FaultTableFaultInjection, ::testing::Range(0u, kSeedParts));

}  // namespace
}  // namespace tola::test
