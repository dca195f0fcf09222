#include "ui/dialogs/ConfigurationFileDialogs.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "formats/EepromCommands.h"
#include "ui/UiText.h"
#include "ui/widgets/DialogUnits.h"

namespace tola {

namespace {

bool IsFolder(const QString& path) { return !path.isEmpty() && QFileInfo(path).isDir(); }

}  // namespace

ConfigurationProgressDialog::ConfigurationProgressDialog(AppState& app, const char* caption, const char* text,
                                                         const char* button, QWidget* parent)
    : QDialog(parent), m_app(app) {
  setWindowTitle(ToQt(caption));
  auto* label = new QLabel(ToQt(text), this);
  m_progress = new QProgressBar(this);
  m_progress->setObjectName(QStringLiteral("operationProgress"));
  m_progress->setAccessibleName(StringQt(kIdsLoadProgressName));
  m_progress->setTextVisible(false);
  m_progress->setRange(0, 1);
  m_progress->setValue(0);
  label->setBuddy(m_progress);
  m_button = new QPushButton(ToQt(button), this);
  m_button->setObjectName(QStringLiteral("operationButton"));
  m_button->setDefault(true);
  connect(m_button, &QPushButton::clicked, this, [this] {
    if (!Closed()) ButtonPressed();
  });

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label);
  layout->addWidget(m_progress);
  layout->addStretch(1);
  auto* buttonRow = new QHBoxLayout;
  buttonRow->addStretch(1);
  buttonRow->addWidget(m_button);
  layout->addLayout(buttonRow);
  // Narrower, the bar would say little about how far the operation has come.
  setMinimumWidth(DialogUnits(*this, 160, 0).width());
  resize(DialogUnits(*this, 220, 62).expandedTo(sizeHint()));
}

ConfigurationProgressDialog::~ConfigurationProgressDialog() = default;

void ConfigurationProgressDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (m_begun) return;
  m_begun = true;
  m_button->setFocus();
  // The machine sets both values when it starts; until then the bar stays as built.
  m_bindings.push_back(std::make_unique<ValueBinding>(
      m_app.progressRange,
      [this](std::uint32_t) { m_progress->setRange(0, static_cast<int>(std::max<std::uint32_t>(m_app.progressRange.Get(), 1))); },
      ValueBinding::Initial::Quiet));
  m_bindings.push_back(std::make_unique<ValueBinding>(
      m_app.progressPosition,
      [this](std::uint32_t) {
        m_progress->setValue(static_cast<int>(std::min<std::uint32_t>(m_app.progressPosition.Get(),
                                                                      static_cast<std::uint32_t>(m_progress->maximum()))));
      },
      ValueBinding::Initial::Quiet));
  // From inside the dialog's own loop, so that an operation that ends at once can still close it.
  QTimer::singleShot(0, this, [this] { Begin(); });
}

void ConfigurationProgressDialog::reject() {
  if (Closed()) {
    QDialog::reject();
    return;
  }
  ButtonPressed();
}

QString ConfigurationProgressDialog::Choose(ConfigurationFileMode mode, const std::string& folder,
                                            const std::string& proposedName) {
  return m_choose ? m_choose(this, mode, ToQt(folder), ToQt(proposedName)) : QString();
}

void ConfigurationProgressDialog::Redraw(bool busy, const char* buttonCaption) {
  ShowBusy(*this, *m_button, busy);
  m_button->setText(ToQt(buttonCaption));
}

SaveConfigurationDialog::SaveConfigurationDialog(AppState& app, QWidget* parent)
    : ConfigurationProgressDialog(app, ConfigSaveController::kCaption, ConfigSaveController::kText,
                                  ConfigSaveController::kCancelButton, parent),
      m_controller(app) {
  setObjectName(QStringLiteral("saveConfiguration"));
  Progress().setRange(0, static_cast<int>(kMem2Size + kMem3Size));
  m_controller.onRefresh = [this] { Redraw(m_controller.Busy(), m_controller.ButtonCaption()); };
  m_controller.onClosed = [this](int result) {
    Redraw(false, m_controller.ButtonCaption());
    done(result);
  };
}

SaveConfigurationDialog::~SaveConfigurationDialog() = default;

void SaveConfigurationDialog::Begin() {
  if (!m_controller.Open()) {
    done(ConfigSaveController::kResultNotSaved);
    return;
  }
  for (;;) {
    // A stored folder that is gone cannot be offered; nor can a name typed into a folder that does
    // not exist be saved. Both count as an invalid name: once more from the default folder.
    const std::string folder = m_controller.Folder();
    QString path;
    bool invalidName = !IsFolder(ToQt(folder));
    if (!invalidName) {
      path = Choose(ConfigurationFileMode::Save, folder, m_controller.ProposedName());
      invalidName = !path.isEmpty() && !IsFolder(QFileInfo(path).absolutePath());
    }
    if (!path.isEmpty() && !invalidName) {
      m_controller.FileChosen(FromQt(path));
      return;
    }
    if (!m_controller.FileDialogFailed(invalidName)) return;
  }
}

RestoreConfigurationDialog::RestoreConfigurationDialog(AppState& app, QWidget* parent)
    : ConfigurationProgressDialog(app, ConfigRestoreController::kCaption, ConfigRestoreController::kText,
                                  ConfigRestoreController::kCancelButton, parent),
      m_controller(app) {
  setObjectName(QStringLiteral("restoreConfiguration"));
  m_controller.onRefresh = [this] { Redraw(m_controller.Busy(), ConfigRestoreController::kCancelButton); };
  m_controller.onClosed = [this](int result) {
    Redraw(false, ConfigRestoreController::kCancelButton);
    done(result);
  };
}

RestoreConfigurationDialog::~RestoreConfigurationDialog() = default;

void RestoreConfigurationDialog::Begin() {
  if (!m_controller.Open()) {
    done(ConfigRestoreController::kResultNotRestored);
    return;
  }
  const QString path = Choose(ConfigurationFileMode::Open, m_controller.Folder(), std::string());
  if (path.isEmpty()) {
    m_controller.NoFileChosen();
    return;
  }
  m_controller.FileChosen(FromQt(path));
}

}  // namespace tola
