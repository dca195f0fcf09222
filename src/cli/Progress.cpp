#include "cli/Progress.h"

#include <algorithm>
#include <cstdio>

#include "platform/Terminal.h"

namespace tola::cli {

ProgressBar::ProgressBar(AppState& app, std::string label, bool enabled)
    : m_app(app), m_label(std::move(label)), m_enabled(enabled && ErrorIsTerminal()) {
  if (!m_enabled) return;
  m_app.progressPosition.AddListenerQuiet(this);
  m_app.progressRange.AddListenerQuiet(this);
}

ProgressBar::~ProgressBar() {
  Finish();
  m_app.progressPosition.RemoveListener(this);
  m_app.progressRange.RemoveListener(this);
}

void ProgressBar::OnNotify(std::uint32_t, std::uint32_t) { Draw(); }

void ProgressBar::Draw() {
  const std::uint32_t range = m_app.progressRange.Get();
  if (range == 0) return;
  const std::uint32_t position = std::min(m_app.progressPosition.Get(), range);
  const int percent = static_cast<int>(std::uint64_t{position} * 100 / range);
  if (percent == m_lastPercent) return;
  m_lastPercent = percent;
  constexpr int kWidth = 40;
  const int filled = percent * kWidth / 100;
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.append(static_cast<std::size_t>(kWidth - filled), '.');
  std::fprintf(stderr, "\r%s [%s] %3d%%", m_label.c_str(), bar.c_str(), percent);
  m_drawn = true;
}

void ProgressBar::Finish() {
  if (!m_drawn) return;
  std::fputs("\r\033[K", stderr);
  m_drawn = false;
  m_lastPercent = -1;
}

}  // namespace tola::cli
