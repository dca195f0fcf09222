#pragma once
// Standard input replaced by a pipe the test writes to, for the length of a test (one file per
// system).

#include <memory>
#include <string>

namespace tola::test {

class InputPipe {
 public:
  InputPipe();
  ~InputPipe();
  InputPipe(const InputPipe&) = delete;
  InputPipe& operator=(const InputPipe&) = delete;

  void Write(const std::string& bytes);
  void Close();  // the end of input

 private:
  struct Ends;
  std::unique_ptr<Ends> m_ends;
};

}  // namespace tola::test
