#include "serial/PortDiagnosis.h"

#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>

#include "support/TempFolder.h"

namespace tola {
namespace {

namespace fs = std::filesystem;

void Write(const fs::path& file, const std::string& text) {
  fs::create_directories(file.parent_path());
  std::ofstream(file) << text;
}

// A machine in a folder: one FTDI adapter as ttyUSB0 in the caller's group, a /proc with an
// ordinary process, a group file and a user who may use the adapter. Everything is in order until
// a case breaks one thing.
struct FakeMachine {
  test::TempFolder temp;
  DiagnosisRoots roots;
  DiagnosisUser user;
  DiagnosisRequest request;
  std::string device;

  FakeMachine() {
    const fs::path root = temp.Path();
    roots = {(root / "dev").string(), (root / "sys").string(),  (root / "proc").string(),
             (root / "etc/group").string(), (root / "dpkg/status").string(), (root / "bin").string(),
             (root / "run").string()};
    fs::create_directories(roots.bin);
    fs::create_directories(roots.virtualFolder);
    device = roots.dev + "/ttyUSB0";
    Write(device, "");
    ::chmod(device.c_str(), 0660);
    // Another uid than the files' owner: the device's group decides, the user's files are open to all.
    user = {"alice", ::getuid() + 4242, {::getgid()}, false};
    Write(roots.groupFile, "root:x:0:\ndialout:x:" + std::to_string(::getgid()) + ":alice\n");
    Write(roots.dpkgStatus, "Package: bash\nStatus: install ok installed\n\nPackage: brltty\nStatus: deinstall ok config-files\n");
    Write(roots.proc + "/1/comm", "systemd\n");
    fs::create_directories(roots.proc + "/1/fd");

    const fs::path usb = root / "sys/devices/usb1/1-1";
    const fs::path tty = usb / "1-1:1.0/ttyUSB0";
    Write(usb / "idVendor", "0403\n");
    Write(usb / "idProduct", "6001\n");
    fs::create_directories(tty / "tty/ttyUSB0");
    fs::create_directories(root / "sys/class/tty");
    fs::create_directory_symlink(tty, tty / "tty/ttyUSB0/device");
    fs::create_directory_symlink(tty / "tty/ttyUSB0", root / "sys/class/tty/ttyUSB0");
    Write(root / "sys/bus/usb-serial/devices/ttyUSB0/latency_timer", "1\n");

    request.settingsFile = (root / "home/settings.reg").string();
    Write(request.settingsFile, "");
    ::chmod(request.settingsFile.c_str(), 0666);
    request.firmwareFolder = (root / "home/firmware").string();
    request.configurationFolder = (root / "home/configuration").string();
    for (const std::string& folder : {request.firmwareFolder, request.configurationFolder}) {
      fs::create_directories(folder);
      ::chmod(folder.c_str(), 0777);
    }
  }

  std::vector<Finding> Diagnose() const { return DiagnosePorts(request, roots, user); }
};

struct Cause {
  const char* name;
  std::function<void(FakeMachine&)> apply;
  const char* check;  // the one finding that must turn into a fix
  const char* fix;    // part of what it says to do
};

TEST(PortDiagnosis, EachCauseGivesItsOwnFixAndNothingElse) {
  int lockFd = -1;
  const std::vector<Cause> causes{
      {"no device", [](FakeMachine& m) { fs::remove(m.device); }, "device", "plug the adapter in"},
      {"not in the group",
       [](FakeMachine& m) {
         m.user.groups.clear();
         Write(m.roots.groupFile, "dialout:x:" + std::to_string(::getgid()) + ":bob\n");
       },
       "access", "sudo usermod -aG dialout $USER"},
      {"only the owner may use it",
       [](FakeMachine& m) {
         m.user.groups.clear();
         ::chmod(m.device.c_str(), 0600);
       },
       "access", "sudo chgrp dialout"},
      {"added to the group since the login", [](FakeMachine& m) { m.user.groups.clear(); }, "access",
       "log out and in again"},
      {"held by another process",
       [](FakeMachine& m) {
         Write(m.roots.proc + "/77/comm", "minicom\n");
         fs::create_directories(m.roots.proc + "/77/fd");
         fs::create_symlink(m.device, m.roots.proc + "/77/fd/3");
       },
       "holder", "close that program"},
      {"locked by another copy",
       [&lockFd](FakeMachine& m) {
         lockFd = ::open(m.device.c_str(), O_RDWR | O_CLOEXEC);
         ::flock(lockFd, LOCK_EX);
       },
       "holder", "close the other program"},
      {"ModemManager running", [](FakeMachine& m) { Write(m.roots.proc + "/88/comm", "ModemManager\n"); },
       "modemmanager", "ATTRS{idVendor}==\"0403\", ATTRS{idProduct}==\"6001\", ENV{ID_MM_DEVICE_IGNORE}=\"1\""},
      {"brltty in the package list",
       [](FakeMachine& m) { Write(m.roots.dpkgStatus, "Package: brltty\nStatus: install ok installed\n"); }, "brltty",
       "apt remove brltty"},
      {"brltty program present", [](FakeMachine& m) { Write(m.roots.bin + "/brltty", ""); }, "brltty",
       "brltty-udev.service"},
      {"slow latency timer",
       [](FakeMachine& m) { Write(m.roots.sys + "/bus/usb-serial/devices/ttyUSB0/latency_timer", "16\n"); },
       "latency", "echo 1 | sudo tee"},
      {"settings file read-only", [](FakeMachine& m) { ::chmod(m.request.settingsFile.c_str(), 0644); }, "settings",
       "chmod u+rw"},
      {"firmware folder missing", [](FakeMachine& m) { fs::remove(m.request.firmwareFolder); }, "folder",
       "mkdir -p"},
      {"configuration folder not writable",
       [](FakeMachine& m) { ::chmod(m.request.configurationFolder.c_str(), 0755); }, "folder", "sudo chown $USER"},
  };
  for (const Cause& cause : causes) {
    SCOPED_TRACE(cause.name);
    FakeMachine machine;
    // Without the cause, the check is there and fine (the adapter comes from the faked sysfs).
    const std::vector<Finding> before = machine.Diagnose();
    std::set<std::string> checks;
    for (const Finding& f : before) {
      EXPECT_TRUE(f.ok) << FindingLine(f);
      checks.insert(f.check);
    }
    EXPECT_TRUE(checks.count(cause.check)) << "no " << cause.check << " check";

    cause.apply(machine);
    std::vector<std::string> fixes;
    for (const Finding& f : machine.Diagnose()) {
      if (f.ok) continue;
      fixes.push_back(FindingLine(f));
      EXPECT_EQ(f.check, cause.check) << FindingLine(f);
      EXPECT_NE(f.fix.find(cause.fix), std::string::npos) << FindingLine(f);
    }
    EXPECT_EQ(fixes.size(), 1u);
    if (lockFd >= 0) ::close(lockFd);
    lockFd = -1;
  }
}

}  // namespace
}  // namespace tola
