#pragma once
// A firmware load on virtual time: the amplifier model behind the simulated port, a firmware file in
// a scratch folder, and the "Sending Firmware" controller with a view that records what a dialog
// would show; the Firmware page with its dialogs driven on virtual time.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "firmware/FirmwareFolder.h"
#include "operations/SendFirmware.h"
#include "support/TempFolder.h"
#include "support/FirmwareHex.h"
#include "support/SimApp.h"

namespace tola::test {

class RecordingSendingView : public SendingFirmwareView {
 public:
  void AppendLog(const std::string& text) override { log.push_back(text); }
  void SetTitle(const std::string& text) override { title = text; }
  void SetProgressRange(std::uint32_t maximum) override { range = maximum; }
  void SetProgressPosition(std::uint32_t value) override { position = value; }
  void SetBusy(bool value) override { busy = value; }
  void SetButtonCaption(const std::string& text) override { caption = text; }
  void CloseView(int result) override { closedWith = result; }

  std::size_t Count(const std::string& part) const {
    return static_cast<std::size_t>(
        std::count_if(log.begin(), log.end(), [&](const std::string& l) { return l.find(part) != std::string::npos; }));
  }
  bool Has(const std::string& line) const { return std::find(log.begin(), log.end(), line) != log.end(); }

  std::vector<std::string> log;
  std::string title;
  std::uint32_t range = 0;
  std::uint32_t position = 0;
  bool busy = false;
  std::string caption = "Cancel";
  std::optional<int> closedWith;
};

class FirmwareLoadRig {
 public:
  explicit FirmwareLoadRig(Tola400Options options = {}, bool connected = true) : sim(std::move(options), connected) {}

  // Writes `window` as tola400fwNNNN.hex (NNNN the revision) and returns its path.
  std::string WriteFirmware(const std::vector<std::uint8_t>& window, std::uint16_t revision) {
    return WriteText(FormatText("tola400fw%04u.hex", static_cast<unsigned>(revision)), WindowToIntelHex(window));
  }
  std::string WriteText(const std::string& name, const std::string& text) {
    const std::string path = folder / name;
    WriteWholeFile(path, text);
    return path;
  }

  // The port test, as the operator runs it before a load.
  bool Connect() { return sim.RunTest(); }
  // Connects and writes an image of `length` bytes as the firmware file of `rev`.
  bool Prepare(std::size_t length, std::uint32_t seed, std::uint16_t rev = 123) {
    fileRevision = rev;
    image = MakeFirmwareWindow(length, seed);
    file = WriteFirmware(image, rev);
    return Connect();
  }
  bool Load() { return Load(file, fileRevision); }

  // Opens and shows the dialog for `path`; runs until the completion lines are written or the
  // dialog closed, or `limitMs` of virtual time passed.
  bool Load(const std::string& path, std::uint16_t revision, std::uint32_t limitMs = 600000) {
    Begin(path, revision);
    return sim.host.RunUntil([this] { return dialog->IsFinished() || dialog->IsClosed(); }, limitMs);
  }
  void Begin(const std::string& path, std::uint16_t revision) {
    sim.app->firmwareToSend.Change(FirmwareToSend{revision, path});
    dialog = std::make_unique<SendingFirmwareController>(*sim.app, view);
    dialog->Open();
    dialog->Show();
  }

  // Counts every well-formed packet the loader receives, by address field, and lets `fate` decide.
  void ScriptPackets(std::function<Tola400Model::PacketFate(std::uint32_t address, unsigned seen)> fate,
                     std::uint32_t lateMs = 2500) {
    sim.model->SetPacketScript(
        [this, fate](std::uint32_t address) {
          const unsigned seen = ++packetsSeen[address];
          return fate ? fate(address, seen) : Tola400Model::PacketFate::Normal;
        },
        lateMs);
  }
  void CountPackets() { ScriptPackets(nullptr); }

  std::vector<std::uint8_t> Flash() const { return sim.model->FlashImage(); }
  std::size_t SinkCount(const std::string& part) const { return sim.LinesContaining(part).size(); }

  SimApp sim;
  TempFolder folder;
  RecordingSendingView view;
  std::unique_ptr<SendingFirmwareController> dialog;
  std::map<std::uint32_t, unsigned> packetsSeen;
  std::vector<std::uint8_t> image;
  std::string file;
  std::uint16_t fileRevision = 123;
};

class RecordingPrepareView : public PrepareFirmwareView {
 public:
  void SetInstructionLine(unsigned index, const std::string& text) override { lines.at(index) = text; }
  void CloseView() override { ++closed; }
  std::array<std::string, 3> lines;
  int closed = 0;
};

// The Firmware page and its modal dialogs, driven on virtual time.
class ScriptedUi : public SendFirmwareUi {
 public:
  explicit ScriptedUi(SimApp& sim) : m_sim(sim) {}

  void AppendPageLog(const std::string& text) override { pageLog.push_back(text); }
  void ShowPrepareDialog() override {
    ++prepareShown;
    PrepareFirmwareController prepare(*m_sim.app, prepareView);
    prepare.Open();
    if (operatorAction) operatorAction();
    m_sim.host.RunUntil([&] { return !prepare.IsOpen(); }, prepareLimitMs);
    prepare.Cancel();  // the operator gives up waiting (nothing when it closed by itself)
  }
  int ShowSendingDialog() override {
    ++sendingShown;
    SendingFirmwareController dialog(*m_sim.app, sendingView);
    dialog.Open();
    dialog.Show();
    m_sim.host.RunUntil([&] { return dialog.IsClosed() || dialog.IsFinished(); }, 600000);
    dialog.RequestClose();
    return dialog.Result();
  }
  void UpdateSendButton() override { ++buttonUpdates; }

  std::vector<std::string> pageLog;
  RecordingPrepareView prepareView;
  RecordingSendingView sendingView;
  std::function<void()> operatorAction;
  std::uint32_t prepareLimitMs = 60000;
  int prepareShown = 0;
  int sendingShown = 0;
  int buttonUpdates = 0;

 private:
  SimApp& m_sim;
};

}  // namespace tola::test
