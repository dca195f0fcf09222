#include "firmware/FileServerCopy.h"

#include "app/AppState.h"
#include "app/ErrorText.h"
#include "firmware/FtpProtocol.h"
#include "formats/FirmwareImage.h"
#include "platform/AtomicFile.h"
#include "platform/FileSystem.h"
#include "resources/Strings.h"

namespace tola {

namespace {

constexpr const char* kOpeningLine = "Opening connection to %s";
constexpr const char* kConnectedText = "Connected to Ostravel server\nPlease be patient, this takes a few seconds";
constexpr const char* kStartedTrace = "%s started";
constexpr const char* kNavigatingTrace = "Navigating to %s";
constexpr const char* kFoundFileTrace = "Found file \"%s\"";
constexpr const char* kCopyingLine = "Copying files to %s";
constexpr const char* kCopiedLine = "Copied %s from Ostravel";
constexpr const char* kUnableLine = "Unable to copy file %s";
constexpr const char* kCopiedAllLine = "Copied %u files from Ostravel to %s";
constexpr const char* kVerifiedTrace = "%s verification succeeded";
constexpr const char* kVerifyFailedLine = "Verification of firmware file %s failed";
constexpr const char* kDeletedTrace = "%s deleted";
constexpr const char* kCloseCaption = "Close";

constexpr const char* kRequestErrorTrace = "CFtpDlg::OnInternetStatusRequestComplete dwResult 0x%04X dwError 0x%08X: %s";
constexpr const char* kOpeningDoneTrace = "OnInternetStatusRequestComplete OpeningSession dwResult 0x%08X dwError %u";
constexpr const char* kNavigatingDoneTrace = "OnInternetStatusRequestComplete NavigatingDirectory";
constexpr const char* kNavigatingFailedTrace = "OnInternetStatusRequestComplete NavigatingDirectory dwResult %u dwError 0x%08X";
constexpr const char* kFirstFileDoneTrace = "OnInternetStatusRequestComplete FindingFirstFile";
constexpr const char* kNoMoreFilesTrace = "OnInternetStatusRequestComplete FindingNextFile ERROR_NO_MORE_FILES";
constexpr const char* kGettingDoneTrace = "OnInternetStatusRequestComplete GettingFile dwResult %u dwError 0x%08X";
constexpr const char* kClosedTrace = "CFtpDlg::OnInternetStatus INTERNET_STATUS_CONNECTION_CLOSED State %u dwErrorCode 0x%08X";
constexpr const char* kFinishTrace = "CFtpDlg::Finish %s State %u dwErrorCode 0x%08X fForceError %u";

constexpr ResultCode kNoMoreFiles = 18;

// A listed name as a trace line can carry it: control bytes as \xHH.
std::string Printable(const std::string& name) {
  std::string text;
  for (const char c : name) {
    const auto u = static_cast<unsigned char>(c);
    text += u < 0x20 || u == 0x7F ? FormatText("\\x%02X", unsigned{u}) : std::string(1, c);
  }
  return text;
}

}  // namespace

FileServerCopy::FileServerCopy(AppState& app, FileServerCopyView& view, std::unique_ptr<FtpSession> session,
                               std::string localFolder, FirmwareChoice localChoice)
    : m_app(app),
      m_view(view),
      m_session(std::move(session)),
      m_localFolder(std::move(localFolder)),
      m_localChoice(std::move(localChoice)) {}

FileServerCopy::~FileServerCopy() {
  // The session first: once it is cancelled nothing writes the temporary file any more.
  if (m_session) m_session->Cancel();
  m_session.reset();
  m_transfer.reset();
}

// ---------------------------------------------------------------------------------------------
// Lines

void FileServerCopy::Report(const std::string& text) {
  m_view.AppendLog(text);
  m_app.LogLine(text);
}

void FileServerCopy::ReportVerbose(const std::string& text) {
  m_view.AppendLog(text);
  m_app.LogVerbose(text);
}

void FileServerCopy::Show(const std::string& text) { m_view.AppendLog(text); }

void FileServerCopy::Trace(const std::string& text) {
  if (m_app.trace.Get() != 0) m_view.AppendLog(text);
}

void FileServerCopy::TraceRequestComplete(ResultCode result) {
  if (result != kErrorSuccess && result != kNoMoreFiles) Trace(FormatText(kRequestErrorTrace, 0u, result, ErrorText(result)));
}

void FileServerCopy::SetBusy(bool busy) {
  if (busy == m_busy) return;
  m_busy = busy;
  m_view.SetBusy(busy);
}

// ---------------------------------------------------------------------------------------------
// The dialog's life

bool FileServerCopy::Open() {
  if (m_app.EnsureFolderExists(m_localFolder)) return true;
  EndView(kResultFailure);
  return false;
}

void FileServerCopy::Run() {
  if (m_ran || m_closed) return;
  m_ran = true;
  SetBusy(true);
  m_fetchList.clear();
  m_currentIndex = -1;
  const std::string server = m_app.FileServer();
  Report(FormatText(kOpeningLine, server));
  m_state = State::OpeningSession;
  m_session->Connect(server, [this](ResultCode result) { OnConnected(result); });
  Trace(FormatText(kStartedTrace, "InternetConnect"));
}

void FileServerCopy::PressButton() {
  if (m_closed) return;
  if (m_state != State::Idle) {
    m_cancelled = true;
    m_session->Cancel();
    m_transfer.reset();
    Finish(kErrorCancelled, "Cancel Button", false);
    return;
  }
  EndView(m_resultCode != kErrorSuccess ? kResultFailure : kResultSuccess);
}

bool FileServerCopy::RequestClose() {
  if (m_closed) return true;
  if (m_state != State::Idle) return false;
  PressButton();
  return true;
}

void FileServerCopy::EndView(int result) {
  if (m_closed) return;
  m_closed = true;
  m_result = result;
  SetBusy(false);
  m_view.CloseView(result);
}

bool FileServerCopy::StopIfCancelled(const char* operation) {
  if (!m_cancelled) return false;
  SetLastError(kErrorCancelled);
  m_resultCode = kErrorCancelled;
  Finish(kErrorCancelled, operation, true);
  return true;
}

// ---------------------------------------------------------------------------------------------
// The conversation

void FileServerCopy::OnConnected(ResultCode result) {
  TraceRequestComplete(result);
  if (result == kErrorSuccess) {
    m_connected = true;
    Show(kConnectedText);
  }
  Trace(FormatText(kOpeningDoneTrace, result == kErrorSuccess ? 1u : 0u, result));
  if (result != kErrorSuccess) return Finish(result, "InternetConnect", false);
  Navigate();
}

void FileServerCopy::Navigate() {
  if (StopIfCancelled("Open Session")) return;
  if (!m_connected) return Finish(m_resultCode, "Open Session", true);
  Trace(FormatText(kNavigatingTrace, kRemoteFolder));
  m_state = State::NavigatingDirectory;
  m_session->ChangeDirectory(kRemoteFolder, [this](ResultCode result) { OnNavigated(result); });
  Trace(FormatText(kStartedTrace, "FtpSetCurrentDirectory"));
}

void FileServerCopy::OnNavigated(ResultCode result) {
  TraceRequestComplete(result);
  Trace(kNavigatingDoneTrace);
  if (result == kErrorSuccess) return StartListing();
  Trace(FormatText(kNavigatingFailedTrace, 0u, result));
  Finish(result, "FtpSetCurrentDirectory", true);
}

void FileServerCopy::StartListing() {
  if (StopIfCancelled("Directory Navigation Complete")) return;
  m_state = State::FindingFirstFile;
  m_remoteChoice = {};
  m_session->List([this](ResultCode result, std::vector<FtpEntry> entries) { OnListed(result, entries); });
  Trace(FormatText(kStartedTrace, "FtpFindFirstFile"));
}

void FileServerCopy::OnListed(ResultCode result, const std::vector<FtpEntry>& entries) {
  TraceRequestComplete(result);
  Trace(kFirstFileDoneTrace);
  if (result != kErrorSuccess) return Finish(result, "FtpFindFile", true);
  if (StopIfCancelled("File Find Complete")) return;
  std::vector<std::string> names;
  for (const FtpEntry& entry : entries) {
    if (entry.isDirectory) continue;
    // The name becomes a local path: one that could reach outside the folder, or that no file
    // could carry, is never classified, so it is never fetched.
    if (!IsPlainFileName(entry.name)) {
      Trace(FormatText(LoadString(kIdsFtpNameIgnored), Printable(entry.name)));
      continue;
    }
    Trace(FormatText(kFoundFileTrace, entry.name));
    names.push_back(entry.name);
  }
  m_remoteChoice = ChooseFirmware("", names);
  m_state = State::FindingNextFile;
  Trace(kNoMoreFilesTrace);
  Decide();
}

void FileServerCopy::Decide() {
  if (StopIfCancelled("Directory Read Complete")) return;
  if (m_remoteChoice.HasFirmware()) {
    const bool newer = !m_localChoice.HasFirmware() || m_localChoice.firmwareRevision < m_remoteChoice.firmwareRevision;
    if (newer || !Validate(m_localChoice.firmwareFile, m_localChoice.firmwareFile)) {
      m_fetchList.push_back(m_remoteChoice.firmwareFile);
    }
  }
  if (!m_remoteChoice.notesFile.empty() && (!m_fetchList.empty() || m_localChoice.notesFile.empty())) {
    m_fetchList.push_back(m_remoteChoice.notesFile);
  }
  if (m_fetchList.empty()) return AllCopied();
  m_attempts = 0;
  Report(FormatText(kCopyingLine, m_localFolder));
  CopyStep();
}

void FileServerCopy::CopyStep() {
  if (StopIfCancelled("File Copy Complete")) return;
  if (m_currentIndex >= 0) {
    const std::string& name = m_fetchList[static_cast<std::size_t>(m_currentIndex)];
    const std::string target = JoinPath(m_localFolder, name);
    const std::string temporary = m_transfer->TemporaryPath();
    if (Validate(temporary, target)) {
      if (Install(target)) {
        Report(FormatText(kCopiedLine, name));
        ++m_copied;
      }
      m_attempts = 0;
    } else {
      m_transfer.reset();
      if (++m_attempts > 2) {
        Report(FormatText(kUnableLine, name));
        m_errorReported = true;
        m_attempts = 0;
      } else {
        --m_currentIndex;  // the same file again
      }
    }
  }
  ++m_currentIndex;
  if (static_cast<std::size_t>(m_currentIndex) >= m_fetchList.size()) return AllCopied();
  if (StopIfCancelled("File Copy")) return;
  m_state = State::GettingFile;
  const std::string name = m_fetchList[static_cast<std::size_t>(m_currentIndex)];
  // Each transfer lands in a file of its own beside the target, which replaces the target only
  // once it has been checked: a transfer cut short never takes the place of a good file.
  m_transfer = std::make_unique<AtomicFile>();
  if (const ResultCode created = m_transfer->Create(JoinPath(m_localFolder, name)); created != kErrorSuccess) {
    m_transfer.reset();
    return Finish(created, "FtpGetFile", true);
  }
  // The session writes the temporary by its name (on Windows an open handle of ours would lock it).
  m_transfer->HandOver();
  m_session->Get(
      name, m_transfer->TemporaryPath(),
      [this, name](std::uint64_t received, std::uint64_t total) { m_view.SetTransferProgress(name, received, total); },
      [this](ResultCode result) { OnGot(result); });
  Trace(FormatText(kStartedTrace, "FtpGetFile"));
}

void FileServerCopy::OnGot(ResultCode result) {
  TraceRequestComplete(result);
  Trace(FormatText(kGettingDoneTrace, result == kErrorSuccess ? 1u : 0u, result));
  if (result == kErrorSuccess) return CopyStep();
  m_transfer.reset();
  Finish(result, "FtpGetFile", true);
}

bool FileServerCopy::Validate(const std::string& path, const std::string& shownPath) {
  if (!IsHexFileName(FileNameOf(shownPath))) return true;
  FirmwareImage image;
  if (image.Scan(path)) {
    Trace(FormatText(kVerifiedTrace, shownPath));
    return true;
  }
  ResultCode code = GetLastError();
  if (code == kErrorSuccess) code = kErrorGenFailure;
  Report(FormatText(kVerifyFailedLine, shownPath));
  Report(FirmwareFileFault(image.LineNumber(), code));
  if (const ResultCode failed = RemoveFile(path); failed == kErrorSuccess) {
    Trace(FormatText(kDeletedTrace, path));
  } else {
    Report(FormatText(LoadString(kIdsCallFailed), "DeleteFile", path, failed, ErrorText(failed)));
    m_errorReported = true;
  }
  SetLastError(code);
  return false;
}

bool FileServerCopy::Install(const std::string& target) {
  // Synced to the disk, renamed over the target, the folder synced: the new file survives a crash.
  const ResultCode committed = m_transfer->Commit();
  m_transfer.reset();
  if (committed == kErrorSuccess) return true;
  Report(FormatText(LoadString(kIdsCallFailed), "MoveFile", target, committed, ErrorText(committed)));
  m_errorReported = true;
  return false;
}

void FileServerCopy::AllCopied() {
  if (!m_fetchList.empty()) {
    Report(FormatText(kCopiedAllLine, static_cast<unsigned>(m_fetchList.size()), m_localFolder));
  }
  Finish(kErrorSuccess, "All Copy Complete", false);
}

void FileServerCopy::Finish(ResultCode code, const char* operation, bool forced) {
  Trace(FormatText(kFinishTrace, operation, static_cast<unsigned>(m_state), code, forced ? 1u : 0u));
  m_resultCode = code;
  m_filesNotCopied = static_cast<unsigned>(m_fetchList.size()) - m_copied;
  if (forced || code != kErrorSuccess) {
    Report(FormatText(LoadString(kIdsAsyncCompletedWithError), operation, code, ErrorText(code)));
    m_errorReported = true;
  }
  if (code == kErrorCancelled) return EndView(kResultFailure);
  if (m_connected) {
    // The closing of the connection finishes once more, with code 0.
    m_connected = false;
    m_state = State::Closing;
    m_session->Close([this](ResultCode) { OnClosed(); });
    return;
  }
  SetBusy(false);
  m_state = State::Idle;
  if (m_resultCode == kErrorSuccess && m_app.trace.Get() == 0) return EndView(kResultSuccess);
  m_view.SetButtonCaption(kCloseCaption);
  Report(LoadString(kIdsClickCloseToClose));
}

void FileServerCopy::OnClosed() {
  Trace(FormatText(kClosedTrace, static_cast<unsigned>(m_state), 0u));
  m_state = State::Closed;
  Finish(kErrorSuccess, "Session Closed", false);
}

}  // namespace tola
