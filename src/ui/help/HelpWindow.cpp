#include "ui/help/HelpWindow.h"

namespace tola {

HelpWindow::HelpWindow(QWidget* owner) : QWidget(owner, Qt::Window) {}
bool HelpWindow::ShowContents() { return false; }
bool HelpWindow::ShowTopic(const QString& /*topic*/) { return false; }
bool HelpWindow::ShowPopup(unsigned /*context*/, const QPoint& /*at*/) { return false; }
QString HelpWindow::CurrentTopic() const { return {}; }
QString HelpWindow::PopupText(unsigned /*context*/) { return {}; }

}  // namespace tola
