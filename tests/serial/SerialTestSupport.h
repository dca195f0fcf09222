#pragma once
// What the serial tests of both platforms share.

#include <chrono>
#include <thread>

namespace tola::test {

// Waits up to 5 s for `done`; the bound only catches hangs.
template <typename Predicate>
bool WaitFor(Predicate done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace tola::test
