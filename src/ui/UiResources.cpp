#include "ui/UiResources.h"

#include <QtGlobal>

static void InitUiQrc() { Q_INIT_RESOURCE(ui); }

namespace tola {

void InitUiResources() { InitUiQrc(); }

}  // namespace tola
