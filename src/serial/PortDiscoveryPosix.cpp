#include "serial/PortDiscoveryPosix.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/Text.h"

namespace tola {

namespace fs = std::filesystem;

namespace {

// Port names longer than this never fitted the port list.
constexpr std::size_t kMaxPortNameLength = 15;

// Names the port list has always left out: empty, too long, or the soft-modem device "winachsf0".
bool IsListable(const std::string& name, const std::string& driver) {
  if (name.empty() || name.size() > kMaxPortNameLength) return false;
  return !EqualNoCase(name, "winachsf0") && !EqualNoCase(driver, "winachsf0");
}

// "ttyS10" sorts after "ttyS2": compare the text before the trailing digits, then their value.
bool NaturalLess(const std::string& a, const std::string& b) {
  const auto split = [](const std::string& s) {
    std::size_t digits = s.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(s[digits - 1]))) --digits;
    return digits;
  };
  const std::size_t ia = split(a);
  const std::size_t ib = split(b);
  const int prefix = a.compare(0, ia, b, 0, ib);
  if (prefix != 0) return prefix < 0;
  const std::string da = a.substr(ia);
  const std::string db = b.substr(ib);
  const std::size_t za = da.find_first_not_of('0');
  const std::size_t zb = db.find_first_not_of('0');
  const std::string na = za == std::string::npos ? "" : da.substr(za);
  const std::string nb = zb == std::string::npos ? "" : db.substr(zb);
  if (na.size() != nb.size()) return na.size() < nb.size();
  if (na != nb) return na < nb;
  return a < b;
}

// The USB device above a tty's device directory, if any: the first ancestor with an idVendor.
void DescribeUsbParent(const fs::path& device, const fs::path& root, PortInfo& info) {
  std::error_code ec;
  fs::path dir = fs::canonical(device, ec);
  if (ec) return;
  while (!dir.empty() && dir != root && dir != dir.root_path()) {
    if (fs::exists(dir / "idVendor", ec)) {
      info.usbVendor = ReadAttribute(dir / "idVendor");
      info.usbProduct = ReadAttribute(dir / "idProduct");
      info.manufacturer = ReadAttribute(dir / "manufacturer");
      info.product = ReadAttribute(dir / "product");
      return;
    }
    dir = dir.parent_path();
  }
}

std::vector<PortInfo> DescribeSysfsPorts(const std::string& sysfsRoot) {
  std::vector<PortInfo> ports;
  std::error_code ec;
  const fs::path classDir = fs::path(sysfsRoot) / "class" / "tty";
  fs::directory_iterator it(classDir, ec);
  if (ec) return ports;
  fs::path root = fs::canonical(sysfsRoot, ec);
  if (ec) root = sysfsRoot;

  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) break;
    const fs::path entry = it->path();
    const fs::path device = entry / "device";
    std::error_code existsError;
    // Virtual consoles, pseudo-terminals and the like have no device behind them.
    if (!fs::exists(device, existsError)) continue;
    // serial8250 registers a tty for every legacy port slot; "type" 0 means no UART answered there.
    if (ReadAttribute(entry / "type") == "0") continue;

    PortInfo info;
    info.name = entry.filename().string();
    // sysfs spells a "/" in a device name as "!".
    std::replace(info.name.begin(), info.name.end(), '!', '/');
    std::error_code linkError;
    const fs::path driver = fs::read_symlink(device / "driver", linkError);
    if (!linkError) info.driver = driver.filename().string();
    if (!IsListable(info.name, info.driver)) continue;
    DescribeUsbParent(device, root, info);
    info.devicePath = "/dev/" + info.name;
    ports.push_back(std::move(info));
  }
  std::sort(ports.begin(), ports.end(),
            [](const PortInfo& a, const PortInfo& b) { return NaturalLess(a.name, b.name); });
  return ports;
}

}  // namespace

std::string ReadAttribute(const std::string& file) {
  std::ifstream in(file);
  std::string line;
  if (!in || !std::getline(in, line)) return {};
  const auto isSpace = [](unsigned char c) { return std::isspace(c) != 0; };
  while (!line.empty() && isSpace(static_cast<unsigned char>(line.back()))) line.pop_back();
  std::size_t start = 0;
  while (start < line.size() && isSpace(static_cast<unsigned char>(line[start]))) ++start;
  return line.substr(start);
}


std::vector<PortInfo> DescribeSerialPorts(const std::string& sysfsRoot,
                                          const std::string& virtualFolder) {
  const std::vector<VirtualPort> virtualPorts = ListVirtualPorts(virtualFolder);
  std::vector<PortInfo> ports = DescribeSysfsPorts(sysfsRoot);
  // Open looks a name up among the virtual ports first, so a virtual port hides a device of the
  // same name.
  std::erase_if(ports, [&](const PortInfo& p) {
    return std::any_of(virtualPorts.begin(), virtualPorts.end(),
                       [&](const VirtualPort& v) { return v.name == p.name; });
  });
  for (const VirtualPort& port : virtualPorts) {
    if (!IsListable(port.name, {})) continue;
    PortInfo info;
    info.name = port.name;
    info.driver = "tola400-sim";
    info.devicePath = port.path;
    ports.push_back(std::move(info));
  }
  return ports;
}

std::vector<std::string> ListSerialPorts(const std::string& sysfsRoot, const std::string& virtualFolder) {
  std::vector<std::string> names;
  for (PortInfo& info : DescribeSerialPorts(sysfsRoot, virtualFolder)) names.push_back(std::move(info.name));
  return names;
}

std::vector<std::string> ListSerialPorts() { return ListSerialPorts("/sys", VirtualPortFolder()); }

std::vector<PortInfo> DescribeSerialPorts() { return DescribeSerialPorts("/sys", VirtualPortFolder()); }

}  // namespace tola
