#include "firmware/FirmwareFolder.h"

#include <cctype>

#include "app/AppState.h"
#include "app/Format.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace tola {

namespace {

constexpr std::string_view kFirmwarePrefix = "tola400fw";
constexpr std::string_view kFirmwareExtension = ".hex";
constexpr std::string_view kNotesTitle = "tola400fwnotes";
constexpr std::string_view kNotesExtension = ".rtf";

bool StartsWithNoCase(std::string_view text, std::string_view start) {
  return text.size() >= start.size() && EqualNoCase(text.substr(0, start.size()), start);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

FileNameParts SplitFileName(std::string_view name) {
  FileNameParts parts;
  const std::size_t dot = name.rfind('.');
  if (dot != std::string_view::npos) parts.extension = std::string(name.substr(dot));
  const std::string_view title = dot == std::string_view::npos ? name : name.substr(0, dot);
  parts.title = std::string(title);
  parts.prefix = parts.title;

  std::size_t runEnd = title.size();
  while (runEnd > 0 && !IsDigit(title[runEnd - 1])) --runEnd;
  if (runEnd == 0) return parts;  // no digit at all
  std::size_t runStart = runEnd;
  while (runStart > 0 && IsDigit(title[runStart - 1])) --runStart;
  if (runStart == 0) return parts;  // the run opens the title: no prefix to speak of

  // Kept in 16 bits: the wrap of a 32-bit accumulator leaves the low 16 bits exact.
  std::uint32_t value = 0;
  for (std::size_t i = runStart; i < runEnd; ++i) value = value * 10u + static_cast<std::uint32_t>(title[i] - '0');
  parts.revision = static_cast<std::uint16_t>(value & 0xFFFFu);
  parts.prefix = std::string(title.substr(0, runStart));
  return parts;
}

bool IsFirmwareFileName(std::string_view name) {
  const FileNameParts parts = SplitFileName(name);
  return EqualNoCase(parts.extension, kFirmwareExtension) && EqualNoCase(parts.prefix, kFirmwarePrefix);
}

bool IsHexFileName(std::string_view name) {
  return EqualNoCase(SplitFileName(name).extension, kFirmwareExtension);
}

bool IsReleaseNotesFileName(std::string_view name) {
  const FileNameParts parts = SplitFileName(name);
  return EqualNoCase(parts.extension, kNotesExtension) && EqualNoCase(parts.title, kNotesTitle);
}

FirmwareChoice ChooseFirmware(const std::string& folder, const std::vector<std::string>& names) {
  FirmwareChoice choice;
  for (const std::string& name : names) {
    const FileNameParts parts = SplitFileName(name);
    if (IsFirmwareFileName(name)) {
      if (choice.firmwareFile.empty() || choice.firmwareRevision < parts.revision) {
        choice.firmwareFile = JoinPath(folder, name);
        choice.firmwareRevision = parts.revision;
      }
    } else if (IsReleaseNotesFileName(name)) {
      if (choice.notesFile.empty() || choice.notesRevision < parts.revision) {
        choice.notesFile = JoinPath(folder, name);
        choice.notesRevision = parts.revision;
      }
    }
  }
  return choice;
}

FirmwareChoice ScanFirmwareFolder(const std::string& folder) {
  if (folder.empty()) return {};
  // The listing names its files by full path: a relative folder is taken from the current one.
  const std::string absolute = AbsolutePath(folder);
  std::vector<std::string> names;
  if (!ListFolder(absolute, names)) return {};
  return ChooseFirmware(absolute, names);
}

std::string FileRevisionText(std::uint16_t revision) {
  return FormatText("%02u.%02u", static_cast<unsigned>(revision / 100), static_cast<unsigned>(revision % 100));
}

std::string AvailableRevisionText(const FirmwareChoice& choice) {
  return choice.HasFirmware() ? FileRevisionText(choice.firmwareRevision) : std::string(kFirmwareMissingText);
}

bool CanSendFirmware(const FirmwareChoice& choice) {
  return choice.HasFirmware() && StartsWithNoCase(SplitFileName(FileNameOf(choice.firmwareFile)).prefix,
                                                  kFirmwarePrefix);
}

FirmwareChoice CheckFirmwareFolder(AppState& app, bool withMessage) {
  FirmwareChoice choice = ScanFirmwareFolder(app.firmwareFolder.Get());
  if (withMessage && !choice.HasFirmware()) app.LogLine(FormatText(kFirmwareFolderEmptyLine, "TOLA", "TOLA"));
  return choice;
}

}  // namespace tola
