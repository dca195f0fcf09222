#pragma once
// "Reset to Factory Default Configuration": one button sends the reset and closes the dialog at
// once; nothing is confirmed or shown afterwards.

#include <QDialog>

#include "operations/ConfigCommandFlows.h"

class QPushButton;

namespace tola {

class ResetConfigurationDialog : public QDialog {
  Q_OBJECT

 public:
  ResetConfigurationDialog(AppState& app, QWidget* parent);
  ~ResetConfigurationDialog() override;

  QPushButton& ResetButton() const { return *m_reset; }
  QPushButton& CloseButton() const { return *m_close; }

 public slots:
  void done(int result) override;

 private:
  ResetConfigurationFlow m_flow;
  QPushButton* m_reset = nullptr;
  QPushButton* m_close = nullptr;
};

}  // namespace tola
