#pragma once
// The "Configuration" tab: six buttons, each opening the modal dialog of one operation on the
// amplifier's configuration. They are usable only while the amplifier is connected and identified.

#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "ui/ValueBinding.h"
#include "ui/dialogs/ConfigurationFileChooser.h"
#include "ui/pages/Page.h"

class QPushButton;

namespace tola {

class HelpWindow;

class ConfigurationPage : public Page {
  Q_OBJECT

 public:
  // The buttons, top to bottom.
  enum Button { kEdit, kSave, kRestore, kFaults, kErase, kReset, kButtonCount };
  // The firmware that first has the antenna-enable editing (01.18).
  static constexpr unsigned kFirstEditRevision = 118;

  // `help` gives the help window the configuration sheet's Help button opens.
  ConfigurationPage(AppState& app, std::function<HelpWindow&()> help, QWidget* parent = nullptr);
  ~ConfigurationPage() override;

  void Activated() override;
  void Deactivated() override;
  QString HelpTopic() const override { return QStringLiteral("Configuration.htm"); }

  // Tests answer the save and restore file dialogs without a window.
  void SetFileChooser(ConfigurationFileChooser choose) { m_choose = std::move(choose); }

  QPushButton& ButtonAt(Button button) const { return *m_buttons[button]; }

 private:
  void UpdateEnabling();
  void OpenEditSheet();
  void OpenSaveDialog();
  void OpenRestoreDialog();
  void OpenFaultTable();
  void OpenEraseDialog();
  void OpenResetDialog();

  std::function<HelpWindow&()> m_help;
  std::array<QPushButton*, kButtonCount> m_buttons{};
  ConfigurationFileChooser m_choose = ChooseConfigurationFile;
  std::vector<std::unique_ptr<ValueBinding>> m_bindings;
};

}  // namespace tola
