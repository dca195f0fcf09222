#pragma once
// "Fault Table (Newest Entry at Top)": reads the amplifier's fault ring as soon as it is shown and
// lists it newest first. "Close" ends it at once, also while reading; selected rows copy to the
// clipboard as tab-separated lines.

#include <QDialog>

#include "operations/FaultTableController.h"

class QPushButton;
class QTreeWidget;

namespace tola {

class FaultTableDialog : public QDialog {
  Q_OBJECT

 public:
  explicit FaultTableDialog(AppState& app, QWidget* parent = nullptr);
  ~FaultTableDialog() override;

  int Run() { return exec(); }
  // The selected rows, one tab-separated line each, in list order.
  QString SelectedRowsText() const;

  FaultTableController& Controller() { return m_controller; }
  QTreeWidget& List() const { return *m_list; }
  QPushButton& Button() const { return *m_button; }

 public slots:
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Refresh();
  void Fill();
  void CopySelection();

  FaultTableController m_controller;
  QTreeWidget* m_list = nullptr;
  QPushButton* m_button = nullptr;
  bool m_begun = false;
  bool m_filled = false;
};

}  // namespace tola
