// tola-screenshots: draws the desktop program's windows into PNG files, connected to whatever port
// the settings name (the screenshot script starts tola400-sim for it).
//   tola-screenshots --out FOLDER     every page, dialog and box the program has
//   tola-screenshots --main-window FILE   only the main window, once connected

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QWhatsThis>
#include <QDir>
#include <QLineEdit>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <memory>

#include "platform/RegistryStore.h"
#include "serial/CSerialPort.h"
#include "ui/MainWindow.h"
#include "ui/QtHost.h"
#include "ui/UiResources.h"
#include "ui/UiText.h"
#include "ui/dialogs/AboutDialog.h"
#include "ui/dialogs/ConfigurationSheet.h"
#include "ui/dialogs/EraseMemoriesDialog.h"
#include "ui/dialogs/ConfigurationFileDialogs.h"
#include "ui/dialogs/EditMacrosDialog.h"
#include "ui/dialogs/FaultTableDialog.h"
#include "ui/dialogs/FileServerCopyDialog.h"
#include "ui/dialogs/ReleaseNotesWindow.h"
#include "ui/dialogs/ResetConfigurationDialog.h"
#include "ui/dialogs/SendingFirmwareDialog.h"
#include "ui/help/HelpWindow.h"
#include "ui/pages/ConfigurationPage.h"
#include "ui/pages/FirmwarePage.h"
#include "ui/pages/Page.h"

namespace tola {
namespace {

void Spin(int ms) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

bool SpinUntil(const std::function<bool()>& done, int limitMs) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < limitMs) QApplication::processEvents(QEventLoop::AllEvents, 10);
  return done();
}

bool Save(QWidget& widget, const QString& path) {
  Spin(50);
  const bool saved = widget.grab().save(path);
  std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
  return saved;
}

// Boxes that the program opens by itself (the port test's status box) are drawn and answered.
class BoxCatcher : public QObject {
 public:
  explicit BoxCatcher(QString folder) : m_folder(std::move(folder)) {
    m_timer.setInterval(20);
    connect(&m_timer, &QTimer::timeout, this, [this] { Catch(); });
    m_timer.start();
  }
  int Caught() const { return m_caught; }

 private:
  void Catch() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(widget);
      if (box == nullptr || !box->isVisible()) continue;
      if (!m_folder.isEmpty()) {
        const QString name = m_caught == 0 ? QStringLiteral("port-status-box.png")
                                           : QStringLiteral("box-%1.png").arg(m_caught + 1);
        box->grab().save(m_folder + QLatin1Char('/') + name);
        std::printf("wrote %s/%s\n", qPrintable(m_folder), qPrintable(name));
      }
      ++m_caught;
      QAbstractButton* button = box->defaultButton();
      if (button == nullptr) button = box->escapeButton();
      if (button != nullptr) {
        button->click();
      } else {
        box->accept();
      }
    }
  }
  QString m_folder;
  QTimer m_timer;
  int m_caught = 0;
};

// The Operate page with the amplifier's live values, at the smallest window and a larger one.
void SaveOperatePage(MainWindow& window, const QString& out, QSize size) {
  window.Sheet().setCurrentIndex(kPageOperate);
  Spin(1500);
  Save(window, out + QStringLiteral("/main-operate-live.png"));
  window.resize(size.width() * 13 / 10, size.height() * 13 / 10);
  Spin(500);
  Save(window, out + QStringLiteral("/main-operate-larger.png"));
  window.resize(size);
}

// The erase and reset dialogs, the "TOLA400 Configuration" sheet with the amplifier's string loaded,
// the pop-up text of one of its boxes and their help topic. Shown without their own loops, and
// nothing is clicked.
void DrawConfigurationCommandDialogs(MainWindow& window, const QString& out) {
  {
    EraseMemoriesDialog erase(window.App(), &window);
    erase.show();
    Save(erase, out + QStringLiteral("/erase-memories.png"));
  }
  {
    ResetConfigurationDialog reset(window.App(), &window);
    reset.show();
    Save(reset, out + QStringLiteral("/reset-configuration.png"));
  }
  ConfigurationSheet sheet(window.App(), window.Help(), &window);
  sheet.show();
  // Showing it asked the amplifier; its answer fills the boxes.
  SpinUntil([&] { return window.App().OperationMachine() == nullptr || window.App().OperationMachine()->IsIdle(); },
            3000);
  Save(sheet, out + QStringLiteral("/configuration-sheet.png"));
  QCheckBox& box = sheet.BandBox(3, 1);
  QKeyEvent shiftF1(QEvent::KeyPress, Qt::Key_F1, Qt::ShiftModifier);
  QApplication::sendEvent(&box, &shiftF1);
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->inherits("QWhatsThat") && widget->isVisible()) {
      Save(*widget, out + QStringLiteral("/configuration-popup.png"));
    }
  }
  QWhatsThis::hideText();
  sheet.reject();
  window.Help().ShowTopic(QStringLiteral("Configuration.htm#Edit"));
  Save(window.Help(), out + QStringLiteral("/help-configuration.png"));
  window.Help().close();
}

// The Configuration page's save and restore drawn part-way, into a folder of their own, and the
// fault table once it is filled.
void DrawConfigurationFileDialogs(MainWindow& window, const QString& out) {
  auto* page = qobject_cast<ConfigurationPage*>(window.PageAt(kPageConfiguration));
  if (page == nullptr) return;
  window.Sheet().setCurrentIndex(kPageConfiguration);
  if (!page->ButtonAt(ConfigurationPage::kSave).isEnabled()) return;
  QTemporaryDir folder;
  window.App().configurationFolder.Change(FromQt(folder.path()));
  const QString file = folder.filePath(QStringLiteral("screenshots.TOLAConfig"));
  page->SetFileChooser([&file](QWidget*, ConfigurationFileMode, const QString&, const QString&) { return file; });
  // Presses `button` (its dialog runs modally) and draws the dialog once `ready` says so; `drawn`
  // may end it.
  auto draw = [&](ConfigurationPage::Button button, auto find, auto ready, const QString& name, auto drawn) {
    bool done = false;
    QTimer watch;
    watch.setInterval(20);
    QObject::connect(&watch, &QTimer::timeout, [&] {
      auto* dialog = find();
      if (done || dialog == nullptr || !dialog->isVisible() || !ready(*dialog)) return;
      done = true;
      Save(*dialog, out + name);
      drawn(*dialog);
    });
    watch.start();
    page->ButtonAt(button).click();
    watch.stop();
  };
  auto partWay = [](ConfigurationProgressDialog& dialog) {
    return dialog.Progress().value() >= dialog.Progress().maximum() * 2 / 5;
  };
  auto leaveOpen = [](auto&) {};
  draw(ConfigurationPage::kSave, [&] { return page->findChild<SaveConfigurationDialog*>(); }, partWay,
       QStringLiteral("/save-configuration.png"), leaveOpen);
  Spin(300);
  draw(ConfigurationPage::kRestore, [&] { return page->findChild<RestoreConfigurationDialog*>(); }, partWay,
       QStringLiteral("/restore-configuration.png"), leaveOpen);
  SpinUntil([&] { return window.App().ConnectionState() == kConnectionFirmware; }, 15000);
  Spin(300);
  draw(ConfigurationPage::kFaults, [&] { return page->findChild<FaultTableDialog*>(); },
       [](FaultTableDialog& dialog) { return dialog.List().topLevelItemCount() > 0; },
       QStringLiteral("/fault-table.png"), [](FaultTableDialog& dialog) { dialog.Button().click(); });
}

int Run(const QString& out, bool mainOnly) {
  QtHost host;
  auto port = MakeSystemSerialPort(host);
  auto store = MakeSettingsStore();
  MainWindow window(host, std::move(port), std::move(store));
  BoxCatcher boxes(mainOnly ? QString() : out);
  window.show();
  const QSize size = window.MinimumWindowSize();
  window.resize(size);
  if (!SpinUntil([&] { return window.App().ConnectionState() == kConnectionFirmware; }, 15000)) {
    std::fprintf(stderr, "tola-screenshots: the amplifier did not answer on %s\n", window.App().port.Get().c_str());
  }
  Spin(300);
  if (mainOnly) {
    std::printf("title: %s\n", qPrintable(window.windowTitle()));
    return Save(window, out) ? 0 : 1;
  }

  const char* names[kPageCount] = {"port", "firmware", "operate", "configuration", "command-tester"};
  // The Command Tester with a conversation in its output.
  window.Sheet().setCurrentIndex(kPageCommandTester);
  if (auto* box = window.PageAt(kPageCommandTester)->findChild<QLineEdit*>()) {
    for (const char* command : {"^RV;", "^sn;", "^tm;"}) {
      box->setText(QString::fromLatin1(command));
      Spin(200);
    }
  }
  for (int tab = 0; tab < kPageCount; ++tab) {
    window.Sheet().setCurrentIndex(tab);
    Save(window, out + QStringLiteral("/main-%1.png").arg(QString::fromLatin1(names[tab])));
  }
  SaveOperatePage(window, out, size);
  window.Sheet().setCurrentIndex(kPagePort);
  window.resize(size.width() * 13 / 10, size.height() * 13 / 10);
  Save(window, out + QStringLiteral("/main-port-larger.png"));
  window.resize(size);

  // The copy from the script's file server and then the load, each drawn part-way, and the
  // Firmware page with its lines afterwards.
  window.Sheet().setCurrentIndex(kPageFirmware);
  auto* firmware = qobject_cast<FirmwarePage*>(window.PageAt(kPageFirmware));
  // Clicks `button` (which runs a modal dialog) and draws the dialog once `ready` says so.
  auto drawPartWay = [&](QPushButton& button, auto find, auto ready, const QString& file) {
    bool drawn = false;
    QTimer watch;
    watch.setInterval(20);
    QObject::connect(&watch, &QTimer::timeout, [&] {
      auto* dialog = find();
      if (drawn || dialog == nullptr || !ready(*dialog)) return;
      drawn = true;
      Save(*dialog, out + file);
    });
    watch.start();
    button.click();
    watch.stop();
  };
  if (firmware != nullptr) {
    drawPartWay(
        firmware->CopyButton(), [&] { return window.findChild<FileServerCopyDialog*>(); },
        [](FileServerCopyDialog& dialog) {
          const QProgressBar& bar = dialog.TransferBar();
          return bar.isVisible() && bar.maximum() > 0 && bar.value() >= bar.maximum() / 3;
        },
        QStringLiteral("/copy-files.png"));
    Spin(300);
  }
  if (firmware != nullptr && firmware->SendButton().isEnabled()) {
    drawPartWay(
        firmware->SendButton(), [&] { return firmware->findChild<SendingFirmwareDialog*>(); },
        [](SendingFirmwareDialog& dialog) {
          return dialog.Progress().value() >= dialog.Progress().maximum() * 2 / 5;
        },
        QStringLiteral("/sending-firmware.png"));
    SpinUntil([&] { return window.App().ConnectionState() == kConnectionFirmware; }, 15000);
    Spin(500);
    window.resize(size.width() * 13 / 10, size.height() * 13 / 10);
    Save(window, out + QStringLiteral("/main-firmware-larger.png"));
    window.resize(size);
  }

  DrawConfigurationCommandDialogs(window, out);

  {
    AboutDialog about(&window);
    about.show();
    Save(about, out + QStringLiteral("/about.png"));
    LicenceDialog licence(&window);
    licence.show();
    Save(licence, out + QStringLiteral("/licence.png"));
  }
  for (const char* topic : {"Contents", "Port.htm", "Firmware.htm", "CommandTester.htm#macroButtons"}) {
    const QString name = QString::fromLatin1(topic);
    if (name == QLatin1String("Contents")) {
      window.Help().ShowContents();
    } else {
      window.Help().ShowTopic(name);
    }
    QString file = name.section(QLatin1Char('.'), 0, 0).toLower();
    Save(window.Help(), out + QStringLiteral("/help-%1.png").arg(file));
  }
  window.Help().close();
  {
    EditMacrosDialog macros(window.App(), [](const QString&) {}, &window);
    macros.show();
    Save(macros, out + QStringLiteral("/edit-macros.png"));
  }
  DrawConfigurationFileDialogs(window, out);
  window.ShowReleaseNotes();
  if (QWidget* notes = window.ReleaseNotes()) Save(*notes, out + QStringLiteral("/release-notes.png"));
  window.close();
  return 0;
}

}  // namespace
}  // namespace tola

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  tola::InitUiResources();
  const QStringList args = QApplication::arguments();
  if (args.size() != 3 || (args[1] != QLatin1String("--out") && args[1] != QLatin1String("--main-window"))) {
    std::fprintf(stderr, "usage: tola-screenshots --out FOLDER | --main-window FILE\n");
    return 2;
  }
  if (args[1] == QLatin1String("--out")) QDir().mkpath(args[2]);
  return tola::Run(args[2], args[1] == QLatin1String("--main-window"));
}
