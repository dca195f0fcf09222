#pragma once
// A progress bar on the terminal for long work, following AppState's progress values. It goes to
// standard error, away from the data; nothing is drawn with --quiet or when that is no terminal.

#include <cstdint>
#include <string>

#include "app/AppState.h"

namespace tola::cli {

class ProgressBar : public Listener {
 public:
  ProgressBar(AppState& app, std::string label, bool enabled);
  ~ProgressBar() override;
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  void OnNotify(std::uint32_t id, std::uint32_t wParam) override;
  // Clears the bar's line so that the next output starts clean.
  void Finish();

 private:
  void Draw();

  AppState& m_app;
  std::string m_label;
  bool m_enabled;
  bool m_drawn = false;
  int m_lastPercent = -1;
};

}  // namespace tola::cli
