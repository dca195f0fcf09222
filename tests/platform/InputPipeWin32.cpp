#include "InputPipe.h"
#include "platform/Win32.h"

namespace tola::test {

// The reader of standard input takes the handle when it starts, and it stays with it: the pipe
// stays standard input once replaced.
struct InputPipe::Ends {
  HANDLE write = nullptr;
};

InputPipe::InputPipe() : m_ends(std::make_unique<Ends>()) {
  HANDLE read = nullptr;
  if (!::CreatePipe(&read, &m_ends->write, nullptr, 0)) return;
  ::SetStdHandle(STD_INPUT_HANDLE, read);
}

InputPipe::~InputPipe() { Close(); }

void InputPipe::Write(const std::string& bytes) {
  DWORD written = 0;
  ::WriteFile(m_ends->write, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void InputPipe::Close() {
  if (m_ends->write) ::CloseHandle(m_ends->write);
  m_ends->write = nullptr;
}

}  // namespace tola::test
