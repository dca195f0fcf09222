// A file that cannot be used is found out before the amplifier is touched: a firmware file that
// does not read whole, a save destination that cannot be written.

#include <gtest/gtest.h>

#include "operations/ConfigSaveController.h"
#include "operations/ConfigTestSupport.h"
#include "operations/FirmwareLoadRig.h"
#include "platform/FileSystem.h"

namespace tola::test {
namespace {

TEST(FileCheckFirst, AFirmwareFileThatDoesNotReadWholeChangesNothing) {
  struct Row {
    const char* name;
    bool amplifierAnswers;
    bool damaged;  // else missing
    const char* fault;
  };
  const Row rows[] = {
      {"damaged record, firmware running at 9600", true, true, "error code 0xE2000020"},
      {"missing file, nothing answering", false, false, "Line 0, error code 0x00000002"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    FirmwareLoadRig rig({}, r.amplifierAnswers);
    AppState& app = *rig.sim.app;
    if (r.amplifierAnswers) {
      ASSERT_TRUE(rig.Connect());
      app.SetAmplifierSpeed(9600);
    }
    const std::size_t before = rig.sim.model->Commands().size();

    std::string text = WindowToIntelHex(MakeFirmwareWindow(0x400, 207));
    text[text.find("\n:") + 1] = ';';
    const std::string path = rig.WriteText("tola400fw0207.hex", text);
    if (!r.damaged) {
      ASSERT_EQ(RemoveFile(path), kErrorSuccess);
    }
    FirmwareChoice choice;
    choice.firmwareFile = path;
    choice.firmwareRevision = 207;

    ScriptedUi ui(rig.sim);
    rig.sim.host.ExpectBox("cannot be sent", BoxAnswer::Ok);
    SendFirmware operation(app, ui);
    EXPECT_EQ(operation.Run(choice), SendFirmwareOutcome::Failed);
    EXPECT_EQ(ui.prepareShown, 0);
    EXPECT_EQ(ui.sendingShown, 0);
    // Neither the speed nor the loader was asked for (the port test that ends every send is all).
    const auto& sent = rig.sim.model->Commands();
    for (std::size_t i = before; i < sent.size(); ++i) {
      EXPECT_NE(sent[i].rfind("^br", 0), 0u) << sent[i];
      EXPECT_NE(sent[i], "^LD;");
    }
    ASSERT_EQ(ui.pageLog.size(), 1u) << "no speed change logged";
    EXPECT_NE(ui.pageLog[0].find(r.fault), std::string::npos) << ui.pageLog[0];
    ASSERT_FALSE(rig.sim.host.Boxes().empty());
    EXPECT_EQ(rig.sim.host.Boxes().back().caption, "Error");
    EXPECT_EQ(rig.sim.host.Boxes().back().text, ui.pageLog[0]);
    EXPECT_TRUE(rig.sim.host.AllBoxesShown());
  }
}

TEST(FileCheckFirst, ASaveToAPlaceThatCannotBeWrittenDoesNotStartTheReading) {
  ConnectedSim s;
  const std::string folder = s.folder / "folder.TOLAConfig";
  ASSERT_EQ(CreateFolder(folder), kErrorSuccess);
  const struct {
    std::string path;
    ResultCode code;
  } rows[] = {
      {folder, kErrorDirectory},
      {s.folder / "gone/x.TOLAConfig", kErrorPathNotFound},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.path);
    ConfigSaveController save(s.App());
    ASSERT_TRUE(save.Open());
    const std::size_t commands = s.Model().Commands().size();
    s.Host().ExpectBox("Cannot save to", BoxAnswer::Ok);
    EXPECT_FALSE(save.FileChosen(r.path));
    EXPECT_EQ(save.Outcome(), r.code);
    EXPECT_TRUE(save.Closed());
    EXPECT_EQ(save.DialogResult(), ConfigSaveController::kResultNotSaved);
    s.Host().RunUntil([] { return false; }, 1000);
    EXPECT_EQ(s.Model().Commands().size(), commands) << "no EEPROM was read";
    ASSERT_FALSE(s.Host().Boxes().empty());
    EXPECT_EQ(s.Host().Boxes().back().caption, "Save Configuration Error");
    EXPECT_NE(s.Host().Boxes().back().text.find(r.path), std::string::npos);
  }
  EXPECT_TRUE(IsDirectory(folder));
}

}  // namespace
}  // namespace tola::test
