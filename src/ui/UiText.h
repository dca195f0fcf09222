#pragma once
// Texts between the core (UTF-8 std::string, "\r\n" line breaks) and Qt.

#include <QString>

#include <string>

#include "resources/Strings.h"

namespace tola {

inline QString ToQt(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }
inline std::string FromQt(const QString& text) { return text.toUtf8().toStdString(); }
inline QString StringQt(StringId id) { return ToQt(LoadString(id)); }

// "\r\n" (and a lone "\r") become "\n", as Qt's widgets break lines.
inline std::string WithNewlines(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out.push_back('\n');
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

// The first line of a text, for the one-line status bar.
inline std::string FirstLine(const std::string& text) { return text.substr(0, text.find_first_of("\r\n")); }

}  // namespace tola
