#pragma once
// What the "Fault Table (Newest Entry at Top)" dialog does, without its widgets: it reads the
// amplifier's fault ring with a FaultTableMachine as soon as it is shown, then lists the records
// newest first, or shows the error; "Close" ends it at once, also while reading.

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "app/AppState.h"
#include "formats/FaultRecords.h"
#include "operations/FaultTableMachine.h"
#include "operations/OperationSlot.h"

namespace tola {

class FaultTableController {
 public:
  static constexpr const char* kCaption = "Fault Table (Newest Entry at Top)";
  static constexpr const char* kCloseButton = "Close";
  // Column headers, left-aligned; the spaces belong to the texts.
  static constexpr std::array<const char*, 5> kColumns{"Index", "     Fault Code     ", "  Timestamp  ",
                                                       "Frequency", "Variable Data"};
  // The narrowest a column may be sized.
  static constexpr int kMinimumColumnWidth = 10;

  explicit FaultTableController(AppState& app);
  ~FaultTableController();
  FaultTableController(const FaultTableController&) = delete;
  FaultTableController& operator=(const FaultTableController&) = delete;

  // The list was filled (or the reading failed), and the dialog has closed. Never delete the view
  // inside the call.
  std::function<void()> onRefresh;
  std::function<void()> onClosed;

  // The dialog became visible: registers, installs a new machine and starts it at once. False when
  // another machine was still running or the start was refused.
  bool Open();
  // "Close" or the window's close: the dialog ends at once; a reading machine goes with it.
  void Close();

  bool Closed() const { return m_closed; }
  bool Busy() const { return m_busy; }
  // Filled only after a complete, successful read.
  bool Listed() const { return m_listed; }
  const std::vector<FaultRow>& Rows() const { return m_rows; }
  // 0 after a good read, else the machine's result once it has reported.
  ResultCode Outcome() const { return m_outcome; }
  FaultTableMachine* Machine() const { return m_slot.Get(); }

 private:
  void OnFinished(ResultCode code);
  void Refresh() {
    if (onRefresh) onRefresh();
  }

  AppState& m_app;
  OperationSlot<FaultTableMachine> m_slot;
  bool m_started = false;
  bool m_busy = false;
  bool m_listed = false;
  bool m_closed = false;
  std::vector<FaultRow> m_rows;
  ResultCode m_outcome = 0;
};

}  // namespace tola
