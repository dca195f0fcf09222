#pragma once
// The configuration file: both EEPROMs of the amplifier as text lines ("MEM2" and "MEM3"), a few
// identifying lines, and a CRC-32 over everything before it. Written by the save, read and checked
// by the restore before anything is sent to the amplifier.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/EepromCommands.h"
#include "platform/AtomicFile.h"
#include "platform/Host.h"
#include "platform/ResultCode.h"

namespace tola {

inline constexpr std::string_view kConfigurationExtension = "TOLAConfig";
inline constexpr std::uint16_t kUnknownSerialNumber = 0xFFFF;

// Lines per file: 3 comments, 2 revisions, the serial number when known, 32 MEM2, 256 MEM3, the CRC.
inline constexpr std::size_t kConfigurationLinesWithSerial = 295;
inline constexpr std::size_t kConfigurationLinesWithoutSerial = 294;

// What the file records about the program and the amplifier besides the memories.
struct ConfigurationIdentity {
  std::string utilityRevision;         // as UtilityRevisionText gives it
  std::uint16_t firmwareRevision = 0;  // 0 unknown, 9999 not available, 0xFFFE loading
  std::uint16_t serialNumber = kUnknownSerialNumber;
};

// "Ostravel TOLA Utility Revision a.b.c.d" with the version compiled in.
const std::string& UtilityRevisionText();

// "SN00123.20260101T120000.TOLAConfig", without the "SN" part when the serial number is unknown.
std::string ProposedConfigurationFileName(std::uint16_t serialNumber, const LocalTime& saveTime);
// The file dialogs' filter: description and pattern pairs separated by NUL characters.
std::string ConfigurationFileFilter();

// Every line of the file in order, without line ends, the CRC line last.
std::vector<std::string> ConfigurationFileLines(const LocalTime& saveTime,
                                                const ConfigurationIdentity& identity,
                                                std::span<const std::uint8_t, kMem2Size> mem2,
                                                std::span<const std::uint8_t, kMem3Size> mem3);

// What became of reading or writing a configuration file. The file formats report nothing
// themselves: whoever reads or writes shows the report (a line in the log and an error box with its
// caption) or asks about the serial number.
struct ConfigurationReport {
  // 0 for a good file; 0xE2000030 incomplete, 0xE2000031 corrupt or unparsable, 0xE2000032 the
  // file names another amplifier, or the system code of a failed open, read or write.
  ResultCode code = kErrorSuccess;
  std::string caption;  // the error box's caption
  std::string text;     // the line for the log and the box; empty for a serial-number mismatch
  // Set (with 0xE2000032) only when nothing else is wrong with the file: the serial number it
  // holds differs from the amplifier's. Restoring anyway is the operator's decision.
  bool serialMismatch = false;
  std::uint16_t fileSerial = kUnknownSerialNumber;

  bool Good() const { return code == kErrorSuccess; }
};

// Writes the file atomically: a failed or interrupted save leaves an earlier file of the same name
// as it was. `writeFn` replaces the write call (tests).
ConfigurationReport WriteConfigurationFile(const std::string& path, const LocalTime& saveTime,
                                           std::span<const std::uint8_t, kMem2Size> mem2,
                                           std::span<const std::uint8_t, kMem3Size> mem3,
                                           const ConfigurationIdentity& identity,
                                           const AtomicFile::WriteFn& writeFn = {});

// Receives the memories of a file being read, in file order. The restore decides what it keeps.
class ConfigurationSink {
 public:
  virtual ~ConfigurationSink() = default;
  virtual void AddMem2Byte(std::uint32_t bank, std::uint8_t address, std::uint8_t value) = 0;
  virtual void AddMem3Block(std::uint16_t address, unsigned count, const std::uint8_t* data) = 0;
};

// Reads and verifies a configuration file, handing its memories to `sink` (also those of a file
// that then fails: the sink is thrown away then). `amplifierSerial` is 0xFFFF when unknown, and
// then no serial number is compared.
ConfigurationReport ReadConfigurationFile(const std::string& path, ConfigurationSink& sink,
                                          std::uint16_t amplifierSerial);
// Everything ReadConfigurationFile checks but the serial number, which needs the amplifier: the
// file opens, reads, parses and its CRC holds.
ConfigurationReport CheckConfigurationFile(const std::string& path);
// As ReadConfigurationFile, over the file's bytes already in memory.
ConfigurationReport ReadConfigurationText(std::string_view bytes, ConfigurationSink& sink,
                                          std::uint16_t amplifierSerial);

// What `tola config-check` prints: the file's comment and identity lines, how much of each memory
// it holds and how much a restore would write, and the verdict.
std::string DescribeConfigurationFile(const std::string& path, std::uint16_t amplifierSerial,
                                      ConfigurationReport& report);

}  // namespace tola
