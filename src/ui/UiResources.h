#pragma once
// The program's built-in files (icon, help pages, licence) live in the ui library; a program or
// test that uses them registers them once at start.

#include <cstdint>

namespace tola {

void InitUiResources();

// Milliseconds since this process started, from the kernel's record of its start.
std::int64_t MillisecondsSinceProcessStart();

}  // namespace tola
