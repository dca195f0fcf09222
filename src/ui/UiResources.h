#pragma once
// The program's built-in files (icon, help pages, licence) live in the ui library; a program or
// test that uses them registers them once at start.

namespace tola {

void InitUiResources();

}  // namespace tola
