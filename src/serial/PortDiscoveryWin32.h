#pragma once
// The Windows port list from any registry key laid out as SERIALCOMM is (value name: the driver's
// device object, string data: the port name), for tests; ListSerialPorts() and
// DescribeSerialPorts() read HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM.

#include <string>
#include <vector>

#include "platform/Win32.h"
#include "serial/PortDiscovery.h"

namespace tola {

// In the registry's order. A value that is not a non-empty REG_SZ, or whose name is "winachsf0" in
// any case, is skipped; a value whose name or data does not fit (names of 256 characters or more,
// port names of 16 or more) ends the list there.
std::vector<PortInfo> DescribeSerialPorts(HKEY root, const std::string& keyPath);

}  // namespace tola
