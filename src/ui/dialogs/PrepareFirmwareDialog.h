#pragma once
// "Prepare TOLA to Receive Firmware": tells the operator to switch the amplifier off and on, and
// closes by itself once its bootstrap loader answers.

#include <QDialog>

#include <array>

#include "operations/SendFirmware.h"

class QLabel;
class QPushButton;

namespace tola {

class PrepareFirmwareDialog : public QDialog, private PrepareFirmwareView {
  Q_OBJECT

 public:
  PrepareFirmwareDialog(AppState& app, QWidget* parent = nullptr);
  ~PrepareFirmwareDialog() override;

  // Shows the instructions and waits, modally, until the loader answers or the operator cancels.
  void Run();

  QPushButton& CancelButton() const { return *m_cancel; }
  const QLabel& Line(unsigned index) const { return *m_lines.at(index); }

 public slots:
  // "Cancel", Escape and the close box.
  void reject() override;

 private:
  void SetInstructionLine(unsigned index, const std::string& text) override;
  void CloseView() override;

  PrepareFirmwareController m_controller;
  std::array<QLabel*, 3> m_lines{};
  QPushButton* m_cancel = nullptr;
};

}  // namespace tola
