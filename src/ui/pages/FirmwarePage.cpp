#include "ui/pages/FirmwarePage.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/AppState.h"
#include "app/Format.h"
#include "app/VersionLines.h"
#include "dialogue/ConnectionMachine.h"
#include "ui/UiText.h"
#include "ui/dialogs/PrepareFirmwareDialog.h"
#include "ui/dialogs/SendingFirmwareDialog.h"
#include "ui/widgets/ActivityLog.h"

namespace tola {

namespace {

// The longest path the folder setting was ever allowed to hold.
constexpr int kFolderLimit = 260;

QString SystemFolderChooser(QWidget* owner, const QString& caption, const QString& start) {
  return QFileDialog::getExistingDirectory(owner, caption, start, QFileDialog::ShowDirsOnly);
}

QPushButton* MakeButton(StringId caption, StringId tip, const char* name, QWidget* parent) {
  auto* button = new QPushButton(StringQt(caption), parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setToolTip(StringQt(tip));
  // Enter moves on in this page; it never presses a button (eventFilter).
  button->setAutoDefault(false);
  return button;
}

}  // namespace

FirmwarePage::FirmwarePage(AppState& app, CopyFiles copyFiles, QWidget* parent)
    : Page(app, parent), m_copyFiles(std::move(copyFiles)), m_chooseFolder(SystemFolderChooser) {
  // "Folder Location": the edit widens, its two buttons keep to the right.
  auto* folderGroup = new QGroupBox(StringQt(kIdsFolderLocationGroup), this);
  auto* folderLabel = new QLabel(StringQt(kIdsFirmwareFolderLabel), folderGroup);
  m_folder = new QLineEdit(folderGroup);
  m_folder->setObjectName(QStringLiteral("firmwareFolder"));
  m_folder->setMaxLength(kFolderLimit);
  m_folder->setAccessibleName(folderLabel->text());
  folderLabel->setBuddy(m_folder);
  m_default = MakeButton(kIdsDefaultFolder, kIdsTipDefaultFolder, "defaultFolder", folderGroup);
  m_browse = MakeButton(kIdsBrowseFolder, kIdsTipBrowseFolder, "browseFolder", folderGroup);
  auto* folderGrid = new QGridLayout(folderGroup);
  folderGrid->addWidget(folderLabel, 0, 0);
  folderGrid->addWidget(m_default, 0, 1);
  folderGrid->addWidget(m_browse, 0, 2);
  folderGrid->addWidget(m_folder, 1, 0, 1, 3);
  folderGrid->setColumnStretch(0, 1);

  // "Check for New Files"
  auto* checkGroup = new QGroupBox(StringQt(kIdsCheckNewFilesGroup), this);
  m_check = MakeButton(kIdsCheckRevisionNow, kIdsTipCheckRevision, "checkRevision", checkGroup);
  m_copy = MakeButton(kIdsCopyNewFiles, kIdsTipCopyNewFiles, "copyNewFiles", checkGroup);
  auto* checkRow = new QHBoxLayout(checkGroup);
  checkRow->addWidget(m_check);
  checkRow->addStretch(1);
  checkRow->addWidget(m_copy);

  // "Firmware Revision": captions and values stay put, the send button keeps to the right.
  auto* revisionGroup = new QGroupBox(StringQt(kIdsFirmwareRevisionGroup), this);
  auto* installedCaption = new QLabel(StringQt(kIdsInstalledIn), revisionGroup);
  auto* availableCaption = new QLabel(StringQt(kIdsAvailable), revisionGroup);
  m_installed = new QLabel(ToQt(RevisionText(0)), revisionGroup);
  m_installed->setObjectName(QStringLiteral("installedRevision"));
  m_installed->setAccessibleName(installedCaption->text());
  m_available = new QLabel(ToQt(RevisionText(0)), revisionGroup);
  m_available->setObjectName(QStringLiteral("availableRevision"));
  m_available->setAccessibleName(availableCaption->text());
  // "Loading" is the longest the installed revision gets: the row does not jump when it shows.
  m_installed->setMinimumWidth(m_installed->fontMetrics().horizontalAdvance(ToQt(RevisionText(0xFFFE))));
  m_send = MakeButton(kIdsSendFirmware, kIdsTipSendFirmware, "sendFirmware", revisionGroup);
  auto* revisionGrid = new QGridLayout(revisionGroup);
  revisionGrid->addWidget(installedCaption, 0, 0);
  revisionGrid->addWidget(m_installed, 0, 1);
  revisionGrid->addWidget(availableCaption, 1, 0);
  revisionGrid->addWidget(m_available, 1, 1);
  revisionGrid->addWidget(m_send, 0, 3, 2, 1, Qt::AlignVCenter);
  revisionGrid->setColumnMinimumWidth(1, m_installed->minimumWidth());
  revisionGrid->setColumnStretch(2, 1);

  // "Activity Log" takes whatever room the page has left.
  auto* logGroup = new QGroupBox(StringQt(kIdsActivityLogGroup), this);
  m_log = new ActivityLog(logGroup);
  m_log->setObjectName(QStringLiteral("activityLog"));
  m_log->SetTextLimit(ActivityLog::kFirmwareLogLimit);
  m_log->setAccessibleName(logGroup->title());
  auto* logBox = new QVBoxLayout(logGroup);
  logBox->addWidget(m_log);

  auto* page = new QVBoxLayout(this);
  page->addWidget(folderGroup);
  page->addWidget(checkGroup);
  page->addWidget(revisionGroup);
  page->addWidget(logGroup, 1);

  setTabOrder(m_default, m_browse);
  setTabOrder(m_browse, m_folder);
  setTabOrder(m_folder, m_check);
  setTabOrder(m_check, m_copy);
  setTabOrder(m_copy, m_send);
  setTabOrder(m_send, m_log);
  for (QWidget* control : std::initializer_list<QWidget*>{m_default, m_browse, m_folder, m_check, m_copy, m_send, m_log}) {
    control->installEventFilter(this);
  }
  connect(m_folder, &QLineEdit::textEdited, this, [this] { m_typed = true; });
  connect(m_default, &QPushButton::clicked, this, &FirmwarePage::OnDefault);
  connect(m_browse, &QPushButton::clicked, this, &FirmwarePage::OnBrowse);
  connect(m_check, &QPushButton::clicked, this, &FirmwarePage::OnCheckRevision);
  connect(m_copy, &QPushButton::clicked, this, &FirmwarePage::OnCopyNewFiles);
  connect(m_send, &QPushButton::clicked, this, &FirmwarePage::OnSendFirmware);

  const LocalTime now = App().GetHost().Now();
  m_log->AppendStamped(now, ProgramVersionLine());
  m_log->AppendStamped(now, OperatingSystemLine(CurrentOsVersion()));
  UpdateSendEnabled();
}

FirmwarePage::~FirmwarePage() = default;

void FirmwarePage::Activated() {
  AppState& app = App();
  m_bindings.clear();
  m_bindings.push_back(std::make_unique<ValueBinding>(app.firmwareFolder, [this](std::uint32_t) {
    m_folder->setText(ToQt(App().firmwareFolder.Get()));
    CheckFolder(true);
  }));
  m_bindings.push_back(
      std::make_unique<ValueBinding>(app.ConnectionStateValue(), [this](std::uint32_t) { UpdateSendEnabled(); }));
  m_bindings.push_back(std::make_unique<ValueBinding>(app.installedRevision, [this](std::uint32_t) {
    m_installed->setText(ToQt(RevisionText(App().installedRevision.Get())));
  }));
}

void FirmwarePage::Deactivated() { m_bindings.clear(); }

void FirmwarePage::OnPageLogLine(const std::string& text) { m_log->AppendStamped(App().GetHost().Now(), text); }

bool FirmwarePage::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_folder) {
    if (event->type() == QEvent::FocusIn) {
      m_typed = false;
    } else if (event->type() == QEvent::FocusOut && m_typed) {
      m_typed = false;
      ApplyTypedFolder();
    }
  }
  if (event->type() == QEvent::KeyPress &&
      (static_cast<QKeyEvent*>(event)->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) == 0) {
    // Tab, Shift+Tab and Enter all go on to the next control, so Enter in the edit applies the
    // folder and never presses a button by surprise. Ctrl+Tab still changes the tab.
    switch (static_cast<QKeyEvent*>(event)->key()) {
      case Qt::Key_Tab:
      case Qt::Key_Backtab:
      case Qt::Key_Return:
      case Qt::Key_Enter:
        focusNextChild();
        return true;
      default: break;
    }
  }
  return Page::eventFilter(watched, event);
}

void FirmwarePage::ApplyTypedFolder() {
  const QString typed = m_folder->text().trimmed();
  // Folder names are not told apart by letter case where the setting comes from.
  if (typed.compare(ToQt(App().firmwareFolder.Get()), Qt::CaseInsensitive) != 0) {
    App().firmwareFolder.Change(FromQt(typed));
  }
}

void FirmwarePage::OnDefault() { App().firmwareFolder.Change(App().DefaultFolder("TOLA Firmware")); }

void FirmwarePage::OnBrowse() {
  const QString caption = ToQt(FormatText(LoadString(kIdsSelectFirmwareFolder), "TOLA"));
  const QString chosen = m_chooseFolder(this, caption, ToQt(App().firmwareFolder.Get()));
  if (!chosen.isEmpty()) App().firmwareFolder.Change(FromQt(chosen));
}

void FirmwarePage::CheckFolder(bool withMessage) {
  m_choice = CheckFirmwareFolder(App(), withMessage);
  m_available->setText(ToQt(AvailableRevisionText(m_choice)));
  UpdateSendEnabled();
}

void FirmwarePage::StartTest() {
  if (auto* machine = static_cast<ConnectionMachine*>(App().ConnectionMachine())) machine->StartTest();
}

void FirmwarePage::OnCheckRevision() {
  CheckFolder(true);
  StartTest();
}

void FirmwarePage::OnCopyNewFiles() {
  CheckFolder(false);
  if (m_copyFiles) m_copyFiles(m_choice);
  App().LogLine(LoadString(kIdsReady));
  OnCheckRevision();
}

void FirmwarePage::OnSendFirmware() {
  if (m_sending) return;
  m_sending = true;
  SendFirmware operation(App(), *this);
  operation.Run(m_choice);
  m_sending = false;
  emit SendEnded();
}

bool FirmwarePage::EndSending() {
  if (SendingFirmwareDialog* sending = m_sendingDialog.data(); sending != nullptr) return sending->RequestClose();
  if (PrepareFirmwareDialog* prepare = m_prepareDialog.data(); prepare != nullptr) prepare->reject();
  return true;
}

void FirmwarePage::UpdateSendEnabled() {
  // A focused button that is disabled hands the focus on to the next control (Qt does that).
  m_send->setEnabled(CanSendFirmware(m_choice));
}

void FirmwarePage::AppendPageLog(const std::string& text) { m_log->AppendStamped(App().GetHost().Now(), text); }

void FirmwarePage::ShowPrepareDialog() {
  PrepareFirmwareDialog dialog(App(), this);
  m_prepareDialog = &dialog;
  dialog.Run();
}

int FirmwarePage::ShowSendingDialog() {
  SendingFirmwareDialog dialog(App(), this);
  m_sendingDialog = &dialog;
  return dialog.Run();
}

}  // namespace tola
