#include <unistd.h>

#include "platform/Terminal.h"

namespace tola {

bool InputIsTerminal() { return ::isatty(STDIN_FILENO) != 0; }
bool ErrorIsTerminal() { return ::isatty(STDERR_FILENO) != 0; }

}  // namespace tola
