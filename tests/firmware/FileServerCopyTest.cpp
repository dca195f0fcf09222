// The copy from the file server end to end: the system's real session on a real PollHost against
// scripts/loopback-ftp.py on 127.0.0.1.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "FtpTestServer.h"
#include "app/AppState.h"
#include "firmware/FileServerCopy.h"
#include "platform/FileSystem.h"
#include "platform/PollHost.h"
#include "support/FakeSerialPort.h"
#include "support/FirmwareHex.h"
#include "support/TempFolder.h"
#include "support/TestApp.h"

namespace tola::test {
namespace {

class RecordingView : public FileServerCopyView {
 public:
  void AppendLog(const std::string& text) override { log += text + "\n"; }
  void SetBusy(bool value) override { busy = value; }
  void SetButtonCaption(const std::string& text) override { caption = text; }
  void SetTransferProgress(const std::string&, std::uint64_t received, std::uint64_t total) override {
    ++progressCalls;
    lastReceived = received;
    lastTotal = total;
  }
  void CloseView(int value) override {
    ++closeCalls;
    result = value;
  }

  std::string log;
  bool busy = false;
  std::string caption = "Cancel";
  int progressCalls = 0;
  std::uint64_t lastReceived = 0, lastTotal = 0;
  int closeCalls = 0;
  int result = 0;  // 0 while open
};

std::string Firmware(std::uint32_t seed, std::size_t length = 4000) {
  return WindowToIntelHex(MakeFirmwareWindow(length, seed));
}
// Records that read until the second, whose checksum is wrong.
std::string DamagedFirmware() {
  return DataRecord(0x0800, {1, 2, 3, 4}) + "\r\n" + HexRecord(0x00, 0x0804, {5, 6}, 1) + "\r\n" + EofRecord() + "\r\n";
}

const std::string kFw100 = "tola400fw0100.hex";
const std::string kFw200 = "tola400fw0200.hex";
const std::string kNotes = "tola400fwnotes.rtf";

enum class Action { None, CancelOnProgress, DestroyOnProgress };

struct Case {
  const char* what;
  std::vector<std::string> serverOptions;  // {"none"}: nothing listens
  std::map<std::string, std::string> remote, local;
  std::map<std::string, std::string> after;  // the local folder afterwards, exactly
  int result;                  // what the dialog closed with; 0 when it stays open
  ResultCode lastResult;
  unsigned notCopied;
  std::vector<std::string> logHas, logLacks;
  std::vector<std::string> fetched;  // the fetch list
  Action action = Action::None;
  bool trace = false;
  bool remoteFolder = true;  // whether the server has TOLA/firmware
};

class FileServerCopyTest : public ::testing::Test {
 protected:
  void SetUp() override { FtpTestServer::Require(); }

  void RunCase(const Case& c) {
    TempFolder temp;
    const std::string root = temp / "server", remote = root + "/TOLA/firmware", local = temp / "local";
    ASSERT_EQ(CreateFolderPath(c.remoteFolder ? remote : root), kErrorSuccess);
    ASSERT_EQ(CreateFolder(local), kErrorSuccess);
    for (const auto& [name, bytes] : c.remote) WriteWholeFile(remote + "/" + name, bytes);
    for (const auto& [name, bytes] : c.local) WriteWholeFile(local + "/" + name, bytes);

    FtpTestServer server;
    std::string address = FtpTestServer::NothingListening();
    if (c.serverOptions != std::vector<std::string>{"none"}) {
      ASSERT_TRUE(server.Start(root, c.serverOptions, temp.Path()));
      address = server.Address();
    }

    PollHost host;
    RecordingSink sink;
    AppState app(host, std::make_unique<FakeSerialPort>(), nullptr);
    app.SetLogSink(&sink);
    app.fileServer.Set(address);
    app.trace.Set(c.trace ? 1 : 0);
    RecordingView view;
    auto copy = std::make_unique<FileServerCopy>(app, view, MakeFtpSession(host, {1500, 5000, 5000}), local,
                                                 ScanFirmwareFolder(local));
    ASSERT_TRUE(copy->Open());
    copy->Run();
    EXPECT_TRUE(view.busy);
    const auto ended = [&] { return view.closeCalls > 0 || !copy->IsBusy() || (c.action != Action::None && view.progressCalls > 0); };
    ASSERT_TRUE(host.RunUntil(ended, 30000)) << view.log;
    if (c.action == Action::CancelOnProgress) copy->PressButton();
    if (c.action == Action::DestroyOnProgress) copy.reset();
    host.RunUntil(nullptr, 50);  // nothing may arrive afterwards

    EXPECT_EQ(view.result, c.result) << view.log;
    EXPECT_LE(view.closeCalls, 1);
    if (copy) {
      EXPECT_EQ(view.busy, false);
      EXPECT_EQ(copy->LastResult(), c.lastResult) << view.log;
      EXPECT_EQ(copy->FilesNotCopied(), c.notCopied);
      EXPECT_EQ(copy->FetchList(), c.fetched);
      EXPECT_EQ(copy->ErrorReported(), c.lastResult != kErrorSuccess || c.notCopied != 0 ||
                                           view.log.find("completed with error") != std::string::npos);
      if (c.result == 0) {
        EXPECT_EQ(view.caption, "Close");
      }
    }
    for (const std::string& part : c.logHas) EXPECT_NE(view.log.find(part), std::string::npos) << part << "\n" << view.log;
    for (const std::string& part : c.logLacks) EXPECT_EQ(view.log.find(part), std::string::npos) << part << "\n" << view.log;
    EXPECT_TRUE(sink.Contains("Opening connection to " + address));

    // Exactly the expected files, no temporary file left, nothing written beside the folder.
    std::set<std::string> expectedNames;
    for (const auto& [name, bytes] : c.after) {
      expectedNames.insert(name);
      EXPECT_EQ(ReadWholeFile(local + "/" + name) == bytes, true) << name;
    }
    EXPECT_EQ(FolderEntries(local), expectedNames);
    std::set<std::string> outside = FolderEntries(temp.Path());
    outside.erase("port");
    EXPECT_EQ(outside, (std::set<std::string>{"local", "server"}));
    if (c.result == 0 && copy) {
      copy->PressButton();  // the open dialog's "Close"
      EXPECT_EQ(view.result, c.lastResult == kErrorSuccess ? 1 : 2);
    }
  }
};

TEST_F(FileServerCopyTest, CopiesWhatIsNeededAndNothingElse) {
  const std::string v1 = Firmware(1), v2 = Firmware(2), big = Firmware(3, 100000), bad = DamagedFirmware();
  const std::string n0 = "{\\rtf1 old}", n1 = "{\\rtf1 new}";
  // The damaged file is named with its folder, whichever separator the system uses.
  const std::string damagedLocal = JoinPath("x", kFw100).substr(1) + " failed";
  const Case cases[] = {
      {"same revision, valid local file, local notes: nothing is copied", {},
       {{kFw100, v1}, {kNotes, n1}}, {{kFw100, v1}, {kNotes, n0}}, {{kFw100, v1}, {kNotes, n0}},
       1, 0, 0, {"Opening connection to "}, {"Copied", "Copying"}, {}},
      {"a newer revision is copied with the notes", {},
       {{kFw200, v2}, {kNotes, n1}}, {{kFw100, v1}, {kNotes, n0}}, {{kFw100, v1}, {kFw200, v2}, {kNotes, n1}},
       1, 0, 0, {"Copied tola400fw0200.hex from Ostravel", "Copied 2 files from Ostravel to "}, {"error"},
       {kFw200, kNotes}},
      {"missing notes are copied although the firmware is not newer", {},
       {{kFw100, v1}, {kNotes, n1}}, {{kFw100, v1}}, {{kFw100, v1}, {kNotes, n1}},
       1, 0, 0, {"Copied tola400fwnotes.rtf from Ostravel", "Copied 1 files"}, {"tola400fw0100.hex from"}, {kNotes}},
      {"a damaged server file is fetched three times, then given up", {},
       {{kFw200, bad}}, {{kFw100, v1}}, {{kFw100, v1}},
       1, 0, 1, {"Unable to copy file tola400fw0200.hex", "Line 2, error code 0xE2000022"},
       {"Copied tola400fw0200.hex from"}, {kFw200}},
      {"a damaged local file is deleted and fetched again", {},
       {{kFw100, v1}}, {{kFw100, bad}}, {{kFw100, v1}},
       1, 0, 0, {damagedLocal, "Copied tola400fw0100.hex from Ostravel"}, {"Unable"}, {kFw100}},
      {"a transfer cut short leaves the old file; the closed connection ends the dialog", {"--drop-after", "20000"},
       {{kFw200, big}}, {{kFw100, v1}}, {{kFw100, v1}},
       1, 0, 1, {"FtpGetFile completed with error 0x00002EFE"}, {"Copied"}, {kFw200}},
      {"with trace on the dialog stays open and says why", {"--drop-after", "20000"},
       {{kFw200, big}}, {{kFw100, v1}}, {{kFw100, v1}},
       0, 0, 1, {"Found file \"tola400fw0200.hex\"", "FtpGetFile started", "Click \"Close\" to close this window",
                 "CFtpDlg::Finish Session Closed State 7"}, {}, {kFw200}, Action::None, true},
      {"cancel during a transfer", {"--rate", "30000"},
       {{kFw200, big}}, {{kFw100, v1}}, {{kFw100, v1}},
       2, kErrorCancelled, 1, {"Cancel Button completed with error 0x000004C7"}, {"Copied"}, {kFw200},
       Action::CancelOnProgress},
      {"a silent server times out", {"--silent"}, {}, {{kFw100, v1}}, {{kFw100, v1}},
       0, 12002, 0, {"InternetConnect completed with error 0x00002EE2"}, {"Connected to Ostravel"}, {}},
      {"nothing listening", {"none"}, {}, {{kFw100, v1}}, {{kFw100, v1}},
       0, 12029, 0, {"InternetConnect completed with error 0x00002EFD"}, {"Connected"}, {}},
      {"a folder missing on the server is the server's refusal, with its reply", {},
       {}, {{kFw100, v1}}, {{kFw100, v1}},
       1, 0, 0, {"FtpSetCurrentDirectory completed with error 0x00002EE3", "550"}, {}, {}, Action::None, false,
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RunCase(c);
  }
}

TEST_F(FileServerCopyTest, ListedNamesThatAreNoPlainFileNamesAreNeverFetched) {
  const std::string v1 = Firmware(1), v2 = Firmware(2);
  std::vector<std::string> hostile;
  for (const char* name : {"../tola400fw0900.hex", "sub/tola400fw0800.hex", "..\\tola400fw0700.hex",
                           "tola400fw0600\n.hex", "tola400fw\x01" "0500.hex", "dir:tola400fw9999.hex"}) {
    hostile.insert(hostile.end(), {"--extra-listing", name});
  }
  for (const bool machineListing : {true, false}) {
    std::vector<std::string> options = hostile;
    if (!machineListing) options.push_back("--no-mlsd");
    const Case c{machineListing ? "MLSD" : "LIST", options, {{kFw200, v2}}, {{kFw100, v1}},
                 {{kFw100, v1}, {kFw200, v2}}, 0, 0, 0,
                 {"Listed name \"../tola400fw0900.hex\" is not a plain file name; ignored",
                  "Listed name \"sub/tola400fw0800.hex\"", "Listed name \"..\\tola400fw0700.hex\"",
                  "Listed name \"tola400fw\\x010500.hex\"", "Copied tola400fw0200.hex from Ostravel"},
                 {"Found file \"tola400fw9999", "Found file \"..", "error"}, {kFw200}, Action::None, true};
    SCOPED_TRACE(c.what);
    RunCase(c);
  }
}

TEST_F(FileServerCopyTest, DestroyedDuringATransferLeavesNoFileBehind) {
  const std::string v1 = Firmware(1), big = Firmware(3, 100000);
  RunCase({"destroyed", {"--rate", "30000"}, {{kFw200, big}}, {{kFw100, v1}}, {{kFw100, v1}},
           0, 0, 0, {"Copying files to "}, {"Copied"}, {kFw200}, Action::DestroyOnProgress});
}

}  // namespace
}  // namespace tola::test
