#pragma once
// "Edit Macros": the captions and texts of the Command Tester's sixteen macro buttons, one row per
// button, stored when the operator saves.

#include <QDialog>

#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "app/Settings.h"
#include "ui/ValueBinding.h"

class QLineEdit;

namespace tola {

class AppState;

class EditMacrosDialog : public QDialog {
  Q_OBJECT

 public:
  // `showHelp` opens a help topic ("CommandTester.htm#macroButtons").
  EditMacrosDialog(AppState& app, std::function<void(const QString& topic)> showHelp, QWidget* parent);
  ~EditMacrosDialog() override;

  static QString HelpTopic() { return QStringLiteral("CommandTester.htm#macroButtons"); }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Save();
  void FillCaption(std::size_t index);
  void FillText(std::size_t index);

  AppState& m_app;
  std::function<void(const QString&)> m_showHelp;
  std::array<QLineEdit*, kMacroCount> m_captions{};
  std::array<QLineEdit*, kMacroCount> m_texts{};
  std::vector<std::unique_ptr<ValueBinding>> m_bindings;
  bool m_filled = false;
};

}  // namespace tola
