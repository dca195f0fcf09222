#pragma once
// An AppState on a virtual clock with a scripted port, wired as the main window wires it: timers
// and serial events go through the core's routing. Log lines and boxes are recorded.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/AppState.h"
#include "dialogue/Routing.h"
#include "platform/HiveFileStore.h"
#include "platform/VirtualHost.h"
#include "support/FakeSerialPort.h"

namespace tola::test {

struct RecordedLine {
  std::string text;
  bool verbose;
};

class RecordingSink : public LogSink {
 public:
  void OnLogLine(const std::string& text, bool verbose) override { lines.push_back({text, verbose}); }
  bool Contains(const std::string& part) const {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const RecordedLine& l) { return l.text.find(part) != std::string::npos; });
  }
  std::vector<RecordedLine> lines;
};

class TestApp {
 public:
  explicit TestApp(std::unique_ptr<RegistryStore> store = nullptr) {
    auto fake = std::make_unique<FakeSerialPort>();
    port = fake.get();
    app = std::make_unique<AppState>(host, std::move(fake), std::move(store));
    app->SetLogSink(&sink);
    router = std::make_unique<EventRouter>(*app);
    router->SetPageSerialHandler([this] { ++serialEventsForPage; });
    router->SetPageTimerHandler([this](unsigned id) { timersForPage.push_back(id); });
    host.SetUnexpectedBoxHandler([](const VirtualHost::BoxRecord& box) {
      ADD_FAILURE() << "unexpected message box \"" << box.caption << "\": " << box.text;
    });
  }
  ~TestApp() { EXPECT_TRUE(host.AllBoxesShown()) << "a scripted message box never appeared"; }

  // Opens the port as the connection machine would, with the port-open value set.
  void OpenPort(const std::string& name = "ttyTEST0") {
    ASSERT_TRUE(app->SerialPort().Open(name));
    app->portOpen.Change(1);
  }

  VirtualHost host;
  FakeSerialPort* port = nullptr;
  std::unique_ptr<AppState> app;
  std::unique_ptr<EventRouter> router;  // destroyed before the AppState
  RecordingSink sink;
  int serialEventsForPage = 0;
  std::vector<unsigned> timersForPage;
};

// A listener that records what it was told.
class RecordingListener : public Listener {
 public:
  void OnNotify(std::uint32_t id, std::uint32_t wParam) override { messages.emplace_back(id, wParam); }
  std::vector<std::pair<std::uint32_t, std::uint32_t>> messages;
};

}  // namespace tola::test
