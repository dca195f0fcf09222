#pragma once
// Observable values of the application state. A writer changes a value and then notifies; every
// listener receives the value's notification id synchronously, in the order it registered, and
// re-reads the value.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tola {

class Listener {
 public:
  virtual ~Listener() = default;
  virtual void OnNotify(std::uint32_t id, std::uint32_t wParam) = 0;
};

class NotifyingValueBase {
 public:
  // `initialMessages`: how many messages a new listener receives at once (one per index for lists).
  explicit NotifyingValueBase(std::uint32_t id, unsigned initialMessages = 1)
      : m_id(id), m_initialMessages(initialMessages) {}
  virtual ~NotifyingValueBase() = default;
  NotifyingValueBase(const NotifyingValueBase&) = delete;
  NotifyingValueBase& operator=(const NotifyingValueBase&) = delete;

  std::uint32_t Id() const { return m_id; }

  // Sends the id with wParam to every listener in list order.
  void Notify(std::uint32_t wParam = 0) const;
  // Appends the listener unless present, then sends it the current value (wParam 0, or one message
  // per index for a list).
  void AddListener(Listener* listener);
  void AddListenerQuiet(Listener* listener);
  void RemoveListener(Listener* listener);
  const std::vector<Listener*>& Listeners() const { return m_listeners; }

 private:
  std::uint32_t m_id;
  unsigned m_initialMessages;
  std::vector<Listener*> m_listeners;
};

template <typename T>
class NotifyingValue : public NotifyingValueBase {
 public:
  explicit NotifyingValue(std::uint32_t id, T initial = T{}, unsigned initialMessages = 1)
      : NotifyingValueBase(id, initialMessages), m_value(std::move(initial)) {}

  const T& Get() const { return m_value; }
  // Changes the value without telling anyone.
  void Set(T value) { m_value = std::move(value); }
  // Changes the value and notifies.
  void Change(T value, std::uint32_t wParam = 0) {
    m_value = std::move(value);
    Notify(wParam);
  }
  // Changes and notifies only when the value differs; returns whether it did.
  bool Update(T value) {
    if (value == m_value) return false;
    Change(std::move(value));
    return true;
  }

 protected:
  T m_value;
};

// A value with no number of its own (dialogue finished, port speed changed): only its notification.
class NotificationOnly : public NotifyingValueBase {
 public:
  using NotifyingValueBase::NotifyingValueBase;
};

}  // namespace tola
