#include "serial/PortDiscoveryPosix.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "PosixPty.h"
#include "serial/VirtualPorts.h"

namespace tola {
namespace {

namespace fs = std::filesystem;
using test::Pty;
using test::ScopedEnv;
using test::TempFolder;

void WriteFile(const fs::path& file, const std::string& text) {
  fs::create_directories(file.parent_path());
  std::ofstream(file) << text << "\n";
}

// A sysfs tree as the kernel lays it out: class/tty/<name> links to the tty's directory under
// devices/, whose "device" link leads to the hardware and its "driver" link.
class FakeSysfs {
 public:
  explicit FakeSysfs(fs::path root) : m_root(std::move(root)) {
    fs::create_directories(m_root / "class" / "tty");
  }

  // A tty under `deviceDir` (relative to devices/); an empty `deviceDir` gives no device link.
  void AddTty(const std::string& name, const std::string& deviceDir, const std::string& driver = {},
              const std::string& type = {}) {
    const fs::path hardware = m_root / "devices" / deviceDir;
    const fs::path ttyDir =
        deviceDir.empty() ? m_root / "devices" / "virtual" / "tty" / name : hardware / "tty" / name;
    fs::create_directories(ttyDir);
    if (!deviceDir.empty()) fs::create_directory_symlink(hardware, ttyDir / "device");
    if (!type.empty()) WriteFile(ttyDir / "type", type);
    if (!driver.empty() && !fs::exists(hardware / "driver")) {
      const fs::path driverDir = m_root / "bus" / "any" / "drivers" / driver;
      fs::create_directories(driverDir);
      fs::create_directory_symlink(driverDir, hardware / "driver");
    }
    fs::create_directory_symlink(ttyDir, m_root / "class" / "tty" / name);
  }

  void SetUsbDevice(const std::string& dir, const std::string& vendor, const std::string& product,
                    const std::string& manufacturer, const std::string& productName) {
    for (const auto& [file, text] : {std::pair{"idVendor", vendor}, {"idProduct", product},
                                      {"manufacturer", manufacturer}, {"product", productName}}) {
      WriteFile(m_root / "devices" / dir / file, text);
    }
  }

  std::string Root() const { return m_root.string(); }

 private:
  fs::path m_root;
};

class PortDiscoveryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty.Ok());
    fs::create_directories(virtualFolder);
    const std::string usbHub = "pci0000:00/0000:00:14.0/usb1";
    sysfs.SetUsbDevice(usbHub, "1d6b", "0002", "Linux", "xHCI Host Controller");
    sysfs.SetUsbDevice(usbHub + "/1-2", "0403", "6001", "FTDI", "FT232R USB UART");
    sysfs.SetUsbDevice(usbHub + "/1-3", "2341", "0043", "Arduino", "Uno");
    sysfs.AddTty("ttyUSB0", usbHub + "/1-2/1-2:1.0/ttyUSB0", "ftdi_sio");
    sysfs.AddTty("ttyACM0", usbHub + "/1-3/1-3:1.0", "cdc_acm");
    sysfs.AddTty("ttyS0", "platform/serial8250", "serial8250", "0");
    sysfs.AddTty("ttyS1", "pnp0/00:04", "serial", "4");
    sysfs.AddTty("ttyS2", "pnp0/00:05", "serial", "4");
    sysfs.AddTty("ttyS10", "pnp0/00:06", "serial", "4");
    sysfs.AddTty("tty1", "");
    sysfs.AddTty("ttyVeryLongName16", "platform/long", "long");
    sysfs.AddTty("WinAcHsf0", "platform/modem", "modem");
  }

  void Link(const std::string& name, const fs::path& target) {
    links.push_back(std::make_unique<PublishedPort>());
    ASSERT_TRUE(links.back()->Publish(virtualFolder.string(), name, target.string()));
  }

  TempFolder temp;
  Pty pty;
  FakeSysfs sysfs{temp / "sys"};
  fs::path virtualFolder = temp / "tola400-sim";
  std::vector<std::unique_ptr<PublishedPort>> links;
};

TEST_F(PortDiscoveryTest, ListsAndDescribesRealPortsInNaturalOrderThenLiveVirtualPorts) {
  Link("ttySIM0", pty.Slave());
  Link("ttySIM1", temp / "gone");  // its simulator has exited
  WriteFile(temp / "plain", "not a device");
  Link("ttySIM2", temp / "plain");
  WriteFile(virtualFolder / "notes.txt", "x");
  const std::vector<PortInfo> ports = DescribeSerialPorts(sysfs.Root(), virtualFolder.string());
  ASSERT_EQ(ports.size(), 6u);

  const std::string simPath = (virtualFolder / "ttySIM0").string();
  // name, driver, USB vendor, USB product, manufacturer, product, device path; in listing order.
  const std::vector<std::vector<std::string>> expected{
      {"ttyACM0", "cdc_acm", "2341", "0043", "Arduino", "Uno", "/dev/ttyACM0"},
      {"ttyS1", "serial", "", "", "", "", "/dev/ttyS1"},
      {"ttyS2", "serial", "", "", "", "", "/dev/ttyS2"},
      {"ttyS10", "serial", "", "", "", "", "/dev/ttyS10"},
      {"ttyUSB0", "ftdi_sio", "0403", "6001", "FTDI", "FT232R USB UART", "/dev/ttyUSB0"},
      {"ttySIM0", "tola400-sim", "", "", "", "", simPath},
  };
  std::vector<std::string> names;
  for (std::size_t i = 0; i < ports.size(); ++i) {
    const PortInfo& p = ports[i];
    EXPECT_EQ((std::vector<std::string>{p.name, p.driver, p.usbVendor, p.usbProduct, p.manufacturer, p.product,
                                        p.devicePath}),
              expected[i]);
    names.push_back(expected[i][0]);
  }
  EXPECT_EQ(ListSerialPorts(sysfs.Root(), virtualFolder.string()), names);
}

TEST_F(PortDiscoveryTest, VirtualPortHidesADeviceOfTheSameNameOthersLeadIntoDev) {
  Link("ttyS1", pty.Slave());
  const std::vector<PortInfo> ports = DescribeSerialPorts(sysfs.Root(), virtualFolder.string());
  int seen = 0;
  for (const PortInfo& p : ports) {
    if (p.name != "ttyS1") continue;
    ++seen;
    EXPECT_EQ(p.devicePath, ResolvePortPath("ttyS1", virtualFolder.string()));
  }
  EXPECT_EQ(seen, 1);
  // Names without a live link, and paths, lead into /dev.
  EXPECT_EQ(ResolvePortPath("/dev/ttyUSB0", virtualFolder.string()), "/dev/ttyUSB0");
  EXPECT_EQ(ResolvePortPath("ttyUSB0", virtualFolder.string()), "/dev/ttyUSB0");
  EXPECT_EQ(ResolvePortPath("pts/3", virtualFolder.string()), "/dev/pts/3");
  EXPECT_TRUE(ListSerialPorts(temp / "nosys", temp / "nofolder").empty()) << "missing sources";
  EXPECT_TRUE(DescribeSerialPorts(temp / "nosys", "").empty());
}

TEST(VirtualPortFolderTest, FollowsTheRuntimeDirectoryElseTmpPerUser) {
  const std::string fallback = "/tmp/tola400-sim-" + std::to_string(::getuid());
  const std::pair<std::optional<std::string>, std::string> cases[] = {
      {"/run/user/1234", "/run/user/1234/tola400-sim"}, {"", fallback}, {std::nullopt, fallback}};
  for (const auto& [runtime, folder] : cases) {
    ScopedEnv env("XDG_RUNTIME_DIR", runtime);
    EXPECT_EQ(VirtualPortFolder(), folder) << runtime.value_or("(unset)");
  }
}

}  // namespace
}  // namespace tola
