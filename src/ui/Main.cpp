// tola-utility: the desktop program. Besides Qt's own arguments and the usual --help and --version
// it takes --server, the file server to copy firmware from.

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/VersionLines.h"
#include "platform/EndRequests.h"
#include "platform/ProcessTime.h"
#include "platform/RegistryStore.h"
#include "serial/CSerialPort.h"
#include "ui/MainWindow.h"
#include "ui/QtHost.h"
#include "ui/UiText.h"
#include "ui/UiResources.h"

namespace {

// A logout or `kill` closes the window as the operator would, so the settings are saved and the
// port is released.
void CloseOnEndRequest(tola::Host& host, QWidget& window) {
  tola::CatchEndRequests([&host, &window] {
    host.Post([&window] {
      // A request that comes while the window is asking about the last one adds nothing.
      static bool closing = false;
      if (closing) return;
      closing = true;
      // quit() also ends a box's loop that is open at the time. A firmware load asks first; when
      // the operator keeps it running, the next request asks again.
      if (window.close()) QCoreApplication::quit();
      closing = false;
    });
  });
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
  auto port = tola::MakeSystemSerialPort(host);
  auto store = tola::MakeSettingsStore();
  tola::MainWindow window(host, std::move(port), std::move(store));
  if (parser.isSet(server)) window.App().fileServer.Change(tola::FromQt(parser.value(server).trimmed()));
  CloseOnEndRequest(host, window);
  window.show();

  // The start-up figure of the benchmark: time from the process's start to the first shown window.
  if (const char* report = std::getenv("TOLA_REPORT_FIRST_SHOW"); report != nullptr && report[0] != '\0') {
    QTimer::singleShot(0, &window, [&window] {
      std::printf("first-show-ms %lld\n", static_cast<long long>(tola::MillisecondsSinceProcessStart()));
      std::fflush(stdout);
      window.close();
    });
  }
  const int status = application.exec();
  tola::CatchEndRequests(nullptr);  // the window goes now
  return status;
}
