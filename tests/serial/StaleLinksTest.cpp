// Links left by simulators that are gone: never listed or resolved, and removed by the next one.

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "PosixPty.h"
#include "support/TempFolder.h"
#include "serial/VirtualPorts.h"

namespace tola {
namespace {

namespace fs = std::filesystem;
using test::Pty;
using test::FolderEntries;
using test::TempFolder;

// Publishes `name` -> `target` from a child process that then dies without withdrawing it, as a
// killed simulator does.
bool PublishFromDeadProcess(const std::string& folder, const std::string& name, const std::string& target) {
  const pid_t child = ::fork();
  if (child == 0) {
    PublishedPort port;
    ::_exit(port.Publish(folder, name, target) ? 0 : 1);
  }
  int status = 0;
  return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A live publisher of ttySIM0, a dead one of ttySIM1; links point at a live terminal, as a dead
// simulator's does once its terminal number has gone to another program.
class StaleLinks : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty.Ok());
    ASSERT_TRUE(live.Publish(folder, "ttySIM0", pty.Slave()));
    ASSERT_TRUE(PublishFromDeadProcess(folder, "ttySIM1", pty.Slave()));
  }
  TempFolder temp;
  Pty pty;
  const std::string folder = temp.Path();
  PublishedPort live;
};

TEST_F(StaleLinks, OnlyLinksOfLivePublishersAreListedAndResolved) {
  fs::create_symlink(pty.Slave(), temp / "ttySIM2");  // no lock file at all
  // A live publisher's lock file beside a link that is not its own.
  PublishedPort other;
  ASSERT_TRUE(other.Publish(folder, "ttySIM3", "/dev/null"));
  fs::remove(temp / "ttySIM3");
  fs::create_symlink(pty.Slave(), temp / "ttySIM3");

  const std::vector<VirtualPort> listed = ListVirtualPorts(folder);
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].name, "ttySIM0");
  for (const char* name : {"ttySIM1", "ttySIM2", "ttySIM3"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(ResolvePortPath(name, folder), std::string("/dev/") + name);
  }
  EXPECT_EQ(ResolvePortPath("ttySIM0", folder), folder + "/ttySIM0");
}

TEST_F(StaleLinks, RemovedWithTheirLockFilesWhileLiveOnesStay) {
  ASSERT_TRUE(fs::exists(temp / ".ttySIM1.lock"));
  fs::create_symlink(temp / "gone", temp / "ttySIM2");

  EXPECT_EQ(RemoveStaleVirtualPorts(folder), 2u);
  EXPECT_EQ(FolderEntries(folder), (std::set<std::string>{".ttySIM0.lock", "ttySIM0"}));

  // The name of a dead publisher is free again.
  ASSERT_TRUE(PublishFromDeadProcess(folder, "ttySIM1", pty.Slave()));
  PublishedPort again;
  EXPECT_TRUE(again.Publish(folder, "ttySIM1", pty.Slave()));
}

}  // namespace
}  // namespace tola
