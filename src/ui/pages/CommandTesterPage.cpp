#include "ui/pages/CommandTesterPage.h"

#include <QApplication>
#include <QEvent>
#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/AppState.h"
#include "app/Format.h"
#include "ui/MainWindow.h"
#include "ui/UiText.h"
#include "ui/dialogs/EditMacrosDialog.h"
#include "ui/help/HelpWindow.h"
#include "ui/widgets/ActivityLog.h"

namespace tola {

namespace {

constexpr int kMacroColumns = 4;

}  // namespace

CommandTesterPage::CommandTesterPage(AppState& app, QWidget* parent)
    : Page(app, parent) {
  m_prompt = new QLabel(StringQt(kIdsCommandPrompt), this);
  m_command = new QLineEdit(this);
  m_command->setObjectName(QStringLiteral("commandBox"));
  QFont font(QStringLiteral("Courier New"), 10);
  font.setStyleHint(QFont::TypeWriter);
  m_command->setFont(font);
  m_command->setAccessibleName(StringQt(kIdsCommandPrompt));
  m_prompt->setBuddy(m_command);
  m_command->installEventFilter(this);
  connect(m_command, &QLineEdit::textChanged, this, &CommandTesterPage::OnCommandTextChanged);

  m_editMacros = new QPushButton(StringQt(kIdsEditMacros), this);
  m_editMacros->setObjectName(QStringLiteral("editMacros"));
  connect(m_editMacros, &QPushButton::clicked, this, &CommandTesterPage::EditMacros);
  m_clear = new QPushButton(StringQt(kIdsClearOutput), this);
  m_clear->setObjectName(QStringLiteral("clear"));
  m_clear->setToolTip(StringQt(kIdsTipClearOutput));
  connect(m_clear, &QPushButton::clicked, this, &CommandTesterPage::ClearOutput);

  auto* commandRow = new QHBoxLayout;
  commandRow->addWidget(m_command, 1);
  commandRow->addWidget(m_editMacros);
  commandRow->addWidget(m_clear);

  auto* macroGrid = new QGridLayout;
  for (std::size_t i = 0; i < kMacroCount; ++i) {
    // Captions are the operator's own and may be long: the grid shares the width evenly, and a
    // button is never narrower than its default caption needs.
    auto* button = new QPushButton(ToQt(FormatText(LoadString(kIdsMacroCaption), static_cast<unsigned>(i + 1))), this);
    button->setObjectName(QStringLiteral("macro%1").arg(i + 1));
    button->setMinimumWidth(button->sizeHint().width());
    button->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    connect(button, &QPushButton::clicked, this, [this, i] { SendMacro(i); });
    const int cell = static_cast<int>(i);
    macroGrid->addWidget(button, cell / kMacroColumns, cell % kMacroColumns);
    m_macros[i] = button;
  }
  for (int column = 0; column < kMacroColumns; ++column) macroGrid->setColumnStretch(column, 1);

  m_output = new ActivityLog(this);
  m_output->setObjectName(QStringLiteral("output"));
  m_output->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  m_output->setAccessibleName(StringQt(kIdsCommandOutputName));

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_prompt);
  layout->addLayout(commandRow);
  layout->addLayout(macroGrid);
  layout->addWidget(m_output, 1);

  m_focusTarget = m_command;
  // Right before the tab is first shown; the bindings keep it right while it shows.
  UpdateEnabling();
  for (std::size_t i = 0; i < kMacroCount; ++i) UpdateCaption(i);
}

CommandTesterPage::~CommandTesterPage() = default;

void CommandTesterPage::Activated() {
  AppState& app = App();
  m_bindings.clear();
  m_bindings.push_back(
      std::make_unique<ValueBinding>(app.ConnectionStateValue(), [this](std::uint32_t) { UpdateEnabling(); }));
  m_bindings.push_back(std::make_unique<ValueBinding>(
      app.commandCaptions, [this](std::uint32_t index) { UpdateCaption(index); }));
  m_command->setFocus();
  m_focusPending = !m_command->isEnabled();
}

void CommandTesterPage::Deactivated() {
  m_bindings.clear();
  m_focusPending = false;
}

void CommandTesterPage::OnSerialEvent() {
  char buffer[kReadChunk];
  std::uint32_t count = 0;
  if (!App().SerialPort().Read(buffer, kReadChunk, count) || count == 0) return;
  QByteArray bytes(buffer, static_cast<qsizetype>(count));
  bytes.replace('\r', QByteArray());
  // The amplifier speaks single bytes: each shows as the character with the same code.
  m_output->AppendColoured(FromQt(QString::fromLatin1(bytes)), kResponseColour);
}

bool CommandTesterPage::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_command && event->type() == QEvent::KeyPress) {
    m_focusTarget = m_command;
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      Send(m_command->text());
      return true;
    }
  }
  return Page::eventFilter(watched, event);
}

void CommandTesterPage::Send(const QString& text) {
  if (text.isEmpty() || App().ConnectionState() == kConnectionNone) return;
  m_command->clear();
  const std::string bytes = FromQt(text);
  m_output->AppendColoured(bytes, kEchoColour);
  App().SendCommandText(bytes);
  m_output->AppendColoured("\r\n", kEchoColour);
  if (m_focusTarget != nullptr) m_focusTarget->setFocus();
}

void CommandTesterPage::SendMacro(std::size_t index) {
  m_focusTarget = m_macros[index];
  Send(m_command->text() + ToQt(App().commandTexts.At(index)));
}

void CommandTesterPage::OnCommandTextChanged(const QString& text) {
  if (text.endsWith(QLatin1Char(';'))) Send(text);
}

void CommandTesterPage::EditMacros() {
  m_focusTarget = m_editMacros;
  EditMacrosDialog dialog(App(), [this](const QString& topic) { ShowHelp(topic); }, this);
  dialog.exec();
}

void CommandTesterPage::ClearOutput() {
  m_focusTarget = m_clear;
  m_output->Clear();
}

void CommandTesterPage::ShowHelp(const QString& topic) {
  if (auto* main = qobject_cast<MainWindow*>(window())) main->Help().ShowTopic(topic);
}

std::vector<QWidget*> CommandTesterPage::Controls() const {
  std::vector<QWidget*> controls{m_prompt, m_command, m_editMacros, m_clear};
  controls.insert(controls.end(), m_macros.begin(), m_macros.end());
  controls.push_back(m_output);
  return controls;
}

void CommandTesterPage::UpdateEnabling() {
  const bool inContact = App().ConnectionState() != kConnectionNone;
  for (QWidget* control : Controls()) control->setEnabled(inContact);
  if (inContact && m_focusPending) {
    m_focusPending = false;
    // Not when the operator has gone to another window meanwhile.
    const QWidget* focus = QApplication::focusWidget();
    if (focus == nullptr || focus->window() == window()) m_command->setFocus();
  }
}

void CommandTesterPage::UpdateCaption(std::size_t index) {
  if (index < kMacroCount) m_macros[index]->setText(ToQt(App().commandCaptions.At(index)));
}

}  // namespace tola
