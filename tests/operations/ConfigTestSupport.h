#pragma once
// Common ground of the configuration and fault-table tests: a connected amplifier model on virtual
// time with a private configuration folder, a sink that keeps what a configuration file holds, and
// counting of the commands the model received.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "formats/ConfigurationFile.h"
#include "formats/EepromCommands.h"
#include "support/TempFolder.h"
#include "support/SimApp.h"

namespace tola::test {

// A SimApp whose port test has run (connection state 3, serial number and revision known) and
// whose "ConfigurationFolder" is a fresh folder.
class ConnectedSim {
 public:
  explicit ConnectedSim(Tola400Options options = {}) : sim(options) {
    sim.app->configurationFolder.Set(folder.Path());
    connected = sim.RunTest();
    EXPECT_TRUE(connected);
    EXPECT_EQ(sim.app->ConnectionState(), kConnectionFirmware);
  }

  Tola400Model& Model() { return *sim.model; }
  AppState& App() { return *sim.app; }
  VirtualHost& Host() { return sim.host; }

  // Commands the model received that begin with `prefix`, from the `from`-th on.
  std::vector<std::string> CommandsStartingWith(const std::string& prefix, std::size_t from = 0) const {
    std::vector<std::string> found;
    const auto& all = sim.model->Commands();
    for (std::size_t i = from; i < all.size(); ++i) {
      if (all[i].rfind(prefix, 0) == 0) found.push_back(all[i]);
    }
    return found;
  }

  TempFolder folder;
  SimApp sim;
  bool connected = false;
};

// The memories a configuration file hands over, as images; bytes never handed over stay absent.
class ImageSink : public ConfigurationSink {
 public:
  ImageSink() {
    mem2Seen.fill(false);
    mem3Seen.fill(false);
  }
  void AddMem2Byte(std::uint32_t bank, std::uint8_t address, std::uint8_t value) override {
    if (bank >= kEepromBankCount) return;
    mem2[bank * 256 + address] = value;
    mem2Seen[bank * 256 + address] = true;
  }
  void AddMem3Block(std::uint16_t address, unsigned count, const std::uint8_t* data) override {
    for (unsigned i = 0; i < count && address + i < kMem3Size; ++i) {
      mem3[address + i] = data[i];
      mem3Seen[address + i] = true;
    }
  }
  bool Complete() const {
    return std::all_of(mem2Seen.begin(), mem2Seen.end(), [](bool b) { return b; }) &&
           std::all_of(mem3Seen.begin(), mem3Seen.end(), [](bool b) { return b; });
  }

  std::array<std::uint8_t, kMem2Size> mem2{};
  std::array<std::uint8_t, kMem3Size> mem3{};
  std::array<bool, kMem2Size> mem2Seen{};
  std::array<bool, kMem3Size> mem3Seen{};
};

// A log channel that keeps quiet (reading files the tests wrote themselves).
class SilentLog : public LogChannel {
 public:
  void LogLine(const std::string& text) override { lines.push_back(text); }
  void LogVerbose(const std::string&) override {}
  BoxAnswer MessageBox(const std::string& text, const std::string&, BoxButtons, BoxIcon) override {
    lines.push_back(text);
    return BoxAnswer::Ok;
  }
  std::vector<std::string> lines;
};

// Reads a configuration file written by the save; the result code of the reader.
inline ResultCode ReadImages(const std::string& path, ImageSink& sink) {
  SilentLog log;
  return ReadConfigurationFile(path, sink, kUnknownSerialNumber, false, log);
}

// The one corruption a block's 8-bit checksum cannot see: within a block, exactly two bytes differ,
// each in one hex digit only (one flipped character each), and their differences cancel. True when
// `got` differs from `want` in nothing but such blocks (blocks of 64 bytes from the spans' start).
inline bool OnlyChecksumBlindDifferences(std::span<const std::uint8_t> got, std::span<const std::uint8_t> want) {
  bool any = false;
  for (std::size_t block = 0; block < got.size(); block += kEepromBlockSize) {
    unsigned differing = 0;
    unsigned sum = 0;
    for (std::size_t i = block; i < std::min(got.size(), block + kEepromBlockSize); ++i) {
      if (got[i] == want[i]) continue;
      const unsigned x = got[i] ^ want[i];
      if ((x & 0xF0) != 0 && (x & 0x0F) != 0) return false;
      ++differing;
      sum += static_cast<unsigned>(got[i]) - want[i];
    }
    if (differing == 0) continue;
    if (differing != 2 || (sum & 0xFF) != 0) return false;
    any = true;
  }
  return any;
}

// How many seeds a fault-injection run tries: 200, or TOLA_FAULT_SEEDS.
inline unsigned FaultSeedCount() {
  const char* text = std::getenv("TOLA_FAULT_SEEDS");
  if (text == nullptr || *text == '\0') return 200;
  const long value = std::strtol(text, nullptr, 10);
  return value > 0 ? static_cast<unsigned>(value) : 200;
}

struct SeedRange {
  unsigned first = 0;
  unsigned last = 0;  // one past
  unsigned Count() const { return last - first; }
};

// Part `part` of `parts` of the seeds; TOLA_FAULT_SEED=N replays seed N alone (in part 0).
inline SeedRange FaultSeeds(unsigned part, unsigned parts) {
  if (const char* one = std::getenv("TOLA_FAULT_SEED"); one != nullptr && *one != '\0') {
    const auto seed = static_cast<unsigned>(std::strtoul(one, nullptr, 10));
    return part == 0 ? SeedRange{seed, seed + 1} : SeedRange{seed, seed};
  }
  const unsigned count = FaultSeedCount();
  return SeedRange{count * part / parts, count * (part + 1) / parts};
}

// Line faults for one seed: most seeds see a few faults, every fourth a storm of lost bytes and
// silences, every eighth one bad enough to end most operations. Corruption stays rare: the 8-bit
// block checksum cannot see two flips that cancel, and such a pair must not decide a run.
inline FaultOptions SeededFaults(std::uint64_t seed) {
  FaultOptions f;
  f.seed = seed;
  const double scale = seed % 8 == 7 ? 60.0 : seed % 4 == 3 ? 20.0 : 1.0;
  f.dropRate = 0.0001 * scale;
  f.corruptRate = 0.0001;
  f.delayRate = 0.0002 * scale;
  f.silenceRate = 0.002 * scale;
  return f;
}

// A model for one seed: built with the seed but without faults, so that the port test that
// precedes every operation runs clean; the faults are switched on afterwards.
inline Tola400Options SeededOptions(std::uint64_t seed) {
  Tola400Options options;
  options.faults.seed = seed;
  return options;
}

}  // namespace tola::test
