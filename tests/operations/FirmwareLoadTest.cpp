#include <gtest/gtest.h>

#include "app/VersionLines.h"
#include "operations/ConfigTestSupport.h"
#include "operations/FirmwareLoadRig.h"
#include "support/TestApp.h"

namespace tola::test {
namespace {

using Fate = Tola400Model::PacketFate;

constexpr const char* kPollTrace = "LoadResyncInitialState Send \";\"";

// The trace line of the initial-phase packet for `address` of `window`.
std::string PacketTrace(const std::vector<std::uint8_t>& window, std::uint32_t address) {
  std::string hex;
  for (char c : BuildFirmwarePacket(std::span(window).subspan(address - kWindowStart, 128), address)) {
    hex += FormatText("%02X", static_cast<unsigned>(static_cast<unsigned char>(c)));
  }
  return "LoadFirmwareInitialState Send 132 bytes 0x" + hex;
}

std::vector<std::size_t> IndexesOf(const std::vector<std::string>& log, const std::string& line) {
  std::vector<std::size_t> found;
  for (std::size_t i = 0; i < log.size(); ++i) {
    if (log[i] == line) found.push_back(i);
  }
  return found;
}

// The last three lines of a failed load.
void ExpectFailureTail(const RecordingSendingView& view, ResultCode code) {
  const std::size_t n = view.log.size();
  ASSERT_GE(n, 3u);
  EXPECT_EQ(view.log[n - 3].rfind(FormatText("Error code 0x%08X: ", code), 0), 0u) << view.log[n - 3];
  EXPECT_EQ(view.log[n - 2], "TOLA400 verification failed. Reload TOLA400.");
  EXPECT_EQ(view.log[n - 1], "Click \"Close\" to close this window");
  EXPECT_FALSE(view.closedWith.has_value()) << "a failure keeps the dialog open";
}

TEST(FirmwarePacketTest, LayoutAddressAndChecksum) {
  std::vector<std::uint8_t> data(128);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7 + 3);
  for (const auto& [address, field] : {std::pair<std::uint32_t, const char*>{0x01FD00, "\x00\xFD\x01"},
                                       {kLastPacketAddressField, "\x00\x08\x02"}}) {
    const std::string packet = BuildFirmwarePacket(data, address);
    ASSERT_EQ(packet.size(), 132u);
    EXPECT_EQ(packet.substr(0, 128), std::string(data.begin(), data.end()));
    EXPECT_EQ(packet.substr(128, 3), std::string(field, 3));
    unsigned sum = 0;
    for (char c : packet) sum += static_cast<unsigned char>(c);
    EXPECT_EQ(sum % 256, 0u);
  }
}

TEST(FirmwareLoadTest, FullImageGoesOutAsOneThousandAndThreePacketsAndIsVerified) {
  Tola400Options options;
  options.revisionAfterLoad = 205;
  options.serialNumber = 4711;
  FirmwareLoadRig rig(options);
  ASSERT_TRUE(rig.Prepare(kWindowSize, 7, 205));
  ASSERT_EQ(rig.sim.app->ConnectionState(), kConnectionFirmware);
  rig.CountPackets();
  ValueHistory revisions(rig.sim.app->installedRevision, rig.sim.host);

  ASSERT_TRUE(rig.Load());
  EXPECT_EQ(rig.dialog->Completion(), 0u);
  EXPECT_EQ(rig.view.closedWith, 1) << "closes itself after success";
  EXPECT_TRUE(rig.Flash() == rig.image) << "the amplifier's flash differs from the file";
  EXPECT_EQ(rig.packetsSeen.size(), 1003u);
  EXPECT_TRUE(std::all_of(rig.packetsSeen.begin(), rig.packetsSeen.end(), [](const auto& p) { return p.second == 1; }));
  EXPECT_EQ(rig.sim.model->CountOf("^LD;"), 1u);

  AppState& app = *rig.sim.app;
  EXPECT_EQ(app.serialNumber.Get(), 4711);
  EXPECT_EQ(app.ConnectionState(), kConnectionFirmware);
  EXPECT_EQ(revisions.seen, (std::vector<std::uint16_t>{kRevisionLoading, 205})) << "\"Loading\" from the echo of D";
  EXPECT_EQ(rig.view.range, kWindowSize / 16);
  EXPECT_EQ(rig.view.position, kWindowSize / 16);
  EXPECT_EQ(rig.view.title, "Sending TOLA400 Firmware");
  EXPECT_FALSE(rig.view.busy);
  EXPECT_EQ(rig.view.caption, "Close");
  EXPECT_EQ(app.OperationMachine(), nullptr) << "the machine goes with the dialog";

  const std::vector<std::string> expected{
      ProgramVersionLine(),
      OperatingSystemLine(CurrentOsVersion()),
      "TOLA revision 01.23. RS-232 speed 38400 bit/s",
      "Sending firmware file " + rig.file + " to TOLA400",
      "Waiting 3 seconds for reset to complete",
      "Loaded TOLA400 firmware revision \"02.05\"\r\nTOLA responded with revision \"02.05\"",
      "TOLA400 verification succeeded",
      "TOLA400 firmware load is complete",
  };
  EXPECT_EQ(rig.view.log, expected);
  // The same lines reach the main window, except the verbose one.
  EXPECT_EQ(rig.SinkCount("TOLA400 firmware load is complete"), 1u);
  EXPECT_EQ(rig.SinkCount("verification succeeded"), 0u);
}

TEST(FirmwareLoadTest, NothingAboveTheFirstBlockSendsOnlyTheLastPacket) {
  // One byte past the first block needs the block at 0x880 as well.
  const std::map<std::size_t, std::map<std::uint32_t, unsigned>> cases{{0x80, {{0x020800, 1}}},
                                                                       {0x81, {{0x880, 1}, {0x020800, 1}}}};
  for (const auto& [length, packets] : cases) {
    SCOPED_TRACE(length);
    FirmwareLoadRig rig;
    ASSERT_TRUE(rig.Prepare(length, 11));
    rig.CountPackets();
    ASSERT_TRUE(rig.Load());
    EXPECT_EQ(rig.dialog->Completion(), 0u);
    EXPECT_TRUE(rig.Flash() == rig.image);
    EXPECT_EQ(rig.view.range, length / 16);
    EXPECT_EQ(rig.view.position, rig.view.range) << "the bar ends full, never beyond";
    EXPECT_EQ(rig.packetsSeen, packets);
  }
}

TEST(FirmwareLoadTest, RefusalsTimeOutsAndLateAnswersAreRetriedResynchronisedAndCounted) {
  const auto refuse = [](unsigned times) {
    return [times](std::uint32_t address, unsigned seen) {
      return address == 0x980 && seen <= times ? Fate::Reject : Fate::Normal;
    };
  };
  const auto swallow = [](std::uint32_t address, unsigned) { return address == 0x900 ? Fate::Swallow : Fate::Normal; };
  const struct {
    const char* name;
    std::function<Fate(std::uint32_t, unsigned)> fate;
    std::uint32_t retryLimit;
    ResultCode code;
    std::map<std::uint32_t, unsigned> sends;  // of these packets
    std::size_t polls;
    std::vector<std::string> lines;
    std::function<void(FirmwareLoadRig&)> more;
  } cases[] = {
      {"nine refusals", refuse(9), 10, 0, {{0x980, 10}, {0xA00, 1}}, 132,
       {"Retry 9 successful at address 0x000A00, 132 fill bytes", "Total number of retries was 9",
        "Highest number of retries for any block was 9"},
       [](FirmwareLoadRig& rig) {
         // Five plain re-sends, then one resynchronisation of 132 polls, then the rest.
         const auto sends = IndexesOf(rig.view.log, PacketTrace(rig.image, 0x980));
         const auto polls = IndexesOf(rig.view.log, kPollTrace);
         ASSERT_EQ(sends.size(), 10u);
         EXPECT_GT(polls.front(), sends[5]);
         EXPECT_LT(polls.back(), sends[6]);
         // With tracing the dialog stays open after success; the trace lines stay in it.
         EXPECT_FALSE(rig.view.closedWith.has_value());
         EXPECT_EQ(rig.view.log.back(), "Click \"Close\" to close this window");
         EXPECT_EQ(rig.SinkCount("Send 132 bytes"), 0u);
         EXPECT_EQ(rig.SinkCount("Click"), 0u);
         EXPECT_EQ(rig.SinkCount("Retry 9 successful"), 1u);
         EXPECT_TRUE(rig.dialog->RequestClose());
         EXPECT_EQ(rig.view.closedWith, 1);
       }},
      {"ten refusals", refuse(10), 10, kRetryLimitExhausted, {{0x980, 10}, {0xA00, 0}}, 132,
       {"Send TOLA400 firmware failed at load address 0x000A00", "Total number of retries was 10",
        "Highest number of retries for any block was 10"},
       [](FirmwareLoadRig& rig) {
         EXPECT_EQ(rig.SinkCount("Click \"Close\""), 1u) << "after a failure the line reaches the main window too";
         EXPECT_EQ(rig.sim.app->ConnectionState(), kConnectionNone);
         EXPECT_TRUE(rig.dialog->RequestClose()) << "an idle machine closes without a question";
         EXPECT_EQ(rig.view.closedWith, 2);
       }},
      {"time-outs, limit 10", swallow, 10, kNoResponseFirmwarePacket, {{0x900, 11}}, 10 * 132,
       {"Send TOLA400 firmware failed at load address 0x000980", "Total number of retries was 11"}, nullptr},
      {"time-outs, limit 5", swallow, 5, kNoResponseFirmwarePacket, {{0x900, 6}}, 5 * 132,
       {"Send TOLA400 firmware failed at load address 0x000980", "Total number of retries was 6"}, nullptr},
      // The "A" for 0x900 arrives 2.5 s late, half a second into the polls, which go on until the
      // loader's "N"; 0x980 is refused once and needs no fill bytes.
      {"late acknowledgement",
       [](std::uint32_t address, unsigned seen) {
         if (address == 0x900 && seen == 1) return Fate::LateAcknowledge;
         return address == 0x980 && seen == 1 ? Fate::Reject : Fate::Normal;
       },
       10, 0, {{0x900, 2}}, 132,
       {"Retry 1 successful at address 0x000980, 132 fill bytes", "Retry 1 successful at address 0x000A00",
        "Highest number of retries for any block was 1", "Total number of retries was 2"},
       nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FirmwareLoadRig rig;
    rig.sim.app->trace.Set(1);
    rig.sim.app->firmwareLoadRetryLimit.Set(c.retryLimit);
    ASSERT_TRUE(rig.Prepare(0x400, 21));
    rig.ScriptPackets(c.fate);
    ASSERT_TRUE(rig.Load());
    EXPECT_EQ(rig.dialog->Completion(), c.code);
    for (const auto& [address, sends] : c.sends) EXPECT_EQ(rig.packetsSeen[address], sends) << address;
    EXPECT_EQ(IndexesOf(rig.view.log, kPollTrace).size(), c.polls);
    for (const std::string& line : c.lines) EXPECT_TRUE(rig.view.Has(line)) << line;
    if (c.code == 0) {
      EXPECT_TRUE(rig.Flash() == rig.image);
    } else {
      ExpectFailureTail(rig.view, c.code);
    }
    if (c.more) c.more(rig);
  }
}

TEST(FirmwareLoadTest, ResynchronisationWithoutAnAnswerFailsAfter132Polls) {
  FirmwareLoadRig rig;
  rig.sim.app->trace.Set(1);
  ASSERT_TRUE(rig.Prepare(0x200, 24));
  rig.ScriptPackets([](std::uint32_t address, unsigned) { return address == 0x900 ? Fate::Swallow : Fate::Normal; });
  rig.Begin(rig.file, 123);
  ASSERT_TRUE(rig.sim.host.RunUntil([&] { return rig.packetsSeen.count(0x900) != 0; }, 60000));
  rig.sim.model->PowerOff();
  ASSERT_TRUE(rig.sim.host.RunUntil([&] { return rig.dialog->IsFinished(); }, 60000));
  EXPECT_EQ(rig.dialog->Completion(), kNoResponseResync);
  EXPECT_EQ(IndexesOf(rig.view.log, kPollTrace).size(), 132u);
  EXPECT_EQ(rig.view.Count("firmware failed at load address"), 0u) << "no packet line for a resync failure";
  EXPECT_EQ(rig.view.Count("Total number of retries"), 0u) << "and no statistics";
  EXPECT_TRUE(rig.view.Has("Error code 0xE2000048: No response to poll while synchronizing to buffer boundary"));
}

TEST(FirmwareLoadTest, RevisionThatDiffersFailsTheVerification) {
  FirmwareLoadRig rig;  // the model keeps revision 01.23 after the load
  ASSERT_TRUE(rig.Prepare(0x300, 27, 205));
  ASSERT_TRUE(rig.Load());
  EXPECT_TRUE(rig.Flash() == rig.image);
  EXPECT_EQ(rig.dialog->Completion(), kRevisionVerifyFailed);
  EXPECT_TRUE(rig.view.Has("Loaded TOLA400 firmware revision \"02.05\"\r\nTOLA responded with revision \"01.23\""));
  EXPECT_TRUE(rig.view.Has("Error code 0xE2000046: Revision number verification failed"));
  ExpectFailureTail(rig.view, kRevisionVerifyFailed);
  EXPECT_EQ(rig.sim.app->ConnectionState(), kConnectionFirmware) << "the load itself succeeded";
}

TEST(FirmwareLoadTest, BadFilesEndBeforeAnythingIsSent) {
  auto unreconciled = MakeFirmwareWindow(0x300, 28);
  unreconciled[1] = static_cast<std::uint8_t>(unreconciled[1] ^ 0x10);
  const std::pair<std::string, ResultCode> cases[] = {
      {WindowToIntelHex(unreconciled), kHexFileChecksum},  // every record good, the whole image not
      {"\r\n:0100000001FF\r\n", kHexLineChecksum},
  };
  for (const auto& [text, code] : cases) {
    SCOPED_TRACE(code);
    FirmwareLoadRig rig;
    ASSERT_TRUE(rig.Connect());
    const std::size_t sentBefore = rig.sim.port->Sent().size();
    rig.Begin(rig.WriteText("tola400fw0123.hex", text), 123);
    ASSERT_TRUE(rig.dialog->IsFinished()) << "the dialog learns of it at once";
    EXPECT_EQ(rig.dialog->Completion(), code);
    rig.sim.host.AdvanceBy(5000);
    EXPECT_EQ(rig.sim.port->Sent().size(), sentBefore) << "nothing was sent";
    ExpectFailureTail(rig.view, code);
  }
}

TEST(FirmwareLoadTest, ClosingDuringTheLoadStopsAllTraffic) {
  FirmwareLoadRig rig;
  ASSERT_TRUE(rig.Prepare(0x2000, 29));
  rig.CountPackets();
  rig.Begin(rig.file, 123);
  ASSERT_TRUE(rig.sim.host.RunUntil([&] { return rig.packetsSeen.size() >= 10; }, 60000));
  rig.sim.host.ExpectBox("Are you sure you wish to close the TOLA Utility while loading firmware?", BoxAnswer::Yes);
  EXPECT_TRUE(rig.dialog->RequestClose());
  EXPECT_EQ(rig.sim.host.Boxes().at(0).caption, "Critical Operation in Progress");
  EXPECT_EQ(rig.sim.host.Boxes().at(0).defaultButton, BoxAnswer::No) << "Enter must not stop the load";
  EXPECT_EQ(rig.view.closedWith, 2);
  EXPECT_EQ(rig.sim.app->OperationMachine(), nullptr);
  const std::size_t sent = rig.sim.port->Sent().size();
  rig.sim.host.AdvanceBy(30000);
  EXPECT_EQ(rig.sim.port->Sent().size(), sent) << "nothing more is sent";
  EXPECT_FALSE(rig.sim.host.IsTimerArmed(kTimerFirmwareLoad));
  EXPECT_EQ(rig.view.Count("Error code"), 0u);
}

// Devices the model cannot be: scripted answers on a fake port.
TEST(ScriptedFirmwareLoadTest, WhoAnswersDecidesWhatIsSent) {
  TestApp t;
  t.OpenPort();
  TempFolder folder;
  const std::string path = folder / "tola400fw0123.hex";
  WriteWholeFile(path, WindowToIntelHex(MakeFirmwareWindow(0x300, 30)));
  t.app->firmwareToSend.Change(FirmwareToSend{123, path});
  const struct {
    const char* name;
    bool announced;  // the port test had found the firmware running
    const char* answerToI;
    std::vector<std::string> writes;
    ResultCode code;
  } cases[] = {
      // Another device is refused without the reload line.
      {"another device", false, "^IQZ8;", {"^I;"}, kUnexpectedDevice},
      {"silence", false, "", {"^I;", "^ID;"}, kUnexpectedDevice},
      // The firmware answers, but the port test had not found it: "^LD;" is not sent.
      {"unannounced firmware", false, "^ITOLA400;", {"^I;", "D"}, kLoaderNoD},
      // No packet without the echo of "D".
      {"loader that never echoes D", true, "^ITOLA400;", {"^I;", "^LD;", "D"}, kLoaderNoD},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.announced) {
      t.app->SetConnectionState(kConnectionFirmware);
      t.app->installedRevision.Change(123);
      t.app->serialNumber.Change(99);
    }
    t.port->writes.clear();
    std::vector<std::uint32_t> writeTimes;
    const std::string answer = c.answerToI;
    t.port->responder = [&, answer](const std::string& w) {
      writeTimes.push_back(t.host.TickCount());
      return w == "^I;" ? answer : std::string();
    };
    RecordingSendingView view;
    SendingFirmwareController dialog(*t.app, view);
    dialog.Open();
    dialog.Show();
    ASSERT_TRUE(t.host.RunUntil([&] { return dialog.IsFinished(); }, 120000));
    EXPECT_EQ(dialog.Completion(), c.code);
    EXPECT_EQ(t.port->writes, c.writes);
    EXPECT_EQ(view.Count("verification failed"), c.code == kUnexpectedDevice ? 0u : 1u);
    EXPECT_EQ(view.log.back(), "Click \"Close\" to close this window");
    if (!c.announced) continue;
    EXPECT_GE(writeTimes[2] - writeTimes[1], 2000u);
    EXPECT_EQ(t.port->Speed(), 38400u) << "the port alone moved to the loader's speed";
    EXPECT_TRUE(view.Has("TOLA Bootstrap Loader did not echo \"D\"\r\nRemove power and retry firmware load"));
    EXPECT_TRUE(view.Has("Error code 0xE2000043: Bootstrap Loader did not echo a D"));
    EXPECT_EQ(t.app->installedRevision.Get(), kRevisionUnknown);
    EXPECT_EQ(t.app->serialNumber.Get(), kSerialNumberUnknown);
    EXPECT_EQ(t.app->ConnectionState(), kConnectionNone);
  }
}

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
