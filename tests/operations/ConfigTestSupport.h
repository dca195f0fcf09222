#pragma once
// Common ground of the operation tests: a connected amplifier model on virtual time with a private
// configuration folder, a sink that keeps what a configuration file holds, and counting helpers.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
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
    return std::ranges::all_of(mem2Seen, std::identity{}) && std::ranges::all_of(mem3Seen, std::identity{});
  }

  std::array<std::uint8_t, kMem2Size> mem2{};
  std::array<std::uint8_t, kMem3Size> mem3{};
  std::array<bool, kMem2Size> mem2Seen{};
  std::array<bool, kMem3Size> mem3Seen{};
};

// Every value `value` was given, with the virtual time it was given.
template <typename T>
class ValueHistory : public Listener {
 public:
  ValueHistory(NotifyingValue<T>& value, const VirtualHost& host) : m_value(value), m_host(host) {
    value.AddListenerQuiet(this);
  }
  ~ValueHistory() override { m_value.RemoveListener(this); }
  void OnNotify(std::uint32_t, std::uint32_t) override {
    seen.push_back(m_value.Get());
    at.push_back(m_host.TickCount());
  }
  std::vector<T> seen;
  std::vector<std::uint32_t> at;

 private:
  NotifyingValue<T>& m_value;
  const VirtualHost& m_host;
};

// Runs virtual time until `machine` is idle, for at most `limitMs`.
inline bool RunToIdle(VirtualHost& host, const Dialogue& machine, std::uint32_t limitMs = 20000) {
  return host.RunUntil([&machine] { return machine.IsIdle(); }, limitMs);
}

inline std::size_t CountOf(const std::vector<std::string>& commands, const std::string& command) {
  return static_cast<std::size_t>(std::count(commands.begin(), commands.end(), command));
}

// Line fault rates, each per byte or per command.
inline void SetFaultRates(Tola400Model& model, double drop, double corrupt, double delay, double silence) {
  FaultOptions& f = model.Faults();
  f.dropRate = drop;
  f.corruptRate = corrupt;
  f.delayRate = delay;
  f.silenceRate = silence;
}

// A log channel that keeps quiet (reading files the tests wrote themselves).
class SilentLog : public LogChannel {
 public:
  void LogLine(const std::string& text) override { lines.push_back(text); }
  void LogVerbose(const std::string&) override {}
  using LogChannel::MessageBox;
  BoxAnswer MessageBox(const std::string& text, const std::string&, BoxButtons, BoxIcon, BoxAnswer) override {
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

// How often the log received exactly `text`.
inline std::size_t Occurrences(const RecordingSink& sink, const std::string& text) {
  return static_cast<std::size_t>(
      std::count_if(sink.lines.begin(), sink.lines.end(), [&](const RecordedLine& l) { return l.text == text; }));
}

// Line faults for one seed: most seeds see a few faults, every fourth a storm of lost bytes and
// silences, every eighth one bad enough to end most operations. Corruption stays rare: two flips
// that cancel in a block's 8-bit checksum get through, and such runs are only counted.
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
