#pragma once
// The "Firmware" tab: where the firmware files are, which revision the amplifier runs and which the
// folder offers, sending the firmware, and the program's main activity log.

#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "firmware/FirmwareFolder.h"
#include "operations/SendFirmware.h"
#include "ui/ValueBinding.h"
#include "ui/pages/Page.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace tola {

class ActivityLog;
class PrepareFirmwareDialog;
class SendingFirmwareDialog;

class FirmwarePage : public Page, private SendFirmwareUi {
  Q_OBJECT

 public:
  // Brings new files from the maker's file server into the folder of the choice it is given.
  using CopyFiles = std::function<void(const FirmwareChoice& choice)>;
  // The folder browser: (owner, caption, folder to start in) -> the chosen folder, empty if none.
  using ChooseFolder = std::function<QString(QWidget* owner, const QString& caption, const QString& start)>;

  FirmwarePage(AppState& app, CopyFiles copyFiles, QWidget* parent = nullptr);
  ~FirmwarePage() override;

  void Activated() override;
  void Deactivated() override;
  void OnPageLogLine(const std::string& text) override;
  QString HelpTopic() const override { return QStringLiteral("Firmware.htm"); }

  // "Send Firmware to TOLA400" is running (one of its dialogs is open).
  bool IsSending() const { return m_sending; }
  // Ends the running send as its open dialog would be closed: a running load asks first. True when
  // the dialog has closed; SendEnded follows once the operation has finished.
  bool EndSending();

  // Tests answer the browser without a real dialog.
  void SetFolderChooser(ChooseFolder choose) { m_chooseFolder = std::move(choose); }

  QLineEdit& FolderEdit() const { return *m_folder; }
  QPushButton& DefaultButton() const { return *m_default; }
  QPushButton& BrowseButton() const { return *m_browse; }
  QPushButton& CheckButton() const { return *m_check; }
  QPushButton& CopyButton() const { return *m_copy; }
  QPushButton& SendButton() const { return *m_send; }
  QLabel& InstalledLabel() const { return *m_installed; }
  QLabel& AvailableLabel() const { return *m_available; }
  ActivityLog& Log() const { return *m_log; }

 signals:
  void SendEnded();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void OnDefault();
  void OnBrowse();
  void OnCheckRevision();
  void OnCopyNewFiles();
  void OnSendFirmware();
  void CheckFolder(bool withMessage);
  void ApplyTypedFolder();
  void StartTest();
  void UpdateSendEnabled();

  // The load's window front end.
  void AppendPageLog(const std::string& text) override;
  void ShowPrepareDialog() override;
  int ShowSendingDialog() override;
  void UpdateSendButton() override { UpdateSendEnabled(); }

  CopyFiles m_copyFiles;
  ChooseFolder m_chooseFolder;
  FirmwareChoice m_choice;
  // The operator has typed in the folder edit since it took the focus.
  bool m_typed = false;
  bool m_sending = false;
  QPointer<PrepareFirmwareDialog> m_prepareDialog;
  QPointer<SendingFirmwareDialog> m_sendingDialog;

  QLineEdit* m_folder = nullptr;
  QPushButton* m_default = nullptr;
  QPushButton* m_browse = nullptr;
  QPushButton* m_check = nullptr;
  QPushButton* m_copy = nullptr;
  QLabel* m_installed = nullptr;
  QLabel* m_available = nullptr;
  QPushButton* m_send = nullptr;
  ActivityLog* m_log = nullptr;
  std::vector<std::unique_ptr<ValueBinding>> m_bindings;
};

}  // namespace tola
