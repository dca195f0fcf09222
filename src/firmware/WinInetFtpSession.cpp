// The FTP conversation over WinINet's blocking calls. Each connection has a worker thread of its
// own that makes them, and a watchdog thread that keeps its time limits; the user-interface thread
// only hands the worker requests and is woken through Host::Post with their results.
//
// A request that is cancelled or runs out of time is not waited for: its connection is given up at
// once (the local file closed, no further result posted), and its worker drops the connection
// whenever the blocking call in hand returns. The next Connect starts a new connection. Handles of
// WinINet are only ever closed by their worker: closing one sends QUIT and waits for the answer.

#include "platform/Win32.h"
// After windows.h.
#include <wininet.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/ErrorText.h"
#include "firmware/FtpSession.h"
#include "platform/Host.h"
#include "platform/Win32Text.h"

namespace tola {

namespace {

constexpr ResultCode kTimeout = 12002;
constexpr ResultCode kBadServerName = 12005;
constexpr ResultCode kCannotConnect = 12029;
constexpr ResultCode kConnectionAborted = 12030;
// Far above any firmware file or release notes: a server that sends without end fills no disk.
constexpr std::uint64_t kMostFileBytes = 64u << 20;
constexpr std::size_t kMostEntries = 100000;
constexpr auto kProgressInterval = std::chrono::milliseconds(200);
constexpr const wchar_t* kAgent = L"Ostravel TOLA Utility";

using Clock = std::chrono::steady_clock;

bool HasControlCharacter(const std::string& text) {
  return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

// "HOST", "HOST:PORT", "[ADDRESS]" or "[ADDRESS]:PORT"; port 21 when none is given.
bool SplitServer(const std::string& server, std::string& host, INTERNET_PORT& port) {
  host = server;
  std::string portText = "21";
  const bool bracketed = !host.empty() && host.front() == '[';
  const std::size_t close = bracketed ? host.find(']') : std::string::npos;
  if (bracketed && close == std::string::npos) return false;
  const std::size_t colon = host.find(':', bracketed ? close : 0);
  if (colon != std::string::npos) {
    portText = host.substr(colon + 1);
    host.resize(colon);
  }
  if (bracketed) {
    if (close + 1 != host.size()) return false;
    host = host.substr(1, host.size() - 2);
  }
  const bool hostOk = !host.empty() && std::all_of(host.begin(), host.end(), [&](char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u < 0x80 && std::isalnum(u)) || c == '.' || c == '-' || (!bracketed && c == '_') || (bracketed && c == ':');
  });
  if (!hostOk || portText.empty() || portText.size() > 5 ||
      !std::all_of(portText.begin(), portText.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return false;
  }
  const unsigned long number = std::stoul(portText);
  if (number == 0 || number > 65535) return false;
  port = static_cast<INTERNET_PORT>(number);
  return true;
}

// The server's last reply on this thread: its number and its last line.
void LastReply(std::uint32_t& number, std::string& line) {
  DWORD error = 0;
  DWORD length = 0;
  std::wstring text(1024, L'\0');
  for (int tries = 0; tries < 2; ++tries) {
    length = static_cast<DWORD>(text.size());
    if (::InternetGetLastResponseInfoW(&error, text.data(), &length)) break;
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
      length = 0;
      break;
    }
    text.assign(static_cast<std::size_t>(length) + 1, L'\0');
  }
  text.resize(std::min<std::size_t>(length, text.size()));
  std::string all = Utf8(text);
  while (!all.empty() && (all.back() == '\n' || all.back() == '\r' || all.back() == '\0')) all.pop_back();
  const std::size_t lineStart = all.find_last_of('\n');
  line = lineStart == std::string::npos ? all : all.substr(lineStart + 1);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  number = 0;
  if (line.size() >= 3 && std::all_of(line.begin(), line.begin() + 3, [](char c) { return c >= '0' && c <= '9'; })) {
    number = static_cast<std::uint32_t>(std::stoul(line.substr(0, 3)));
  }
}

// What the user-interface thread hears from a connection.
struct Outcome {
  std::uint64_t request = 0;
  ResultCode result = kErrorSuccess;
  std::vector<FtpEntry> entries;
  std::uint32_t replyNumber = 0;  // with the line, for the extended error's text
  std::string replyLine;
};

// Where connections post to: the session's host while the session lives. Shared by every
// connection the session ever started, so that none outliving it can reach a host that is gone.
struct Outlet {
  std::mutex mutex;
  Host* host = nullptr;
  std::function<void(Outcome)> deliver;           // runs on the user-interface thread
  std::function<void(std::uint64_t, std::uint64_t, std::uint64_t)> progress;  // request, received, total

  void Post(Outcome outcome) {
    std::lock_guard<std::mutex> lock(mutex);
    if (host == nullptr) return;
    host->Post([deliver = deliver, outcome = std::move(outcome)]() mutable { deliver(std::move(outcome)); });
  }
  void PostProgress(std::uint64_t request, std::uint64_t received, std::uint64_t total) {
    std::lock_guard<std::mutex> lock(mutex);
    if (host == nullptr) return;
    host->Post([progress = progress, request, received, total] { progress(request, received, total); });
  }
};

enum class Kind { Connect, ChangeDirectory, List, Get, Close };

struct Job {
  Kind kind = Kind::Close;
  std::uint64_t request = 0;
  std::string text;  // the server, the folder or the remote name
  HANDLE file = INVALID_HANDLE_VALUE;
};

// One logged-in connection and the two threads that serve it.
class Connection : public std::enable_shared_from_this<Connection> {
 public:
  Connection(std::shared_ptr<Outlet> outlet, FtpTimeouts timeouts) : m_outlet(std::move(outlet)), m_timeouts(timeouts) {}
  ~Connection() {
    for (Job& job : m_jobs) {
      if (job.file != INVALID_HANDLE_VALUE) ::CloseHandle(job.file);
    }
  }

  void Start() {
    std::thread([self = shared_from_this()] { self->Work(); }).detach();
    std::thread([self = shared_from_this()] { self->Watch(); }).detach();
  }

  void Submit(Job job) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_jobs.push_back(std::move(job));
    m_wake.notify_all();
  }

  // Nothing more is posted, the local file is closed now; the worker drops the connection when
  // its call returns. Waits at most for one local write.
  void GiveUp() {
    std::lock_guard<std::mutex> lock(m_mutex);
    GiveUpLocked();
  }

 private:
  void GiveUpLocked() {
    m_givenUp = true;
    if (m_file != INVALID_HANDLE_VALUE) ::CloseHandle(m_file);
    m_file = INVALID_HANDLE_VALUE;
    for (Job& job : m_jobs) {
      if (job.file != INVALID_HANDLE_VALUE) ::CloseHandle(job.file);
      job.file = INVALID_HANDLE_VALUE;
    }
    m_wake.notify_all();
  }

  // --- worker thread
  void Work();
  ResultCode DoConnect(const std::string& server);
  ResultCode DoList(std::vector<FtpEntry>& entries);
  ResultCode DoGet(const Job& job);
  void SetDeadline(std::uint32_t ms) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_deadline = Clock::now() + std::chrono::milliseconds(ms);
    m_timed = true;
    m_wake.notify_all();
  }
  void CloseHandles();

  // --- watchdog thread
  void Watch();

  const std::shared_ptr<Outlet> m_outlet;
  const FtpTimeouts m_timeouts;

  std::mutex m_mutex;
  std::condition_variable m_wake;
  std::deque<Job> m_jobs;
  bool m_givenUp = false;
  bool m_finished = false;
  bool m_timed = false;
  std::uint64_t m_active = 0;  // the request in hand, 0 when none
  Clock::time_point m_deadline;
  HANDLE m_file = INVALID_HANDLE_VALUE;  // the local file of the Get in hand

  // The worker's own.
  HINTERNET m_internet = nullptr;
  HINTERNET m_ftp = nullptr;
};

void Connection::Work() {
  for (;;) {
    Job job;
    {
      std::unique_lock<std::mutex> lock(m_mutex);
      m_wake.wait(lock, [&] { return m_givenUp || !m_jobs.empty(); });
      if (m_givenUp) break;
      job = std::move(m_jobs.front());
      m_jobs.pop_front();
      m_active = job.request;
      m_file = job.file;
      job.file = INVALID_HANDLE_VALUE;
      m_timed = false;
    }
    Outcome outcome;
    outcome.request = job.request;
    switch (job.kind) {
      case Kind::Connect: outcome.result = DoConnect(job.text); break;
      case Kind::ChangeDirectory:
        SetDeadline(m_timeouts.responseMs);
        outcome.result = ::FtpSetCurrentDirectoryW(m_ftp, Wide(job.text).c_str()) ? kErrorSuccess : ::GetLastError();
        break;
      case Kind::List: outcome.result = DoList(outcome.entries); break;
      case Kind::Get: outcome.result = DoGet(job); break;
      case Kind::Close:
        SetDeadline(m_timeouts.responseMs);
        CloseHandles();
        break;
    }
    if (outcome.result == kInternetExtendedError) LastReply(outcome.replyNumber, outcome.replyLine);
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      if (m_file != INVALID_HANDLE_VALUE) ::CloseHandle(m_file);
      m_file = INVALID_HANDLE_VALUE;
      m_active = 0;
      m_timed = false;
      if (m_givenUp) break;
      // Under the lock, so that the watchdog cannot also answer this request.
      m_outlet->Post(std::move(outcome));
      if (job.kind == Kind::Close || (job.kind == Kind::Connect && m_ftp == nullptr)) m_givenUp = true;
    }
    if (job.kind == Kind::Close || m_ftp == nullptr) break;
  }
  CloseHandles();
  std::lock_guard<std::mutex> lock(m_mutex);
  m_finished = true;
  m_givenUp = true;
  m_wake.notify_all();
}

ResultCode Connection::DoConnect(const std::string& server) {
  SetDeadline(m_timeouts.connectMs);
  std::string host;
  INTERNET_PORT port = INTERNET_DEFAULT_FTP_PORT;
  if (!SplitServer(server, host, port)) return kBadServerName;
  m_internet = ::InternetOpenW(kAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (m_internet == nullptr) return ::GetLastError();
  // WinINet's own limits, where it keeps them; the watchdog keeps them where it does not.
  DWORD connectMs = m_timeouts.connectMs, responseMs = m_timeouts.responseMs, stallMs = m_timeouts.stallMs;
  ::InternetSetOptionW(m_internet, INTERNET_OPTION_CONNECT_TIMEOUT, &connectMs, sizeof connectMs);
  ::InternetSetOptionW(m_internet, INTERNET_OPTION_SEND_TIMEOUT, &responseMs, sizeof responseMs);
  ::InternetSetOptionW(m_internet, INTERNET_OPTION_RECEIVE_TIMEOUT, &responseMs, sizeof responseMs);
  ::InternetSetOptionW(m_internet, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, &stallMs, sizeof stallMs);
  // No user name: anonymous.
  m_ftp = ::InternetConnectW(m_internet, Wide(host).c_str(), port, nullptr, nullptr, INTERNET_SERVICE_FTP,
                             INTERNET_FLAG_PASSIVE, 0);
  if (m_ftp != nullptr) return kErrorSuccess;
  const ResultCode result = ::GetLastError();
  return result != kErrorSuccess ? result : kCannotConnect;
}

ResultCode Connection::DoList(std::vector<FtpEntry>& entries) {
  SetDeadline(m_timeouts.responseMs);
  WIN32_FIND_DATAW data{};
  HINTERNET find = ::FtpFindFirstFileW(m_ftp, nullptr, &data, INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
  if (find == nullptr) {
    const ResultCode result = ::GetLastError();
    return result == ERROR_NO_MORE_FILES ? kErrorSuccess : result;
  }
  ResultCode result = kErrorSuccess;
  do {
    const std::wstring name = data.cFileName;
    if (name != L"." && name != L"..") entries.push_back({Utf8(name), (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    if (entries.size() > kMostEntries) {
      result = kErrorFileTooLarge;
      break;
    }
    if (!::InternetFindNextFileW(find, &data)) {
      result = ::GetLastError();
      break;
    }
  } while (true);
  if (result == ERROR_NO_MORE_FILES) result = kErrorSuccess;
  ::InternetCloseHandle(find);
  if (result != kErrorSuccess) entries.clear();
  return result;
}

ResultCode Connection::DoGet(const Job& job) {
  SetDeadline(m_timeouts.responseMs);
  HINTERNET remote = ::FtpOpenFileW(m_ftp, Wide(job.text).c_str(), GENERIC_READ,
                                    FTP_TRANSFER_TYPE_BINARY | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
  if (remote == nullptr) return ::GetLastError();
  DWORD high = 0;
  const DWORD low = ::FtpGetFileSize(remote, &high);
  // 0 is what a library that does not know the size says as well.
  const std::uint64_t total = low == INVALID_FILE_SIZE ? 0 : (std::uint64_t{high} << 32) | low;
  std::vector<char> buffer(64 * 1024);
  std::uint64_t received = 0;
  Clock::time_point lastProgress = Clock::now();
  ResultCode result = kErrorSuccess;
  for (;;) {
    DWORD count = 0;
    if (!::InternetReadFile(remote, buffer.data(), static_cast<DWORD>(buffer.size()), &count)) {
      result = ::GetLastError();
      break;
    }
    if (count == 0) break;
    if (received + count > kMostFileBytes) {
      result = kErrorFileTooLarge;
      break;
    }
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      if (m_givenUp || m_file == INVALID_HANDLE_VALUE) {
        result = kErrorCancelled;
        break;
      }
      for (DWORD done = 0; done < count;) {
        DWORD written = 0;
        if (!::WriteFile(m_file, buffer.data() + done, count - done, &written, nullptr) || written == 0) {
          result = ::GetLastError();
          if (result == kErrorSuccess) result = kErrorDiskFull;
          break;
        }
        done += written;
      }
      m_deadline = Clock::now() + std::chrono::milliseconds(m_timeouts.stallMs);
    }
    if (result != kErrorSuccess) break;
    received += count;
    const Clock::time_point now = Clock::now();
    if (now - lastProgress >= kProgressInterval) {
      lastProgress = now;
      m_outlet->PostProgress(job.request, received, total);
    }
  }
  // Closing the transfer reads the server's last word on it, which tells a complete file from
  // one the server gave up on.
  ::InternetCloseHandle(remote);
  if (result != kErrorSuccess) return result;
  std::uint32_t number = 0;
  std::string line;
  LastReply(number, line);
  if (number == 425) return kCannotConnect;
  if (number == 426) return kConnectionAborted;
  if (number >= 400) return kInternetExtendedError;
  if (total != 0 && received != total) return kConnectionAborted;
  return kErrorSuccess;
}

void Connection::CloseHandles() {
  if (m_ftp != nullptr) ::InternetCloseHandle(m_ftp);
  if (m_internet != nullptr) ::InternetCloseHandle(m_internet);
  m_ftp = nullptr;
  m_internet = nullptr;
}

void Connection::Watch() {
  std::unique_lock<std::mutex> lock(m_mutex);
  while (!m_finished && !m_givenUp) {
    if (!m_timed || m_active == 0) {
      m_wake.wait(lock);
      continue;
    }
    if (Clock::now() < m_deadline) {
      m_wake.wait_until(lock, m_deadline);
      continue;
    }
    Outcome outcome;
    outcome.request = m_active;
    outcome.result = kTimeout;
    m_outlet->Post(std::move(outcome));
    GiveUpLocked();
  }
}

class WinInetFtpSession final : public FtpSession {
 public:
  WinInetFtpSession(Host& host, FtpTimeouts timeouts);
  ~WinInetFtpSession() override;
  WinInetFtpSession(const WinInetFtpSession&) = delete;
  WinInetFtpSession& operator=(const WinInetFtpSession&) = delete;

  void Connect(const std::string& server, Completion done) override;
  void ChangeDirectory(const std::string& path, Completion done) override;
  void List(ListCompletion done) override;
  void Get(const std::string& remoteName, const std::string& localPath, Progress progress,
           Completion done) override;
  void Cancel() override;
  void Close(Completion done) override;

 private:
  void Begin(Kind kind, Completion done, ListCompletion listDone = {}, Progress progress = {});
  void Submit(Kind kind, std::string text, HANDLE file = INVALID_HANDLE_VALUE);
  void FailSoon(ResultCode result);
  void Deliver(Outcome outcome);

  Host& m_host;
  const FtpTimeouts m_timeouts;
  std::shared_ptr<char> m_alive;
  std::shared_ptr<Outlet> m_outlet = std::make_shared<Outlet>();
  std::shared_ptr<Connection> m_connection;  // null when not connected
  std::uint64_t m_lastRequest = 0;
  std::uint64_t m_outstanding = 0;  // 0 when no request waits for its result
  Kind m_kind = Kind::Close;         // the outstanding request's
  Completion m_done;
  ListCompletion m_listDone;
  Progress m_progress;
};

WinInetFtpSession::WinInetFtpSession(Host& host, FtpTimeouts timeouts) : m_host(host), m_timeouts(timeouts) {
  // Posted work runs on the user-interface thread, where the session is destroyed; the token
  // tells it whether the session is still there.
  auto alive = std::make_shared<char>();
  std::weak_ptr<char> watch = alive;
  m_outlet->host = &m_host;
  m_outlet->deliver = [this, watch](Outcome outcome) {
    if (!watch.expired()) Deliver(std::move(outcome));
  };
  m_outlet->progress = [this, watch](std::uint64_t request, std::uint64_t received, std::uint64_t total) {
    if (watch.expired() || request != m_outstanding || !m_progress) return;
    m_progress(received, total);
  };
  m_alive = std::move(alive);
}

WinInetFtpSession::~WinInetFtpSession() {
  {
    std::lock_guard<std::mutex> lock(m_outlet->mutex);
    m_outlet->host = nullptr;
  }
  m_alive.reset();
  if (m_connection) m_connection->GiveUp();
}

void WinInetFtpSession::Begin(Kind kind, Completion done, ListCompletion listDone, Progress progress) {
  m_kind = kind;
  m_done = std::move(done);
  m_listDone = std::move(listDone);
  m_progress = std::move(progress);
  m_outstanding = ++m_lastRequest;
}

void WinInetFtpSession::Submit(Kind kind, std::string text, HANDLE file) {
  m_connection->Submit({kind, m_outstanding, std::move(text), file});
}

void WinInetFtpSession::FailSoon(ResultCode result) {
  Outcome outcome;
  outcome.request = m_outstanding;
  outcome.result = result;
  m_outlet->Post(std::move(outcome));
}

void WinInetFtpSession::Deliver(Outcome outcome) {
  if (outcome.request == 0 || outcome.request != m_outstanding) return;
  m_outstanding = 0;
  Completion done = std::move(m_done);
  ListCompletion listDone = std::move(m_listDone);
  m_done = nullptr;
  m_listDone = nullptr;
  m_progress = nullptr;
  // A connection that timed out has been given up; one that never came up has ended.
  if (outcome.result == kTimeout || (m_kind == Kind::Connect && outcome.result != kErrorSuccess)) m_connection.reset();
  if (outcome.result == kInternetExtendedError) SetLastServerResponse(outcome.replyNumber, outcome.replyLine);
  if (listDone) listDone(outcome.result, std::move(outcome.entries));
  if (done) done(outcome.result);
}

void WinInetFtpSession::Connect(const std::string& server, Completion done) {
  if (m_connection) m_connection->GiveUp();
  m_connection.reset();
  Begin(Kind::Connect, std::move(done));
  std::string host;
  INTERNET_PORT port = 0;
  if (!SplitServer(server, host, port)) return FailSoon(kBadServerName);
  m_connection = std::make_shared<Connection>(m_outlet, m_timeouts);
  m_connection->Start();
  Submit(Kind::Connect, server);
}

void WinInetFtpSession::ChangeDirectory(const std::string& path, Completion done) {
  Begin(Kind::ChangeDirectory, std::move(done));
  if (HasControlCharacter(path)) return FailSoon(kErrorInvalidName);
  if (!m_connection) return FailSoon(kConnectionAborted);
  Submit(Kind::ChangeDirectory, path);
}

void WinInetFtpSession::List(ListCompletion done) {
  Begin(Kind::List, {}, std::move(done));
  if (!m_connection) return FailSoon(kConnectionAborted);
  Submit(Kind::List, {});
}

void WinInetFtpSession::Get(const std::string& remoteName, const std::string& localPath, Progress progress,
                            Completion done) {
  Begin(Kind::Get, std::move(done), {}, std::move(progress));
  // A line break in a name would end the command and start another one.
  if (remoteName.empty() || HasControlCharacter(remoteName)) return FailSoon(kErrorInvalidName);
  if (!m_connection) return FailSoon(kConnectionAborted);
  // Opened here, so that once a Cancel returns no file can appear that the caller does not know
  // of; shared, because the caller may hold the same file open and removes it when it gives up.
  HANDLE file = ::CreateFileW(Wide(localPath).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FailSoon(::GetLastError());
  Submit(Kind::Get, remoteName, file);
}

void WinInetFtpSession::Cancel() {
  if (m_outstanding == 0) return;
  m_outstanding = 0;
  m_done = nullptr;
  m_listDone = nullptr;
  m_progress = nullptr;
  // The connection is in the middle of a command: it cannot serve another one.
  if (m_connection) m_connection->GiveUp();
  m_connection.reset();
}

void WinInetFtpSession::Close(Completion done) {
  Begin(Kind::Close, std::move(done));
  if (!m_connection) return FailSoon(kErrorSuccess);
  Submit(Kind::Close, {});
  // The worker ends with the Close; a Connect that follows starts a new one.
  m_connection.reset();
}

}  // namespace

std::unique_ptr<FtpSession> MakeFtpSession(Host& host, FtpTimeouts timeouts) {
  return std::make_unique<WinInetFtpSession>(host, timeouts);
}

}  // namespace tola
