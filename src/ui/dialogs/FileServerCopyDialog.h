#pragma once
// "Copy Files from Ostravel File Server": the window of a FileServerCopy. It shows the copy's log
// and the file being fetched; its one button cancels while the copy runs and closes afterwards, and
// the close box does nothing while the copy runs.

#include <QDialog>

#include <memory>

#include "firmware/FileServerCopy.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace tola {

class ActivityLog;
class AppState;

class FileServerCopyDialog : public QDialog, private FileServerCopyView {
  Q_OBJECT

 public:
  // `session` null: the system's session on the app's host.
  FileServerCopyDialog(AppState& app, const FirmwareChoice& localChoice, std::unique_ptr<FtpSession> session,
                       QWidget* parent);
  ~FileServerCopyDialog() override;

  // The whole copy: makes sure the folder exists, then shows the dialog until it closes. Returns 1
  // on success, 2 on failure or cancellation (also when the folder was not created).
  int Run();

  FileServerCopy& Controller() { return *m_copy; }
  ActivityLog& Log() const { return *m_log; }
  QPushButton& Button() const { return *m_button; }
  QProgressBar& TransferBar() const { return *m_bar; }

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  // Escape is the button, as in any dialog.
  void reject() override;

 private:
  // --- FileServerCopyView
  void AppendLog(const std::string& text) override;
  void SetBusy(bool busy) override;
  void SetButtonCaption(const std::string& caption) override;
  void SetTransferProgress(const std::string& name, std::uint64_t received, std::uint64_t total) override;
  void CloseView(int result) override;

  ActivityLog* m_log = nullptr;
  QLabel* m_transferLabel = nullptr;
  QProgressBar* m_bar = nullptr;
  QPushButton* m_button = nullptr;
  std::unique_ptr<FileServerCopy> m_copy;
  bool m_started = false;
  bool m_closing = false;
};

}  // namespace tola
