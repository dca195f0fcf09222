#pragma once
// "Sending TOLA400 Firmware": runs one firmware load and shows its log and progress. Closing it
// while the load runs asks first.

#include <QDialog>

#include "operations/SendFirmware.h"

class QProgressBar;
class QPushButton;

namespace tola {

class ActivityLog;

class SendingFirmwareDialog : public QDialog, private SendingFirmwareView {
  Q_OBJECT

 public:
  SendingFirmwareDialog(AppState& app, QWidget* parent = nullptr);
  ~SendingFirmwareDialog() override;

  // Runs the load modally; 1 when it and the revision check succeeded, 2 otherwise.
  int Run();
  // The close box, Escape, "Cancel" and the main window's close: while the load runs the operator
  // is asked first, and the load goes on while the question is open. True when the dialog has
  // closed.
  bool RequestClose();
  bool IsLoading() const { return m_controller.IsRunning(); }

  ActivityLog& Log() const { return *m_log; }
  QProgressBar& Progress() const { return *m_progress; }
  QPushButton& Button() const { return *m_button; }

 public slots:
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void AppendLog(const std::string& text) override;
  void SetTitle(const std::string& title) override;
  void SetProgressRange(std::uint32_t maximum) override;
  void SetProgressPosition(std::uint32_t position) override;
  void SetBusy(bool busy) override;
  void SetButtonCaption(const std::string& caption) override;
  void CloseView(int result) override;

  SendingFirmwareController m_controller;
  ActivityLog* m_log = nullptr;
  QProgressBar* m_progress = nullptr;
  QPushButton* m_button = nullptr;
  bool m_started = false;
  bool m_asking = false;
};

}  // namespace tola
