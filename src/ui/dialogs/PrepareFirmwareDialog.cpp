#include "ui/dialogs/PrepareFirmwareDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/UiText.h"

namespace tola {

PrepareFirmwareDialog::PrepareFirmwareDialog(AppState& app, QWidget* parent)
    : QDialog(parent), m_controller(app, *this) {
  setObjectName(QStringLiteral("prepareFirmwareDialog"));
  setWindowTitle(QString::fromLatin1(PrepareFirmwareController::kTitle));
  auto* layout = new QVBoxLayout(this);
  for (QLabel*& line : m_lines) {
    line = new QLabel(this);
    line->setTextFormat(Qt::PlainText);
    layout->addWidget(line);
  }
  auto* buttons = new QDialogButtonBox(this);
  m_cancel = buttons->addButton(StringQt(kIdsCancel), QDialogButtonBox::RejectRole);
  m_cancel->setObjectName(QStringLiteral("cancel"));
  layout->addSpacing(layout->spacing());
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::rejected, this, &PrepareFirmwareDialog::reject);
  // Three short lines and a button: nothing to gain from resizing.
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

PrepareFirmwareDialog::~PrepareFirmwareDialog() = default;

void PrepareFirmwareDialog::Run() {
  m_controller.Open();
  // The loader may have answered already; then there is nothing to wait for.
  if (m_controller.IsOpen()) exec();
}

void PrepareFirmwareDialog::reject() { m_controller.Cancel(); }

void PrepareFirmwareDialog::SetInstructionLine(unsigned index, const std::string& text) {
  if (index < m_lines.size()) m_lines[index]->setText(ToQt(text));
}

void PrepareFirmwareDialog::CloseView() { QDialog::done(QDialog::Rejected); }

}  // namespace tola
