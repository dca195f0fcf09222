#pragma once
// The serial ports present on this computer, taken from sysfs and the simulator's virtual ports.
// Nothing is opened or probed to build the list.

#include <string>
#include <vector>

#include "serial/VirtualPorts.h"

namespace tola {

struct PortInfo {
  std::string name;          // as under /dev: "ttyUSB0", "ttyS0", or a virtual port's name
  std::string driver;        // the kernel driver ("ftdi_sio", "cdc_acm", "serial8250"), or "tola400-sim"
  std::string usbVendor;     // idVendor of the USB device, four hex digits; empty when not USB
  std::string usbProduct;    // idProduct
  std::string manufacturer;  // the USB device's own strings, when it has them
  std::string product;
  std::string devicePath;    // what Open uses: "/dev/<name>", or the virtual port's link
};

// Port names: the ttys that sysfs ties to a device (serial8250 placeholders with no UART behind them
// left out), in natural order (ttyS2 before ttyS10), then the live virtual ports. Never fails; any
// problem gives a shorter or empty list. Names that are empty or 16 characters or longer are skipped.
std::vector<std::string> ListSerialPorts(const std::string& sysfsRoot = "/sys",
                                         const std::string& virtualFolder = VirtualPortFolder());

// The first line of a small file such as a sysfs attribute or /proc/PID/comm, without surrounding
// white space; empty when unreadable.
std::string ReadAttribute(const std::string& file);

// The same ports, in the same order, with what sysfs says about each.
std::vector<PortInfo> DescribeSerialPorts(const std::string& sysfsRoot = "/sys",
                                          const std::string& virtualFolder = VirtualPortFolder());

}  // namespace tola
