#pragma once
// The texts that summarise the connection: the main window's title and the status line sent on
// every change of the connection state.

#include <string>

namespace tola {

class AppState;

// The program line, then " - S/N 01234" once the serial number is known, then the port and its
// speed (or "closed") once a port is chosen.
std::string WindowTitle(const AppState& app);

// What the connection state says: the loader waiting, the revision and speed, the amplifier not
// responding, or the port closed.
std::string ConnectionStatusText(const AppState& app);

}  // namespace tola
