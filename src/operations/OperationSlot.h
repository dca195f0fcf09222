#pragma once
// A window's hold on AppState's operation machine. The window installs its machine through the slot
// and asks the slot for it; the slot knows the machine by AppState's operation generation, so a
// machine that another window installed later (perhaps at the address of this one's) is never
// taken for it. The slot listens for completion notices only while it holds a machine and passes
// on only those of its own machine; whatever it holds ends with it.

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>

#include "app/AppState.h"
#include "dialogue/CStateMachine.h"

namespace tola {

class OperationSlotBase : private Listener {
 public:
  ~OperationSlotBase() override { Release(); }
  OperationSlotBase(const OperationSlotBase&) = delete;
  OperationSlotBase& operator=(const OperationSlotBase&) = delete;

  // The machine finished (reached its final state) with this result.
  std::function<void(ResultCode)> onFinished;

  bool Running() const {
    const CStateMachine* machine = Current();
    return machine != nullptr && !machine->IsIdle();
  }
  // Stops listening and destroys the machine if it is still AppState's, killing its timer first so
  // that no wait of a dead machine fires later.
  void Release();

 protected:
  explicit OperationSlotBase(AppState& app) : m_app(app) {}
  CStateMachine* Current() const;
  // False (and nothing installed) while AppState keeps a running machine.
  bool Install(std::unique_ptr<CStateMachine> machine);

  AppState& m_app;

 private:
  void OnNotify(std::uint32_t id, std::uint32_t wParam) override;

  CStateMachine* m_machine = nullptr;
  std::uint64_t m_generation = 0;
  std::uint32_t m_completionsSeen = 0;
  bool m_listening = false;
};

template <class Machine>
class OperationSlot : public OperationSlotBase {
 public:
  explicit OperationSlot(AppState& app) : OperationSlotBase(app) {}

  // Builds a new machine and makes it AppState's operation machine; null when a running machine
  // keeps the slot.
  template <class... Args>
  Machine* Install(Args&&... args) {
    auto machine = std::make_unique<Machine>(m_app, std::forward<Args>(args)...);
    Machine* built = machine.get();
    return OperationSlotBase::Install(std::move(machine)) ? built : nullptr;
  }
  // The machine while it is still AppState's operation machine, else null.
  Machine* Get() const { return static_cast<Machine*>(Current()); }
};

}  // namespace tola
