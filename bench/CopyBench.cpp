// The copy of a firmware file of about 300 KB from the loopback file server (scripts/loopback-ftp.py
// on 127.0.0.1) with the real libcurl session, from "Opening connection" to the dialog's close,
// against the target of one second. Several runs; the median counts.

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "app/AppState.h"
#include "firmware/FileServerCopy.h"
#include "platform/FileSystem.h"
#include "platform/PollHost.h"
#include "platform/HiveFileStore.h"
#include "serial/PosixSerialPort.h"
#include "tests/support/FirmwareHex.h"
#include "tests/support/LoopbackFtp.h"

namespace {

using namespace tola;

class QuietView : public FileServerCopyView {
 public:
  void AppendLog(const std::string& text) override { log += text + "\n"; }
  void SetBusy(bool) override {}
  void SetButtonCaption(const std::string&) override {}
  void SetTransferProgress(const std::string&, std::uint64_t, std::uint64_t) override {}
  void CloseView(int value) override { result = value; }
  std::string log;
  int result = 0;
};

}  // namespace

int main() {
  constexpr double kTargetSeconds = 1.0;
  constexpr int kRuns = 5;
  const std::string python = test::PythonWithFtpServer();
  if (python.empty()) {
    std::fprintf(stderr, "tola-copy-bench: python3 with pyftpdlib is not installed\n");
    return 1;
  }
  char pattern[] = "/tmp/tola-copy-bench-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) return 1;
  const std::string root = pattern;
  const std::string remote = root + "/server/TOLA/firmware", local = root + "/local";
  CreateFolderPath(remote);
  CreateFolderPath(local);
  const std::string file = test::WindowToIntelHex(test::MakeFirmwareWindow(108000, 1));
  std::ofstream(remote + "/tola400fw0200.hex", std::ios::binary) << file;

  test::LoopbackFtp server;
  if (!server.Start(python, TOLA_LOOPBACK_FTP, root + "/server", {}, root + "/port")) {
    std::fprintf(stderr, "tola-copy-bench: the loopback server did not start\n");
    return 1;
  }
  std::vector<double> seconds;
  bool allCopied = true;
  for (int run = 0; run < kRuns; ++run) {
    ::unlink((local + "/tola400fw0200.hex").c_str());
    PollHost host;
    AppState app(host, std::make_unique<PosixSerialPort>(host)  /* never opened */, nullptr);
    app.fileServer.Set(server.Server());
    QuietView view;
    FileServerCopy copy(app, view, MakeFtpSession(host), local, ScanFirmwareFolder(local));
    const auto start = std::chrono::steady_clock::now();
    copy.Open();
    copy.Run();
    host.RunUntil([&] { return copy.IsClosed() || !copy.IsBusy(); }, 30000);
    seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    allCopied = allCopied && view.result == FileServerCopy::kResultSuccess && copy.FilesNotCopied() == 0 &&
                view.log.find("Copied tola400fw0200.hex") != std::string::npos;
  }
  server.Stop();
  std::error_code ec;
  std::filesystem::remove_all(root, ec);

  std::sort(seconds.begin(), seconds.end());
  const double median = seconds[seconds.size() / 2];
  std::printf("%-40s %10s %10s %10s %7s\n", "copy from the file server", "bytes", "median s", "target s", "ratio");
  std::printf("%-40s %10zu %10.3f %10.3f %7.3f\n", "tola400fw0200.hex over loopback FTP", file.size(), median,
              kTargetSeconds, median / kTargetSeconds);
  if (!allCopied) std::printf("a run did not copy the file\n");
  return allCopied ? 0 : 1;
}
