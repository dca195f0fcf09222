#pragma once
// The "Command Tester" tab: type commands at the amplifier, send the sixteen macros, read what it
// answers.

#include <QColor>

#include <array>
#include <memory>
#include <vector>

#include "app/Settings.h"
#include "ui/ValueBinding.h"
#include "ui/pages/Page.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace tola {

class ActivityLog;

class CommandTesterPage : public Page {
  Q_OBJECT

 public:
  // What the operator typed or a macro sent, and what came back.
  static inline const QColor kEchoColour{0, 0x99, 0};
  static inline const QColor kResponseColour{Qt::black};
  // Bytes taken from the port per serial event.
  static constexpr std::uint32_t kReadChunk = 64;

  explicit CommandTesterPage(AppState& app, QWidget* parent = nullptr);
  ~CommandTesterPage() override;

  QString HelpTopic() const override { return QStringLiteral("CommandTester.htm"); }
  void Activated() override;
  void Deactivated() override;
  void OnSerialEvent() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Send(const QString& text);
  void SendMacro(std::size_t index);
  void OnCommandTextChanged(const QString& text);
  void EditMacros();
  void ClearOutput();
  void UpdateEnabling();
  void UpdateCaption(std::size_t index);
  void ShowHelp(const QString& topic);
  std::vector<QWidget*> Controls() const;

  QLabel* m_prompt = nullptr;
  QLineEdit* m_command = nullptr;
  QPushButton* m_editMacros = nullptr;
  QPushButton* m_clear = nullptr;
  std::array<QPushButton*, kMacroCount> m_macros{};
  ActivityLog* m_output = nullptr;
  // Where the keyboard goes after a send, so that Space on a macro button sends it again.
  QWidget* m_focusTarget = nullptr;
  // The command box was disabled when the tab was selected: it takes the focus once enabled.
  bool m_focusPending = false;
  std::vector<std::unique_ptr<ValueBinding>> m_bindings;
};

}  // namespace tola
