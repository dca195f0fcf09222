#include "ui/pages/ConfigurationPage.h"

#include <QGridLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

#include "app/AppState.h"
#include "ui/UiText.h"
#include "ui/dialogs/ConfigurationFileDialogs.h"
#include "ui/dialogs/ConfigurationSheet.h"
#include "ui/dialogs/EraseMemoriesDialog.h"
#include "ui/dialogs/FaultTableDialog.h"
#include "ui/dialogs/ResetConfigurationDialog.h"

namespace tola {

namespace {

// 0 (unknown), 9999 (not available) and 0xFFFE (loading) say nothing about what the firmware can.
bool RevisionKnown(std::uint16_t revision) {
  return revision != kRevisionUnknown && revision != kRevisionNotAvailable && revision != kRevisionLoading;
}

}  // namespace

ConfigurationPage::ConfigurationPage(AppState& app, std::function<HelpWindow&()> help, QWidget* parent)
    : Page(app, parent), m_help(std::move(help)) {
  struct Entry {
    StringId caption;
    StringId tip;  // 0: none
    const char* name;
    void (ConfigurationPage::*open)();
  };
  static constexpr Entry kEntries[kButtonCount] = {
      {kIdsEditConfiguration, StringId{}, "editConfiguration", &ConfigurationPage::OpenEditSheet},
      {kIdsSaveConfiguration, kIdsTipSaveConfiguration, "saveConfiguration", &ConfigurationPage::OpenSaveDialog},
      {kIdsRestoreConfiguration, kIdsTipRestoreConfiguration, "restoreConfiguration",
       &ConfigurationPage::OpenRestoreDialog},
      {kIdsDisplayFaultTable, StringId{}, "displayFaultTable", &ConfigurationPage::OpenFaultTable},
      {kIdsEraseTunerMemories, StringId{}, "eraseTunerMemories", &ConfigurationPage::OpenEraseDialog},
      {kIdsResetConfiguration, StringId{}, "resetConfiguration", &ConfigurationPage::OpenResetDialog},
  };

  // One column of equally wide buttons in the page's top left corner.
  auto* column = new QVBoxLayout;
  for (int i = 0; i < kButtonCount; ++i) {
    const Entry& entry = kEntries[i];
    auto* button = new QPushButton(StringQt(entry.caption), this);
    button->setObjectName(QString::fromLatin1(entry.name));
    if (entry.tip != StringId{}) button->setToolTip(StringQt(entry.tip));
    // Enter presses the focused button, as Space does.
    button->setAutoDefault(true);
    button->setEnabled(false);
    connect(button, &QPushButton::clicked, this, entry.open);
    column->addWidget(button);
    m_buttons[i] = button;
  }
  // The longest caption keeps some room on either side, as the others do.
  int widest = 0;
  for (QPushButton* button : m_buttons) widest = std::max(widest, button->sizeHint().width());
  for (QPushButton* button : m_buttons) button->setMinimumWidth(widest + DialogUnits(*this, 16, 0).width());
  auto* grid = new QGridLayout(this);
  grid->addLayout(column, 0, 0);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(1, 1);
}

ConfigurationPage::~ConfigurationPage() = default;

void ConfigurationPage::Activated() {
  m_bindings.clear();
  // The connection state's registration delivers its present value at once.
  m_bindings.push_back(
      std::make_unique<ValueBinding>(App().ConnectionStateValue(), [this](std::uint32_t) { UpdateEnabling(); }));
  m_bindings.push_back(std::make_unique<ValueBinding>(
      App().installedRevision, [this](std::uint32_t) { UpdateEnabling(); }, ValueBinding::Initial::Quiet));
}

void ConfigurationPage::Deactivated() { m_bindings.clear(); }

void ConfigurationPage::UpdateEnabling() {
  const bool ready = App().ConnectionState() == kConnectionFirmware;
  for (QPushButton* button : m_buttons) button->setEnabled(ready);
  const std::uint16_t revision = App().installedRevision.Get();
  if (!RevisionKnown(revision) || revision < kFirstEditRevision) {
    m_buttons[kEdit]->setEnabled(false);
    m_buttons[kSave]->setFocus();
  }
}

void ConfigurationPage::OpenEditSheet() {
  ConfigurationSheet sheet(App(), m_help(), this);
  sheet.exec();
}

void ConfigurationPage::OpenSaveDialog() {
  SaveConfigurationDialog dialog(App(), this);
  dialog.SetFileChooser(m_choose);
  dialog.Run();
}

void ConfigurationPage::OpenRestoreDialog() {
  RestoreConfigurationDialog dialog(App(), this);
  dialog.SetFileChooser(m_choose);
  dialog.Run();
}

void ConfigurationPage::OpenFaultTable() {
  FaultTableDialog dialog(App(), this);
  dialog.Run();
}

void ConfigurationPage::OpenEraseDialog() {
  EraseMemoriesDialog dialog(App(), this);
  dialog.exec();
}

void ConfigurationPage::OpenResetDialog() {
  ResetConfigurationDialog dialog(App(), this);
  dialog.exec();
}

}  // namespace tola
