#include "ui/pages/CommandTesterPage.h"

#include "ui/UiText.h"

namespace tola {

CommandTesterPage::CommandTesterPage(AppState& app, QWidget* parent)
    : Page(app, StringQt(kIdsTabCommandTester), parent) {}

}  // namespace tola
