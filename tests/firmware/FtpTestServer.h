#pragma once
// scripts/loopback-ftp.py serving one case's folder on 127.0.0.1, started in the way this system
// allows: as a child process on Linux; on Windows (under Wine, which cannot start the Linux Python)
// through the script's launcher, whose address TOLA_TEST_FTP gives.

#include <memory>
#include <string>
#include <vector>

namespace tola::test {

class FtpTestServer {
 public:
  FtpTestServer();
  ~FtpTestServer();
  FtpTestServer(const FtpTestServer&) = delete;
  FtpTestServer& operator=(const FtpTestServer&) = delete;

  // For SetUp: skips the test or fails it, as this system's rules say, when no server can be had.
  static void Require();
  // Serves `root` with the script's misbehaviour options; false when it did not come up.
  // `scratch` is a folder the server may write in.
  bool Start(const std::string& root, const std::vector<std::string>& options, const std::string& scratch);
  // "127.0.0.1:PORT" of the running server.
  std::string Address() const;
  // An address on 127.0.0.1 where nothing listens.
  static std::string NothingListening();

 private:
  struct State;
  std::unique_ptr<State> m_state;
};

}  // namespace tola::test
