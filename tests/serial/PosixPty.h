#pragma once
// A pseudo-terminal for the Linux serial tests.

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <string>

#include "SerialTestSupport.h"
#include "support/TempFolder.h"

namespace tola::test {

// A pseudo-terminal: the test holds the master, the port under test opens the slave by path.
class Pty {
 public:
  Pty() {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) return;
    std::array<char, 128> name{};
    if (::ptsname_r(m_master, name.data(), name.size()) == 0) m_slave = name.data();
  }
  ~Pty() { CloseMaster(); }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  bool Ok() const { return m_master >= 0 && !m_slave.empty(); }
  int Master() const { return m_master; }
  const std::string& Slave() const { return m_slave; }

  // Closing the master is what unplugging an adapter looks like to the slave.
  void CloseMaster() {
    if (m_master >= 0) ::close(m_master);
    m_master = -1;
  }

  bool Send(const std::string& bytes) const {
    return ::write(m_master, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }

  termios SlaveSettings() const {
    termios t{};
    ::tcgetattr(m_master, &t);
    return t;
  }

  std::string Receive(std::size_t count) const {
    std::string got;
    WaitFor([&] {
      pollfd p{m_master, POLLIN, 0};
      std::array<char, 4096> buffer{};
      const bool ready = ::poll(&p, 1, 100) > 0;
      const ssize_t n = ready ? ::read(m_master, buffer.data(), std::min(buffer.size(), count - got.size())) : 0;
      if (n > 0) got.append(buffer.data(), static_cast<std::size_t>(n));
      return got.size() >= count || (ready && n <= 0);
    });
    return got;
  }

 private:
  int m_master = -1;
  std::string m_slave;
};

}  // namespace tola::test
