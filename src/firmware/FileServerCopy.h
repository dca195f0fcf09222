#pragma once
// "Copy New Files from Ostravel": log in to the maker's file server, list "TOLA/firmware", and copy
// into the local firmware folder the newest firmware file when it is newer than the local one or the
// local one is damaged, and the release notes when they are needed. Every copied firmware file is
// checked with the Intel HEX reader and fetched again when it fails, three attempts in all.
//
// The controller behind the "Copy Files from Ostravel File Server" dialog and `tola copy-firmware`.
// It runs on the user-interface thread over an FtpSession and says through its view what to show.
// A name from the server's listing becomes a local file name only when it is a plain file name, and
// each transfer lands in a temporary file of the folder that replaces the local file only once it
// has been checked, so nothing outside the folder is written and no partial file is ever left.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "firmware/FirmwareFolder.h"
#include "firmware/FtpSession.h"
#include "platform/ResultCode.h"

namespace tola {

class AppState;
class AtomicFile;

class FileServerCopyView {
 public:
  virtual ~FileServerCopyView() = default;
  // One line of the dialog's log (line breaks inside as "\n" or "\r\n").
  virtual void AppendLog(const std::string& text) = 0;
  // The wait cursor (everywhere but over the button) while the conversation runs.
  virtual void SetBusy(bool busy) = 0;
  // "Cancel" becomes "Close" once the conversation has ended and the dialog stays open.
  virtual void SetButtonCaption(const std::string& caption) = 0;
  // The file being fetched: bytes so far and its size (0 when unknown).
  virtual void SetTransferProgress(const std::string& name, std::uint64_t received, std::uint64_t total) = 0;
  // The dialog ends with `result` (1 success, 2 failure or cancelled); called once.
  virtual void CloseView(int result) = 0;
};

class FileServerCopy {
 public:
  static constexpr int kResultSuccess = 1;
  static constexpr int kResultFailure = 2;
  static constexpr const char* kTitle = "Copy Files from Ostravel File Server";
  static constexpr const char* kRemoteFolder = "TOLA/firmware";

  // The value of the conversation's state; the numbers are the ones the trace lines show.
  enum class State : unsigned {
    Idle = 0,
    OpeningSession = 1,
    NavigatingDirectory = 2,
    FindingFirstFile = 3,
    FindingNextFile = 4,
    GettingFile = 5,
    Closing = 6,
    Closed = 7,
  };

  // `localChoice` is the Firmware page's choice, refreshed just before the dialog opens.
  FileServerCopy(AppState& app, FileServerCopyView& view, std::unique_ptr<FtpSession> session,
                 std::string localFolder, FirmwareChoice localChoice);
  // Ends a conversation still running; nothing is delivered afterwards.
  ~FileServerCopy();
  FileServerCopy(const FileServerCopy&) = delete;
  FileServerCopy& operator=(const FileServerCopy&) = delete;

  // On opening: makes sure the local folder exists (asking to create it). False when it does not;
  // the view has then been closed with 2.
  bool Open();
  // When shown: connects to the file server of AppState's settings and copies.
  void Run();
  // The "Cancel"/"Close" button: cancels a running conversation (result 2), else closes.
  void PressButton();
  // The window's close box: ignored while the conversation runs. True when the dialog closed.
  bool RequestClose();

  State GetState() const { return m_state; }
  bool IsBusy() const { return m_state != State::Idle; }
  bool IsClosed() const { return m_closed; }
  int Result() const { return m_result; }
  // The last error code; 0 after a clean end.
  ResultCode LastResult() const { return m_resultCode; }
  // For the command line, which must not call a run that lost a file a success: the files that were
  // not copied, and whether any error line was reported on the way.
  unsigned FilesNotCopied() const { return m_filesNotCopied; }
  bool ErrorReported() const { return m_errorReported; }
  // Remote names to copy, in order (the count of the final line).
  const std::vector<std::string>& FetchList() const { return m_fetchList; }

 private:
  AppState& m_app;
  FileServerCopyView& m_view;
  std::unique_ptr<FtpSession> m_session;
  std::string m_localFolder;
  FirmwareChoice m_localChoice;
  FirmwareChoice m_remoteChoice;
  std::vector<std::string> m_fetchList;
  State m_state = State::Idle;
  bool m_closed = false;
  int m_result = 0;
  ResultCode m_resultCode = kErrorSuccess;
  unsigned m_filesNotCopied = 0;
  bool m_errorReported = false;
  // The implementation adds what it needs below.
  void Report(const std::string& text);
  void ReportVerbose(const std::string& text);
  void Show(const std::string& text);
  void Trace(const std::string& text);
  void TraceRequestComplete(ResultCode result);
  void SetBusy(bool busy);
  bool StopIfCancelled(const char* operation);
  void OnConnected(ResultCode result);
  void Navigate();
  void OnNavigated(ResultCode result);
  void StartListing();
  void OnListed(ResultCode result, const std::vector<FtpEntry>& entries);
  void Decide();
  void CopyStep();
  void OnGot(ResultCode result);
  bool Validate(const std::string& path, const std::string& shownPath);
  bool Install(const std::string& target);
  void AllCopied();
  void Finish(ResultCode code, const char* operation, bool forced);
  void OnClosed();
  void EndView(int result);

  bool m_ran = false;
  bool m_busy = false;
  bool m_cancelled = false;
  bool m_connected = false;
  int m_currentIndex = -1;
  unsigned m_attempts = 0;
  unsigned m_copied = 0;
  // The transfer's landing place beside its target until it has been checked and renamed.
  std::unique_ptr<AtomicFile> m_transfer;
};

}  // namespace tola
