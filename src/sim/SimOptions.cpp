#include "sim/SimOptions.h"

#include <fmt/format.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace tola {

namespace {

bool ParseUnsigned(const std::string& text, unsigned long long max, unsigned long long& value) {
  if (text.empty()) return false;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  errno = 0;
  char* end = nullptr;
  value = std::strtoull(text.c_str(), &end, 10);
  return errno == 0 && *end == '\0' && value <= max;
}

bool ParseRate(const std::string& text, double& rate) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  rate = std::strtod(text.c_str(), &end);
  return errno == 0 && *end == '\0' && rate >= 0.0 && rate <= 1.0;
}

}  // namespace

bool ParseRevision(const std::string& text, std::uint16_t& revision) {
  unsigned long long value = 0;
  if (text.size() == 5 && text[2] == '.') {
    const std::string digits = text.substr(0, 2) + text.substr(3, 2);
    if (!ParseUnsigned(digits, 9999, value)) return false;
  } else if (!ParseUnsigned(text, 9999, value)) {
    return false;
  }
  revision = static_cast<std::uint16_t>(value);
  return true;
}

bool ParseSimCommandLine(const std::vector<std::string>& args, SimCommandLine& out, std::string& error) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string option = args[i];
    std::string value;
    bool hasValue = false;
    if (const auto eq = option.find('='); option.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = option.substr(eq + 1);
      option = option.substr(0, eq);
      hasValue = true;
    }
    auto takeValue = [&]() -> bool {
      if (hasValue) return true;
      if (i + 1 >= args.size()) {
        error = option + " needs a value";
        return false;
      }
      value = args[++i];
      return true;
    };
    auto bad = [&](const std::string& what) {
      error = fmt::format("{}: \"{}\" is not {}", option, value, what);
      return false;
    };
    auto rate = [&](double& target) {
      if (!takeValue()) return false;
      if (!ParseRate(value, target)) return bad("a rate from 0 to 1");
      return true;
    };

    unsigned long long number = 0;
    Tola400Options& m = out.model;
    if (option == "--help" || option == "-h") {
      out.help = true;
    } else if (option == "--version") {
      out.version = true;
    } else if (option == "--speed") {
      if (!takeValue()) return false;
      if (!ParseUnsigned(value, 38400, number) ||
          (number != 4800 && number != 9600 && number != 19200 && number != 38400)) {
        return bad("4800, 9600, 19200 or 38400");
      }
      m.speed = static_cast<std::uint32_t>(number);
    } else if (option == "--serial") {
      if (!takeValue()) return false;
      if (!ParseUnsigned(value, 65535, number)) return bad("a number from 0 to 65535");
      m.serialNumber = static_cast<std::uint16_t>(number);
    } else if (option == "--revision" || option == "--revision-after-load") {
      if (!takeValue()) return false;
      std::uint16_t revision = 0;
      if (!ParseRevision(value, revision)) return bad("a revision such as 01.23");
      if (option == "--revision") {
        m.revision = revision;
      } else {
        m.revisionAfterLoad = revision;
      }
    } else if (option == "--loader") {
      m.startInLoader = true;
    } else if (option == "--answer-delay") {
      if (!takeValue()) return false;
      if (!ParseUnsigned(value, 60000, number)) return bad("milliseconds from 0 to 60000");
      m.answerDelayUs = static_cast<std::uint32_t>(number * 1000);
    } else if (option == "--eeprom-write") {
      if (!takeValue()) return false;
      if (!ParseUnsigned(value, 60000, number)) return bad("milliseconds from 0 to 60000");
      m.eepromWriteUs = static_cast<std::uint32_t>(number * 1000);
    } else if (option == "--drop") {
      if (!rate(m.faults.dropRate)) return false;
    } else if (option == "--corrupt") {
      if (!rate(m.faults.corruptRate)) return false;
    } else if (option == "--delay") {
      if (!rate(m.faults.delayRate)) return false;
    } else if (option == "--nak") {
      if (!rate(m.faults.nakRate)) return false;
    } else if (option == "--silence") {
      if (!rate(m.faults.silenceRate)) return false;
    } else if (option == "--unplug") {
      if (!rate(m.faults.unplugRate)) return false;
    } else if (option == "--seed") {
      if (!takeValue()) return false;
      if (!ParseUnsigned(value, ~0ULL, number)) return bad("a whole number");
      m.faults.seed = number;
    } else if (option == "--log") {
      if (!takeValue()) return false;
      if (value.empty()) return bad("a file name");
      out.logPath = value;
    } else if (option == "--name") {
      if (!takeValue()) return false;
      if (value.empty() || value.find('/') != std::string::npos || value == "." || value == "..") {
        return bad("a plain port name");
      }
      out.name = value;
    } else {
      error = "unknown option " + option;
      return false;
    }
  }
  return true;
}

std::string SimUsage(const std::string& program) {
  return fmt::format(
      "Usage: {0} [options]\n"
      "\n"
      "Simulates a TOLA400 amplifier on a pseudo-terminal. The port is published as a link\n"
      "named ttySIM<N> (the first free number) in the virtual-port folder\n"
      "($XDG_RUNTIME_DIR/tola400-sim, or /tmp/tola400-sim-<uid>), where the TOLA Utility\n"
      "finds it. The first line printed is the port name, the second the terminal's path.\n"
      "The simulator runs until interrupted (Ctrl+C or SIGTERM) and then removes the link.\n"
      "\n"
      "The amplifier answers only at its own line speed: when the program's port is set to\n"
      "another speed, what it sends is garbage to the amplifier and nothing comes back.\n"
      "\n"
      "Amplifier:\n"
      "  --speed BPS                line speed at start and after restarts: 4800, 9600, 19200\n"
      "                             or 38400 (default 38400)\n"
      "  --serial N                 serial number, 0 to 65535 (default 1234)\n"
      "  --revision R               firmware revision as NN.NN or a number (default 01.23)\n"
      "  --revision-after-load R    revision reported after a firmware load (default: unchanged)\n"
      "  --loader                   start in the bootstrap loader (no valid firmware), at 38400\n"
      "  --answer-delay MS          time from the end of a command to its answer (default 1)\n"
      "  --eeprom-write MS          extra time an EEPROM write takes before its echo (default 5)\n"
      "\n"
      "Fault injection (each RATE from 0 to 1, drawn from the seed):\n"
      "  --drop RATE                lose bytes, each direction, per byte\n"
      "  --corrupt RATE             flip one bit of bytes, per byte\n"
      "  --delay RATE               hold a byte (and all after it) back 150 ms, per byte\n"
      "  --nak RATE                 reject good firmware packets with \"N\", per packet\n"
      "  --silence RATE             ignore everything for 2 s after a command, per command\n"
      "  --unplug RATE              pull the cable for good after a command, per command: the\n"
      "                             terminal closes and the simulator ends with status 3\n"
      "  --seed N                   seed of the fault generator (default 1); the same seed and\n"
      "                             the same traffic give the same faults\n"
      "\n"
      "Other:\n"
      "  --log FILE                 write a time-stamped log of the traffic in both directions\n"
      "  --name NAME                publish the port under NAME instead of ttySIM<N>\n"
      "  --help                     show this text\n"
      "  --version                  show the simulator's revision\n",
      program);
}

}  // namespace tola
