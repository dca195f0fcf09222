#include "platform/Terminal.h"
#include "platform/Win32.h"

namespace tola {

namespace {

// Only a console has a mode; the C library's isatty() also says yes for NUL and printers.
bool IsConsole(DWORD stream) {
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(stream), &mode) != FALSE;
}

}  // namespace

bool InputIsTerminal() { return IsConsole(STD_INPUT_HANDLE); }
bool ErrorIsTerminal() { return IsConsole(STD_ERROR_HANDLE); }

}  // namespace tola
