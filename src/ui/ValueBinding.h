#pragma once
// A listener on one AppState value for as long as the binding lives: registers when built (with the
// value's initial message or quietly), calls the function on every notification, unregisters when
// destroyed. Pages hold their bindings in members, so no page outlives its registration.

#include <cstdint>
#include <functional>
#include <utility>

#include "app/NotifyingValue.h"

namespace tola {

class ValueBinding final : public Listener {
 public:
  enum class Initial { Deliver, Quiet };

  ValueBinding(NotifyingValueBase& value, std::function<void(std::uint32_t wParam)> onNotify,
               Initial initial = Initial::Deliver)
      : m_value(value), m_onNotify(std::move(onNotify)) {
    if (initial == Initial::Deliver) {
      m_value.AddListener(this);
    } else {
      m_value.AddListenerQuiet(this);
    }
  }
  ~ValueBinding() override { m_value.RemoveListener(this); }
  ValueBinding(const ValueBinding&) = delete;
  ValueBinding& operator=(const ValueBinding&) = delete;

  void OnNotify(std::uint32_t /*id*/, std::uint32_t wParam) override { m_onNotify(wParam); }

 private:
  NotifyingValueBase& m_value;
  std::function<void(std::uint32_t)> m_onNotify;
};

}  // namespace tola
