#include "FtpTestServer.h"

#include <gtest/gtest.h>

#include "support/LoopbackFtp.h"

namespace tola::test {

namespace {

const std::string& Python() {
  static const std::string python = PythonWithFtpServer();
  return python;
}

}  // namespace

struct FtpTestServer::State {
  LoopbackFtp server;
};

FtpTestServer::FtpTestServer() : m_state(std::make_unique<State>()) {}
FtpTestServer::~FtpTestServer() = default;

void FtpTestServer::Require() {
  if (Python().empty()) GTEST_SKIP() << "python3 with pyftpdlib is not installed";
}

bool FtpTestServer::Start(const std::string& root, const std::vector<std::string>& options,
                          const std::string& scratch) {
  return m_state->server.Start(Python(), TOLA_LOOPBACK_FTP, root, options, scratch + "/port");
}

std::string FtpTestServer::Address() const { return m_state->server.Server(); }

std::string FtpTestServer::NothingListening() { return "127.0.0.1:" + std::to_string(UnusedPort()); }

}  // namespace tola::test
