#pragma once
// Work handed to the user-interface thread from any thread: queued under a lock, run in order on
// the thread that drains it. Work queued while draining runs in the same drain.

#include <deque>
#include <functional>
#include <mutex>

namespace tola {

class PostedWork {
 public:
  void Add(std::function<void()> work) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_queue.push_back(std::move(work));
  }

  void RunAll() {
    for (;;) {
      std::function<void()> work;
      {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_queue.empty()) return;
        work = std::move(m_queue.front());
        m_queue.pop_front();
      }
      work();
    }
  }

 private:
  std::mutex m_mutex;
  std::deque<std::function<void()>> m_queue;
};

}  // namespace tola
