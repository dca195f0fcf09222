#pragma once
// Whether an operator sits at the standard streams: questions need a terminal to be answered on,
// progress bars one to be drawn on.

namespace tola {

bool InputIsTerminal();
bool ErrorIsTerminal();

}  // namespace tola
