#pragma once
// "Send Firmware to TOLA400" as controllers that a window or the command line wraps:
//  - PrepareFirmwareController: the wait for the bootstrap loader while the operator switches the
//    amplifier off and on ("Prepare TOLA to Receive Firmware");
//  - SendingFirmwareController: the "Sending Firmware" dialog, which owns one FirmwareLoadMachine,
//    shows its log and progress, writes the completion lines and decides the dialog's result;
//  - SendFirmware: the operation around them (checks, port speed, clean-up afterwards).
// Each says through its view what to show and when to close; none of them blocks.

#include <array>
#include <cstdint>
#include <string>

#include "app/AppState.h"
#include "firmware/FirmwareFolder.h"
#include "operations/FirmwareLoadMachine.h"

namespace tola {

// ---------------------------------------------------------------------------------------------
// "Prepare TOLA to Receive Firmware"

class PrepareFirmwareView {
 public:
  virtual ~PrepareFirmwareView() = default;
  // One of the three instruction lines (0, 1, 2).
  virtual void SetInstructionLine(unsigned index, const std::string& text) = 0;
  // The dialog ends; called once.
  virtual void CloseView() = 0;
};

class PrepareFirmwareController : public Listener {
 public:
  static constexpr const char* kTitle = "Prepare TOLA to Receive Firmware";

  PrepareFirmwareController(AppState& app, PrepareFirmwareView& view);
  ~PrepareFirmwareController() override;
  PrepareFirmwareController(const PrepareFirmwareController&) = delete;
  PrepareFirmwareController& operator=(const PrepareFirmwareController&) = delete;

  // Shows the instructions and starts watching for the loader; closes by itself once the
  // connection state is no longer 0.
  void Open();
  // The "Cancel" button.
  void Cancel() { Close(); }
  bool IsOpen() const { return m_open; }
  const std::array<std::string, 3>& Lines() const { return m_lines; }

  void OnNotify(std::uint32_t id, std::uint32_t wParam) override;

 private:
  void Close();

  AppState& m_app;
  PrepareFirmwareView& m_view;
  std::array<std::string, 3> m_lines;
  bool m_open = false;
  bool m_registered = false;
};

// ---------------------------------------------------------------------------------------------
// "Sending Firmware"

class SendingFirmwareView {
 public:
  virtual ~SendingFirmwareView() = default;
  virtual void AppendLog(const std::string& text) = 0;
  virtual void SetTitle(const std::string& title) = 0;
  virtual void SetProgressRange(std::uint32_t maximum) = 0;
  virtual void SetProgressPosition(std::uint32_t position) = 0;
  // The wait cursor (everywhere but over the button) while the load runs.
  virtual void SetBusy(bool busy) = 0;
  // "Cancel" becomes "Close" once the load has ended.
  virtual void SetButtonCaption(const std::string& caption) = 0;
  // The dialog ends with `result` (1 success, 2 otherwise); called once.
  virtual void CloseView(int result) = 0;
};

class SendingFirmwareController : public Listener {
 public:
  static constexpr int kResultSuccess = 1;
  static constexpr int kResultFailure = 2;
  static constexpr const char* kCloseQuestionCaption = "Critical Operation in Progress";
  static constexpr const char* kCloseQuestion = "Are you sure you wish to close the TOLA Utility while loading firmware?";

  SendingFirmwareController(AppState& app, SendingFirmwareView& view);
  // Closes the dialog if still open (result 2), which destroys a running machine.
  ~SendingFirmwareController() override;
  SendingFirmwareController(const SendingFirmwareController&) = delete;
  SendingFirmwareController& operator=(const SendingFirmwareController&) = delete;

  // On opening: the version, operating-system and amplifier lines.
  void Open();
  // When shown: builds and installs the machine, follows its progress and starts the load from
  // AppState's firmware file. The completion may come before this returns (a bad file).
  void Show();
  // "Cancel"/"Close" or the window's close box. While the load runs the operator is asked first
  // (Yes/No, "No" the safe answer); true when the dialog closed.
  bool RequestClose();
  // Closing during the load after the operator agreed elsewhere (a front end that asks on its own).
  void CloseConfirmed() { Close(kResultFailure); }

  // True while the machine runs (closing then needs the question).
  bool IsRunning() const;
  // The completion lines have been written.
  bool IsFinished() const { return m_finished; }
  bool IsClosed() const { return m_closed; }
  // The dialog's result once closed: 1 or 2.
  int Result() const { return m_result; }
  // The load's result after the revision check; meaningful once finished.
  ResultCode Completion() const { return m_completion; }
  FirmwareLoadMachine* Machine() const { return m_machine; }

  void OnNotify(std::uint32_t id, std::uint32_t wParam) override;

 private:
  void OnCompletion(ResultCode result);
  // A line of the dialog's own: its log and the main window.
  void DialogLine(const std::string& text);
  void Unregister();
  void Close(int result);

  AppState& m_app;
  SendingFirmwareView& m_view;
  FirmwareLoadMachine* m_machine = nullptr;  // owned by AppState as its operation machine
  bool m_registered = false;
  bool m_finished = false;
  bool m_closed = false;
  int m_result = 0;
  ResultCode m_completion = 0;
};

// ---------------------------------------------------------------------------------------------
// The operation

// What the operation needs from the Firmware page and its modal dialogs.
class SendFirmwareUi {
 public:
  virtual ~SendFirmwareUi() = default;
  // A line for the page's own log (time-stamped there).
  virtual void AppendPageLog(const std::string& text) = 0;
  // Runs "Prepare TOLA to Receive Firmware" (a PrepareFirmwareController) until it closes.
  virtual void ShowPrepareDialog() = 0;
  // Runs "Sending Firmware" (a SendingFirmwareController, Open then Show) until it closes; returns
  // its result, 1 or 2.
  virtual int ShowSendingDialog() = 0;
  // Re-evaluates whether "Send Firmware to TOLA400" may be pressed.
  virtual void UpdateSendButton() = 0;
};

enum class SendFirmwareOutcome {
  NoFirmwareFile,    // the choice held no file: nothing was tried
  UnexpectedDevice,  // another device is connected
  NoLoader,          // nothing answered and the loader was not found (or the wait was cancelled)
  Loaded,            // "Sending Firmware" closed with 1
  Failed,            // the file was refused before anything was sent, or "Sending Firmware" closed with 2
};

class SendFirmware {
 public:
  SendFirmware(AppState& app, SendFirmwareUi& ui) : m_app(app), m_ui(ui) {}

  // The whole operation for the page's firmware choice. It ends with the port speed settled, a new
  // port test started (not waited for) and "Ready" logged.
  SendFirmwareOutcome Run(const FirmwareChoice& choice);
  int DialogResult() const { return m_dialogResult; }

 private:
  // Port and amplifier to `speed`, logged on the page when it changes anything.
  void ChangeSpeed(std::uint32_t speed);

  AppState& m_app;
  SendFirmwareUi& m_ui;
  int m_dialogResult = 0;
};

}  // namespace tola
