// tola: the TOLA Utility on the command line.

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "platform/CommandLine.h"

int main(int argc, char** argv) {
  return tola::cli::Dispatch(tola::ProgramArguments(argc, argv));
}
