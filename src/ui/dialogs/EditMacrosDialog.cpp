#include "ui/dialogs/EditMacrosDialog.h"

#include <algorithm>

#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include "app/AppState.h"
#include "app/Format.h"
#include "ui/UiText.h"

namespace tola {

namespace {

QString FieldName(StringId heading, std::size_t index) {
  return ToQt(FormatText(LoadString(kIdsMacroFieldName), LoadString(heading), static_cast<unsigned>(index + 1)));
}

}  // namespace

EditMacrosDialog::EditMacrosDialog(AppState& app, std::function<void(const QString& topic)> showHelp,
                                   QWidget* parent)
    : QDialog(parent), m_app(app), m_showHelp(std::move(showHelp)) {
  setWindowTitle(StringQt(kIdsEditMacros));
  setModal(true);
  setSizeGripEnabled(true);

  auto* grid = new QGridLayout;
  auto* captionHeading = new QLabel(StringQt(kIdsButtonLabelHeading), this);
  auto* textHeading = new QLabel(StringQt(kIdsTextToSendHeading), this);
  grid->addWidget(captionHeading, 0, 1);
  grid->addWidget(textHeading, 0, 2);
  // However small the operator makes the dialog, a heading and a default caption stay readable.
  const QFontMetrics metrics = fontMetrics();
  const int margin = metrics.horizontalAdvance(QStringLiteral("MM"));
  const int captionWidth =
      std::max(metrics.horizontalAdvance(captionHeading->text()),
               metrics.horizontalAdvance(ToQt(FormatText(LoadString(kIdsMacroCaption), 16u)))) +
      margin;
  const int textWidth = std::max(metrics.horizontalAdvance(textHeading->text()) + margin, captionWidth * 3 / 2);
  for (std::size_t i = 0; i < kMacroCount; ++i) {
    const int row = static_cast<int>(i) + 1;
    auto* number = new QLabel(QString::number(row), this);
    number->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_captions[i] = new QLineEdit(this);
    m_captions[i]->setObjectName(QStringLiteral("caption%1").arg(row));
    m_captions[i]->setMinimumWidth(captionWidth);
    m_captions[i]->setAccessibleName(FieldName(kIdsButtonLabelHeading, i));
    number->setBuddy(m_captions[i]);
    m_texts[i] = new QLineEdit(this);
    m_texts[i]->setObjectName(QStringLiteral("text%1").arg(row));
    m_texts[i]->setMinimumWidth(textWidth);
    m_texts[i]->setAccessibleName(FieldName(kIdsTextToSendHeading, i));
    grid->addWidget(number, row, 0);
    grid->addWidget(m_captions[i], row, 1);
    grid->addWidget(m_texts[i], row, 2);
  }
  // The commands are longer than the captions.
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(2, 2);

  auto* save = new QPushButton(StringQt(kIdsSave), this);
  save->setObjectName(QStringLiteral("save"));
  save->setDefault(true);
  auto* cancel = new QPushButton(StringQt(kIdsCancel), this);
  cancel->setObjectName(QStringLiteral("cancel"));
  auto* help = new QPushButton(StringQt(kIdsHelp), this);
  help->setObjectName(QStringLiteral("help"));
  connect(save, &QPushButton::clicked, this, &EditMacrosDialog::Save);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(help, &QPushButton::clicked, this, [this] { m_showHelp(HelpTopic()); });
  auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
  connect(f1, &QShortcut::activated, this, [this] { m_showHelp(HelpTopic()); });

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(save);
  buttons->addWidget(cancel);
  buttons->addWidget(help);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addStretch(1);
  layout->addLayout(buttons);
}

EditMacrosDialog::~EditMacrosDialog() = default;

void EditMacrosDialog::showEvent(QShowEvent* event) {
  if (!m_filled) {
    m_filled = true;
    m_bindings.push_back(
        std::make_unique<ValueBinding>(m_app.commandCaptions, [this](std::uint32_t index) { FillCaption(index); }));
    m_bindings.push_back(
        std::make_unique<ValueBinding>(m_app.commandTexts, [this](std::uint32_t index) { FillText(index); }));
  }
  QDialog::showEvent(event);
}

void EditMacrosDialog::FillCaption(std::size_t index) {
  if (index < kMacroCount) m_captions[index]->setText(ToQt(m_app.commandCaptions.At(index)));
}

void EditMacrosDialog::FillText(std::size_t index) {
  if (index < kMacroCount) m_texts[index]->setText(ToQt(m_app.commandTexts.At(index)));
}

void EditMacrosDialog::Save() {
  // Our own notifications must not refill the boxes half-way through.
  m_bindings.clear();
  for (std::size_t i = 0; i < kMacroCount; ++i) {
    m_app.commandCaptions.ChangeAt(i, FromQt(m_captions[i]->text()));
    m_app.commandTexts.ChangeAt(i, FromQt(m_texts[i]->text()));
  }
  accept();
}

}  // namespace tola
