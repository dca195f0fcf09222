#include <gtest/gtest.h>

#include "operations/FirmwareLoadRig.h"

namespace tola::test {
namespace {

class SendFirmwareTest : public ::testing::Test {
 protected:
  void Build(Tola400Options options) {
    rig = std::make_unique<FirmwareLoadRig>(options);
    ui = std::make_unique<ScriptedUi>(rig->sim);
    rig->sim.app->firmwareFolder.Set(rig->folder.Path());
    rig->sim.app->verboseLogging.Set(1);
  }
  FirmwareChoice Choice(std::size_t length, std::uint16_t revision) {
    window = MakeFirmwareWindow(length, revision);
    rig->WriteFirmware(window, revision);
    return ScanFirmwareFolder(rig->folder.Path());
  }
  // The port test that the operation starts at its end.
  bool FinalTestEnds() {
    return rig->sim.host.RunUntil([this] { return rig->sim.connection->IsIdle(); }, 60000);
  }
  AppState& App() { return *rig->sim.app; }

  std::unique_ptr<FirmwareLoadRig> rig;
  std::unique_ptr<ScriptedUi> ui;
  std::vector<std::uint8_t> window;
};

TEST_F(SendFirmwareTest, FromRunningFirmwareTheSpeedGoesTo38400AndBack) {
  Tola400Options options;
  options.revisionAfterLoad = 207;
  Build(options);
  ASSERT_TRUE(rig->Connect());
  App().SetAmplifierSpeed(9600);  // running at 9,600 while its stored speed is 38,400
  ASSERT_EQ(rig->sim.port->Speed(), 9600u);
  const FirmwareChoice choice = Choice(0x800, 207);
  ASSERT_TRUE(choice.HasFirmware());

  SendFirmware operation(App(), *ui);
  EXPECT_EQ(operation.Run(choice), SendFirmwareOutcome::Loaded);
  EXPECT_EQ(operation.DialogResult(), 1);
  EXPECT_EQ(ui->prepareShown, 0);
  EXPECT_EQ(ui->sendingShown, 1);
  EXPECT_EQ(ui->buttonUpdates, 1);
  EXPECT_TRUE(rig->Flash() == window);
  EXPECT_EQ(App().firmwareToSend.Get(), (FirmwareToSend{207, choice.firmwareFile}));
  // The amplifier came back at its stored 38,400 and is sent back to where it was.
  EXPECT_EQ(ui->pageLog,
            (std::vector<std::string>{"Change RS-232 speed to 38400 bit/s", "Change RS-232 speed to 9600 bit/s"}));
  EXPECT_EQ(rig->sim.model->CountOf("^brp1;"), 2u);
  EXPECT_FALSE(rig->sim.connection->IsIdle()) << "the closing port test runs on";
  const auto& lines = rig->sim.sink.lines;
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines.back().text, "Ready");
  EXPECT_EQ(lines[lines.size() - 2].text.rfind("Elapsed time: ", 0), 0u);
  EXPECT_EQ(rig->SinkCount("Sending firmware from " + rig->folder.Path()), 1u);
  ASSERT_TRUE(FinalTestEnds());
  EXPECT_EQ(App().ConnectionState(), kConnectionFirmware);
  EXPECT_EQ(App().installedRevision.Get(), 207);
  EXPECT_EQ(rig->sim.port->Speed(), 9600u);
}

TEST_F(SendFirmwareTest, NothingAnsweringShowsThePreparationUntilTheLoaderAnswers) {
  Build({});
  rig->sim.model->PowerOff();
  rig->sim.connection->StartTest();
  rig->sim.host.AdvanceBy(4000);
  ASSERT_EQ(App().ConnectionState(), kConnectionNone);
  ASSERT_NE(rig->sim.port->Speed(), 38400u) << "the search has moved on";
  const FirmwareChoice choice = Choice(0x600, 123);
  ui->operatorAction = [this] { rig->sim.host.ScheduleAfter(3'000'000, [this] { rig->sim.model->PowerOn(); }); };

  SendFirmware operation(App(), *ui);
  EXPECT_EQ(operation.Run(choice), SendFirmwareOutcome::Loaded);
  EXPECT_EQ(ui->prepareShown, 1);
  EXPECT_EQ(ui->prepareView.lines, (std::array<std::string, 3>{"Connect your TOLA400 to serial port ttySIM0",
                                                                 "Turn your TOLA400 off for at least 10 seconds",
                                                                 "Turn your TOLA400 on again"}));
  EXPECT_EQ(ui->prepareView.closed, 1);
  EXPECT_EQ(App().watchFlag.Get(), 0u);
  EXPECT_GE(rig->sim.model->CountOf("^I;"), 1u) << "the loader was looked for";
  EXPECT_EQ(rig->sim.model->CountOf("^LD;"), 0u);
  EXPECT_TRUE(rig->Flash() == window);
  // The port had stopped wherever the unanswered search left it; the amplifier is not sent there.
  ASSERT_EQ(ui->pageLog.size(), 1u);
  EXPECT_EQ(ui->pageLog[0], "Change RS-232 speed to 38400 bit/s");
  EXPECT_EQ(rig->sim.model->Counters().speedChanges, 0u);
  ASSERT_TRUE(FinalTestEnds());
  EXPECT_EQ(App().ConnectionState(), kConnectionFirmware);
  EXPECT_EQ(rig->sim.port->Speed(), 38400u);
}

TEST_F(SendFirmwareTest, NoFileOrAnotherDeviceSendsNothing) {
  Build({});
  ASSERT_TRUE(rig->Connect());
  const std::size_t sentBefore = rig->sim.port->Sent().size();
  rig->sim.host.ExpectBox("A required firmware file is missing", BoxAnswer::Ok);
  SendFirmware operation(App(), *ui);
  EXPECT_EQ(operation.Run(FirmwareChoice{}), SendFirmwareOutcome::NoFirmwareFile);
  ASSERT_EQ(rig->sim.host.Boxes().size(), 1u);
  EXPECT_EQ(rig->sim.host.Boxes()[0].caption, "Error");
  EXPECT_EQ(rig->sim.host.Boxes()[0].icon, BoxIcon::Error);
  EXPECT_EQ(rig->SinkCount("Sending firmware from"), 0u);
  ASSERT_TRUE(FinalTestEnds());

  App().deviceType.Set(2);
  EXPECT_EQ(operation.Run(Choice(0x400, 123)), SendFirmwareOutcome::UnexpectedDevice);
  EXPECT_EQ(ui->pageLog, std::vector<std::string>{"Unexpected device 2\n"});
  EXPECT_EQ(ui->sendingShown, 0);
  ASSERT_TRUE(FinalTestEnds());
  // Only the port tests talked to the amplifier.
  EXPECT_EQ(rig->sim.port->Sent().find("^LD;", sentBefore), std::string::npos);
  EXPECT_EQ(rig->sim.model->Counters().downloads, 0u);
}

TEST_F(SendFirmwareTest, FailedLoadReturnsThePortToTheStartingSpeed) {
  Build({});
  ASSERT_TRUE(rig->Connect());
  App().SetAmplifierSpeed(9600);
  rig->ScriptPackets([](std::uint32_t, unsigned) { return Tola400Model::PacketFate::Reject; });
  SendFirmware operation(App(), *ui);
  EXPECT_EQ(operation.Run(Choice(0x200, 123)), SendFirmwareOutcome::Failed);
  EXPECT_EQ(operation.DialogResult(), 2);
  EXPECT_EQ(ui->sendingView.closedWith, 2);
  EXPECT_EQ(ui->sendingView.log.back(), "Click \"Close\" to close this window");
  EXPECT_EQ(ui->pageLog,
            (std::vector<std::string>{"Change RS-232 speed to 38400 bit/s", "Change RS-232 speed to 9600 bit/s"}));
  EXPECT_EQ(rig->sim.model->CountOf("^brp1;"), 1u) << "the loader is not sent a speed command";
}

}  // namespace
}  // namespace tola::test
