#include "bench/BenchOperations.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>

#include "bench/Link.h"
#include "formats/ConfigurationFile.h"
#include "operations/ConfigRestoreMachine.h"
#include "operations/ConfigSaveMachine.h"
#include "operations/FaultTableMachine.h"
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

// The saved configuration, kept for the restore that follows.
struct SavedConfiguration {
  std::string path = "/tmp/tola-bench-" + std::to_string(::getpid()) + ".TOLAConfig";
  bool saved = false;
  ~SavedConfiguration() { ::unlink(path.c_str()); }
};

bool SaveConfiguration(Link& wire, SavedConfiguration& saved) {
  auto& machine = Install<ConfigSaveMachine>(wire);
  if (!machine.Start()) return false;
  RunUntilIdle(wire, machine, 600000);
  if (machine.Result() != 0) return false;
  AppState& app = wire.App();
  ConfigurationIdentity identity;
  identity.utilityRevision = UtilityRevisionText();
  identity.firmwareRevision = app.installedRevision.Get();
  identity.serialNumber = app.serialNumber.Get();
  saved.saved = WriteConfigurationFile(saved.path, app.GetHost().Now(), machine.Mem2Image(), machine.Mem3Image(),
                                       identity)
                    .Good();
  return saved.saved;
}

bool RestoreConfiguration(Link& wire, const SavedConfiguration& saved) {
  if (!saved.saved) return false;
  AppState& app = wire.App();
  auto& machine = Install<ConfigRestoreMachine>(wire);
  if (!ReadConfigurationFile(saved.path, machine, app.serialNumber.Get()).Good()) return false;
  if (!machine.Start()) return false;
  RunUntilIdle(wire, machine, 600000);
  return machine.Result() == 0;
}

bool ReadFaultTable(Link& wire) {
  auto& machine = Install<FaultTableMachine>(wire);
  if (!machine.Start()) return false;
  RunUntilIdle(wire, machine, 600000);
  return machine.Result() == 0;
}

}  // namespace

std::vector<Operation> Operations(bool quick) {
  auto saved = std::make_shared<SavedConfiguration>();
  const std::size_t imageBytes = quick ? 16 * 1024 : test::kWindowSize;
  const unsigned cycles = quick ? 10 : 100;
  return {
      {quick ? "firmware load (16 KiB)" : "firmware load (full)", [imageBytes](Link& w) { return LoadFirmware(w, imageBytes); }},
      {"configuration save", [saved](Link& w) { return SaveConfiguration(w, *saved); }},
      {"configuration restore", [saved](Link& w) { return RestoreConfiguration(w, *saved); }},
      {"fault table", ReadFaultTable},
      {std::to_string(cycles) + " operate cycles", [cycles](Link& w) { return OperateCycles(w, cycles); }},
  };
}

}  // namespace tola::bench
