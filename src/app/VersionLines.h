#pragma once
// The program-version and operating-system lines that begin the Firmware page's log and the
// firmware-load dialog's log.

#include <cstdint>
#include <string>

namespace tola {

// How a revision number shows everywhere: "??.??" for 0, " N/A " for 9999, "Loading" for 0xFFFE,
// otherwise "%02u.%02u" (123 shows 01.23).
std::string RevisionText(std::uint16_t revision);

// "Ostravel TOLA Utility Revision 1.0.0.0": built once and kept.
const std::string& ProgramVersionLine();

struct OsVersion {
  unsigned major = 0;
  unsigned minor = 0;
  unsigned build = 0;
  bool workstation = true;
  std::string name;  // the system's own name, where it has one (Linux: PRETTY_NAME of os-release)
};

// "OS Version %u.%u Build %u " followed by the system's name: the Windows name of the version where
// it is one the table knows, else the name the system gives, else nothing after the blank.
std::string OperatingSystemLine(const OsVersion& version);
// This machine's version: the kernel release from uname() and the name from /etc/os-release.
OsVersion CurrentOsVersion(const std::string& osReleasePath = "/etc/os-release");

}  // namespace tola
