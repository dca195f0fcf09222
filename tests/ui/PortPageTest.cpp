// The Port page's wiring: the list and the saved port, the three buttons and the status box.

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include "UiChecks.h"
#include "UiHarness.h"
#include "ui/pages/PortPage.h"

namespace tola::test {
namespace {

PortPage& PortPageOf(MainWindow& window) { return *dynamic_cast<PortPage*>(window.PageAt(kPagePort)); }

QStringList Entries(const QComboBox& list) {
  QStringList entries;
  for (int i = 0; i < list.count(); ++i) entries << list.itemText(i);
  return entries;
}

void PressKey(QWidget& widget, int key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QApplication::sendEvent(&widget, &press);
}

bool PopupOpen(QComboBox& list) { return list.view()->isVisible(); }

TEST(PortPage, FirstRunAsksForAPortUntilOneIsChosen) {
  UiHarness ui;
  MainWindow& window = ui.Open();
  PortPage& page = PortPageOf(window);
  EXPECT_EQ(window.Sheet().currentIndex(), kPagePort);
  EXPECT_EQ(page.PortList().currentIndex(), -1);
  ui.Run(200);

  // Enter on the list is the default button's, even when the typed text names an entry.
  page.PortList().setEditText(QStringLiteral("ttySIM0"));
  ui.host.ExpectBox("Please choose a serial port on the Port page", BoxAnswer::Ok);
  PressKey(page.PortList(), Qt::Key_Return);
  ASSERT_FALSE(ui.host.Boxes().empty());
  EXPECT_EQ(ui.host.Boxes().back().caption, "Select a Serial Port");
  EXPECT_EQ(ui.host.Boxes().back().icon, BoxIcon::Error);
  EXPECT_TRUE(PopupOpen(page.PortList()));
  page.PortList().hidePopup();
  ui.Run(200);
  EXPECT_EQ(window.App().port.Get(), "");
  EXPECT_EQ(window.App().portOpen.Get(), 0u);

  ui.host.ExpectBox("TOLA revision", BoxAnswer::Ok);
  PressKey(page.PortList(), Qt::Key_Down);
  EXPECT_EQ(window.App().port.Get(), "ttySIM0");
  ASSERT_TRUE(ui.RunUntil([&] { return window.windowTitle().endsWith("- S/N 01234 on ttySIM0 at 38400 bit/s"); }))
      << window.windowTitle().toStdString();
  ASSERT_TRUE(ui.RunUntil([&] { return ui.host.AllBoxesShown(); }));
  EXPECT_EQ(ui.host.Boxes().back().caption, "TOLA400 Status");
  EXPECT_EQ(ui.host.Boxes().back().icon, BoxIcon::Information);
}

struct StatusCase {
  const char* name;
  bool startInLoader;
  const char* text;
  BoxIcon icon;
};

class PortPageStatus : public ::testing::TestWithParam<StatusCase> {};

TEST_P(PortPageStatus, TestEndsWithTheStatusBoxAndTestCommunicationsRepeatsIt) {
  UiSetup setup;
  setup.settings = {"\"Port\"=\"ttySIM0\""};
  setup.model.startInLoader = GetParam().startInLoader;
  UiHarness ui(setup);
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    ui.host.ExpectBox(GetParam().text, BoxAnswer::Ok);
    if (round == 0) {
      ui.Open();
    } else {
      PortPageOf(*ui.window).TestButton().click();
    }
    ASSERT_TRUE(ui.RunUntil([&] { return ui.host.AllBoxesShown(); }));
    EXPECT_EQ(ui.host.Boxes().back().caption, "TOLA400 Status");
    EXPECT_EQ(ui.host.Boxes().back().icon, GetParam().icon);
    ui.Run(500);
  }
  EXPECT_EQ(ui.host.Boxes().size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(
    States, PortPageStatus,
    ::testing::Values(StatusCase{"Loader", true, "TOLA waiting for power button or firmware load. RS-232 speed 38400 bit/s.",
                                 BoxIcon::Warning},
                      StatusCase{"Firmware", false, "TOLA revision ", BoxIcon::Information}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(PortPage, NoStatusBoxWhileAnotherPageIsShown) {
  UiSetup setup;
  setup.settings = {"\"Port\"=\"ttySIM0\"", "\"ActivePage\"=dword:00000004"};
  UiHarness ui(setup);
  MainWindow& window = ui.Open();
  ASSERT_TRUE(ui.RunUntilConnected());
  EXPECT_TRUE(ui.host.Boxes().empty());
  window.Sheet().setCurrentIndex(kPagePort);
  ui.Run(500);
  EXPECT_TRUE(ui.host.Boxes().empty());
}

TEST(PortPage, ClosePortStopsTheEndlessSearch) {
  UiSetup setup;
  setup.settings = {"\"Port\"=\"ttySIM0\""};
  setup.connected = false;
  UiHarness ui(setup);
  MainWindow& window = ui.Open();
  PortPage& page = PortPageOf(window);
  ui.Run(3000);
  ASSERT_EQ(window.App().portOpen.Get(), 1u);
  ASSERT_TRUE(page.CloseButton().isEnabled());

  page.CloseButton().click();
  ui.Run(10000);
  EXPECT_EQ(window.App().portOpen.Get(), 0u);
  EXPECT_FALSE(page.CloseButton().isEnabled());
  EXPECT_TRUE(window.windowTitle().endsWith("on ttySIM0 closed")) << window.windowTitle().toStdString();
}

struct SavedPortCase {
  const char* name;
  const char* saved;
  std::vector<std::string> ports;
  QStringList entries;  // in list order
  int selected;
  const char* portAfter;
};

class PortPageSavedPort : public ::testing::TestWithParam<SavedPortCase> {};

TEST_P(PortPageSavedPort, SelectsTheFirstEntryBeginningWithTheSavedName) {
  const SavedPortCase& c = GetParam();
  UiSetup setup;
  setup.settings = {std::string("\"Port\"=\"") + c.saved + "\""};
  setup.ports = c.ports;
  setup.connected = false;
  UiHarness ui(setup);
  MainWindow& window = ui.Open();
  const QComboBox& list = PortPageOf(window).PortList();
  EXPECT_EQ(Entries(list), c.entries);
  EXPECT_EQ(list.currentIndex(), c.selected);
  EXPECT_EQ(window.App().port.Get(), c.portAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PortPageSavedPort,
    ::testing::Values(
        SavedPortCase{"PrefixOfALongerName", "ttyS1", {"ttyS2", "ttyS10"}, {"ttyS2", "ttyS10"}, 1, "ttyS1"},
        SavedPortCase{"IgnoringCase", "TTYusb0", {"ttyUSB1", "ttyUSB0", "ttyS0"}, {"ttyS0", "ttyUSB0", "ttyUSB1"}, 1,
                      "TTYusb0"},
        SavedPortCase{"GoneIsForgotten", "ttyUSB0", {"ttyS0"}, {"ttyS0"}, -1, ""}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(PortPage, RefreshClosesThePortAndOffersTheNewList) {
  UiSetup setup;
  setup.settings = {"\"Port\"=\"ttySIM0\""};
  UiHarness ui(setup);
  ui.host.ExpectBox("TOLA revision", BoxAnswer::Ok);
  MainWindow& window = ui.Open();
  PortPage& page = PortPageOf(window);
  ASSERT_TRUE(ui.RunUntilConnected());
  ASSERT_EQ(window.App().portOpen.Get(), 1u);

  ui.ports = {"ttyUSB0", "ttySIM0"};
  page.RefreshButton().click();
  ui.Run(500);
  EXPECT_EQ(window.App().portOpen.Get(), 0u);
  EXPECT_EQ(Entries(page.PortList()), (QStringList{"ttySIM0", "ttyUSB0"}));
  EXPECT_EQ(page.PortList().currentText(), "ttySIM0");
  EXPECT_EQ(page.PortList().itemData(0, Qt::ToolTipRole).toString(), "tola400-sim");
  EXPECT_TRUE(PopupOpen(page.PortList()));
  page.PortList().hidePopup();
  EXPECT_EQ(window.App().port.Get(), "ttySIM0");
}

TEST(PortPage, EveryControlHasANameAndTheListItsLabel) {
  UiHarness ui;
  MainWindow& window = ui.Open();
  PortPage& page = PortPageOf(window);
  ExpectAccessibleNames(page);
  const auto labels = page.findChildren<QLabel*>();
  ASSERT_EQ(labels.size(), 1);
  EXPECT_EQ(labels.front()->buddy(), &page.PortList());
}

}  // namespace
}  // namespace tola::test
