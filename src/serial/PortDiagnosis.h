#pragma once
// What keeps a serial port from working on Linux, found by looking at /dev, sysfs, /proc and the
// user's groups, each finding with what to do about it. Every place looked at comes from
// DiagnosisRoots, so a faked tree can stand in for the machine.

#include <sys/types.h>

#include <string>
#include <vector>

#include "serial/VirtualPorts.h"

namespace tola {

struct DiagnosisRoots {
  std::string dev = "/dev";
  std::string sys = "/sys";
  std::string proc = "/proc";
  std::string groupFile = "/etc/group";
  std::string dpkgStatus = "/var/lib/dpkg/status";
  std::string bin = "/usr/bin";
  std::string virtualFolder = VirtualPortFolder();
};

// Who asks. The process's own identity is checked with access(), which also knows ACLs; any other
// (a test's) by the mode bits.
struct DiagnosisUser {
  std::string name;
  uid_t uid = 0;
  std::vector<gid_t> groups;  // the process's groups, primary one included
  bool isProcess = true;

  static DiagnosisUser Current();
};

struct DiagnosisRequest {
  std::vector<std::string> ports;  // port names as the program takes them; empty: every port listed
  std::string settingsFile;        // empty: not checked
  std::string firmwareFolder;
  std::string configurationFolder;
};

struct Finding {
  std::string check;    // "device", "access", "holder", "modemmanager", "brltty", "latency", "settings", "folder"
  bool ok = true;
  std::string message;  // what was found
  std::string fix;      // what to do; empty when ok
};

std::vector<Finding> DiagnosePorts(const DiagnosisRequest& request, const DiagnosisRoots& roots = {},
                                   const DiagnosisUser& user = DiagnosisUser::Current());

// "OK  <message>" or "FIX <message>: <fix>".
std::string FindingLine(const Finding& finding);

}  // namespace tola
