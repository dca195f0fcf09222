#pragma once
// An AppState on a virtual clock wired to the amplifier model through the simulated port, with the
// connection machine installed: a whole conversation runs in milliseconds of real time.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/AppState.h"
#include "dialogue/ConnectionMachine.h"
#include "dialogue/Routing.h"
#include "platform/VirtualHost.h"
#include "sim/SimClock.h"
#include "sim/SimulatedSerialPort.h"
#include "sim/Tola400Model.h"
#include "support/TestApp.h"

namespace tola::test {

class SimApp {
 public:
  // `connected` false: nothing at the other end of the line.
  explicit SimApp(Tola400Options options = {}, bool connected = true)
      : clock(host), model(std::make_unique<Tola400Model>(clock, options)) {
    auto simPort = std::make_unique<SimulatedSerialPort>(host, connected ? model.get() : nullptr);
    port = simPort.get();
    app = std::make_unique<AppState>(host, std::move(simPort), nullptr);
    app->SetLogSink(&sink);
    app->port.Set("ttySIM0");
    router = std::make_unique<EventRouter>(*app);
    host.SetUnexpectedBoxHandler([](const VirtualHost::BoxRecord& box) {
      ADD_FAILURE() << "unexpected message box \"" << box.caption << "\": " << box.text;
    });
    connection = &InstallConnectionMachine(*app);
  }
  ~SimApp() {
    EXPECT_TRUE(host.AllBoxesShown()) << "a scripted message box never appeared";
    router.reset();
    app.reset();
  }

  // Runs until the connection machine is idle; false if `limitMs` of virtual time ran out.
  bool RunTest(std::uint32_t limitMs = 60000) {
    connection->StartTest();
    return host.RunUntil([this] { return connection->IsIdle(); }, limitMs);
  }

  std::vector<std::string> LinesContaining(const std::string& part) const {
    std::vector<std::string> found;
    for (const auto& l : sink.lines) {
      if (l.text.find(part) != std::string::npos) found.push_back(l.text);
    }
    return found;
  }

  VirtualHost host;
  VirtualHostClock clock;
  std::unique_ptr<Tola400Model> model;
  SimulatedSerialPort* port = nullptr;
  std::unique_ptr<AppState> app;
  std::unique_ptr<EventRouter> router;
  RecordingSink sink;
  ConnectionMachine* connection = nullptr;
};

}  // namespace tola::test
