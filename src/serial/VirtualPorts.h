#pragma once
// The simulator publishes each of its pseudo-terminal ports as a symbolic link in a per-user runtime
// folder ("ttySIM0" -> "/dev/pts/4"); port names given without a path are looked up there first.
//
// Beside each link lies a lock file (".ttySIM0.lock") holding the publisher's pid and the link's
// target, which the publisher keeps locked for as long as it lives. The kernel drops that lock
// however the publisher ends, so a link counts only while its lock is held and the file names the
// link's target: a dead simulator's link may point at a pseudo-terminal number that another
// program has been given since, and a recorded pid alone may have been reused.

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

// The live virtual ports in `folder`, sorted by name: links whose target is a character device and
// whose publisher is alive. Stale links are left out. Never fails; a missing folder is empty.
std::vector<VirtualPort> ListVirtualPorts(const std::string& folder = VirtualPortFolder());

// The device path Open uses for a port name: a name starting with "/" as it stands; a live virtual
// port of that name in `virtualFolder`; otherwise "/dev/" + name.
std::string ResolvePortPath(const std::string& name,
                            const std::string& virtualFolder = VirtualPortFolder());

// The pid the publisher of virtual port `name` recorded in its lock file; empty when there is none.
std::string VirtualPortPublisher(const std::string& name, const std::string& folder = VirtualPortFolder());

// A link this process publishes, with its lock held until Withdraw or the end of the process.
class PublishedPort {
 public:
  PublishedPort() = default;
  ~PublishedPort() { Withdraw(); }
  PublishedPort(const PublishedPort&) = delete;
  PublishedPort& operator=(const PublishedPort&) = delete;

  // Publishes `target` as `name` in `folder` (which must exist), replacing a stale link of that
  // name. False with errno set on failure; EEXIST when a live publisher has the name.
  bool Publish(const std::string& folder, const std::string& name, const std::string& target);
  // Removes the link (only while it still points at this target) and the lock file.
  void Withdraw();

  const std::string& LinkPath() const { return m_linkPath; }

 private:
  int m_lockFd = -1;
  std::string m_linkPath;
  std::string m_lockPath;
  std::string m_target;
};

// Removes from `folder` the links and lock files whose publisher is gone; returns how many links.
std::size_t RemoveStaleVirtualPorts(const std::string& folder);

}  // namespace tola
