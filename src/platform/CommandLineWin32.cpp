#include "platform/CommandLine.h"
#include "platform/Win32.h"
#include "platform/Win32Text.h"

#include <shellapi.h>

namespace tola {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return argc < 1 ? std::vector<std::string>() : std::vector<std::string>(argv + 1, argv + argc);
  std::vector<std::string> args;
  for (int i = 1; i < count; ++i) args.push_back(Utf8(wide[i]));
  ::LocalFree(wide);
  return args;
}

}  // namespace tola
