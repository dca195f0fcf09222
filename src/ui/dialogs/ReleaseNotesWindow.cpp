#include "ui/dialogs/ReleaseNotesWindow.h"

namespace tola {

ReleaseNotesWindow::ReleaseNotesWindow(QWidget* parent) : QWidget(parent, Qt::Window) {}

ReleaseNotesWindow* ReleaseNotesWindow::Open(AppState& /*app*/, const std::string& /*firmwareFolder*/,
                                             QWidget* /*boxOwner*/) {
  return nullptr;
}

}  // namespace tola
