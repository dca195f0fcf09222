#pragma once
// The "Port" tab: choose, test and close the serial port the TOLA400 is connected to. The
// connection machine does the work; the page starts it and says what it found in a status box.

#include <functional>
#include <memory>
#include <vector>

#include "serial/PortDiscovery.h"
#include "ui/ValueBinding.h"
#include "ui/pages/Page.h"

class QComboBox;
class QPushButton;

namespace tola {

class PortPage : public Page {
  Q_OBJECT

 public:
  PortPage(AppState& app, std::function<std::vector<PortInfo>()> listPorts, QWidget* parent = nullptr);
  ~PortPage() override;

  void Activated() override;
  void Deactivated() override;
  QString HelpTopic() const override { return QStringLiteral("Port.htm"); }

  QComboBox& PortList() const { return *m_portList; }
  QPushButton& RefreshButton() const { return *m_refresh; }
  QPushButton& TestButton() const { return *m_test; }
  QPushButton& CloseButton() const { return *m_close; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FillPortList();
  // The first entry, in list order, that begins with `name` regardless of case; -1 when none does
  // or the name is empty.
  int EntryFor(const QString& name) const;
  void OnPortChosen(int index);
  void OnRefresh();
  void OnTest();
  void OnClosePort();
  void OnConnectionState();
  void StartTest();
  void StartClosePort();

  std::function<std::vector<PortInfo>()> m_listPorts;
  QComboBox* m_portList = nullptr;
  QPushButton* m_refresh = nullptr;
  QPushButton* m_test = nullptr;
  QPushButton* m_close = nullptr;
  std::unique_ptr<ValueBinding> m_stateBinding;
  std::unique_ptr<ValueBinding> m_portOpenBinding;
  // Set once both bindings have delivered their first value: the boxes report changes only.
  bool m_registered = false;
};

}  // namespace tola
