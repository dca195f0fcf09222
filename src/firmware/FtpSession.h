#pragma once
// One anonymous FTP conversation with the maker's file server (passive mode, binary transfers).
// Every request completes later, on the user-interface thread through Host::Post, never inside the
// call and never on the network thread; one request is outstanding at a time. Results are codes of
// the program's one space: 0 success, 12000-range codes for the network (12003 with the server's
// last response kept for ErrorText), system codes for local file errors.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ResultCode.h"

namespace tola {

class Host;

struct FtpEntry {
  std::string name;  // as the server listed it; not yet checked for use as a local name
  bool isDirectory = false;
};

// Limits that keep a silent or stalled server from holding the copy forever.
struct FtpTimeouts {
  std::uint32_t connectMs = 20000;   // name lookup, connection and login
  std::uint32_t responseMs = 30000;  // the server's answer to any one command
  std::uint32_t stallMs = 30000;     // a transfer that moves no byte for this long
};

class FtpSession {
 public:
  using Completion = std::function<void(ResultCode result)>;
  using ListCompletion = std::function<void(ResultCode result, std::vector<FtpEntry> entries)>;
  // Bytes received so far and the file's size (0 when the server did not say).
  using Progress = std::function<void(std::uint64_t received, std::uint64_t total)>;

  virtual ~FtpSession() = default;

  // Connects to `server` ("HOST" or "HOST:PORT"; port 21 when none is given) and logs in anonymously.
  virtual void Connect(const std::string& server, Completion done) = 0;
  // Relative to the login directory ("TOLA/firmware").
  virtual void ChangeDirectory(const std::string& path, Completion done) = 0;
  // The entries of the current directory, "." and ".." left out.
  virtual void List(ListCompletion done) = 0;
  // Fetches `remoteName` from the current directory into `localPath`, which is created or truncated.
  // `progress` runs on the user-interface thread, at most a few times a second.
  virtual void Get(const std::string& remoteName, const std::string& localPath, Progress progress,
                   Completion done) = 0;
  // Ends the outstanding request at once; its completion is never delivered. Nothing waits for the
  // network thread to notice.
  virtual void Cancel() = 0;
  // Closes the connection (QUIT when it is still up); `done` follows with 0.
  virtual void Close(Completion done) = 0;
};

// The system's session: libcurl on Linux, WinINet on Windows. Its completions are posted through
// `host`.
std::unique_ptr<FtpSession> MakeFtpSession(Host& host, FtpTimeouts timeouts = {});

}  // namespace tola
