#pragma once
// The local firmware folder: which of its files is the firmware to send, the revision number a file
// name carries, and how revisions are shown. Nothing here is persisted; the choice is rebuilt by
// every scan.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tola {

class AppState;

// The parts of a directory entry name that classify it.
struct FileNameParts {
  std::string extension;  // from the last '.', the '.' included; empty when there is none
  std::string title;      // the name without its extension
  std::string prefix;     // the title before its last digit run (the whole title when none counts)
  std::uint16_t revision = 0;  // value of the last digit run, kept in 16 bits; 0 when none counts
};

FileNameParts SplitFileName(std::string_view name);

// ".hex" with the prefix "tola400fw", both without regard to case.
bool IsFirmwareFileName(std::string_view name);
// ".hex" without regard to case: a file the Intel HEX reader can check.
bool IsHexFileName(std::string_view name);
// ".rtf" with the title "tola400fwnotes", both without regard to case.
bool IsReleaseNotesFileName(std::string_view name);

struct FirmwareChoice {
  std::uint16_t firmwareRevision = 0;
  std::string firmwareFile;  // full path; empty when the folder holds none
  std::uint16_t notesRevision = 0;
  std::string notesFile;     // full path; empty when none was found

  bool HasFirmware() const { return !firmwareFile.empty(); }
};

// Picks from `names` (in the order the folder listed them) the firmware file with the highest
// revision number, the first of equals staying, and the release notes likewise. Paths are the
// folder joined with the name.
FirmwareChoice ChooseFirmware(const std::string& folder, const std::vector<std::string>& names);

// Lists `folder` in the order the file system returns its entries (every kind of entry counts) and
// chooses from it. A folder that cannot be read gives an empty choice.
FirmwareChoice ScanFirmwareFolder(const std::string& folder);

// "%02u.%02u" of revision / 100 and revision % 100.
std::string FileRevisionText(std::uint16_t revision);
// What the "Available" label shows: the chosen file's revision text, or "Missing".
std::string AvailableRevisionText(const FirmwareChoice& choice);
// Whether "Send Firmware to TOLA400" may be pressed for this choice.
bool CanSendFirmware(const FirmwareChoice& choice);

// Scans AppState's firmware folder; with `withMessage` an empty result is explained with a log line.
FirmwareChoice CheckFirmwareFolder(AppState& app, bool withMessage);

inline constexpr const char* kFirmwareMissingText = "Missing";
inline constexpr const char* kFirmwareFolderEmptyLine =
    "Firmware folder does not contain required %s firmware file\r\nClick \"Copy new files from Ostravel\"\r\n"
    "or navigate to a folder containing %s firmware files";

}  // namespace tola
