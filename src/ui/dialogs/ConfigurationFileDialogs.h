#pragma once
// "Save TOLA400 Configuration" and "Restore TOLA400 Configuration": small modal progress dialogs
// over the save and restore controllers. Each asks for its file once it is on the screen, shows
// the operation's progress, and its one button (also Escape and the close box) cancels.

#include <QDialog>

#include <memory>
#include <vector>

#include "operations/ConfigRestoreController.h"
#include "operations/ConfigSaveController.h"
#include "ui/ValueBinding.h"
#include "ui/dialogs/ConfigurationFileChooser.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace tola {

class ConfigurationProgressDialog : public QDialog {
  Q_OBJECT

 public:
  ~ConfigurationProgressDialog() override;

  // Tests answer the file dialog without a window.
  void SetFileChooser(ConfigurationFileChooser choose) { m_choose = std::move(choose); }
  // Shows the dialog until the operation has ended; the controller's dialog result.
  int Run() { return exec(); }

  QProgressBar& Progress() const { return *m_progress; }
  QPushButton& Button() const { return *m_button; }

 public slots:
  // Escape and the close box: the button's work while the dialog is open.
  void reject() override;

 protected:
  ConfigurationProgressDialog(AppState& app, const char* caption, const char* text, const char* button,
                              QWidget* parent);

  void showEvent(QShowEvent* event) override;
  // Once on the screen: opens the operation and asks for the file.
  virtual void Begin() = 0;
  virtual void ButtonPressed() = 0;
  virtual bool Closed() const = 0;

  QString Choose(ConfigurationFileMode mode, const std::string& folder, const std::string& proposedName);
  void Redraw(bool busy, const char* buttonCaption);
  AppState& App() { return m_app; }

 private:
  AppState& m_app;
  ConfigurationFileChooser m_choose = ChooseConfigurationFile;
  QProgressBar* m_progress = nullptr;
  QPushButton* m_button = nullptr;
  std::vector<std::unique_ptr<ValueBinding>> m_bindings;
  bool m_begun = false;
};

class SaveConfigurationDialog : public ConfigurationProgressDialog {
  Q_OBJECT

 public:
  explicit SaveConfigurationDialog(AppState& app, QWidget* parent = nullptr);
  ~SaveConfigurationDialog() override;

  ConfigSaveController& Controller() { return m_controller; }

 protected:
  void Begin() override;
  void ButtonPressed() override { m_controller.CancelPressed(); }
  bool Closed() const override { return m_controller.Closed(); }

 private:
  ConfigSaveController m_controller;
};

class RestoreConfigurationDialog : public ConfigurationProgressDialog {
  Q_OBJECT

 public:
  explicit RestoreConfigurationDialog(AppState& app, QWidget* parent = nullptr);
  ~RestoreConfigurationDialog() override;

  ConfigRestoreController& Controller() { return m_controller; }

 protected:
  void Begin() override;
  void ButtonPressed() override { m_controller.CloseRequested(); }
  bool Closed() const override { return m_controller.Closed(); }

 private:
  ConfigRestoreController m_controller;
};

}  // namespace tola
