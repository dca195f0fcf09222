#include "ui/dialogs/ResetConfigurationDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/UiText.h"
#include "ui/widgets/DialogUnits.h"

namespace tola {

ResetConfigurationDialog::ResetConfigurationDialog(AppState& app, QWidget* parent) : QDialog(parent), m_flow(app) {
  setObjectName(QStringLiteral("resetConfiguration"));
  setWindowTitle(ToQt(ResetConfigurationFlow::kCaption));

  auto* text = new QLabel(ToQt(ResetConfigurationFlow::kText) + QStringLiteral("\n\n") +
                              ToQt(ResetConfigurationFlow::kWarning),
                          this);
  text->setTextFormat(Qt::PlainText);
  text->setWordWrap(true);
  // Wide enough that each paragraph takes two lines or so, whatever the font.
  text->setMinimumWidth(DialogUnits(*this, 220, 0).width());

  m_reset = new QPushButton(ToQt(ResetConfigurationFlow::kResetButton), this);
  m_reset->setObjectName(QStringLiteral("reset"));
  // The reset cannot be undone: Enter closes, only a deliberate press resets.
  m_reset->setAutoDefault(false);
  m_close = new QPushButton(ToQt(ResetConfigurationFlow::kCloseButton), this);
  m_close->setObjectName(QStringLiteral("close"));
  m_close->setDefault(true);

  auto* buttonRow = new QHBoxLayout;
  buttonRow->addStretch(1);
  buttonRow->addWidget(m_reset);
  buttonRow->addWidget(m_close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text);
  layout->addSpacing(DialogUnits(*this, 0, 4).height());
  layout->addLayout(buttonRow);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(m_reset, &QPushButton::clicked, this, [this] {
    m_flow.Reset();
    accept();
  });
  connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
}

ResetConfigurationDialog::~ResetConfigurationDialog() = default;

void ResetConfigurationDialog::done(int result) {
  // The reset's short wait after sending ends with the dialog; the command is already out.
  m_flow.Close();
  QDialog::done(result);
}

}  // namespace tola
