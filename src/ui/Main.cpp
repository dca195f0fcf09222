// tola-utility: the desktop program. Besides Qt's own arguments and the usual --help and --version
// it takes --server, the file server to copy firmware from.

#include <QApplication>
#include <QCommandLineParser>
#include <QSocketNotifier>
#include <QTimer>

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/VersionLines.h"
#include "platform/RegistryStore.h"
#include "serial/PosixSerialPort.h"
#include "ui/MainWindow.h"
#include "ui/QtHost.h"
#include "ui/UiText.h"
#include "ui/UiResources.h"

namespace {

int g_signalPipe[2] = {-1, -1};

void OnTerminate(int) {
  const char one = 1;
  [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &one, 1);
}

// A logout or `kill` closes the window as the operator would, so the settings are saved and the
// port is released.
void CloseOnTerminate(QWidget& window) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0) return;
  auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &window);
  QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window, notifier] {
    char drained = 0;
    [[maybe_unused]] const ssize_t read = ::read(g_signalPipe[0], &drained, 1);
    notifier->setEnabled(false);
    // quit() also ends a box's loop that is open at the time. A firmware load asks first; when the
    // operator keeps it running, the next signal asks again.
    if (window.close()) {
      QCoreApplication::quit();
    } else {
      notifier->setEnabled(true);
    }
  });
  struct sigaction action {};
  action.sa_handler = OnTerminate;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGHUP, &action, nullptr);
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  tola::InitUiResources();
  QApplication::setApplicationName(QStringLiteral("tola-utility"));
  QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3.%4")
                                          .arg(TOLA_VERSION_MAJOR)
                                          .arg(TOLA_VERSION_MINOR)
                                          .arg(TOLA_VERSION_PATCH)
                                          .arg(TOLA_VERSION_TWEAK));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/tola/icons/tola-utility.svg")));
  // Wayland compositors find the menu entry, and so the icon, by this name.
  QGuiApplication::setDesktopFileName(QStringLiteral("tola-utility"));

  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("%1: looks after a TOLA400 amplifier over its serial line.\n"
                     "The settings are kept in the file TOLA_SETTINGS names when set, else in %2.")
          .arg(tola::StringQt(tola::kIdsProgramDescription), tola::ToQt(tola::DefaultSettingsLocation())));
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption server(
      QStringLiteral("server"),
      QStringLiteral("The file server \"Copy New Files from Ostravel\" copies from, as HOST or HOST:PORT; "
                     "remembered in the settings (default: %1).")
          .arg(QString::fromLatin1(tola::kDefaultFileServer)),
      QStringLiteral("HOST[:PORT]"));
  parser.addOption(server);
  parser.process(application);
  if (!parser.positionalArguments().isEmpty()) {
    std::fprintf(stderr, "tola-utility: takes no arguments (\"%s\"); see --help\n",
                 parser.positionalArguments().first().toLocal8Bit().constData());
    return 2;
  }

  tola::QtHost host;
  auto port = std::make_unique<tola::PosixSerialPort>(host);
  auto store = tola::MakeSettingsStore();
  tola::MainWindow window(host, std::move(port), std::move(store));
  if (parser.isSet(server)) window.App().fileServer.Change(tola::FromQt(parser.value(server).trimmed()));
  CloseOnTerminate(window);
  window.show();

  // The start-up figure of the benchmark: time from the process's start to the first shown window.
  if (const char* report = std::getenv("TOLA_REPORT_FIRST_SHOW"); report != nullptr && report[0] != '\0') {
    QTimer::singleShot(0, &window, [&window] {
      std::printf("first-show-ms %lld\n", static_cast<long long>(tola::MillisecondsSinceProcessStart()));
      std::fflush(stdout);
      window.close();
    });
  }
  return application.exec();
}
