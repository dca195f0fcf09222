#include "app/VersionLines.h"
#include "platform/Win32.h"

namespace tola {

OsVersion CurrentOsVersion(const std::string& /*osReleasePath*/) {
  OsVersion version;
  // GetVersionEx answers a program without a compatibility manifest with Windows 8's numbers;
  // ntdll's own call tells the truth.
  using RtlGetVersionCall = LONG(WINAPI*)(RTL_OSVERSIONINFOEXW*);
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  const FARPROC found = ntdll ? ::GetProcAddress(ntdll, "RtlGetVersion") : nullptr;
  if (found == nullptr) return version;
  const auto rtlGetVersion = reinterpret_cast<RtlGetVersionCall>(reinterpret_cast<void (*)()>(found));
  RTL_OSVERSIONINFOEXW info{};
  info.dwOSVersionInfoSize = sizeof info;
  if (rtlGetVersion(&info) != 0) return version;
  version.major = info.dwMajorVersion;
  version.minor = info.dwMinorVersion;
  version.build = info.dwBuildNumber;
  version.workstation = info.wProductType == VER_NT_WORKSTATION;
  version.name = WindowsVersionName(version.major, version.minor, version.workstation);
  return version;
}

}  // namespace tola
