#pragma once
// What the "Restore TOLA400 Configuration" dialog does, without its widgets: it reads and checks
// the chosen file into a ConfigRestoreMachine (asking through the Host when the file belongs to
// another amplifier), runs the machine as AppState's operation machine, asks before interrupting
// it, and says what to log, what to show and when to close.

#include <cstdint>
#include <functional>
#include <string>

#include "app/AppState.h"
#include "formats/ConfigurationFile.h"
#include "operations/ConfigRestoreMachine.h"
#include "operations/OperationSlot.h"

namespace tola {

// Whether to restore from a file made on another amplifier: refused outright, except in advanced
// mode, where the operator may go on after a warning. True to go on.
bool SerialMismatchAccepted(LogChannel& log, bool advancedMode);
// What the reading of a configuration file means for a restore: a refused file is reported (the
// log line and its box), a file of another amplifier is asked about. 0 when the restore may go on.
ResultCode JudgeConfigurationFile(const ConfigurationReport& report, bool advancedMode, LogChannel& log);

class ConfigRestoreController {
 public:
  static constexpr const char* kCaption = "Restore TOLA400 Configuration";
  static constexpr const char* kText = "Restoring configuration";
  static constexpr const char* kCancelButton = "Cancel";
  static constexpr const char* kInterruptCaption = "Critical Operation in Progress";
  static constexpr const char* kInterruptQuestion = "Are you sure you wish to interrupt configuration restore?";
  static constexpr const char* kInterruptedNotice = "Restore was cancelled. Restore again.";
  static constexpr const char* kRestoredLine = "Configuration was restored";
  static constexpr const char* kCancelledLine = "Restore configuration was cancelled";
  static constexpr const char* kFailedLine = "Failed to restore configuration";
  static constexpr const char* kSerialMismatchCaption = "Serial Number Mismatch";
  static constexpr const char* kSerialMismatchRefused =
      "The Serial Number within the restore file\ndoes not match the Serial Number of your "
      "TOLA400.\n\nRestore cannot continue.";
  static constexpr const char* kSerialMismatchQuestion =
      "The Serial Number within the restore file\ndoes not match the Serial Number of your "
      "TOLA400.\n\nYou really shouldn't restore this amplifier from this file.\nIt very probably "
      "won't help.\n\nIf you continue anyway, all calibration and\nconfiguration steps may need to be "
      "redone,\nincluding those normally done only at the factory.\n\nPress No to abandon "
      "restore.\nPress Yes to continue anyway.";
  // Dialog results.
  static constexpr int kResultRestored = 1;
  static constexpr int kResultNotRestored = 2;

  explicit ConfigRestoreController(AppState& app);
  ~ConfigRestoreController();
  ConfigRestoreController(const ConfigRestoreController&) = delete;
  ConfigRestoreController& operator=(const ConfigRestoreController&) = delete;

  // As for the save: redraw, and the dialog has closed (never delete the view inside the call).
  std::function<void()> onRefresh;
  std::function<void(int result)> onClosed;

  // The dialog became visible: registers for the machine's notices and installs a new machine.
  // False when another machine is still running.
  bool Open();
  // Where the open-file dialog starts ("ConfigurationFolder").
  std::string Folder() const { return m_app.configurationFolder.Get(); }
  // No file chosen: the dialog closes.
  void NoFileChosen();
  // Reads and verifies `path` into the machine (every problem already reported by the reader) and
  // starts the machine; on any failure the dialog closes with nothing sent to the amplifier.
  bool FileChosen(const std::string& path);
  // "Cancel" or the window's close: closes an idle dialog, else asks whether to interrupt.
  void CloseRequested();

  bool Closed() const { return m_closed; }
  int DialogResult() const { return m_dialogResult; }
  // The reader's code when the file was refused, else the machine's result once it has reported.
  ResultCode Outcome() const { return m_outcome; }
  bool Busy() const { return m_busy; }
  // The machine while it is AppState's operation machine.
  ConfigRestoreMachine* Machine() const { return m_slot.Get(); }

 private:
  void OnFinished(ResultCode code);
  void Close(int result);
  void Refresh() {
    if (onRefresh) onRefresh();
  }

  AppState& m_app;
  OperationSlot<ConfigRestoreMachine> m_slot;
  bool m_started = false;
  bool m_busy = false;
  bool m_closed = false;
  int m_dialogResult = kResultNotRestored;
  ResultCode m_outcome = 0;
};

}  // namespace tola
