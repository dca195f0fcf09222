// `tola copy-firmware` against scripts/loopback-ftp.py: what a script can rely on.

#include <gtest/gtest.h>

#include <signal.h>

#include "e2e/E2eSupport.h"
#include "platform/FileSystem.h"
#include "support/FirmwareHex.h"
#include "support/LoopbackFtp.h"

namespace tola::test {
namespace {

class CopyFirmwareEndToEnd : public EndToEnd {
 protected:
  void SetUp() override {
    m_python = PythonWithFtpServer();
    if (m_python.empty()) GTEST_SKIP() << "python3 with pyftpdlib is not installed";
    ASSERT_EQ(CreateFolderPath(Remote()), kErrorSuccess);
    ASSERT_EQ(CreateFolderPath(Local()), kErrorSuccess);
  }
  std::string Remote() const { return Folder() + "/server/TOLA/firmware"; }
  std::string Local() const { return Folder() + "/local"; }
  bool StartServer(const std::vector<std::string>& options) {
    return m_server.Start(m_python, TOLA_LOOPBACK_FTP, Folder() + "/server", options, Folder() + "/port");
  }

  std::string m_python;
  LoopbackFtp m_server;
};

TEST_F(CopyFirmwareEndToEnd, ExitStatusSaysWhetherEverythingNeededArrived) {
  const std::string good = WindowToIntelHex(MakeFirmwareWindow(3000, 7));
  const std::string damaged = DataRecord(0x0800, {1, 2}) + "\r\n:0\r\n" + EofRecord() + "\r\n";
  struct Case {
    const char* what;
    const char* remoteFile;
    const std::string* content;
    bool serverUp;
    int status;
    const char* inOut;
    const char* inErr;
    bool copied;
  };
  const Case cases[] = {
      {"a newer file is copied", "tola400fw0300.hex", &good, true, 0, "Available:  03.00", "Copied tola400fw0300.hex", true},
      {"a file that never checks out", "tola400fw0400.hex", &damaged, true, 1, "Copied:     0 files",
       "1 of 1 files could not be copied.", false},
      {"no server", "tola400fw0500.hex", &good, false, 7, "", "InternetConnect completed with error 0x00002EFD", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteWholeFile(Remote() + "/" + c.remoteFile, *c.content);
    std::string server = "127.0.0.1:" + std::to_string(UnusedPort());
    if (c.serverUp) {
      ASSERT_TRUE(StartServer({}));
      server = m_server.Server();
    }
    const RunResult run = Tola({"copy-firmware", "--folder", Local(), "--server", server});
    m_server.Stop();
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_TRUE(Has(run.out, c.inOut)) << run.out;
    EXPECT_TRUE(Has(run.err, c.inErr)) << run.err;
    EXPECT_EQ(FolderEntries(Local()).count(c.remoteFile), c.copied ? 1u : 0u);
  }
}

TEST_F(CopyFirmwareEndToEnd, CtrlCCancelsAndLeavesNoPartialFile) {
  WriteWholeFile(Remote() + "/tola400fw0600.hex", WindowToIntelHex(MakeFirmwareWindow(100000, 8)));
  ASSERT_TRUE(StartServer({"--rate", "30000"}));
  auto tola = StartTola({"copy-firmware", "--folder", Local(), "--server", m_server.Server()});
  ASSERT_TRUE(WaitForStderr(*tola, "Copying files to", 10000)) << tola->Stderr();
  tola->Drain(300);  // the transfer is under way
  tola->Signal(SIGINT);
  EXPECT_EQ(tola->Finish(10000), 130) << tola->Stderr();
  EXPECT_TRUE(Has(tola->Stderr(), "Cancel Button completed with error 0x000004C7")) << tola->Stderr();
  EXPECT_TRUE(FolderEntries(Local()).empty());
}

}  // namespace
}  // namespace tola::test
