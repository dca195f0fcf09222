#pragma once
// What the "Save TOLA400 Configuration" dialog does, without its widgets: it proposes a file, runs a
// ConfigSaveMachine as AppState's operation machine, writes the file when the machine succeeded,
// and says what to log, what to show and when to close. A view (or the command line) passes the
// operator's actions in and redraws when told.

#include <cstdint>
#include <functional>
#include <string>

#include "app/AppState.h"
#include "operations/ConfigSaveMachine.h"
#include "operations/OperationSlot.h"

namespace tola {

// "Cannot save to "<path>": <text of code>".
std::string DestinationFault(const std::string& path, ResultCode code);

class ConfigSaveController {
 public:
  static constexpr const char* kCaption = "Save TOLA400 Configuration";
  static constexpr const char* kText = "Saving configuration";
  static constexpr const char* kCancelButton = "Cancel";
  static constexpr const char* kCloseButton = "Close";
  static constexpr const char* kFolderName = "TOLA Configuration";
  static constexpr const char* kCancelledLine = "Save configuration was cancelled";
  static constexpr const char* kFailedLine = "Failed to save configuration";
  static constexpr const char* kSavedLine = "Configuration was saved";
  // Dialog results.
  static constexpr int kResultSaved = 1;
  static constexpr int kResultNotSaved = 2;

  // Takes the save time: the file's name and header carry it, however long the reading takes.
  explicit ConfigSaveController(AppState& app);
  ~ConfigSaveController();
  ConfigSaveController(const ConfigSaveController&) = delete;
  ConfigSaveController& operator=(const ConfigSaveController&) = delete;

  // The view is told to redraw (button caption, busy state) and that the dialog has closed. Both
  // may be called from inside a machine's notice: a view deletes itself later, never in the call.
  std::function<void()> onRefresh;
  std::function<void(int result)> onClosed;

  // The dialog became visible: registers for the machine's notices, installs a new machine and
  // makes sure "ConfigurationFolder" names a folder. False when another machine is still running.
  bool Open();
  // Where the file dialog starts and what it proposes.
  std::string Folder() const { return m_app.configurationFolder.Get(); }
  std::string ProposedName() const;
  std::string ProposedPath() const;
  // The file dialog was cancelled or failed. With an invalid file name (a stored folder that is
  // no longer usable) the folder setting is cleared and true returned once: show the file dialog
  // again, now in the default folder. Otherwise the dialog closes.
  bool FileDialogFailed(bool invalidFileName);
  // The operator chose `path`: the reading starts. False (and the dialog closes) if it could not,
  // among others when the destination cannot be written (reported, and left in Outcome).
  bool FileChosen(const std::string& path);
  // "Cancel" (or "Close" after a failure).
  void CancelPressed();

  bool Closed() const { return m_closed; }
  int DialogResult() const { return m_dialogResult; }
  // 0 when saved, 1223 when cancelled, otherwise the failure (the file write's code included);
  // meaningful once the machine has reported.
  ResultCode Outcome() const { return m_outcome; }
  bool Busy() const { return m_busy; }
  const char* ButtonCaption() const { return m_failed ? kCloseButton : kCancelButton; }
  const LocalTime& SaveTime() const { return m_saveTime; }
  const std::string& Path() const { return m_path; }
  // The machine while it is AppState's operation machine.
  ConfigSaveMachine* Machine() const { return m_slot.Get(); }

 private:
  void OnFinished(ResultCode code);
  void EnsureFolder();
  void Finish(ResultCode code);
  void Close(int result);
  void Refresh() {
    if (onRefresh) onRefresh();
  }

  AppState& m_app;
  LocalTime m_saveTime;
  std::string m_path;
  OperationSlot<ConfigSaveMachine> m_slot;
  bool m_started = false;
  bool m_busy = false;
  bool m_failed = false;
  bool m_folderRetried = false;
  bool m_closed = false;
  int m_dialogResult = kResultNotSaved;
  ResultCode m_outcome = 0;
};

}  // namespace tola
