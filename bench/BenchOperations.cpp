#include "bench/BenchOperations.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "bench/Link.h"
#include "operations/FirmwareLoadMachine.h"
#include "operations/OperateMachine.h"
#include "tests/support/FirmwareHex.h"

namespace tola::bench {

namespace {

template <typename Machine>
Machine& Install(Link& wire) {
  auto machine = std::make_unique<Machine>(wire.App());
  Machine& ref = *machine;
  wire.App().ReplaceOperationMachine(std::move(machine));
  return ref;
}

bool RunUntilIdle(Link& wire, Dialogue& machine, std::uint32_t limitMs) {
  return wire.Loop().RunUntil([&] { return machine.IsIdle(); }, limitMs);
}

// A firmware file in a private folder, removed again after the load.
class FirmwareFile {
 public:
  explicit FirmwareFile(std::size_t length) {
    char folder[] = "/tmp/tola-bench-fw-XXXXXX";
    if (::mkdtemp(folder) == nullptr) return;
    m_folder = folder;
    m_path = m_folder + "/tola400fw0200.hex";
    std::ofstream(m_path) << test::WindowToIntelHex(test::MakeFirmwareWindow(length, 7));
  }
  ~FirmwareFile() {
    ::unlink(m_path.c_str());
    ::rmdir(m_folder.c_str());
  }
  const std::string& Path() const { return m_path; }

 private:
  std::string m_folder;
  std::string m_path;
};

bool LoadFirmware(Link& wire, std::size_t length) {
  FirmwareFile file(length);
  wire.App().firmwareToSend.Change(FirmwareToSend{200, file.Path()});
  auto& machine = Install<FirmwareLoadMachine>(wire);
  if (!machine.StartLoad(nullptr)) return false;
  RunUntilIdle(wire, machine, 600000);
  return machine.Result() == 0;
}

bool OperateCycles(Link& wire, unsigned cycles) {
  auto& machine = Install<OperateMachine>(wire);
  for (unsigned i = 0; i < cycles; ++i) {
    if (!machine.StartCycle() || !RunUntilIdle(wire, machine, 30000) || machine.Result() != 0) return false;
  }
  return true;
}

}  // namespace

std::vector<Operation> Operations(bool quick) {
  const std::size_t imageBytes = quick ? 16 * 1024 : test::kWindowSize;
  const unsigned cycles = quick ? 10 : 100;
  return {
      {quick ? "firmware load (16 KiB)" : "firmware load (full)", [imageBytes](Link& w) { return LoadFirmware(w, imageBytes); }},
      {std::to_string(cycles) + " operate cycles", [cycles](Link& w) { return OperateCycles(w, cycles); }},
  };
}

}  // namespace tola::bench
