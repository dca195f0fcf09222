#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/Format.h"
#include "app/LogChannel.h"
#include "platform/VirtualHost.h"
#include "support/FirmwareHex.h"
#include "support/TempFolder.h"

namespace tola::test {

// Records the lines; boxes go to the host, whose script answers them.
class RecordingLog : public LogChannel {
 public:
  void LogLine(const std::string& text) override { lines.push_back(text); }
  void LogVerbose(const std::string&) override {}
  BoxAnswer MessageBox(const std::string& text, const std::string& caption, BoxButtons buttons, BoxIcon icon,
                       BoxAnswer defaultButton) override {
    return host.MessageBox(text, caption, buttons, icon, defaultButton);
  }
  using LogChannel::LogLine;
  using LogChannel::LogVerbose;
  using LogChannel::MessageBox;

  const std::vector<VirtualHost::BoxRecord>& Boxes() const { return host.Boxes(); }

  VirtualHost host;
  std::vector<std::string> lines;
};

}  // namespace tola::test
