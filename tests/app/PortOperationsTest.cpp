#include <gtest/gtest.h>

#include <thread>

#include "support/TestApp.h"

namespace tola::test {
namespace {

TEST(PortOperationsTest, SetPortSpeedNeedsAnOpenPortAndASupportedSpeed) {
  TestApp t;
  EXPECT_FALSE(t.app->SetPortSpeed(9600)) << "closed: nothing done";
  t.OpenPort();
  EXPECT_TRUE(t.app->SetPortSpeed(38400));
  EXPECT_EQ(t.port->purgeCount, 0) << "same speed: nothing to do";
  EXPECT_FALSE(t.app->SetPortSpeed(57600));
  EXPECT_EQ(t.port->Speed(), 38400u);
  EXPECT_TRUE(t.app->SetPortSpeed(4800));
  EXPECT_EQ(t.port->Speed(), 4800u);
}

TEST(PortOperationsTest, SendCommandTextPurgesThenWrites) {
  TestApp t;
  t.OpenPort();
  t.port->rx = "stale;";
  EXPECT_TRUE(t.app->SendCommandText("^RV;"));
  EXPECT_TRUE(t.port->rx.empty());
  ASSERT_EQ(t.port->writes.size(), 1u);
  EXPECT_EQ(t.port->writes[0], "^RV;");
  t.app->ClosePort();
  EXPECT_FALSE(t.app->SendCommandText("^RV;"));
}

TEST(PortOperationsTest, PortFailureIsLoggedAndBoxedWithTheLineErrors) {
  TestApp t;
  t.OpenPort();
  t.host.ExpectBox("WriteFile failed on \"ttyTEST0\"\r\nError 0x0000001F: ", BoxAnswer::Ok);
  t.port->Fail("WriteFile", kErrorGenFailure);
  ASSERT_EQ(t.host.Boxes().size(), 1u);
  EXPECT_EQ(t.host.Boxes()[0].caption, "COM Port Error");
  EXPECT_EQ(t.host.Boxes()[0].icon, BoxIcon::Error);
  ASSERT_EQ(t.sink.lines.size(), 2u);
  EXPECT_EQ(t.sink.lines[0].text, t.host.Boxes()[0].text);
  EXPECT_EQ(t.sink.lines[1].text, "ClearCommError dwErrors 0x0000");

  // Access denied: no line-error read.
  t.host.ExpectBox("Error 0x00000005", BoxAnswer::Ok);
  t.port->Fail("PurgeComm", kErrorAccessDenied);
  EXPECT_EQ(t.sink.lines.size(), 3u);
}

TEST(PortOperationsTest, FailureFromAnotherThreadIsHandedOverWithoutWaiting) {
  TestApp t;
  t.OpenPort();
  std::thread reader([&] { t.port->Fail("WaitCommEvent", kErrorGenFailure); });
  reader.join();  // returned although the user-interface thread has not run anything
  EXPECT_TRUE(t.host.Boxes().empty());
  t.host.ExpectBox("WaitCommEvent failed", BoxAnswer::Ok);
  t.host.RunPosted();
  EXPECT_EQ(t.host.Boxes().size(), 1u);
}

TEST(PortOperationsTest, SerialEventsWaitingTogetherAreHandledOnce) {
  TestApp t;
  std::thread reader([&] {
    for (int i = 0; i < 100; ++i) t.app->PostSerialEvent(CSerialPort::kEventRxChar);
  });
  for (int i = 0; i < 100; ++i) t.app->PostSerialEvent(CSerialPort::kEventRxChar);
  reader.join();
  t.host.RunPosted();
  EXPECT_EQ(t.serialEventsForPage, 1);

  t.app->PostSerialEvent(CSerialPort::kEventRxChar);
  t.host.RunPosted();
  EXPECT_EQ(t.serialEventsForPage, 2);

  // Bytes arriving while the handler reads post again.
  t.router->SetPageSerialHandler([&] {
    if (++t.serialEventsForPage == 3) t.app->PostSerialEvent(CSerialPort::kEventRxChar);
  });
  t.app->PostSerialEvent(CSerialPort::kEventRxChar);
  t.host.RunPosted();
  t.host.RunPosted();
  EXPECT_EQ(t.serialEventsForPage, 4);
}

TEST(PortOperationsTest, VerboseLinesOnlyWhileVerboseLoggingIsOn) {
  TestApp t;
  t.app->LogVerbose(FormatText(LoadString(kIdsOpeningSerialPort), "ttyS0"));
  EXPECT_TRUE(t.sink.lines.empty());
  t.app->verboseLogging.Change(1);
  t.app->LogVerbose(kIdsRevisionLoading);
  ASSERT_EQ(t.sink.lines.size(), 1u);
  EXPECT_EQ(t.sink.lines[0].text, "Loading");
  EXPECT_TRUE(t.sink.lines[0].verbose);
}

}  // namespace
}  // namespace tola::test
