#include "app/NotifyingValue.h"

#include <algorithm>

namespace tola {

void NotifyingValueBase::Notify(std::uint32_t wParam) const {
  // A listener may add or remove listeners while it is told; work on a snapshot and skip those
  // removed meanwhile.
  const std::vector<Listener*> snapshot = m_listeners;
  for (Listener* listener : snapshot) {
    if (std::find(m_listeners.begin(), m_listeners.end(), listener) == m_listeners.end()) continue;
    listener->OnNotify(m_id, wParam);
  }
}

void NotifyingValueBase::AddListener(Listener* listener) {
  AddListenerQuiet(listener);
  if (m_initialMessages <= 1) {
    listener->OnNotify(m_id, 0);
    return;
  }
  for (unsigned index = 0; index < m_initialMessages; ++index) listener->OnNotify(m_id, index);
}

void NotifyingValueBase::AddListenerQuiet(Listener* listener) {
  if (listener == nullptr) return;
  if (std::find(m_listeners.begin(), m_listeners.end(), listener) == m_listeners.end()) {
    m_listeners.push_back(listener);
  }
}

void NotifyingValueBase::RemoveListener(Listener* listener) {
  m_listeners.erase(std::remove(m_listeners.begin(), m_listeners.end(), listener), m_listeners.end());
}

}  // namespace tola
