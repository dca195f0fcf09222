#include "FtpTestServer.h"

#include <gtest/gtest.h>

#include "platform/Win32.h"
// After windows.h.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdlib>
#include <cstdio>

#include "platform/Win32Text.h"

namespace tola::test {

namespace {

constexpr const char* kLauncherVariable = "TOLA_TEST_FTP";

bool StartWinsock() {
  static const bool started = [] {
    WSADATA data;
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

// The launcher's "HOST:PORT", or "" when the variable is not set.
std::string LauncherAddress() {
  const char* value = std::getenv(kLauncherVariable);
  return value != nullptr ? value : "";
}

// A folder of this program as the server, a Linux program under Wine, must name it. Outside Wine
// the server runs on this system and takes the name as it is.
std::string ServerPath(const std::string& path) {
  using UnixName = char*(CDECL*)(const wchar_t*);
  const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  const auto unixName = reinterpret_cast<UnixName>(
      reinterpret_cast<void*>(kernel != nullptr ? ::GetProcAddress(kernel, "wine_get_unix_file_name") : nullptr));
  if (unixName == nullptr) return path;
  char* name = unixName(Wide(path).c_str());
  if (name == nullptr) return path;
  std::string result = name;
  ::HeapFree(::GetProcessHeap(), 0, name);
  return result;
}

// One JSON string.
std::string Quoted(const std::string& text) {
  std::string out(1, '"');
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", u);
      out += escape;
    } else {
      out += c;
    }
  }
  out.push_back('"');
  return out;
}

SOCKET ConnectTo(const std::string& address) {
  const std::size_t colon = address.rfind(':');
  if (colon == std::string::npos || !StartWinsock()) return INVALID_SOCKET;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(address.substr(0, colon).c_str(), address.substr(colon + 1).c_str(), &hints, &found) != 0) {
    return INVALID_SOCKET;
  }
  SOCKET s = ::socket(found->ai_family, found->ai_socktype, found->ai_protocol);
  if (s != INVALID_SOCKET && ::connect(s, found->ai_addr, static_cast<int>(found->ai_addrlen)) != 0) {
    ::closesocket(s);
    s = INVALID_SOCKET;
  }
  ::freeaddrinfo(found);
  return s;
}

}  // namespace

struct FtpTestServer::State {
  SOCKET control = INVALID_SOCKET;  // the server runs while this stays open
  unsigned port = 0;
  ~State() {
    if (control != INVALID_SOCKET) ::closesocket(control);
  }
};

FtpTestServer::FtpTestServer() : m_state(std::make_unique<State>()) {}
FtpTestServer::~FtpTestServer() = default;

void FtpTestServer::Require() {
  if (LauncherAddress().empty()) {
    GTEST_FAIL() << kLauncherVariable << " is not set: start `scripts/loopback-ftp.py --launcher` and set it to "
                 << "its 127.0.0.1:PORT";
  }
}

bool FtpTestServer::Start(const std::string& root, const std::vector<std::string>& options, const std::string&) {
  m_state = std::make_unique<State>();
  m_state->control = ConnectTo(LauncherAddress());
  if (m_state->control == INVALID_SOCKET) {
    ADD_FAILURE() << "no launcher answers at " << kLauncherVariable << "=" << LauncherAddress();
    return false;
  }
  std::vector<std::string> arguments{"--root", ServerPath(root)};
  arguments.insert(arguments.end(), options.begin(), options.end());
  std::string request;
  for (const std::string& argument : arguments) {
    request.append(request.empty() ? "[" : ",");
    request.append(Quoted(argument));
  }
  request.append("]\n");
  if (::send(m_state->control, request.data(), static_cast<int>(request.size()), 0) != static_cast<int>(request.size())) {
    return false;
  }
  std::string answer;
  char c = 0;
  while (::recv(m_state->control, &c, 1, 0) == 1 && c != '\n') answer += c;
  m_state->port = static_cast<unsigned>(std::strtoul(answer.c_str(), nullptr, 10));
  return m_state->port != 0;
}

std::string FtpTestServer::Address() const { return "127.0.0.1:" + std::to_string(m_state->port); }

std::string FtpTestServer::NothingListening() {
  unsigned port = 0;
  if (StartWinsock()) {
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (s != INVALID_SOCKET && ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
      port = ntohs(address.sin_port);
    }
    if (s != INVALID_SOCKET) ::closesocket(s);
  }
  return "127.0.0.1:" + std::to_string(port);
}

}  // namespace tola::test
