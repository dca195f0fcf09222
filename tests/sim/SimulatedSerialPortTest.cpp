#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/SimTestSupport.h"
#include "sim/SimulatedSerialPort.h"
#include "support/FakeSerialPort.h"

namespace tola::test {
namespace {

class SimulatedPortTest : public ::testing::Test {
 protected:
  SimulatedPortTest() : clock(host), model(clock, {}), port(host, &model) { port.SetSink(&sink); }
  std::string ReadAll() { return ReadAvailable(port); }

  VirtualHost host;
  VirtualHostClock clock;
  Tola400Model model;
  SimulatedSerialPort port;
  RecordingPortSink sink;
};

TEST_F(SimulatedPortTest, OpenAndCloseFollowThePortContract) {
  char buffer[8];
  std::uint32_t n = 99;
  EXPECT_FALSE(port.Read(buffer, sizeof buffer, n));
  EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
  EXPECT_EQ(n, 0u);
  EXPECT_FALSE(port.Write(";", 1));
  EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
  EXPECT_FALSE(port.Purge());
  EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
  EXPECT_TRUE(port.Sent().empty());

  EXPECT_FALSE(port.Open(""));
  EXPECT_EQ(GetLastError(), kPortNameMissing);
  EXPECT_FALSE(port.IsOpen());

  port.SetAbsentNames({"ttyUSB9"});
  port.SetBusyNames({"ttyUSB1"});
  EXPECT_FALSE(port.Open("ttyUSB9"));
  EXPECT_EQ(GetLastError(), kErrorFileNotFound);
  EXPECT_FALSE(port.Open("ttyUSB1"));
  EXPECT_EQ(GetLastError(), kErrorAccessDenied);
  EXPECT_FALSE(port.IsOpen());
  EXPECT_TRUE(sink.Failures().empty());

  const std::uint64_t before = host.NowMicros();
  ASSERT_TRUE(port.Open("ttyUSB0"));
  EXPECT_EQ(host.NowMicros() - before, 50'000u);
  EXPECT_EQ(port.Speed(), 38400u);
  EXPECT_EQ(port.PortName(), "ttyUSB0");
  // Already open: success, nothing changes, not even the name.
  EXPECT_TRUE(port.Open("ttyUSB1"));
  EXPECT_EQ(port.PortName(), "ttyUSB0");
  EXPECT_EQ(port.OpenCount(), 1u);

  ASSERT_EQ(port.SetLineSpeed(9600), 1u);
  port.Close();
  port.Close();
  ASSERT_TRUE(port.Open("ttyUSB0"));
  EXPECT_EQ(port.Speed(), 38400u);
}

TEST_F(SimulatedPortTest, BytesTravelAtTheirWireTimeEachWithItsEventUntilPurged) {
  ASSERT_TRUE(port.Open("ttyS0"));
  const std::uint64_t t0 = host.NowMicros();
  ASSERT_TRUE(port.Write("^sn;", 4));
  // 10 bits at 38,400 bit/s: 261 us per byte; the amplifier has the command after four of them.
  host.AdvanceByMicros(4 * 261 - 1);
  EXPECT_TRUE(model.Commands().empty());
  host.AdvanceByMicros(1);
  ASSERT_EQ(model.Commands().size(), 1u);

  // The answer "^SN1234;" leaves after the answer delay and lands one byte time after another.
  const std::uint64_t firstByte = t0 + 4 * 261 + model.Options().answerDelayUs + 261;
  host.AdvanceByMicros(firstByte - 1 - host.NowMicros());
  EXPECT_EQ(port.Buffered(), 0u);
  host.AdvanceByMicros(1);
  EXPECT_EQ(port.Buffered(), 1u);
  host.AdvanceByMicros(6 * 261);
  EXPECT_EQ(port.Buffered(), 7u);
  host.AdvanceByMicros(261);
  EXPECT_EQ(ReadAll(), "^SN1234;");
  ASSERT_EQ(sink.Events().size(), 8u);
  for (std::uint32_t wParam : sink.Events()) EXPECT_EQ(wParam, CSerialPort::kEventRxChar);

  port.Write("^sn;", 4);
  host.AdvanceBy(100);
  ASSERT_EQ(port.Buffered(), 8u);
  EXPECT_TRUE(port.Purge());
  EXPECT_EQ(ReadAll(), "");
}

TEST_F(SimulatedPortTest, SetLineSpeedFollowsThePortContract) {
  ASSERT_TRUE(port.Open("ttyS0"));
  std::uint64_t before = host.NowMicros();
  EXPECT_EQ(port.SetLineSpeed(57600), kEInvalidArg);
  EXPECT_EQ(port.SetLineSpeed(38400), 1u);
  EXPECT_EQ(host.NowMicros(), before);
  EXPECT_EQ(port.Speed(), 38400u);

  // The world goes on during the pauses: an answer on its way arrives while the old speed holds.
  port.Write("^sn;", 4);
  before = host.NowMicros();
  EXPECT_EQ(port.SetLineSpeed(19200), 1u);
  EXPECT_EQ(host.NowMicros() - before, 100'000u);
  EXPECT_EQ(port.Speed(), 19200u);
  EXPECT_EQ(ReadAll(), "^SN1234;");
}

TEST_F(SimulatedPortTest, AnswerArrivingAfterASpeedChangeIsLost) {
  model.SetAnswerDelayMicros(80'000);
  ASSERT_TRUE(port.Open("ttyS0"));
  port.Write("^sn;", 4);
  ASSERT_EQ(port.SetLineSpeed(19200), 1u);  // the change falls between command and answer
  host.AdvanceBy(200);
  EXPECT_EQ(ReadAll(), "");
  EXPECT_EQ(port.LostBytes(), 8u);
  std::uint32_t errors = 0;
  ASSERT_TRUE(port.ClearCommError(errors));
  EXPECT_EQ(errors, SimulatedSerialPort::kLineErrorFrame);
  ASSERT_TRUE(port.ClearCommError(errors));
  EXPECT_EQ(errors, 0u);
  EXPECT_TRUE(sink.Events().empty());
}

TEST_F(SimulatedPortTest, UnpluggedAdapterFailsEveryOperationUntilReopened) {
  ASSERT_TRUE(port.Open("ttyUSB0"));
  port.Unplug();
  char buffer[8];
  std::uint32_t n = 0;
  EXPECT_FALSE(port.Purge());
  EXPECT_FALSE(port.Write(";", 1));
  EXPECT_FALSE(port.Read(buffer, sizeof buffer, n));
  EXPECT_EQ(GetLastError(), kErrorDeviceNotConnected);
  // The loss is told once; the calls after it do not repeat it.
  EXPECT_EQ(sink.gone.load(), 1);
  EXPECT_TRUE(sink.Failures().empty());
  EXPECT_TRUE(port.IsOpen());
  EXPECT_TRUE(port.DeviceGone());

  EXPECT_TRUE(port.Close());
  EXPECT_FALSE(port.Open("ttyUSB0"));
  EXPECT_EQ(GetLastError(), kErrorFileNotFound);
  port.Replug();
  ASSERT_TRUE(port.Open("ttyUSB0"));
  port.Write("^sn;", 4);
  host.AdvanceBy(100);
  EXPECT_EQ(ReadAll(), "^SN1234;");
}

TEST_F(SimulatedPortTest, AmplifierCableFaultPullsThePort) {
  model.Faults().unplugRate = 1.0;
  ASSERT_TRUE(port.Open("ttyUSB0"));
  EXPECT_TRUE(port.Write("^sn;", 4));
  host.AdvanceBy(100);
  EXPECT_FALSE(port.Present());
  EXPECT_FALSE(port.Write(";", 1));
  EXPECT_TRUE(port.DeviceGone());
  EXPECT_EQ(sink.gone.load(), 1);
}

}  // namespace
}  // namespace tola::test
