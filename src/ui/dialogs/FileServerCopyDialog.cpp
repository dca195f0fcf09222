#include "ui/dialogs/FileServerCopyDialog.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "app/AppState.h"
#include "ui/UiText.h"
#include "ui/widgets/ActivityLog.h"
#include "ui/widgets/DialogUnits.h"

namespace tola {

namespace {

// A file larger than an int's range still moves the bar: it counts in KiB then.
int BarUnits(std::uint64_t bytes, bool inKib) { return static_cast<int>(inKib ? bytes / 1024 : bytes); }

}  // namespace

FileServerCopyDialog::FileServerCopyDialog(AppState& app, const FirmwareChoice& localChoice,
                                           std::unique_ptr<FtpSession> session, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(ToQt(FileServerCopy::kTitle));
  setObjectName(QStringLiteral("fileServerCopy"));
  setSizeGripEnabled(true);

  m_log = new ActivityLog(this);
  m_log->setObjectName(QStringLiteral("copyLog"));
  m_log->setAccessibleName(StringQt(kIdsCopyLogName));
  m_transferLabel = new QLabel(this);
  m_transferLabel->setTextFormat(Qt::PlainText);
  m_bar = new QProgressBar(this);
  m_bar->setObjectName(QStringLiteral("transferProgress"));
  m_transferLabel->setBuddy(m_bar);
  m_button = new QPushButton(StringQt(kIdsCancel), this);
  m_button->setObjectName(QStringLiteral("copyButton"));
  m_button->setDefault(true);
  // Only a transfer has progress to show; until then the row takes no room.
  m_transferLabel->hide();
  m_bar->hide();

  auto* grid = new QGridLayout(this);
  grid->addWidget(m_log, 0, 0, 1, 3);
  grid->addWidget(m_transferLabel, 1, 0);
  grid->addWidget(m_bar, 1, 1, 1, 2);
  grid->addWidget(m_button, 2, 2);
  grid->setRowStretch(0, 1);
  grid->setColumnStretch(1, 1);

  resize(DialogUnits(*this, 384, 169));

  connect(m_button, &QPushButton::clicked, this, [this] { m_copy->PressButton(); });

  if (!session) session = MakeFtpSession(app.GetHost());
  FileServerCopyView& view = *this;
  m_copy = std::make_unique<FileServerCopy>(app, view, std::move(session), app.firmwareFolder.Get(), localChoice);
}

FileServerCopyDialog::~FileServerCopyDialog() {
  // The copy ends (and stops writing to this view) before the widgets go.
  m_copy.reset();
}

int FileServerCopyDialog::Run() {
  if (!m_copy->Open()) return FileServerCopy::kResultFailure;
  return exec();
}

void FileServerCopyDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (m_started) return;
  m_started = true;
  // Once the window is on the screen, so that the first lines are seen as they come.
  QTimer::singleShot(0, this, [this] {
    if (!m_copy->IsClosed()) m_copy->Run();
  });
}

void FileServerCopyDialog::closeEvent(QCloseEvent* event) {
  // While the copy runs the close box does nothing; afterwards the copy decides the result.
  if (!m_closing && !m_copy->IsClosed() && !m_copy->RequestClose()) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void FileServerCopyDialog::reject() {
  if (m_closing || m_copy->IsClosed()) {
    QDialog::reject();
    return;
  }
  m_copy->PressButton();
}

void FileServerCopyDialog::AppendLog(const std::string& text) { m_log->AppendLine(WithNewlines(text)); }

void FileServerCopyDialog::SetBusy(bool busy) {
  ShowBusy(*this, *m_button, busy);
  if (!busy) {
    m_transferLabel->hide();
    m_bar->hide();
  }
}

void FileServerCopyDialog::SetButtonCaption(const std::string& caption) { m_button->setText(ToQt(caption)); }

void FileServerCopyDialog::SetTransferProgress(const std::string& name, std::uint64_t received, std::uint64_t total) {
  m_transferLabel->setText(ToQt(name));
  m_transferLabel->show();
  m_bar->show();
  const bool inKib = total > 0x7FFFFFFF;
  if (total == 0) {
    m_bar->setRange(0, 0);  // size unknown: a busy bar
  } else {
    m_bar->setRange(0, BarUnits(total, inKib));
    m_bar->setValue(BarUnits(std::min(received, total), inKib));
  }
}

void FileServerCopyDialog::CloseView(int result) {
  m_closing = true;
  unsetCursor();
  done(result);
}

}  // namespace tola
