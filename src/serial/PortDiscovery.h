#pragma once
// The serial ports present on this computer, from the system's own list of them (sysfs and the
// simulator's virtual ports on Linux, the registry's SERIALCOMM key on Windows). Nothing is opened
// or probed to build the list.

#include <string>
#include <vector>

namespace tola {

struct PortInfo {
  std::string name;          // what Open takes: "COM3"; on Linux as under /dev ("ttyUSB0") or a virtual port's name
  std::string driver;        // the kernel driver ("ftdi_sio", "tola400-sim"); on Windows the device object
  std::string usbVendor;     // idVendor of the USB device, four hex digits; empty when not USB or not known
  std::string usbProduct;    // idProduct
  std::string manufacturer;  // the USB device's own strings, when it has them
  std::string product;
  std::string devicePath;    // on Linux what Open uses: "/dev/<name>", or the virtual port's link
};

// Port names in the order the system gives them. Never fails; any problem gives a shorter or empty
// list. Names that are empty or 16 characters or longer, and the soft modem "winachsf0", are left
// out.
std::vector<std::string> ListSerialPorts();
// The same ports, in the same order, with what the system says about each.
std::vector<PortInfo> DescribeSerialPorts();

}  // namespace tola
