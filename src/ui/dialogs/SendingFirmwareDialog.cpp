#include "ui/dialogs/SendingFirmwareDialog.h"

#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/QtHost.h"
#include "ui/UiText.h"
#include "ui/widgets/ActivityLog.h"
#include "ui/widgets/DialogUnits.h"

namespace tola {

SendingFirmwareDialog::SendingFirmwareDialog(AppState& app, QWidget* parent)
    : QDialog(parent), m_controller(app, *this) {
  setObjectName(QStringLiteral("sendingFirmwareDialog"));
  setSizeGripEnabled(true);
  m_log = new ActivityLog(this);
  m_log->setObjectName(QStringLiteral("loadLog"));
  m_log->setAccessibleName(StringQt(kIdsActivityLogGroup));
  m_progress = new QProgressBar(this);
  m_progress->setObjectName(QStringLiteral("loadProgress"));
  m_progress->setAccessibleName(StringQt(kIdsLoadProgressName));
  m_progress->setRange(0, 1);
  m_progress->setValue(0);
  m_button = new QPushButton(StringQt(kIdsCancel), this);
  m_button->setObjectName(QStringLiteral("cancel"));
  m_button->setAutoDefault(false);
  connect(m_button, &QPushButton::clicked, this, &SendingFirmwareDialog::reject);

  // The log takes every pixel the dialog gains; the bar widens under it; the button keeps to the
  // lower right corner.
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_log, 1);
  layout->addWidget(m_progress);
  auto* buttonRow = new QHBoxLayout;
  buttonRow->addStretch(1);
  buttonRow->addWidget(m_button);
  layout->addLayout(buttonRow);

  resize(DialogUnits(*this, 429, 169));
}

SendingFirmwareDialog::~SendingFirmwareDialog() = default;

int SendingFirmwareDialog::Run() {
  m_controller.Open();
  return exec();
}

void SendingFirmwareDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (m_started) return;
  m_started = true;
  // Escape and Enter reach the button at once; the log is a click or a Tab away.
  m_button->setFocus();
  // From inside the dialog's own loop, so that a load that ends at once can still close it.
  QTimer::singleShot(0, this, [this] { m_controller.Show(); });
}

void SendingFirmwareDialog::reject() { RequestClose(); }

bool SendingFirmwareDialog::RequestClose() {
  if (!m_controller.IsRunning()) return m_controller.RequestClose();
  if (m_asking) return false;
  // Asked here rather than through the core, whose boxes hold timers and serial events until they
  // close: the load must go on while the operator decides, or "No" would cost it a time-out.
  m_asking = true;
  const BoxAnswer answer = AnswerFromQt(ShowMessageBox(
      this, SendingFirmwareController::kCloseQuestion, SendingFirmwareController::kCloseQuestionCaption,
      BoxButtons::YesNo, BoxIcon::Warning, BoxAnswer::No, "closeQuestion"));
  m_asking = false;
  // The load may have ended (and the dialog closed) while the question was open.
  if (answer == BoxAnswer::Yes && !m_controller.IsClosed()) m_controller.CloseConfirmed();
  return m_controller.IsClosed();
}

void SendingFirmwareDialog::AppendLog(const std::string& text) { m_log->AppendLine(text); }

void SendingFirmwareDialog::SetTitle(const std::string& title) { setWindowTitle(ToQt(title)); }

void SendingFirmwareDialog::SetProgressRange(std::uint32_t maximum) {
  m_progress->setRange(0, static_cast<int>(maximum));
}

void SendingFirmwareDialog::SetProgressPosition(std::uint32_t position) {
  m_progress->setValue(static_cast<int>(position));
}

void SendingFirmwareDialog::SetBusy(bool busy) { ShowBusy(*this, *m_button, busy); }

void SendingFirmwareDialog::SetButtonCaption(const std::string& caption) { m_button->setText(ToQt(caption)); }

void SendingFirmwareDialog::CloseView(int result) { QDialog::done(result); }

}  // namespace tola
