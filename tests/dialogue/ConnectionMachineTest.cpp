#include <gtest/gtest.h>

#include "dialogue/ConnectionMachine.h"
#include "support/SimApp.h"
#include "support/TestApp.h"

namespace tola::test {
namespace {

TEST(ConnectionTest, LoaderAnsweringGivesStateTwoWithoutFurtherQueries) {
  Tola400Options options;
  options.startInLoader = true;
  SimApp s(options);
  ASSERT_TRUE(s.RunTest());
  EXPECT_EQ(s.app->ConnectionState(), kConnectionLoader);
  EXPECT_EQ(s.port->Sent().find("^RV;"), std::string::npos);
  EXPECT_EQ(s.port->Sent().find("^sn;"), std::string::npos);
  EXPECT_EQ(s.app->installedRevision.Get(), 0);
}

TEST(ConnectionTest, EmptyPortFailsInsideTheStartCall) {
  SimApp s;
  s.app->port.Set("");
  s.connection->StartTest();
  EXPECT_TRUE(s.connection->IsIdle());
  EXPECT_EQ(s.connection->Result(), kPortNameMissing);
  EXPECT_FALSE(s.app->SerialPort().IsOpen());
}

TEST(ConnectionTest, ClosePortDuringTheSearchEndsItQuietly) {
  SimApp s({}, false);
  s.connection->StartTest();
  s.host.AdvanceBy(3000);
  ASSERT_FALSE(s.connection->IsIdle());
  s.connection->StartClosePort();
  EXPECT_TRUE(s.connection->IsIdle());
  EXPECT_EQ(s.connection->Result(), 0u);
  EXPECT_EQ(s.app->ConnectionState(), 0u);
  EXPECT_FALSE(s.app->SerialPort().IsOpen());
  const auto sent = s.port->Sent().size();
  s.host.AdvanceBy(10000);
  EXPECT_EQ(s.port->Sent().size(), sent) << "the old timer finds an idle machine";
}

// Scripted devices for what the model cannot be.
class ScriptedConnectionTest : public ::testing::Test {
 protected:
  ScriptedConnectionTest() {
    t.app->port.Set("ttyS0");
    machine = &InstallConnectionMachine(*t.app);
  }
  bool Run() {
    machine->StartTest();
    return t.host.RunUntil([this] { return machine->IsIdle(); }, 60000);
  }
  std::size_t Count(const std::string& command) const {
    return static_cast<std::size_t>(std::count(t.port->writes.begin(), t.port->writes.end(), command));
  }
  TestApp t;
  ConnectionMachine* machine;
};

// The box belongs to the run that identified the device; the device type itself stays.
TEST_F(ScriptedConnectionTest, AnotherDeviceBringsTheUnexpectedDeviceBoxOncePerIdentification) {
  t.port->responder = [](const std::string& w) -> std::string {
    if (w == ";") return ";";
    if (w == "^I;") return "^Itunr600 boot;";
    return "";
  };
  const std::string kText = "Connected device does not appear to be an Ostravel TOLA400";
  t.host.ExpectBox(kText, BoxAnswer::Ok);
  ASSERT_TRUE(Run());
  EXPECT_EQ(t.app->deviceType.Get(), 4u);
  ASSERT_EQ(t.host.Boxes().size(), 1u);
  EXPECT_EQ(t.host.Boxes().back().caption, "Unexpected Device");
  EXPECT_EQ(t.app->ConnectionState(), 0u);

  machine->StartClosePort();
  EXPECT_TRUE(machine->IsIdle());
  EXPECT_EQ(t.host.Boxes().size(), 1u) << "closing the port";
  t.app->port.Set("");
  ASSERT_TRUE(Run());
  EXPECT_EQ(machine->Result(), kPortNameMissing);
  EXPECT_EQ(t.host.Boxes().size(), 1u) << "a failed open";
  EXPECT_EQ(t.app->deviceType.Get(), 4u);

  t.app->port.Set("ttyS0");
  t.host.ExpectBox(kText, BoxAnswer::Ok);
  ASSERT_TRUE(Run());
  EXPECT_EQ(t.host.Boxes().size(), 2u) << "identified again";
}

TEST_F(ScriptedConnectionTest, NoIdentificationStillTriesTheRevisionTenTimes) {
  t.port->responder = [](const std::string& w) -> std::string { return w == ";" ? "ok;" : ""; };
  const std::uint32_t start = t.host.TickCount();
  ASSERT_TRUE(Run());
  EXPECT_EQ(machine->Result(), kNoResponseRevision);
  EXPECT_EQ(Count("^I;"), 1u);
  EXPECT_EQ(Count("^ID;"), 1u);
  EXPECT_EQ(Count("^RV;"), 10u);
  EXPECT_GE(t.host.TickCount() - start, 5000u);
  EXPECT_EQ(t.app->ConnectionState(), 0u);
}

TEST_F(ScriptedConnectionTest, IdentificationRowsInOrder) {
  t.port->responder = [](const std::string& w) -> std::string {
    if (w == ";") return ";";
    if (w == "^I;") return "^ITOLA400 Ver I;";  // both "TOLA400" and a capital I: the first row wins
    if (w == "^RV;") return "^RV02.10;";
    if (w == "^sn;") return "^SN00077;";
    return "";
  };
  ASSERT_TRUE(Run());
  EXPECT_EQ(t.app->deviceType.Get(), kDeviceTola400);
  EXPECT_EQ(t.app->ConnectionState(), kConnectionFirmware);
  EXPECT_EQ(t.app->installedRevision.Get(), 210);
}

}  // namespace
}  // namespace tola::test
