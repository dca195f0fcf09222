#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <thread>
#include <vector>

#include "ui/QtHost.h"
#include "UiChecks.h"

namespace tola {
namespace {

using test::SpinFor;
using test::SpinUntil;

// The core's box that is open now, if any.
QMessageBox* OpenCoreBox() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible() &&
                                                          box->objectName() == QtHost::kBoxObjectName) {
      return box;
    }
  }
  return nullptr;
}

TEST(QtHostTest, TimersByNumberRepeatAreReplacedAndKilled) {
  QtHost host;
  std::vector<unsigned> fired;
  host.SetTimerHandler([&](unsigned id) { fired.push_back(id); });
  host.SetTimer(7, 5);
  ASSERT_TRUE(SpinUntil([&] { return fired.size() >= 3; })) << "an armed timer repeats";
  host.KillTimer(7);
  fired.clear();
  host.SetTimer(8, 1000);
  host.SetTimer(8, 5);  // re-arming replaces the period
  ASSERT_TRUE(SpinUntil([&] { return !fired.empty(); }));
  EXPECT_EQ(fired.front(), 8u);
  host.KillTimer(8);
  fired.clear();
  SpinFor(50);  // long enough for a timer that was not killed to show itself
  EXPECT_TRUE(fired.empty());
}

TEST(QtHostTest, WorkPostedFromAnotherThreadRunsOnTheUserInterfaceThreadAndSleepRunsNothing) {
  QtHost host;
  std::thread::id ranOn;
  std::thread poster([&] { host.Post([&] { ranOn = std::this_thread::get_id(); }); });
  poster.join();
  ASSERT_TRUE(SpinUntil([&] { return ranOn != std::thread::id(); }));
  EXPECT_EQ(ranOn, std::this_thread::get_id());

  bool ranDuringSleep = false;
  host.Post([&] { ranDuringSleep = true; });
  host.Sleep(30);
  EXPECT_FALSE(ranDuringSleep);
  SpinUntil([&] { return ranDuringSleep; });
}

TEST(QtHostTest, WhileACoreBoxIsOpenTimersAndSerialEventsWaitUntilTheCallHasReturned) {
  QtHost host;
  std::vector<std::string> order;
  host.SetTimerHandler([&](unsigned id) { order.push_back("timer " + std::to_string(id)); });
  host.SetTimer(3, 5);

  bool sawHeldWhileOpen = false;
  QTimer closer;
  closer.setInterval(5);
  QObject::connect(&closer, &QTimer::timeout, [&] {
    QMessageBox* box = OpenCoreBox();
    if (box == nullptr) return;
    // A serial event from the reader thread and several timer periods arrive while the box is open.
    std::thread reader([&] { host.Post([&] { order.push_back("serial"); }); });
    reader.join();
    SpinFor(40);
    sawHeldWhileOpen = host.Holding() && order.empty();
    closer.stop();
    box->button(QMessageBox::Ok)->click();
  });
  closer.start();

  const BoxAnswer answer = host.MessageBox("text", "caption", BoxButtons::Ok, BoxIcon::Information);
  order.push_back("box returned");
  EXPECT_EQ(answer, BoxAnswer::Ok);
  EXPECT_TRUE(sawHeldWhileOpen) << "nothing reached the core while its box was open";
  ASSERT_TRUE(SpinUntil([&] { return order.size() >= 4; }));
  host.KillTimer(3);
  // Held work first, then the held timer once however often it fired, then it runs normally again.
  EXPECT_EQ(order[0], "box returned");
  EXPECT_EQ(order[1], "serial");
  EXPECT_EQ(order[2], "timer 3");
  EXPECT_FALSE(host.Holding());
}

TEST(QtHostTest, ATimerArmedAgainWhileItsExpiryWasHeldDoesNotGetTheStaleExpiry) {
  QtHost host;
  std::vector<unsigned> fired;
  host.SetTimerHandler([&](unsigned id) { fired.push_back(id); });
  host.SetTimer(4, 5);
  QTimer closer;
  closer.setInterval(5);
  QObject::connect(&closer, &QTimer::timeout, [&] {
    QMessageBox* box = OpenCoreBox();
    if (box == nullptr) return;
    // The held work (an answer, say) arms the timer anew before the held expiry would be delivered.
    host.Post([&] { host.SetTimer(4, 60000); });
    SpinFor(30);
    closer.stop();
    box->button(QMessageBox::Ok)->click();
  });
  closer.start();
  host.MessageBox("text", "caption", BoxButtons::Ok, BoxIcon::Information);
  SpinFor(50);
  host.KillTimer(4);
  EXPECT_TRUE(fired.empty()) << "timer " << fired.front() << " fired from its old arming";
}

TEST(QtHostTest, BoxesCarryTheirButtonsIconAndDefault) {
  struct Row {
    BoxButtons buttons;
    BoxIcon icon;
    BoxAnswer defaultButton;
    QMessageBox::Icon qtIcon;
    QMessageBox::StandardButton qtDefault;
    BoxAnswer expected;  // what Enter answers
  };
  const Row rows[] = {
      {BoxButtons::YesNo, BoxIcon::Warning, BoxAnswer::No, QMessageBox::Warning, QMessageBox::No, BoxAnswer::No},
      {BoxButtons::YesNoCancel, BoxIcon::Question, BoxAnswer::Cancel, QMessageBox::Question, QMessageBox::Cancel,
       BoxAnswer::Cancel},
      {BoxButtons::Ok, BoxIcon::Error, BoxAnswer::None, QMessageBox::Critical, QMessageBox::Ok, BoxAnswer::Ok},
  };
  for (const Row& row : rows) {
    QtHost host;
    bool checked = false;
    QTimer::singleShot(0, [&] {
      SpinUntil([] { return OpenCoreBox() != nullptr; });
      QMessageBox* box = OpenCoreBox();
      ASSERT_NE(box, nullptr);
      EXPECT_EQ(box->icon(), row.qtIcon);
      if (row.defaultButton != BoxAnswer::None) {
        EXPECT_EQ(static_cast<QAbstractButton*>(box->defaultButton()), box->button(row.qtDefault));
      }
      checked = true;
      box->button(row.qtDefault)->click();
    });
    EXPECT_EQ(host.MessageBox("t", "c", row.buttons, row.icon, row.defaultButton), row.expected);
    EXPECT_TRUE(checked);
  }
}

}  // namespace
}  // namespace tola
