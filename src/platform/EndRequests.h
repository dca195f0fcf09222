#pragma once
// Ctrl+C, a `kill`, a logout or the console window closing: the operator or the system asking the
// program to end.

#include <functional>

namespace tola {

// From now on each request calls `onRequest` on a thread of its own (never inside a signal
// handler); it should only hand the request to the program's loop. An empty function stops the
// calls; once it returns, no call is under way any more.
void CatchEndRequests(std::function<void()> onRequest);

}  // namespace tola
