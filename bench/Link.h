#pragma once
// The program's side of the benchmark: the core on a real-time host and the Linux serial port,
// both metered, talking to the simulator's pseudo-terminal.

#include <memory>
#include <string>

#include "app/AppState.h"
#include "bench/Meter.h"
#include "dialogue/ConnectionMachine.h"
#include "dialogue/Routing.h"
#include "platform/PollHost.h"
#include "platform/HiveFileStore.h"
#include "serial/PosixSerialPort.h"

namespace tola::bench {

class Link : public LogSink {
 public:
  explicit Link(const std::string& port) : m_host(m_poll, m_meter) {
    auto posix = std::make_unique<PosixSerialPort>(m_host);
    auto metered = std::make_unique<MeteredPort>(std::move(posix), m_meter);
    m_app = std::make_unique<AppState>(m_host, std::move(metered), nullptr);
    m_app->SetLogSink(this);
    m_app->port.Set(port);
    m_router = std::make_unique<EventRouter>(*m_app);
    m_connection = &InstallConnectionMachine(*m_app);
  }
  ~Link() override {
    m_router.reset();
    m_app.reset();
  }

  void OnLogLine(const std::string&, bool) override {}

  AppState& App() { return *m_app; }
  PollHost& Loop() { return m_poll; }
  Meter& Metering() { return m_meter; }
  ConnectionMachine& Connection() { return *m_connection; }

 private:
  PollHost m_poll;
  Meter m_meter;
  MeteredHost m_host;
  std::unique_ptr<AppState> m_app;
  std::unique_ptr<EventRouter> m_router;
  ConnectionMachine* m_connection = nullptr;
};

}  // namespace tola::bench
