#pragma once
// The "Command Tester" tab: type commands at the amplifier, send the sixteen macros, read what it
// answers.

#include "ui/pages/Page.h"

namespace tola {

class CommandTesterPage : public Page {
  Q_OBJECT

 public:
  explicit CommandTesterPage(AppState& app, QWidget* parent = nullptr);

  QString HelpTopic() const override { return QStringLiteral("CommandTester.htm"); }
};

}  // namespace tola
