#include "serial/PortDiagnosis.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <system_error>

#include "serial/PortDiscoveryPosix.h"
#include "serial/PosixSerialPort.h"

namespace tola {

namespace fs = std::filesystem;

namespace {

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

// The process's own identity goes through access(), which knows ACLs and root; another by the bits.
bool MayAccess(const std::string& path, int mode, const DiagnosisUser& user) {
  if (user.isProcess) return ::access(path.c_str(), mode) == 0;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  if (user.uid == 0) return true;
  unsigned shift = 0;
  if (st.st_uid == user.uid) shift = 6;
  else if (std::find(user.groups.begin(), user.groups.end(), st.st_gid) != user.groups.end()) shift = 3;
  const unsigned bits = (st.st_mode >> shift) & 7u;
  return (bits & static_cast<unsigned>(mode)) == static_cast<unsigned>(mode);
}

struct GroupEntry {
  std::string name;
  std::vector<std::string> members;
};

std::optional<GroupEntry> FindGroup(const std::string& groupFile, gid_t gid) {
  std::ifstream in(groupFile);
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> fields;
    std::stringstream parts(line);
    for (std::string field; std::getline(parts, field, ':');) fields.push_back(field);
    if (fields.size() < 3 || fields[2] != std::to_string(gid)) continue;
    GroupEntry entry{fields[0], {}};
    if (fields.size() > 3) {
      std::stringstream members(fields[3]);
      for (std::string member; std::getline(members, member, ',');) entry.members.push_back(member);
    }
    return entry;
  }
  return std::nullopt;
}

std::vector<std::string> ProcessIds(const std::string& proc) {
  std::vector<std::string> pids;
  std::error_code ec;
  for (fs::directory_iterator it(proc, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (!name.empty() && std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      pids.push_back(name);
    }
  }
  return pids;
}

// The device path Open would use, with the /dev of `roots`.
std::string DevicePath(const std::string& name, const DiagnosisRoots& roots) {
  const std::string resolved = ResolvePortPath(name, roots.virtualFolder);
  if (resolved == "/dev/" + name) return roots.dev + "/" + name;
  return resolved;
}

struct Holders {
  std::vector<std::string> found;  // "comm (pid N)"
  unsigned unreadable = 0;
};

Holders FindHolders(const std::string& device, const std::string& exceptPid, const DiagnosisRoots& roots) {
  Holders holders;
  std::error_code ec;
  const fs::path target = fs::weakly_canonical(device, ec);
  const std::string self = std::to_string(::getpid());
  for (const std::string& pid : ProcessIds(roots.proc)) {
    if (pid == self || pid == exceptPid) continue;
    std::error_code dirError;
    fs::directory_iterator it(roots.proc + "/" + pid + "/fd", dirError);
    if (dirError) {
      if (dirError == std::errc::permission_denied) ++holders.unreadable;
      continue;
    }
    for (fs::directory_iterator end; !dirError && it != end; it.increment(dirError)) {
      std::error_code linkError;
      const fs::path link = fs::read_symlink(it->path(), linkError);
      if (linkError || (link != target && link != fs::path(device))) continue;
      holders.found.push_back(ReadAttribute(roots.proc + "/" + pid + "/comm") + " (pid " + pid + ")");
      break;
    }
  }
  return holders;
}

struct OpenProbe {
  bool opened = false;
  bool busy = false;         // EBUSY, our lock taken, or marked exclusive by another
  bool lowLatency = false;   // the driver took the low-latency request
};

// Opens the port as the program does, briefly, to see whether it is kept for someone else alone.
OpenProbe ProbeOpen(const std::string& device, bool askLowLatency) {
  OpenProbe probe;
  const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    probe.busy = errno == EBUSY;
    return probe;
  }
  probe.opened = true;
  int exclusive = 0;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) probe.busy = errno == EWOULDBLOCK;
  else if (::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0) probe.busy = true;
  if (!probe.busy && askLowLatency) {
    probe.lowLatency = RequestLowLatency(fd);
  }
  ::close(fd);
  return probe;
}

std::string LatencyFile(const std::string& name, const DiagnosisRoots& roots) {
  for (const std::string& file : {roots.sys + "/bus/usb-serial/devices/" + name + "/latency_timer",
                                  roots.sys + "/class/tty/" + name + "/device/latency_timer"}) {
    if (::access(file.c_str(), F_OK) == 0) return file;
  }
  return {};
}

void DiagnosePort(const std::string& name, const DiagnosisRoots& roots, const DiagnosisUser& user,
                  std::vector<Finding>& out) {
  const std::string device = DevicePath(name, roots);
  struct stat st {};
  if (::stat(device.c_str(), &st) != 0) {
    out.push_back({"device", false, name + ": there is no device " + device,
                   "plug the adapter in (or start tola400-sim); `tola ports` lists the ports there are, and a "
                   "ttyUSB device that vanishes right after plugging in is often taken by brltty"});
    return;
  }
  out.push_back({"device", true, name + ": the device " + device + " exists", {}});

  const bool mayOpen = MayAccess(device, R_OK | W_OK, user);
  if (mayOpen) {
    out.push_back({"access", true, name + ": " + user.name + " may open it", {}});
  } else {
    const std::optional<GroupEntry> group = FindGroup(roots.groupFile, st.st_gid);
    const std::string groupName = group ? group->name : std::to_string(st.st_gid);
    const bool inProcess = std::find(user.groups.begin(), user.groups.end(), st.st_gid) != user.groups.end();
    const bool listed = group && std::find(group->members.begin(), group->members.end(), user.name) !=
                                     group->members.end();
    const std::string found = name + ": " + user.name + " may not open " + device + " (group " + groupName + ")";
    const bool groupMayUse = (st.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
    if (!groupMayUse && !inProcess) {
      // Only the owner may use it (a pseudo-terminal, say): joining its group would not help.
      out.push_back({"access", false, found + ", and only its owner may use it",
                     "give it to the serial ports' group for now: sudo chgrp dialout " + device +
                         " && sudo chmod 660 " + device + "; for good, a udev rule with GROUP=\"dialout\", "
                         "MODE=\"0660\" for the adapter"});
    } else if (inProcess) {
      out.push_back({"access", false, found, "the group " + groupName + " lacks read and write rights on it: sudo chmod g+rw " + device});
    } else if (listed) {
      out.push_back({"access", false, found,
                     user.name + " was added to the group " + groupName +
                         " after logging in; log out and in again (or restart) for it to count"});
    } else {
      out.push_back({"access", false, found,
                     "sudo usermod -aG " + groupName + " $USER, then log out and in again (or restart)"});
    }
  }

  const bool usbSerial = StartsWith(name, "ttyUSB");
  const std::string latencyFile = usbSerial ? LatencyFile(name, roots) : std::string();
  const auto latency = [&latencyFile] {
    unsigned value = 0;
    std::istringstream(ReadAttribute(latencyFile)) >> value;
    return value;
  };
  const bool slow = !latencyFile.empty() && latency() > 1;

  // The simulator that published a virtual port keeps its terminal open: it is no rival.
  const Holders holders = FindHolders(device, VirtualPortPublisher(name, roots.virtualFolder), roots);
  const OpenProbe probe = mayOpen ? ProbeOpen(device, slow) : OpenProbe{};
  if (!holders.found.empty()) {
    std::string who;
    for (const std::string& h : holders.found) who += (who.empty() ? "" : ", ") + h;
    out.push_back({"holder", false, name + ": held by " + who,
                   "close that program (the port serves one program at a time)"});
  } else if (probe.busy) {
    out.push_back({"holder", false, name + ": in use by another program that keeps it to itself",
                   "close the other program (another TOLA Utility or tola, a terminal or CAT program)" +
                       std::string(holders.unreadable != 0 ? "; run `sudo tola doctor` to name it" : "")});
  } else if (holders.unreadable != 0) {
    out.push_back({"holder", true,
                   name + ": no other program seen holding it (" + std::to_string(holders.unreadable) +
                       " processes could not be looked into without root)",
                   {}});
  } else {
    out.push_back({"holder", true, name + ": no other program holds it", {}});
  }

  if (!latencyFile.empty()) {
    const unsigned now = latency();
    if (now <= 1) {
      out.push_back({"latency", true, name + ": the adapter's latency timer is " + std::to_string(now) + " ms" +
                                          (slow ? " (lowered when asked)" : ""),
                     {}});
    } else {
      out.push_back({"latency", false,
                     name + ": the adapter's latency timer is " + std::to_string(now) +
                         " ms and it was not lowered" + (probe.opened ? " when the program asked for low latency" : ""),
                     "echo 1 | sudo tee " + latencyFile +
                         "; to have it at every plug-in, a udev rule: ACTION==\"add\", SUBSYSTEM==\"usb-serial\", "
                         "DRIVER==\"ftdi_sio\", ATTR{latency_timer}=\"1\""});
    }
  }
}

bool ModemManagerRuns(const DiagnosisRoots& roots) {
  const std::vector<std::string> pids = ProcessIds(roots.proc);
  return std::any_of(pids.begin(), pids.end(),
                     [&](const std::string& pid) { return ReadAttribute(roots.proc + "/" + pid + "/comm") == "ModemManager"; });
}

bool BrlttyInstalled(const DiagnosisRoots& roots) {
  if (::access((roots.bin + "/brltty").c_str(), F_OK) == 0) return true;
  std::ifstream in(roots.dpkgStatus);
  bool inStanza = false;
  for (std::string line; std::getline(in, line);) {
    if (StartsWith(line, "Package: ")) inStanza = line == "Package: brltty";
    else if (inStanza && StartsWith(line, "Status: ")) return line.find(" installed") != std::string::npos;
  }
  return false;
}

void DiagnoseModemManager(const std::vector<PortInfo>& ports, const DiagnosisRoots& roots, std::vector<Finding>& out) {
  if (!ModemManagerRuns(roots)) {
    out.push_back({"modemmanager", true, "ModemManager is not running", {}});
    return;
  }
  std::vector<std::string> rules;
  for (const PortInfo& p : ports) {
    if (!StartsWith(p.name, "ttyUSB") && !StartsWith(p.name, "ttyACM")) continue;
    const std::string rule = p.usbVendor.empty()
                                 ? std::string("ATTRS{idVendor}==\"VVVV\", ATTRS{idProduct}==\"PPPP\"")
                                 : "ATTRS{idVendor}==\"" + p.usbVendor + "\", ATTRS{idProduct}==\"" + p.usbProduct + "\"";
    rules.push_back(rule + ", ENV{ID_MM_DEVICE_IGNORE}=\"1\"");
  }
  if (rules.empty()) {
    out.push_back({"modemmanager", true, "ModemManager runs, but leaves ports other than ttyUSB and ttyACM alone", {}});
    return;
  }
  std::string lines;
  for (const std::string& r : rules) lines += (lines.empty() ? "" : " and ") + r;
  out.push_back({"modemmanager", false,
                 "ModemManager runs: it probes new ttyUSB and ttyACM devices and garbles the first seconds of a "
                 "conversation",
                 "make it ignore the adapter with /etc/udev/rules.d/99-tola-serial.rules holding " + lines +
                     ", then sudo udevadm control --reload-rules and plug the adapter in again; or, with no modem "
                     "to serve, sudo systemctl disable --now ModemManager"});
}

void DiagnoseFile(const std::string& path, std::vector<Finding>& out, const DiagnosisUser& user) {
  const std::string what = "the settings file " + Quoted(path);
  if (::access(path.c_str(), F_OK) == 0) {
    if (std::error_code ec; !fs::is_regular_file(path, ec)) {
      out.push_back({"settings", false, what + " is not a file", "move it out of the way"});
    } else if (MayAccess(path, R_OK | W_OK, user)) {
      out.push_back({"settings", true, what + " may be read and written", {}});
    } else {
      out.push_back({"settings", false, what + " may not be read and written by " + user.name,
                     "sudo chown $USER " + Quoted(path) + " && chmod u+rw " + Quoted(path)});
    }
    return;
  }
  // Missing: it is made at the first save, in the nearest folder that is there.
  fs::path folder = fs::path(path).parent_path();
  std::error_code ec;
  while (!folder.empty() && folder != folder.root_path() && !fs::is_directory(folder, ec)) folder = folder.parent_path();
  if (folder.empty() || MayAccess(folder.string(), W_OK | X_OK, user)) {
    out.push_back({"settings", true, what + " does not exist yet; the first save makes it", {}});
  } else {
    out.push_back({"settings", false, what + " cannot be made: " + folder.string() + " is not writable",
                   "sudo chown $USER " + Quoted(folder.string())});
  }
}

void DiagnoseFolder(const std::string& what, const std::string& path, const std::string& page,
                    std::vector<Finding>& out, const DiagnosisUser& user) {
  std::error_code ec;
  if (path.empty()) {
    out.push_back({"folder", false, "no " + what + " is set", "choose one on the " + page + " page"});
  } else if (!fs::is_directory(path, ec)) {
    out.push_back({"folder", false, "the " + what + " " + Quoted(path) + " is missing",
                   "mkdir -p " + Quoted(path) + ", or choose another on the " + page + " page"});
  } else if (!MayAccess(path, R_OK | W_OK | X_OK, user)) {
    out.push_back({"folder", false, "the " + what + " " + Quoted(path) + " is not writable by " + user.name,
                   "sudo chown $USER " + Quoted(path)});
  } else {
    out.push_back({"folder", true, "the " + what + " " + Quoted(path) + " is present", {}});
  }
}

}  // namespace

DiagnosisUser DiagnosisUser::Current() {
  DiagnosisUser user;
  user.uid = ::getuid();
  if (const passwd* pw = ::getpwuid(user.uid)) user.name = pw->pw_name;
  if (user.name.empty()) user.name = std::to_string(user.uid);
  const int count = ::getgroups(0, nullptr);
  if (count > 0) {
    user.groups.resize(static_cast<std::size_t>(count));
    user.groups.resize(static_cast<std::size_t>(std::max(0, ::getgroups(count, user.groups.data()))));
  }
  user.groups.push_back(::getgid());
  return user;
}

std::vector<Finding> DiagnosePorts(const DiagnosisRequest& request, const DiagnosisRoots& roots,
                                   const DiagnosisUser& user) {
  std::vector<Finding> out;
  const std::vector<PortInfo> listed = DescribeSerialPorts(roots.sys, roots.virtualFolder);
  std::vector<std::string> names = request.ports;
  if (names.empty()) {
    for (const PortInfo& p : listed) names.push_back(p.name);
    if (names.empty()) {
      out.push_back({"device", false, "no serial ports found",
                     "plug the adapter in (or start tola400-sim); a ttyUSB device that vanishes right after "
                     "plugging in is often taken by brltty"});
    }
  }
  std::vector<PortInfo> chosen;
  for (const std::string& name : names) {
    DiagnosePort(name, roots, user, out);
    const auto it = std::find_if(listed.begin(), listed.end(), [&](const PortInfo& p) { return p.name == name; });
    PortInfo info;
    info.name = name;
    chosen.push_back(it != listed.end() ? *it : info);
  }
  DiagnoseModemManager(chosen, roots, out);
  if (BrlttyInstalled(roots)) {
    out.push_back({"brltty", false,
                   "brltty is installed: it claims some USB-serial adapters (CH340, CP210x), whose ttyUSB device "
                   "then vanishes",
                   "unless a Braille display is used, sudo apt remove brltty; or keep it off adapters with sudo "
                   "systemctl mask brltty-udev.service"});
  } else {
    out.push_back({"brltty", true, "brltty is not installed", {}});
  }
  if (!request.settingsFile.empty()) DiagnoseFile(request.settingsFile, out, user);
  DiagnoseFolder("firmware folder", request.firmwareFolder, "Firmware", out, user);
  DiagnoseFolder("configuration folder", request.configurationFolder, "Configuration", out, user);
  return out;
}

std::string FindingLine(const Finding& finding) {
  return finding.ok ? "OK  " + finding.message : "FIX " + finding.message + ": " + finding.fix;
}

}  // namespace tola
