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
#include "formats/FormatsTestSupport.h"
#include "operations/ConfigSaveController.h"
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

// A test on the model, connected by the port test first as an operator would be, that records every
// "dialogue finished" notice.
class ConnectedModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(s.RunTest());
    ASSERT_EQ(s.app->ConnectionState(), kConnectionFirmware);
    s.port->ClearSent();
    s.app->dialogueFinished.AddListenerQuiet(&finished);
  }
  void TearDown() override { s.app->dialogueFinished.RemoveListener(&finished); }

  SimApp s;
  RecordingListener finished;
};

// A test on a scripted port, open, that records every "dialogue finished" notice.
class ScriptedPortTest : public ::testing::Test {
 protected:
  ScriptedPortTest() {
    t.OpenPort();
    t.app->dialogueFinished.AddListenerQuiet(&finished);
  }
  ~ScriptedPortTest() override { t.app->dialogueFinished.RemoveListener(&finished); }

  TestApp t;
  RecordingListener finished;
};

// Memories unlike any model's initial ones, with the configured speed 9,600 bit/s.
inline void Scramble(Tola400Model& model) {
  for (std::size_t i = 0; i < model.Mem2().size(); ++i) model.Mem2()[i] = static_cast<std::uint8_t>(0xA5 ^ (i * 3));
  for (std::size_t i = 0; i < model.Mem3().size(); ++i) model.Mem3()[i] = static_cast<std::uint8_t>(0x5A ^ (i * 11));
  model.Mem2()[Tola400Model::kSpeedCodeAddress] = 1;
}

// Saves the amplifier of `s` to `path` with the save flow.
inline bool SaveTo(ConnectedSim& s, const std::string& path) {
  ConfigSaveController save(s.App());
  if (!save.Open() || !save.FileChosen(path)) return false;
  return s.Host().RunUntil([&] { return save.Closed(); }, 120000) && save.Outcome() == 0;
}

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

// Reads a configuration file written by the save; the result code of the reader.
inline ResultCode ReadImages(const std::string& path, ImageSink& sink) {
  return ReadConfigurationFile(path, sink, kUnknownSerialNumber).code;
}

// How often the log received exactly `text`.
inline std::size_t Occurrences(const RecordingSink& sink, const std::string& text) {
  return static_cast<std::size_t>(
      std::count_if(sink.lines.begin(), sink.lines.end(), [&](const RecordedLine& l) { return l.text == text; }));
}

}  // namespace tola::test
