#pragma once
// How any part of the program reports to the operator: normal and verbose lines to the main window,
// error boxes and questions through the Host. AppState implements it; tests may fake it.

#include <string>

#include "app/Format.h"
#include "platform/Host.h"
#include "platform/ResultCode.h"
#include "resources/Strings.h"

namespace tola {

class LogChannel {
 public:
  virtual ~LogChannel() = default;

  // A normal line: always shown.
  virtual void LogLine(const std::string& text) = 0;
  // A verbose line: shown only while "VerboseLogging" is on.
  virtual void LogVerbose(const std::string& text) = 0;
  // A modal box through the Host; `defaultButton` as there.
  virtual BoxAnswer MessageBox(const std::string& text, const std::string& caption, BoxButtons buttons,
                               BoxIcon icon, BoxAnswer defaultButton) = 0;
  BoxAnswer MessageBox(const std::string& text, const std::string& caption, BoxButtons buttons, BoxIcon icon) {
    return MessageBox(text, caption, buttons, icon, BoxAnswer::None);
  }

  void LogLine(StringId id) { LogLine(LoadString(id)); }
  void LogVerbose(StringId id) { LogVerbose(LoadString(id)); }

  // The text as a normal line, then an error box with that text and the caption string; returns
  // the box's answer.
  BoxAnswer ReportErrorText(const std::string& caption, const std::string& text) {
    LogLine(text);
    return MessageBox(text, caption, BoxButtons::Ok, BoxIcon::Error);
  }
  BoxAnswer ReportErrorText(StringId caption, const std::string& text) {
    return ReportErrorText(LoadString(caption), text);
  }

  // An error box with the text of `code` and the caption string; nothing is logged.
  BoxAnswer ShowErrorBox(StringId caption, ResultCode code);

  // A box whose text and caption are string numbers.
  BoxAnswer MessageBoxById(StringId text, StringId caption, BoxButtons buttons, BoxIcon icon) {
    return MessageBox(LoadString(text), LoadString(caption), buttons, icon);
  }

  // Formats string `format` with the arguments, then as ReportErrorText.
  template <typename... Args>
  BoxAnswer ReportError(StringId caption, StringId format, const Args&... args) {
    return ReportErrorText(caption, FormatText(LoadString(format), args...));
  }
};

}  // namespace tola
