#pragma once
// One tab of the main window's sheet. The main window tells the page when its tab is selected and
// left, hands it the serial events and timers that no machine took while it is selected, and the
// log lines that belong to it.

#include <QString>
#include <QWidget>

#include <string>

#include "ui/widgets/DialogUnits.h"

namespace tola {

class AppState;

class Page : public QWidget {
  Q_OBJECT

 public:
  explicit Page(AppState& app, QWidget* parent = nullptr) : QWidget(parent), m_app(app) {}

  // The tab was selected (the page is about to show) or left.
  virtual void Activated() {}
  virtual void Deactivated() {}
  // Events no machine took while this page is selected.
  virtual void OnSerialEvent() {}
  virtual void OnTimer(unsigned /*timerId*/) {}
  // A timer of the page's own, offered before any machine sees it; true when the page took it.
  virtual bool OnOwnTimer(unsigned /*timerId*/) { return false; }
  // A log line routed to the selected page.
  virtual void OnPageLogLine(const std::string& /*text*/) {}
  // The help topic F1 opens on this page ("Port.htm"); empty opens the table of contents.
  virtual QString HelpTopic() const { return {}; }

  // Every tab is one page size, 326 by 227 dialog units; the sheet and the window's minimum follow
  // from it.
  QSize sizeHint() const override {
    return DialogUnits(*this, 326, 227).expandedTo(QWidget::sizeHint());
  }

 protected:
  AppState& App() { return m_app; }

 private:
  AppState& m_app;
};

}  // namespace tola
