#pragma once
// The amplifier model behind a pseudo-terminal, for programs that open a real serial device. The
// program's end (the slave) is published as a symbolic link in the virtual-port folder. The line
// speed is the one the program sets on its end: bytes it writes while that speed differs from the
// amplifier's are garbage to the amplifier, and answers sent while they differ never arrive. Each
// byte is paced at its wire time in both directions.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/PollHost.h"
#include "serial/VirtualPorts.h"
#include "sim/SimClock.h"
#include "sim/Tola400Model.h"
#include "sim/TrafficLog.h"

namespace tola {

class PtyAmplifier {
 public:
  static constexpr const char* kNamePrefix = "ttySIM";

  PtyAmplifier(PollHost& host, SimClock& clock, Tola400Model& model);
  ~PtyAmplifier();
  PtyAmplifier(const PtyAmplifier&) = delete;
  PtyAmplifier& operator=(const PtyAmplifier&) = delete;

  // Creates the pseudo-terminal and publishes it in `folder` (made if missing) as `name`, or as the
  // first free "ttySIM<N>" when `name` is empty. Links of simulators that are gone are removed
  // first. On failure `error` says why and nothing is left behind.
  bool Start(const std::string& folder, const std::string& name, std::string& error);
  // Closes the terminal and removes the link (only if it still points at this terminal).
  void Stop();

  void SetTrafficLog(TrafficLog* log) { m_log = log; }
  // Called after the amplifier's cable came off: the terminal has been closed (the program sees
  // the device vanish) and the link removed.
  void SetUnpluggedHandler(std::function<void()> handler) { m_onUnplugged = std::move(handler); }

  const std::string& Name() const { return m_name; }
  const std::string& SlavePath() const { return m_slavePath; }
  const std::string& LinkPath() const { return m_published.LinkPath(); }
  bool Running() const { return m_master >= 0; }

  // The speed the program's end is set to, in bit/s; 0 when it cannot be read.
  std::uint32_t ProgramSpeed() const;

 private:
  bool Publish(const std::string& folder, const std::string& name, std::string& error);
  void OnMasterReadable(short revents);
  void OnModelByte(char byte, std::uint32_t speed);
  void OnUnplugged();
  void LogByte(TrafficLog::Direction direction, char byte, std::uint32_t speed, bool understood);
  void ScheduleLogFlush();
  void ScheduleStaleMarkCheck();
  void ClearStaleExclusiveMark();

  static constexpr std::uint64_t kStaleMarkCheckUs = 250000;

  PollHost& m_host;
  SimClock& m_clock;
  Tola400Model& m_model;
  TrafficLog* m_log = nullptr;
  std::function<void()> m_onUnplugged;
  std::shared_ptr<int> m_alive = std::make_shared<int>(0);

  int m_master = -1;
  int m_slave = -1;  // kept open so that the program closing its end never hangs the terminal up
  std::string m_slavePath;
  std::string m_name;
  PublishedPort m_published;
  std::uint64_t m_rxFreeUs = 0;
  std::uint64_t m_txFreeUs = 0;
  bool m_logFlushScheduled = false;
};

// Bit/s of a termios speed constant; 0 for B0 and anything unknown.
std::uint32_t TermiosSpeedToBits(unsigned long speed);

}  // namespace tola
