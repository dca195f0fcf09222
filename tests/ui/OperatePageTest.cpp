// The Operate page's wiring on the main window with the amplifier model: polling follows the tab,
// values reach their boxes, clicks and typed numbers reach the line, and the controls follow the
// connection. The polling machine and the relay arithmetic have tests of their own.

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

#include "UiChecks.h"
#include "UiHarness.h"
#include "ui/pages/OperatePage.h"

namespace tola::test {
namespace {

constexpr const char* kPort = "\"Port\"=\"ttySIM0\"";
constexpr const char* kOnOperate = "\"ActivePage\"=dword:00000002";
constexpr const char* kOnCommandTester = "\"ActivePage\"=dword:00000004";

class OperatePageTest : public ::testing::Test {
 protected:
  // The window on `activePage`, connected unless the model starts in its loader; `adjust` sets
  // the model up before the window opens.
  void Open(const char* activePage = kOnOperate, const std::function<void(UiSetup&)>& adjust = {},
            const std::function<void(Tola400Model&)>& adjustModel = {}) {
    UiSetup setup;
    setup.settings = {kPort, activePage};
    if (adjust) adjust(setup);
    ui = std::make_unique<UiHarness>(setup);
    if (adjustModel) adjustModel(*ui->model);
    ASSERT_TRUE(ui->OpenShown());
    MainWindow& window = *ui->window;
    page = qobject_cast<OperatePage*>(window.PageAt(kPageOperate));
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(ui->RunUntilConnected());
  }

  AppState& App() { return ui->window->App(); }
  template <typename W = QWidget>
  W& Find(const char* name) {
    auto* widget = page->findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return *widget;
  }
  // Every full cycle asks "^si;" last: waits until `cycles` more of them have been answered.
  bool RunCycles(std::uint32_t cycles) {
    const std::uint32_t target = ui->model->CountOf("^si;") + cycles;
    return ui->RunUntil(
        [&] {
          const Dialogue* machine = App().OperationMachine();
          return ui->model->CountOf("^si;") >= target && machine != nullptr && machine->IsIdle();
        },
        10000);
  }

  std::unique_ptr<UiHarness> ui;
  OperatePage* page = nullptr;
};

TEST_F(OperatePageTest, ShowingTheTabPollsAtOnceAndHidingItStopsAllTraffic) {
  Open(kOnCommandTester);
  ui->Run(1000);
  EXPECT_EQ(ui->model->CountOf("^op;"), 0u) << "no polling before the tab shows";

  ui->window->Sheet().setCurrentIndex(kPageOperate);
  // Well inside one poll interval (300 ms): the first cycle does not wait for the timer.
  EXPECT_TRUE(ui->RunUntil([&] { return ui->model->CountOf("^op;") == 1; }, 150));
  EXPECT_TRUE(RunCycles(3)) << "one cycle per tick while the tab shows";

  ui->window->Sheet().setCurrentIndex(kPageCommandTester);
  const std::size_t sent = ui->model->Commands().size();
  ui->Run(3000);
  EXPECT_EQ(ui->model->Commands().size(), sent) << ui->model->Commands().back();
}

struct ShownValue {
  const char* box;
  std::function<void(AppState&)> change;
  const char* text;
};

// Each box with the format of its value; reported values that fall outside the tables leave a
// box empty.
TEST_F(OperatePageTest, ValueBoxesShowTheirValuesFormatted) {
  Open();
  ASSERT_TRUE(RunCycles(1));
  EXPECT_EQ(Find<QLineEdit>("band").text(), "20") << "the model reports band 5";
  const ShownValue cases[] = {
      {"lastSwr", [](AppState& app) { app.swr.Change(15); }, "1.5"},
      {"supplyVoltage", [](AppState& app) { app.supplyVoltage.Change(13850); }, "13.9"},
      {"inputPower", [](AppState& app) { app.powerInput.Change(1234); }, "123.4"},
      {"frequency", [](AppState& app) { app.frequency.Change(14200); }, "14200"},
      {"band", [](AppState& app) { app.bandIndex.Change(0); }, "160"},
      {"band", [](AppState& app) { app.bandIndex.Change(11); }, ""},
  };
  for (const ShownValue& c : cases) {
    SCOPED_TRACE(std::string(c.box) + " " + c.text);
    c.change(App());
    EXPECT_EQ(Find<QLineEdit>(c.box).text(), QString::fromLatin1(c.text));
  }
  EXPECT_TRUE(Find<QLineEdit>("fault").text().size() > 0) << "the model reports its no-fault letter";
}

// '2' shows the attenuator on and out of the operator's reach; an unknown character changes
// nothing; and none of it is taken for the operator's click.
TEST_F(OperatePageTest, TheAttenuatorFollowsItsValueWithoutAskingForAnything) {
  Open();
  auto& box = Find<QCheckBox>("attenuator");
  struct Step {
    char value;
    bool ticked;
    bool enabled;
  };
  const Step steps[] = {{'1', true, true}, {'2', true, false}, {'x', true, false}, {'0', false, true}};
  for (const Step& s : steps) {
    SCOPED_TRACE(std::string(1, s.value));
    App().attenuator.Change(s.value);
    EXPECT_EQ(box.isChecked(), s.ticked);
    EXPECT_EQ(box.isEnabled(), s.enabled);
  }
  ASSERT_TRUE(RunCycles(2));
  EXPECT_EQ(ui->model->CountOf("^at0;") + ui->model->CountOf("^at1;"), 0u);
}

struct Click {
  const char* control;
  const char* command;  // the set command it makes the next cycle send
};

class OperateClicks : public OperatePageTest, public ::testing::WithParamInterface<Click> {};

TEST_P(OperateClicks, AClickBecomesItsSetCommand) {
  Open();
  ASSERT_TRUE(RunCycles(1));
  Find<QAbstractButton>(GetParam().control).click();
  EXPECT_TRUE(ui->RunUntil([&] { return ui->model->CountOf(GetParam().command) == 1; }, 3000));
}

// The model starts in standby, attenuator off, auto mode, antenna 1, tuner not bypassed,
// capacitors on the Tx side, relays 0x3A and 0x15.
INSTANTIATE_TEST_SUITE_P(Controls, OperateClicks,
                         ::testing::Values(Click{"paBypass", "^op1;"}, Click{"attenuator", "^at1;"},
                                           Click{"modeManual", "^mdM;"}, Click{"antenna2", "^an2;"},
                                           Click{"atuBypassed", "^byB;"}, Click{"capsOnTxSide", "^siA;"},
                                           Click{"capacitance0", "^cr3B;"}, Click{"inductance0", "^lr14;"},
                                           Click{"clearFault", "^flc;"}, Click{"tune", "^ft;"}),
                         [](const ::testing::TestParamInfo<Click>& row) { return std::string(row.param.control); });

TEST_F(OperatePageTest, ATypedCapacitanceIsKeptWhileTypingAndRequestedOnLeaving) {
  Open();
  ASSERT_TRUE(RunCycles(1));
  auto& box = Find<QSpinBox>("capacitance");
  box.setFocus();
  box.selectAll();
  QTest::keyClicks(&box, "2000");
  ASSERT_TRUE(RunCycles(2));
  EXPECT_EQ(box.text(), "2000") << "arriving values leave the typing alone";
  EXPECT_EQ(ui->model->Settings().capacitor, 0x3A);

  Find("inductance").setFocus();
  EXPECT_TRUE(ui->RunUntil([&] { return ui->model->Settings().capacitor == 0xBF; }, 3000));
  EXPECT_TRUE(ui->RunUntil([&] { return box.text() == "1964"; }, 3000)) << box.text().toStdString();
}

TEST_F(OperatePageTest, TheSpinnerWalksTheRelayValuesAndRequestsWhereItStops) {
  Open(kOnOperate, {}, [](Tola400Model& model) { model.Settings().capacitor = 0; });
  ASSERT_TRUE(RunCycles(1));
  auto& box = Find<QSpinBox>("capacitance");
  ASSERT_EQ(box.value(), 0);
  std::vector<int> walked;
  for (int i = 0; i < 5; ++i) {
    QTest::keyClick(&box, Qt::Key_Up);
    walked.push_back(box.value());
  }
  EXPECT_EQ(walked, (std::vector<int>{10, 22, 32, 40, 50}));
  // 50 pF is 40 + 10.
  EXPECT_TRUE(ui->RunUntil([&] { return ui->model->Settings().capacitor == 0x05; }, 3000));
}

struct Enabling {
  const char* name;
  bool loader;
  unsigned tuner;
  std::uint32_t state;
  bool controls;  // every control but TUNE
  bool tune;
  bool fullCycles;
};

class OperateEnabling : public OperatePageTest, public ::testing::WithParamInterface<Enabling> {};

TEST_P(OperateEnabling, ControlsFollowTheConnectionAndTheTuner) {
  const Enabling& e = GetParam();
  Open(
      kOnOperate, [&](UiSetup& setup) { setup.model.startInLoader = e.loader; },
      [&](Tola400Model& model) { model.Settings().tunerInstalled = e.tuner; });
  ui->Run(2000);
  ASSERT_EQ(App().ConnectionState(), e.state);
  for (QWidget* control : page->findChildren<QWidget*>()) {
    if ((control->focusPolicy() & Qt::TabFocus) == 0) continue;
    SCOPED_TRACE(control->objectName().toStdString());
    EXPECT_EQ(control->isEnabled(), control->objectName() == "tune" ? e.tune : e.controls);
  }
  EXPECT_EQ(RunCycles(1), e.fullCycles);
}

INSTANTIATE_TEST_SUITE_P(States, OperateEnabling,
                         ::testing::Values(Enabling{"Firmware", false, 1, kConnectionFirmware, true, true, true},
                                           Enabling{"NoTuner", false, 0, kConnectionFirmware, true, false, true},
                                           Enabling{"Loader", true, 1, kConnectionLoader, false, false, false}),
                         [](const ::testing::TestParamInfo<Enabling>& row) { return std::string(row.param.name); });

TEST_F(OperatePageTest, XcvrPollShowsOnlyWhileTheAmplifierReportsIt) {
  Open();
  auto& label = Find<QLabel>("xcvrPoll");
  ASSERT_TRUE(RunCycles(1));
  EXPECT_FALSE(label.isVisible());
  ui->model->Settings().transceiverPoll = 1;
  EXPECT_TRUE(ui->RunUntil([&] { return label.isVisible(); }, 3000));
  ui->model->Settings().transceiverPoll = 0;
  EXPECT_TRUE(ui->RunUntil([&] { return !label.isVisible(); }, 3000));
}

TEST_F(OperatePageTest, EveryControlHasAName) {
  Open();
  ExpectAccessibleNames(*page);
  EXPECT_EQ(Find<QLineEdit>("inputPower").accessibleName(), "Input Power:");
}

}  // namespace
}  // namespace tola::test
