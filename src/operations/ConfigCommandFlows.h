#pragma once
// What the three configuration-command windows do, without their widgets: the "Reset to Factory
// Default Configuration" dialog, the "Erase Antenna Tuner Memories" dialog and the "Enable
// Antennas" page of the "TOLA400 Configuration" property sheet. Each holds a ConfigCommandMachine
// as AppState's operation machine for as long as its window lives; a view (or the command line)
// turns its clicks into the calls below and redraws when told.

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "operations/ConfigCommandMachine.h"
#include "operations/OperationSlot.h"

namespace tola {

// Each window holds a ConfigCommandMachine as AppState's operation machine from its creation to its
// close. Without a machine (AppState kept a running one) every start is refused.
class ConfigCommandSession : public OperationSlot<ConfigCommandMachine> {
 public:
  explicit ConfigCommandSession(AppState& app) : OperationSlot(app) { Install(); }
  ConfigCommandMachine* Machine() const { return Get(); }
  void Close() { Release(); }
};

class ResetConfigurationFlow {
 public:
  static constexpr const char* kCaption = "Reset to Factory Default Configuration";
  static constexpr const char* kText =
      "Click Reset Configuration to erase all ATU memories and reset to factory default configuration.";
  static constexpr const char* kWarning =
      "Reset Configuration is not reversible. Consider saving this configuration first.";
  static constexpr const char* kResetButton = "Reset Configuration";
  static constexpr const char* kCloseButton = "Close";

  explicit ResetConfigurationFlow(AppState& app) : m_session(app) {}

  // "Reset Configuration": sends "^ec;". The dialog closes at once afterwards; nothing is shown.
  bool Reset();
  // "Close", or closing after Reset.
  void Close() { m_session.Close(); }
  ConfigCommandMachine* Machine() const { return m_session.Machine(); }

 private:
  ConfigCommandSession m_session;
};

class EraseMemoriesFlow : public Listener {
 public:
  static constexpr const char* kCaption = "Erase Antenna Tuner Memories";
  static constexpr const char* kText =
      "Choose Band, then click one of the Antenna buttons.\nRepeat for the other antenna if desired.";
  static constexpr const char* kBandGroup = "Band";
  static constexpr const char* kEraseGroup = "Erase Memories";
  // Button captions by band index (0 to 11); the first six form the left column.
  static constexpr std::array<const char*, 12> kBandButtons{"160", "80", "60", "40", "30", "20",
                                                            "17",  "15", "12", "10", "6",  "All"};

  // Registers for band notices: the view is told the selected band at once.
  EraseMemoriesFlow(AppState& app, std::function<void(unsigned bandIndex)> onBandSelected = nullptr);
  ~EraseMemoriesFlow() override;

  // The band button to show selected (AppState's band index).
  unsigned SelectedBand() const { return m_selected; }
  // A band button (0 to 11): becomes AppState's band index.
  void ChooseBand(unsigned bandIndex);
  // "Antenna 1" / "Antenna 2": becomes AppState's antenna, then the erase starts; false when an
  // erase is still running (the click then has no effect on the amplifier).
  bool EraseAntenna(unsigned antenna);
  void Close() { m_session.Close(); }
  ConfigCommandMachine* Machine() const { return m_session.Machine(); }

  void OnNotify(std::uint32_t id, std::uint32_t wParam) override;

 private:
  AppState& m_app;
  ConfigCommandSession m_session;
  std::function<void(unsigned)> m_onBandSelected;
  unsigned m_selected = 0;
};

enum class CheckState { Cleared, Checked, Mixed };

// The "Enable Antennas" page with the OK / Cancel / Apply handling of its property sheet.
// `onClosed` may be called from inside a machine's completion notice: a view deletes the sheet
// later (after the present event), never from inside that call.
class AntennaEnableSheet : public Listener {
 public:
  static constexpr const char* kCaption = "TOLA400 Configuration";
  static constexpr const char* kPageTitle = "Enable Antennas";
  static constexpr const char* kAllBandsCaption = "All Bands ANT %u";
  static constexpr const char* kBandCaption = "%s ANT %u";
  static constexpr const char* kUnsavedCaption = "Unsaved Changes";
  static constexpr const char* kUnsavedQuestion =
      "Changes have not been applied\r\n\r\nDo you want to save the changes?";
  static constexpr const char* kHelpTopic = "Configuration.htm";
  static constexpr const char* kHelpAnchor = "#Edit";

  explicit AntennaEnableSheet(AppState& app);
  ~AntennaEnableSheet() override;

  // What the view is told: redraw the boxes and the changed state; the sheet has closed.
  std::function<void()> onRefresh;
  std::function<void()> onClosed;

  // The page is shown: loads what AppState holds and asks the amplifier.
  void Show();

  // Box states; `antenna` is 1 or 2, `band` 0 (160 m) to 10 (6 m).
  bool BandChecked(unsigned band, unsigned antenna) const;
  CheckState AllBands(unsigned antenna) const;
  void ClickBand(unsigned band, unsigned antenna);
  void ClickAllBands(unsigned antenna);

  // The string the boxes stand for, and whether it differs from the amplifier's.
  std::string PageString() const;
  bool Changed() const;

  // Apply: true when there was nothing to apply; otherwise the set starts and the apply is not
  // complete yet.
  bool Apply();
  // OK: closes at once with nothing to apply, else applies and closes when the set has finished.
  void Ok();
  // Cancel or closing the window: false while the machine runs; asks about unapplied changes.
  // Returns whether the sheet closed.
  bool RequestClose();

  bool Closed() const { return m_closed; }
  bool Running() const { return m_session.Running(); }
  ConfigCommandMachine* Machine() const { return m_session.Machine(); }

  void OnNotify(std::uint32_t id, std::uint32_t wParam) override;

 private:
  void Load();
  void Refresh();
  bool StartSet();
  void CloseNow();

  AppState& m_app;
  ConfigCommandSession m_session;
  std::array<bool, kBandCount> m_antenna1{};
  std::array<bool, kBandCount> m_antenna2{};
  bool m_registered = false;
  bool m_closeWhenDone = false;
  bool m_closed = false;
};

}  // namespace tola
