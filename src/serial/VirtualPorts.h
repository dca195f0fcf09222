#pragma once
// The simulator publishes each of its pseudo-terminal ports as a symbolic link in a per-user runtime
// folder ("ttySIM0" -> "/dev/pts/4"); port names given without a path are looked up there first.

#include <string>
#include <vector>

namespace tola {

// $XDG_RUNTIME_DIR/tola400-sim when that variable is set and not empty, else /tmp/tola400-sim-<uid>.
std::string VirtualPortFolder();

struct VirtualPort {
  std::string name;    // the link's name, used as the port name
  std::string path;    // the link itself, which Open uses
  std::string target;  // what the link points at
};

// The live virtual ports in `folder`, sorted by name: links whose target exists and is a character
// device. Stale links (their simulator is gone) are left out. Never fails; a missing folder is empty.
std::vector<VirtualPort> ListVirtualPorts(const std::string& folder = VirtualPortFolder());

// The device path Open uses for a port name: a name starting with "/" as it stands; a live virtual
// port of that name in `virtualFolder`; otherwise "/dev/" + name.
std::string ResolvePortPath(const std::string& name,
                            const std::string& virtualFolder = VirtualPortFolder());

}  // namespace tola
