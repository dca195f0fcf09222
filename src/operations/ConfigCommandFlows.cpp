#include "operations/ConfigCommandFlows.h"

#include <algorithm>
#include <memory>

#include "platform/Text.h"

namespace tola {

// --- Reset

bool ResetConfigurationFlow::Reset() {
  ConfigCommandMachine* machine = m_session.Machine();
  return machine != nullptr && machine->StartEraseConfiguration();
}

// --- Erase memories

EraseMemoriesFlow::EraseMemoriesFlow(AppState& app, std::function<void(unsigned)> onBandSelected)
    : m_app(app), m_session(app), m_onBandSelected(std::move(onBandSelected)) {
  m_app.bandIndex.AddListener(this);
}

EraseMemoriesFlow::~EraseMemoriesFlow() { m_app.bandIndex.RemoveListener(this); }

void EraseMemoriesFlow::OnNotify(std::uint32_t id, std::uint32_t /*wParam*/) {
  if (id != kIdBandIndex) return;
  m_selected = m_app.bandIndex.Get();
  if (m_onBandSelected) m_onBandSelected(m_selected);
}

void EraseMemoriesFlow::ChooseBand(unsigned bandIndex) {
  if (bandIndex > kBandIndexAll) return;
  m_app.bandIndex.Change(bandIndex);
}

bool EraseMemoriesFlow::EraseAntenna(unsigned antenna) {
  if (antenna != 1 && antenna != 2) return false;
  // A click that cannot erase (one still running) changes nothing, the antenna included.
  ConfigCommandMachine* machine = m_session.Machine();
  if (machine == nullptr || !machine->IsIdle()) return false;
  m_app.antenna.Change(antenna);
  return machine->StartEraseMemory();
}

// --- Enable antennas

AntennaEnableSheet::AntennaEnableSheet(AppState& app) : m_app(app), m_session(app) {
  m_session.onFinished = [this](ResultCode) {
    if (m_closed || !m_closeWhenDone) return;
    // The sheet presses its own Cancel, whatever the result.
    m_closeWhenDone = false;
    RequestClose();
  };
}

AntennaEnableSheet::~AntennaEnableSheet() { m_app.antennaEnable.RemoveListener(this); }

void AntennaEnableSheet::Show() {
  if (m_closed) return;
  if (!m_registered) {
    m_registered = true;
    m_app.antennaEnable.AddListener(this);
  }
  if (ConfigCommandMachine* machine = m_session.Machine()) machine->StartQueryAntennaEnable();
}

void AntennaEnableSheet::OnNotify(std::uint32_t id, std::uint32_t /*wParam*/) {
  if (!m_closed && id == kIdAntennaEnable) Load();
}

void AntennaEnableSheet::Load() {
  const std::string& text = m_app.antennaEnable.Get();
  if (text.size() == kAntennaEnableLength) {
    for (unsigned band = 0; band < kBandCount; ++band) {
      switch (text[band]) {
        case '1': m_antenna1[band] = true; m_antenna2[band] = false; break;
        case '2': m_antenna1[band] = false; m_antenna2[band] = true; break;
        case '3': m_antenna1[band] = true; m_antenna2[band] = true; break;
        default: break;
      }
    }
  }
  Refresh();
}

void AntennaEnableSheet::Refresh() {
  if (onRefresh) onRefresh();
}

bool AntennaEnableSheet::BandChecked(unsigned band, unsigned antenna) const {
  if (band >= kBandCount) return false;
  return antenna == 1 ? m_antenna1[band] : antenna == 2 && m_antenna2[band];
}

CheckState AntennaEnableSheet::AllBands(unsigned antenna) const {
  const auto& boxes = antenna == 1 ? m_antenna1 : m_antenna2;
  const auto checked = std::count(boxes.begin(), boxes.end(), true);
  if (checked == 0) return CheckState::Cleared;
  if (checked == static_cast<long>(kBandCount)) return CheckState::Checked;
  return CheckState::Mixed;
}

void AntennaEnableSheet::ClickBand(unsigned band, unsigned antenna) {
  if (band >= kBandCount || (antenna != 1 && antenna != 2)) return;
  auto& mine = antenna == 1 ? m_antenna1 : m_antenna2;
  auto& other = antenna == 1 ? m_antenna2 : m_antenna1;
  mine[band] = !mine[band];
  // A band always keeps at least one antenna.
  if (!mine[band]) other[band] = true;
  Refresh();
}

void AntennaEnableSheet::ClickAllBands(unsigned antenna) {
  if (antenna != 1 && antenna != 2) return;
  auto& mine = antenna == 1 ? m_antenna1 : m_antenna2;
  auto& other = antenna == 1 ? m_antenna2 : m_antenna1;
  if (AllBands(antenna) == CheckState::Checked) {
    mine.fill(false);
    other.fill(true);
  } else {
    mine.fill(true);
  }
  Refresh();
}

std::string AntennaEnableSheet::PageString() const {
  std::string text;
  for (unsigned band = 0; band < kBandCount; ++band) {
    const int value = (m_antenna2[band] ? 2 : 0) + (m_antenna1[band] ? 1 : 0);
    text.push_back(value == 0 ? '3' : static_cast<char>('0' + value));
  }
  return text;
}

bool AntennaEnableSheet::Changed() const {
  return !EqualNoCase(PageString(), m_app.antennaEnable.Get());
}

bool AntennaEnableSheet::StartSet() {
  ConfigCommandMachine* machine = m_session.Machine();
  return machine != nullptr && machine->StartSetAntennaEnable(PageString());
}

bool AntennaEnableSheet::Apply() {
  if (m_closed || !Changed()) return true;
  StartSet();
  return false;
}

void AntennaEnableSheet::Ok() {
  if (m_closed) return;
  if (!Changed()) {
    CloseNow();
    return;
  }
  StartSet();
  m_closeWhenDone = true;
}

bool AntennaEnableSheet::RequestClose() {
  if (m_closed) return true;
  if (m_session.Running()) return false;
  if (Changed()) {
    switch (m_app.MessageBox(kUnsavedQuestion, kUnsavedCaption, BoxButtons::YesNoCancel, BoxIcon::Question)) {
      case BoxAnswer::Yes:
        if (StartSet()) {
          m_closeWhenDone = true;
          return false;
        }
        break;
      case BoxAnswer::No: break;
      default:
        m_closeWhenDone = false;
        return false;
    }
  }
  CloseNow();
  return true;
}

void AntennaEnableSheet::CloseNow() {
  m_closed = true;
  m_closeWhenDone = false;
  m_app.antennaEnable.RemoveListener(this);
  m_session.Close();
  if (onClosed) onClosed();
}

}  // namespace tola
