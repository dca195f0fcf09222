// tola-utility: the desktop program. It takes no arguments of its own besides Qt's and the usual
// --help and --version.

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QTimer>

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

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  tola::InitUiResources();
  QApplication::setApplicationName(QStringLiteral("tola-utility"));
  QApplication::setApplicationDisplayName(tola::StringQt(tola::kIdsProgramDescription));
  QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3.%4")
                                          .arg(TOLA_VERSION_MAJOR)
                                          .arg(TOLA_VERSION_MINOR)
                                          .arg(TOLA_VERSION_PATCH)
                                          .arg(TOLA_VERSION_TWEAK));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/tola/icons/tola-utility.svg")));

  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("%1: looks after a TOLA400 amplifier over its serial line.\n"
                     "The settings file is TOLA_SETTINGS when set, else %2.")
          .arg(tola::StringQt(tola::kIdsProgramDescription), tola::ToQt(tola::DefaultHivePath())));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.process(application);
  if (!parser.positionalArguments().isEmpty()) {
    std::fprintf(stderr, "tola-utility: takes no arguments (\"%s\"); see --help\n",
                 parser.positionalArguments().first().toLocal8Bit().constData());
    return 2;
  }

  tola::QtHost host;
  auto port = std::make_unique<tola::PosixSerialPort>(host);
  auto store = std::make_unique<tola::RegistryStore>(tola::DefaultHivePath());
  tola::MainWindow window(host, std::move(port), std::move(store));
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
