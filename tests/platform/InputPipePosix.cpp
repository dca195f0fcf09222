#include <unistd.h>

#include "InputPipe.h"

namespace tola::test {

struct InputPipe::Ends {
  int savedInput = -1;
  int write = -1;
};

InputPipe::InputPipe() : m_ends(std::make_unique<Ends>()) {
  int fds[2] = {-1, -1};
  if (::pipe(fds) != 0) return;
  m_ends->savedInput = ::dup(STDIN_FILENO);
  ::dup2(fds[0], STDIN_FILENO);
  ::close(fds[0]);
  m_ends->write = fds[1];
}

InputPipe::~InputPipe() {
  Close();
  if (m_ends->savedInput >= 0) {
    ::dup2(m_ends->savedInput, STDIN_FILENO);
    ::close(m_ends->savedInput);
  }
}

void InputPipe::Write(const std::string& bytes) {
  [[maybe_unused]] const ssize_t n = ::write(m_ends->write, bytes.data(), bytes.size());
}

void InputPipe::Close() {
  if (m_ends->write >= 0) ::close(m_ends->write);
  m_ends->write = -1;
}

}  // namespace tola::test
