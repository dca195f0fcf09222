#include "ui/pages/PortPage.h"

#include "ui/UiText.h"

namespace tola {

PortPage::PortPage(AppState& app, std::function<std::vector<PortInfo>()> /*listPorts*/, QWidget* parent)
    : Page(app, StringQt(kIdsTabPort), parent) {}

}  // namespace tola
