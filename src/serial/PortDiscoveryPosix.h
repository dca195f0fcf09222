#pragma once
// The Linux port list from any sysfs tree and virtual-port folder, for tests and the port
// diagnosis; ListSerialPorts() and DescribeSerialPorts() use "/sys" and VirtualPortFolder().

#include <string>
#include <vector>

#include "serial/PortDiscovery.h"
#include "serial/VirtualPorts.h"

namespace tola {

// The ttys that sysfs ties to a device (serial8250 placeholders with no UART behind them left out),
// in natural order (ttyS2 before ttyS10), then the live virtual ports.
std::vector<std::string> ListSerialPorts(const std::string& sysfsRoot, const std::string& virtualFolder);
std::vector<PortInfo> DescribeSerialPorts(const std::string& sysfsRoot, const std::string& virtualFolder);

// The first line of a small file such as a sysfs attribute or /proc/PID/comm, without surrounding
// white space; empty when unreadable.
std::string ReadAttribute(const std::string& file);

}  // namespace tola
