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
  // Linux: PRETTY_NAME of os-release; Windows: the name of the version where the table knows it.
  std::string name;
};

// "OS Version %u.%u Build %u " followed by the system's name, or nothing after the blank.
std::string OperatingSystemLine(const OsVersion& version);
// The Windows versions the line names ("Windows 7", "Windows Server 2008 R2", ...); empty for others.
std::string WindowsVersionName(unsigned major, unsigned minor, bool workstation);
// This machine's version. Linux: the kernel release from uname() and the name from
// `osReleasePath`. Windows: what the system's own record says (the path is not used).
OsVersion CurrentOsVersion(const std::string& osReleasePath = "/etc/os-release");

}  // namespace tola
