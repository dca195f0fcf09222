// The copy window's wiring: the copy starts once it is shown, its lines reach the log, the button
// cancels while the copy runs and closes afterwards, and the close box does nothing meanwhile.

#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QProgressBar>
#include <QPushButton>

#include "UiChecks.h"
#include "UiHarness.h"
#include "ui/dialogs/FileServerCopyDialog.h"
#include "ui/widgets/ActivityLog.h"

namespace tola::test {
namespace {

// A server conversation that answers only when the test says so.
class ScriptedSession : public FtpSession {
 public:
  struct Calls {
    std::string server;
    Completion pending;
    bool cancelled = false;
  };
  explicit ScriptedSession(Calls& calls) : m_calls(calls) {}
  void Connect(const std::string& server, Completion done) override {
    m_calls.server = server;
    m_calls.pending = std::move(done);
  }
  void ChangeDirectory(const std::string&, Completion done) override { m_calls.pending = std::move(done); }
  void List(ListCompletion) override {}
  void Get(const std::string&, const std::string&, Progress, Completion done) override {
    m_calls.pending = std::move(done);
  }
  void Cancel() override {
    m_calls.cancelled = true;
    m_calls.pending = nullptr;
  }
  void Close(Completion done) override { done(kErrorSuccess); }

 private:
  Calls& m_calls;
};

class CopyDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui.Open();
    ui.window->App().fileServer.Change("files.example:2121");
    dialog = std::make_unique<FileServerCopyDialog>(ui.window->App(), FirmwareChoice{},
                                                    std::make_unique<ScriptedSession>(calls), ui.window.get());
    dialog->show();
    ASSERT_TRUE(SpinUntil([this] { return static_cast<bool>(calls.pending); }));
  }

  bool CloseBox() {
    QCloseEvent event;
    QApplication::sendEvent(dialog.get(), &event);
    return event.isAccepted();
  }

  UiHarness ui;
  ScriptedSession::Calls calls;
  std::unique_ptr<FileServerCopyDialog> dialog;
};

TEST_F(CopyDialogTest, WhileTheCopyRunsOnlyTheButtonEndsItAndThatCancels) {
  EXPECT_EQ(calls.server, "files.example:2121");
  EXPECT_TRUE(dialog->Log().toPlainText().startsWith(QStringLiteral("Opening connection to files.example:2121")));
  EXPECT_EQ(dialog->cursor().shape(), Qt::WaitCursor);
  EXPECT_EQ(dialog->Button().cursor().shape(), Qt::ArrowCursor);
  EXPECT_FALSE(dialog->TransferBar().isVisible());
  ExpectAccessibleNames(*dialog);

  calls.pending(kErrorSuccess);  // connected; the folder change is outstanding
  EXPECT_TRUE(dialog->Log().toPlainText().contains(QStringLiteral("Connected to Ostravel server")));
  EXPECT_FALSE(CloseBox());
  EXPECT_TRUE(dialog->isVisible());

  dialog->Button().click();
  EXPECT_TRUE(calls.cancelled);
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(dialog->result(), FileServerCopy::kResultFailure);
}

TEST_F(CopyDialogTest, AFailedConnectionLeavesTheWindowOpenWithCloseUntilTheOperatorCloses) {
  calls.pending(12029);
  EXPECT_EQ(dialog->Button().text(), QStringLiteral("Close"));
  EXPECT_NE(dialog->cursor().shape(), Qt::WaitCursor);
  EXPECT_TRUE(dialog->Log().toPlainText().contains(QStringLiteral("InternetConnect completed with error 0x00002EFD")));
  EXPECT_TRUE(dialog->isVisible());
  // Nothing runs any more: the close box closes, as a failure.
  EXPECT_TRUE(CloseBox());
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(dialog->result(), FileServerCopy::kResultFailure);
}

}  // namespace
}  // namespace tola::test
