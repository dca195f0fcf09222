// Firmware loads on a line that drops, corrupts and delays bytes, with a loader that refuses good
// packets now and then and an amplifier that sometimes goes deaf for two seconds. Every load ends
// within a virtual-time bound; one that reports success left the amplifier's flash equal to the
// file's image and the new revision installed; one that fails reports a code of the load.
// TOLA_FAULT_SEEDS=N runs N seeds instead of 200; TOLA_FAULT_SEED=N replays seed N alone.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <set>

#include "operations/FirmwareLoadRig.h"

namespace tola::test {
namespace {

unsigned EnvNumber(const char* name) {
  const char* text = std::getenv(name);
  const long n = text ? std::strtol(text, nullptr, 10) : 0;
  return n > 0 ? static_cast<unsigned>(n) : 0u;
}

const std::set<ResultCode>& LoadCodes() {
  static const std::set<ResultCode> codes{
      kUnexpectedDevice,         kLoaderNoD,          kRetryLimitExhausted,    kNoResponseFirmwarePacket,
      kNoResponseResync,         kNoResponseAfterReset, kNoResponseRevision,   kNoResponseSerialNumber,
      kRevisionVerifyFailed,
  };
  return codes;
}

// Image length for a seed: one to a hundred and thirty packets, now and then the whole window.
std::size_t LengthFor(unsigned seed) {
  if (seed % 100 == 0) return kWindowSize;
  return 0x80 + (std::size_t{seed} * 7919u) % 0x4000;
}

constexpr std::uint16_t kNewRevision = 150;

TEST(FirmwareLoadFaultTest, LoadsUnderFaults) {
  const unsigned single = EnvNumber("TOLA_FAULT_SEED");
  const unsigned first = single != 0 ? single : 1;
  const unsigned last = single != 0 ? single : (EnvNumber("TOLA_FAULT_SEEDS") != 0 ? EnvNumber("TOLA_FAULT_SEEDS") : 200);
  unsigned loaded = 0;
  std::map<ResultCode, unsigned> failures;
  std::uint64_t retries = 0;
  std::uint32_t longestMs = 0;

  for (unsigned seed = first; seed <= last; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed) + " (replay: TOLA_FAULT_SEED=" + std::to_string(seed) + ")");
    Tola400Options options;
    options.faults.seed = seed;
    options.revisionAfterLoad = kNewRevision;
    FirmwareLoadRig rig(options);
    ASSERT_TRUE(rig.Connect());
    FaultOptions& f = rig.sim.model->Faults();
    f.dropRate = 0.0003;
    f.corruptRate = 0.0001;
    f.delayRate = 0.0003;
    f.nakRate = 0.02;
    f.silenceRate = 0.002;

    const std::size_t length = LengthFor(seed);
    const auto window = MakeFirmwareWindow(length, seed);
    const std::string path = rig.WriteFirmware(window, kNewRevision);
    const std::size_t packets = (length + 127) / 128;
    // Clean, a load takes about 36 ms a packet; the bound leaves room for dozens of resynchronisations.
    const std::uint32_t boundMs = 200000 + static_cast<std::uint32_t>(packets) * 1000;
    const std::uint32_t start = rig.sim.host.TickCount();
    ASSERT_TRUE(rig.Load(path, kNewRevision, boundMs)) << "no end within " << boundMs << " ms of virtual time";
    longestMs = std::max(longestMs, rig.sim.host.TickCount() - start);

    const ResultCode code = rig.dialog->Completion();
    AppState& app = *rig.sim.app;
    if (code == 0) {
      ++loaded;
      EXPECT_TRUE(rig.Flash() == window) << "a load reported success with the flash differing from the file";
      EXPECT_EQ(app.installedRevision.Get(), kNewRevision);
      EXPECT_EQ(app.ConnectionState(), kConnectionFirmware);
      EXPECT_EQ(rig.view.closedWith, 1);
    } else {
      ++failures[code];
      EXPECT_EQ(LoadCodes().count(code), 1u) << FormatText("unexpected code 0x%08X", code);
      EXPECT_FALSE(rig.view.closedWith.has_value());
      EXPECT_TRUE(rig.view.Has("Click \"Close\" to close this window"));
    }
    for (const std::string& line : rig.view.log) {
      unsigned total = 0;
      if (std::sscanf(line.c_str(), "Total number of retries was %u", &total) == 1) retries += total;
    }

    // A finished load is silent.
    EXPECT_FALSE(rig.sim.host.IsTimerArmed(kTimerFirmwareLoad));
    const std::size_t sent = rig.sim.port->Sent().size();
    rig.sim.host.AdvanceBy(10000);
    EXPECT_EQ(rig.sim.port->Sent().size(), sent);
    if (HasFailure()) break;
  }
  std::string summary = FormatText("%u loaded, %llu retries, longest %u ms;", loaded,
                                   static_cast<unsigned long long>(retries), longestMs);
  for (const auto& [code, count] : failures) summary += FormatText(" 0x%08X x%u", code, count);
  std::printf("[ faults   ] %s\n", summary.c_str());
  if (single == 0) {
    EXPECT_GT(loaded, (last - first + 1) / 2) << "faults this rare should spoil few loads";
  }
}

}  // namespace
}  // namespace tola::test
