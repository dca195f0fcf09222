// The FTP conversation over libcurl. One worker thread drives a multi handle; the user-interface
// thread only hands it requests and is woken through Host::Post with their results. One easy
// handle serves every request, so the logged-in connection stays in the multi handle's pool from
// one request to the next.

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

#include "app/ErrorText.h"
#include "firmware/CurlResult.h"
#include "firmware/FtpProtocol.h"
#include "firmware/FtpSession.h"
#include "platform/Host.h"

namespace tola {

namespace {

constexpr ResultCode kBadServerName = 12005;
constexpr ResultCode kConnectionAborted = 12030;
constexpr ResultCode kExtendedError = 12003;
// Far above any firmware file or release notes: a server that sends without end fills no disk.
constexpr std::uint64_t kMostFileBytes = 64u << 20;
constexpr std::size_t kMostListingBytes = 4u << 20;
constexpr auto kProgressInterval = std::chrono::milliseconds(200);

void InitialiseCurl() {
  static const bool done = [] {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    return true;
  }();
  (void)done;
}

long Seconds(std::uint32_t ms) { return static_cast<long>((ms + 999) / 1000); }

// "HOST", "HOST:PORT", "[ADDRESS]" or "[ADDRESS]:PORT" as the start of an ftp URL, or nothing when
// the text is no server name (the name goes into a URL, so nothing else may pass).
std::optional<std::string> ServerUrl(const std::string& server) {
  std::string host = server;
  std::string port = "21";
  const bool bracketed = !host.empty() && host.front() == '[';
  const std::size_t close = bracketed ? host.find(']') : std::string::npos;
  if (bracketed && close == std::string::npos) return std::nullopt;
  const std::size_t colon = host.find(':', bracketed ? close : 0);
  if (colon != std::string::npos) {
    port = host.substr(colon + 1);
    host.resize(colon);
  }
  const std::string inner = bracketed ? host.substr(1, host.size() - 2) : host;
  const bool hostOk = !inner.empty() && std::all_of(inner.begin(), inner.end(), [&](char c) {
    const auto u = static_cast<unsigned char>(c);
    return std::isalnum(u) || c == '.' || c == '-' || (!bracketed && c == '_') || (bracketed && c == ':');
  });
  const bool portOk = !port.empty() && port.size() <= 5 &&
                      std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
                      std::atoi(port.c_str()) > 0 && std::atoi(port.c_str()) < 65536;
  if (!hostOk || !portOk || (bracketed && close + 1 != host.size())) return std::nullopt;
  return "ftp://" + host + ":" + port + "/";
}

bool HasControlCharacter(const std::string& text) {
  return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

class CurlFtpSession final : public FtpSession {
 public:
  CurlFtpSession(Host& host, FtpTimeouts timeouts);
  ~CurlFtpSession() override;
  CurlFtpSession(const CurlFtpSession&) = delete;
  CurlFtpSession& operator=(const CurlFtpSession&) = delete;

  void Connect(const std::string& server, Completion done) override;
  void ChangeDirectory(const std::string& path, Completion done) override;
  void List(ListCompletion done) override;
  void Get(const std::string& remoteName, const std::string& localPath, Progress progress,
           Completion done) override;
  void Cancel() override;
  void Close(Completion done) override;

 private:
  enum class Kind { Connect, ChangeDirectory, List, Get, Close };
  struct Request {
    Kind kind = Kind::Close;
    std::uint64_t generation = 0;
    std::string text;  // the URL's start, the folder, or the remote name
    int fd = -1;       // the local file of a Get
    Completion done;
    ListCompletion listDone;
    Progress progress;
  };

  static Request MakeRequest(Kind kind) {
    Request request;
    request.kind = kind;
    return request;
  }

  // --- user-interface thread
  void Submit(Request request);
  void FailSoon(Request request, ResultCode result);

  // --- worker thread
  void Work();
  void Start(Request request);
  void Perform();
  void OnDone(CURLcode code);
  void Abandon();
  void Deliver(Request& request, ResultCode result, std::vector<FtpEntry> entries = {});
  void CloseConnections();
  void ShutdownSockets();
  std::string FolderUrl() const;

  static std::size_t OnWrite(char* data, std::size_t size, std::size_t count, void* self);
  static int OnProgress(void* self, curl_off_t total, curl_off_t now, curl_off_t, curl_off_t);
  static int OnDebug(CURL*, curl_infotype type, char* data, std::size_t size, void* self);
  static curl_socket_t OnOpenSocket(void* self, curlsocktype, curl_sockaddr* address);
  static int OnCloseSocket(void* self, curl_socket_t fd);

  Host& m_host;
  const FtpTimeouts m_timeouts;
  // Results reach the user-interface thread only while the session lives and only for requests
  // issued since the last Cancel.
  std::shared_ptr<char> m_alive = std::make_shared<char>();
  const std::weak_ptr<char> m_aliveWatch = m_alive;
  std::uint64_t m_generation = 0;  // user-interface thread only

  // Shared with the worker under m_mutex.
  std::mutex m_mutex;
  CURLM* m_multi = nullptr;
  std::deque<Request> m_incoming;
  std::uint64_t m_cancelBelow = 0;
  bool m_stop = false;

  // Every socket libcurl opened: shut down on destruction so that nothing waits on a server.
  std::mutex m_socketMutex;
  std::set<int> m_sockets;

  // The worker's own.
  CURL* m_easy = nullptr;
  std::optional<Request> m_active;
  bool m_inMulti = false;
  std::string m_baseUrl;
  std::string m_folder;
  ListingForm m_listingForm = ListingForm::Machine;
  std::string m_listing;
  std::uint64_t m_received = 0;
  std::uint64_t m_announcedSize = 0;
  int m_writeErrno = 0;
  bool m_tooLarge = false;
  std::string m_lastReply;
  curl_slist* m_preQuote = nullptr;
  std::chrono::steady_clock::time_point m_lastProgress;

  std::thread m_worker;
};

CurlFtpSession::CurlFtpSession(Host& host, FtpTimeouts timeouts) : m_host(host), m_timeouts(timeouts) {
  InitialiseCurl();
  m_multi = curl_multi_init();
  m_easy = curl_easy_init();
  if (m_easy != nullptr) {
    curl_easy_setopt(m_easy, CURLOPT_PROTOCOLS_STR, "ftp");
    curl_easy_setopt(m_easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(m_easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(m_timeouts.connectMs));
    curl_easy_setopt(m_easy, CURLOPT_SERVER_RESPONSE_TIMEOUT, Seconds(m_timeouts.responseMs));
    curl_easy_setopt(m_easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(m_easy, CURLOPT_LOW_SPEED_TIME, Seconds(m_timeouts.stallMs));
    curl_easy_setopt(m_easy, CURLOPT_FTP_SKIP_PASV_IP, 1L);  // data only from the server we talk to
    curl_easy_setopt(m_easy, CURLOPT_WRITEFUNCTION, &CurlFtpSession::OnWrite);
    curl_easy_setopt(m_easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(m_easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(m_easy, CURLOPT_XFERINFOFUNCTION, &CurlFtpSession::OnProgress);
    curl_easy_setopt(m_easy, CURLOPT_XFERINFODATA, this);
    // The server's replies are read through the debug hook, which libcurl calls only when verbose.
    curl_easy_setopt(m_easy, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(m_easy, CURLOPT_DEBUGFUNCTION, &CurlFtpSession::OnDebug);
    curl_easy_setopt(m_easy, CURLOPT_DEBUGDATA, this);
    curl_easy_setopt(m_easy, CURLOPT_OPENSOCKETFUNCTION, &CurlFtpSession::OnOpenSocket);
    curl_easy_setopt(m_easy, CURLOPT_OPENSOCKETDATA, this);
    curl_easy_setopt(m_easy, CURLOPT_CLOSESOCKETFUNCTION, &CurlFtpSession::OnCloseSocket);
    curl_easy_setopt(m_easy, CURLOPT_CLOSESOCKETDATA, this);
  }
  m_worker = std::thread([this] { Work(); });
}

CurlFtpSession::~CurlFtpSession() {
  m_alive.reset();
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stop = true;
    if (m_multi != nullptr) curl_multi_wakeup(m_multi);
  }
  ShutdownSockets();
  m_worker.join();
  for (Request& request : m_incoming) {
    if (request.fd >= 0) ::close(request.fd);
  }
}

// ---------------------------------------------------------------------------------------------
// User-interface thread

void CurlFtpSession::Submit(Request request) {
  request.generation = m_generation;
  std::lock_guard<std::mutex> lock(m_mutex);
  m_incoming.push_back(std::move(request));
  if (m_multi != nullptr) curl_multi_wakeup(m_multi);
}

void CurlFtpSession::FailSoon(Request request, ResultCode result) {
  if (request.fd >= 0) ::close(request.fd);
  const std::uint64_t generation = m_generation;
  m_host.Post([alive = m_aliveWatch, this, generation, request = std::move(request), result] {
    if (alive.expired() || generation != m_generation) return;
    if (request.listDone) request.listDone(result, {});
    if (request.done) request.done(result);
  });
}

void CurlFtpSession::Connect(const std::string& server, Completion done) {
  Request request = MakeRequest(Kind::Connect);
  request.done = std::move(done);
  const std::optional<std::string> url = ServerUrl(server);
  if (!url || m_easy == nullptr) return FailSoon(std::move(request), url ? 12004 : kBadServerName);
  request.text = *url;
  Submit(std::move(request));
}

void CurlFtpSession::ChangeDirectory(const std::string& path, Completion done) {
  Request request = MakeRequest(Kind::ChangeDirectory);
  request.text = path;
  request.done = std::move(done);
  if (HasControlCharacter(path)) return FailSoon(std::move(request), kErrorInvalidName);
  Submit(std::move(request));
}

void CurlFtpSession::List(ListCompletion done) {
  Request request = MakeRequest(Kind::List);
  request.listDone = std::move(done);
  Submit(std::move(request));
}

void CurlFtpSession::Get(const std::string& remoteName, const std::string& localPath, Progress progress,
                         Completion done) {
  Request request = MakeRequest(Kind::Get);
  request.text = remoteName;
  request.progress = std::move(progress);
  request.done = std::move(done);
  // A line break in a name would end the command and start another one.
  if (remoteName.empty() || HasControlCharacter(remoteName)) return FailSoon(std::move(request), kErrorInvalidName);
  // Opened here, so that once a Cancel returns no file can appear that the caller does not know of.
  request.fd = ::open(localPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (request.fd < 0) return FailSoon(std::move(request), ResultFromErrno(errno));
  Submit(std::move(request));
}

void CurlFtpSession::Cancel() {
  ++m_generation;
  std::lock_guard<std::mutex> lock(m_mutex);
  m_cancelBelow = m_generation;
  if (m_multi != nullptr) curl_multi_wakeup(m_multi);
}

void CurlFtpSession::Close(Completion done) {
  Request request = MakeRequest(Kind::Close);
  request.done = std::move(done);
  Submit(std::move(request));
}

// ---------------------------------------------------------------------------------------------
// Worker thread

void CurlFtpSession::Work() {
  for (;;) {
    std::optional<Request> next;
    bool cancelled = false;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      if (m_stop) break;
      cancelled = m_active && m_active->generation < m_cancelBelow;
    }
    if (cancelled) Abandon();
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      while (!m_active && !next && !m_incoming.empty()) {
        Request request = std::move(m_incoming.front());
        m_incoming.pop_front();
        if (request.generation < m_cancelBelow) {
          if (request.fd >= 0) ::close(request.fd);
          continue;
        }
        next = std::move(request);
      }
    }
    if (next) Start(std::move(*next));
    if (m_active) {
      Perform();
    }
    bool more = false;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      more = !m_active && !m_incoming.empty();
    }
    if (!more) curl_multi_poll(m_multi, nullptr, 0, m_active ? 1000 : 60000, nullptr);
  }
  ShutdownSockets();
  Abandon();
  CURLM* multi = nullptr;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    multi = m_multi;
    m_multi = nullptr;
  }
  if (multi != nullptr) curl_multi_cleanup(multi);
  if (m_easy != nullptr) curl_easy_cleanup(m_easy);
  curl_slist_free_all(m_preQuote);
}

std::string CurlFtpSession::FolderUrl() const {
  std::string url = m_baseUrl;
  for (std::size_t at = 0; at < m_folder.size();) {
    const std::size_t slash = std::min(m_folder.find('/', at), m_folder.size());
    if (slash > at) {
      char* escaped = curl_easy_escape(m_easy, m_folder.data() + at, static_cast<int>(slash - at));
      url += escaped != nullptr ? escaped : "";
      url += '/';
      curl_free(escaped);
    }
    at = slash + 1;
  }
  return url;
}

void CurlFtpSession::Start(Request request) {
  m_listing.clear();
  m_received = 0;
  m_announcedSize = 0;
  m_writeErrno = 0;
  m_tooLarge = false;
  m_lastReply.clear();
  m_lastProgress = std::chrono::steady_clock::now();
  curl_slist_free_all(m_preQuote);
  m_preQuote = nullptr;

  std::string url;
  switch (request.kind) {
    case Kind::Close:
      CloseConnections();
      Deliver(request, kErrorSuccess);
      return;
    case Kind::Connect:
      m_baseUrl = request.text;
      m_folder.clear();
      url = m_baseUrl;
      break;
    case Kind::ChangeDirectory: {
      const std::string previous = m_folder;
      m_folder = request.text;
      url = FolderUrl();
      m_folder = previous;  // becomes the folder once the server has agreed
      break;
    }
    case Kind::List:
      url = FolderUrl();
      break;
    case Kind::Get: {
      char* escaped = curl_easy_escape(m_easy, request.text.data(), static_cast<int>(request.text.size()));
      url = FolderUrl() + (escaped != nullptr ? escaped : "");
      curl_free(escaped);
      // The size, where the server tells it, shows a transfer cut short even when the server
      // says all went well; "*" lets a server that does not know the command go on.
      m_preQuote = curl_slist_append(nullptr, ("*SIZE " + request.text).c_str());
      break;
    }
  }
  const bool listing = request.kind == Kind::List;
  curl_easy_setopt(m_easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(m_easy, CURLOPT_NOBODY, request.kind == Kind::Get || listing ? 0L : 1L);
  curl_easy_setopt(m_easy, CURLOPT_CUSTOMREQUEST,
                   listing && m_listingForm == ListingForm::Machine ? "MLSD" : nullptr);
  curl_easy_setopt(m_easy, CURLOPT_DIRLISTONLY, listing && m_listingForm == ListingForm::NamesOnly ? 1L : 0L);
  curl_easy_setopt(m_easy, CURLOPT_PREQUOTE, m_preQuote);
  m_active = std::move(request);
  if (curl_multi_add_handle(m_multi, m_easy) != CURLM_OK) {
    if (m_active->fd >= 0) ::close(m_active->fd);
    Deliver(*m_active, 12004);
    m_active.reset();
    return;
  }
  m_inMulti = true;
}

void CurlFtpSession::Perform() {
  int running = 0;
  curl_multi_perform(m_multi, &running);
  int left = 0;
  while (CURLMsg* message = curl_multi_info_read(m_multi, &left)) {
    if (message->msg == CURLMSG_DONE && message->easy_handle == m_easy && m_active) {
      OnDone(message->data.result);
      if (!m_active) break;
    }
  }
}

void CurlFtpSession::OnDone(CURLcode code) {
  curl_multi_remove_handle(m_multi, m_easy);
  m_inMulti = false;
  Request request = std::move(*m_active);
  m_active.reset();
  long reply = 0;
  curl_easy_getinfo(m_easy, CURLINFO_RESPONSE_CODE, &reply);

  if (request.kind == Kind::List && m_listingForm != ListingForm::NamesOnly) {
    // A server that does not know MLSD, or lists in a layout that cannot be read, is asked again
    // in the next simpler way.
    std::vector<FtpEntry> entries;
    const bool refused = code != CURLE_OK && reply >= 500 && reply <= 504;
    const bool unreadable = code == CURLE_OK && !ParseListing(m_listing, m_listingForm, entries);
    if (refused || unreadable) {
      m_listingForm = m_listingForm == ListingForm::Machine ? ListingForm::Unix : ListingForm::NamesOnly;
      Start(std::move(request));
      return;
    }
  }

  int savedErrno = m_writeErrno;
  if (code != CURLE_WRITE_ERROR) {
    long osErrno = 0;
    curl_easy_getinfo(m_easy, CURLINFO_OS_ERRNO, &osErrno);
    savedErrno = static_cast<int>(osErrno);
  }
  ResultCode result = CurlResultCode(code, savedErrno);
  if (code == CURLE_WRITE_ERROR && m_tooLarge) result = kErrorFileTooLarge;

  std::vector<FtpEntry> entries;
  switch (request.kind) {
    case Kind::ChangeDirectory:
      if (result == kErrorSuccess) m_folder = request.text;
      break;
    case Kind::List:
      if (result == kErrorSuccess) ParseListing(m_listing, m_listingForm, entries);
      break;
    case Kind::Get:
      if (result == kErrorSuccess && m_announcedSize != 0 && m_received != m_announcedSize) {
        result = kConnectionAborted;
      }
      ::close(request.fd);
      request.fd = -1;
      break;
    default:
      break;
  }
  if (result == kExtendedError) {
    const std::string line = m_lastReply;
    const auto number = static_cast<std::uint32_t>(reply);
    // Kept for the error's text just before the result is delivered.
    request.done = [done = std::move(request.done), number, line](ResultCode r) {
      SetLastServerResponse(number, line);
      if (done) done(r);
    };
    if (request.listDone) {
      request.listDone = [done = std::move(request.listDone), number, line](ResultCode r, std::vector<FtpEntry> e) {
        SetLastServerResponse(number, line);
        done(r, std::move(e));
      };
    }
  }
  Deliver(request, result, std::move(entries));
}

void CurlFtpSession::Abandon() {
  if (!m_active) return;
  if (m_inMulti) curl_multi_remove_handle(m_multi, m_easy);
  m_inMulti = false;
  if (m_active->fd >= 0) ::close(m_active->fd);
  m_active.reset();
}

void CurlFtpSession::Deliver(Request& request, ResultCode result, std::vector<FtpEntry> entries) {
  m_host.Post([alive = m_aliveWatch, this, generation = request.generation, done = std::move(request.done),
               listDone = std::move(request.listDone), result, entries = std::move(entries)]() mutable {
    if (alive.expired() || generation != m_generation) return;
    if (listDone) listDone(result, std::move(entries));
    if (done) done(result);
  });
}

void CurlFtpSession::CloseConnections() {
  // The pool of the multi handle holds the logged-in connection; cleaning it up says QUIT.
  CURLM* fresh = curl_multi_init();
  CURLM* old = nullptr;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    old = m_multi;
    m_multi = fresh;
  }
  if (old != nullptr) curl_multi_cleanup(old);
  m_baseUrl.clear();
  m_folder.clear();
}

void CurlFtpSession::ShutdownSockets() {
  std::lock_guard<std::mutex> lock(m_socketMutex);
  for (const int fd : m_sockets) ::shutdown(fd, SHUT_RDWR);
}

std::size_t CurlFtpSession::OnWrite(char* data, std::size_t size, std::size_t count, void* context) {
  auto* self = static_cast<CurlFtpSession*>(context);
  const std::size_t bytes = size * count;
  if (!self->m_active) return 0;
  if (self->m_active->kind == Kind::List) {
    if (self->m_listing.size() + bytes > kMostListingBytes) {
      self->m_tooLarge = true;
      return 0;
    }
    self->m_listing.append(data, bytes);
    return bytes;
  }
  if (self->m_active->kind != Kind::Get) return bytes;
  if (self->m_received + bytes > kMostFileBytes) {
    self->m_tooLarge = true;
    return 0;
  }
  for (std::size_t done = 0; done < bytes;) {
    const ssize_t n = ::write(self->m_active->fd, data + done, bytes - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      self->m_writeErrno = n < 0 ? errno : ENOSPC;
      return 0;
    }
    done += static_cast<std::size_t>(n);
  }
  self->m_received += bytes;
  return bytes;
}

int CurlFtpSession::OnProgress(void* context, curl_off_t total, curl_off_t, curl_off_t, curl_off_t) {
  auto* self = static_cast<CurlFtpSession*>(context);
  if (!self->m_active || self->m_active->kind != Kind::Get || !self->m_active->progress) return 0;
  const auto now = std::chrono::steady_clock::now();
  if (self->m_received == 0 || now - self->m_lastProgress < kProgressInterval) return 0;
  self->m_lastProgress = now;
  const std::uint64_t size = self->m_announcedSize != 0 ? self->m_announcedSize : static_cast<std::uint64_t>(total);
  self->m_host.Post([alive = self->m_aliveWatch, self, generation = self->m_active->generation,
                     progress = self->m_active->progress, received = self->m_received, size] {
    if (alive.expired() || generation != self->m_generation) return;
    progress(received, size);
  });
  return 0;
}

int CurlFtpSession::OnDebug(CURL*, curl_infotype type, char* data, std::size_t size, void* context) {
  if (type != CURLINFO_HEADER_IN) return 0;
  auto* self = static_cast<CurlFtpSession*>(context);
  std::string line(data, size);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  if (line.empty()) return 0;
  self->m_lastReply = line;
  if (self->m_active && self->m_active->kind == Kind::Get && line.rfind("213 ", 0) == 0) {
    self->m_announcedSize = std::strtoull(line.c_str() + 4, nullptr, 10);
  }
  return 0;
}

curl_socket_t CurlFtpSession::OnOpenSocket(void* context, curlsocktype, curl_sockaddr* address) {
  auto* self = static_cast<CurlFtpSession*>(context);
  const int fd = ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
  if (fd < 0) return CURL_SOCKET_BAD;
  std::lock_guard<std::mutex> lock(self->m_socketMutex);
  self->m_sockets.insert(fd);
  return fd;
}

int CurlFtpSession::OnCloseSocket(void* context, curl_socket_t fd) {
  auto* self = static_cast<CurlFtpSession*>(context);
  std::lock_guard<std::mutex> lock(self->m_socketMutex);
  self->m_sockets.erase(fd);
  return ::close(fd);
}

}  // namespace

std::unique_ptr<FtpSession> MakeFtpSession(Host& host, FtpTimeouts timeouts) {
  return std::make_unique<CurlFtpSession>(host, timeouts);
}

}  // namespace tola
