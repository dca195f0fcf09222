#pragma once
// How long this process has run, for the start-up figure of the benchmark.

#include <cstdint>

namespace tola {

// Milliseconds since this process started, from the system's record of its start; -1 when unknown.
std::int64_t MillisecondsSinceProcessStart();

}  // namespace tola
