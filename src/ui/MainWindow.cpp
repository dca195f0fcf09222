#include "ui/MainWindow.h"

#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>

#include "app/StatusText.h"
#include "dialogue/ConnectionMachine.h"
#include "platform/RegistryStore.h"
#include "ui/QtHost.h"
#include "ui/UiText.h"
#include "ui/dialogs/AboutDialog.h"
#include "ui/dialogs/FileServerCopyDialog.h"
#include "ui/dialogs/ReleaseNotesWindow.h"
#include "ui/help/HelpWindow.h"
#include "ui/pages/CommandTesterPage.h"
#include "ui/pages/ConfigurationPage.h"
#include "ui/pages/FirmwarePage.h"
#include "ui/pages/OperatePage.h"
#include "ui/pages/Page.h"
#include "ui/pages/PortPage.h"

namespace tola {

namespace {

// Menu texts carry the shortcut after a tab ("E&xit\tAlt F4"); Qt shows the shortcut itself.
QString MenuText(StringId id) { return StringQt(id).section(QLatin1Char('\t'), 0, 0); }

QString Prompt(StringId id) { return ToQt(FirstLine(LoadString(id))); }

// The status line at the bar's width: a long line is cut at the bar's end and never widens the
// window, and a new text changes nothing but the line itself.
class StatusLineHolder : public QWidget {
 public:
  explicit StatusLineHolder(QWidget* parent) : QWidget(parent) { setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed); }
  void SetLine(QLabel* line) { m_line = line; }
  QSize sizeHint() const override { return {1, fontMetrics().height()}; }
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QWidget::resizeEvent(event);
    if (m_line != nullptr) m_line->setGeometry(rect());
  }

 private:
  QLabel* m_line = nullptr;
};

// Rounded to the nearest whole pixel, as the window's minimum is computed from the sheet.
int Percent(int value, int percent) { return (value * percent + 50) / 100; }

}  // namespace

MainWindow::MainWindow(Host& host, std::unique_ptr<CSerialPort> port, std::unique_ptr<RegistryStore> store,
                       Options options)
    : m_options(std::move(options)) {
  if (!m_options.listPorts) m_options.listPorts = [] { return DescribeSerialPorts(); };
  setWindowTitle(StringQt(kIdsProgramDescription));

  // Every log line changes the status text. A label in the bar's layout would have the bar and the
  // window laid out again each time (milliseconds, several times a second during a firmware load),
  // so it lives in a holder of one fixed height that gives it the bar's width.
  auto* holder = new StatusLineHolder(this);
  m_statusLabel = new QLabel(holder);
  m_statusLabel->setObjectName(QStringLiteral("statusText"));
  m_statusLabel->setTextFormat(Qt::PlainText);
  holder->SetLine(m_statusLabel);
  statusBar()->addWidget(holder, 1);
  statusBar()->setSizeGripEnabled(true);
  SetStatusText(StringQt(kIdsReady));

  m_app = std::make_unique<AppState>(host, std::move(port), std::move(store));
  m_app->SetLogSink(this);
  if (auto* qtHost = dynamic_cast<QtHost*>(&host)) qtHost->SetBoxOwner(this);
  m_router.emplace(*m_app);
  m_router->SetPageSerialHandler([this] {
    if (m_activePage != nullptr) m_activePage->OnSerialEvent();
  });
  // The Operate page's poll timer is its own: it ticks whether or not a cycle is running.
  m_router->SetPageTimerFilter([this](unsigned id) { return m_activePage != nullptr && m_activePage->OnOwnTimer(id); });
  m_router->SetPageTimerHandler([this](unsigned id) {
    if (m_activePage != nullptr) m_activePage->OnTimer(id);
  });
  m_app->LoadSettings();
  // A settings file that could not be read is worth a box: the operator would otherwise find the
  // port and folders forgotten without knowing why.
  if (const std::string problem = m_app->SettingsFileProblem(HivePathNamedByUser()); !problem.empty()) {
    SetStatusText(ToQt(problem));
    QTimer::singleShot(0, this, [this, problem] {
      ShowMessageBox(this, problem, LoadString(kIdsSettingsProblemCaption), BoxButtons::Ok, BoxIcon::Warning,
                     BoxAnswer::None);
    });
  }

  BuildMenu();
  BuildSheet();
  SelectStartPage();

  AppState& app = *m_app;
  auto titleAndStatus = [this](std::uint32_t) {
    UpdateTitle();
    UpdateStatusText();
  };
  auto title = [this](std::uint32_t) { UpdateTitle(); };
  m_bindings.push_back(std::make_unique<ValueBinding>(app.ConnectionStateValue(), titleAndStatus));
  m_bindings.push_back(std::make_unique<ValueBinding>(
      app.dialogueFinished, [this](std::uint32_t) { SetStatusText(StringQt(kIdsReady)); },
      ValueBinding::Initial::Quiet));
  m_bindings.push_back(std::make_unique<ValueBinding>(app.serialNumber, title));
  m_bindings.push_back(std::make_unique<ValueBinding>(app.port, title));
  m_bindings.push_back(std::make_unique<ValueBinding>(app.portSpeed, title));
  // The title says "closed" as soon as the port closes, whoever closed it.
  m_bindings.push_back(std::make_unique<ValueBinding>(app.portOpen, title, ValueBinding::Initial::Quiet));

  // A port whose device went away (adapter pulled, amplifier's link gone) is closed, so that the
  // title, the status and every page say so; the operator tests again once it is back.
  m_bindings.push_back(std::make_unique<ValueBinding>(
      app.portLost,
      [this](std::uint32_t) {
        if (m_app->portLost.Get() == 0) return;
        // After the running machine has been ended by the same loss, not inside that notice; and
        // through the host, so that it waits like any core work while a box of the core is open.
        QPointer<MainWindow> self(this);
        m_app->GetHost().Post([self] {
          if (self) self->OnPortLost();
        });
      },
      ValueBinding::Initial::Quiet));

  InstallConnectionMachine(app).StartTest();
}

void MainWindow::OnPortLost() {
  if (m_shutDown || m_app->portLost.Get() == 0 || m_app->portOpen.Get() == 0) return;
  const std::string name = m_app->port.Get();
  if (auto* connection = static_cast<ConnectionMachine*>(m_app->ConnectionMachine())) {
    connection->StartClosePort();
  } else {
    m_app->ClosePort();
  }
  m_app->LogLine(FormatText(LoadString(kIdsPortWentAway), name));
}

MainWindow::~MainWindow() {
  ShutDown();
  // The pages and their bindings go before the AppState they listen to.
  delete m_sheet;
  m_sheet = nullptr;
  m_pages.clear();
  m_activePage = nullptr;
  m_bindings.clear();
  m_router.reset();
  m_app.reset();
}

Page* MainWindow::PageAt(int tab) const {
  return tab >= 0 && tab < static_cast<int>(m_pages.size()) ? m_pages[static_cast<std::size_t>(tab)] : nullptr;
}

QString MainWindow::StatusText() const { return m_statusText; }

void MainWindow::BuildMenu() {
  QMenu* file = menuBar()->addMenu(MenuText(kIdsMenuFile));
  QAction* exit = file->addAction(MenuText(kIdsMenuExit), this, &QWidget::close);
  exit->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
  exit->setStatusTip(Prompt(kIdsPromptExit));

  QMenu* view = menuBar()->addMenu(MenuText(kIdsMenuView));
  m_statusBarAction = view->addAction(MenuText(kIdsMenuStatusBar));
  m_statusBarAction->setCheckable(true);
  m_statusBarAction->setChecked(true);
  m_statusBarAction->setStatusTip(Prompt(kIdsPromptStatusBar));
  connect(m_statusBarAction, &QAction::toggled, statusBar(), &QWidget::setVisible);

  AppState& app = *m_app;
  auto toggle = [](PersistedNumber& setting, QAction* action) {
    setting.Change(setting.Get() != 0 ? 0 : 1);
    action->setChecked(setting.Get() != 0);
  };
  m_traceAction = view->addAction(MenuText(kIdsMenuTrace));
  m_traceAction->setCheckable(true);
  m_traceAction->setChecked(app.trace.Get() != 0);
  m_traceAction->setStatusTip(Prompt(kIdsPromptTrace));
  connect(m_traceAction, &QAction::triggered, this, [&app, toggle, this] { toggle(app.trace, m_traceAction); });
  m_verboseAction = view->addAction(MenuText(kIdsMenuVerboseLogging));
  m_verboseAction->setCheckable(true);
  m_verboseAction->setChecked(app.verboseLogging.Get() != 0);
  m_verboseAction->setStatusTip(Prompt(kIdsPromptVerboseLogging));
  connect(m_verboseAction, &QAction::triggered, this,
          [&app, toggle, this] { toggle(app.verboseLogging, m_verboseAction); });

  QMenu* help = menuBar()->addMenu(MenuText(kIdsMenuHelp));
  QAction* contents = help->addAction(MenuText(kIdsMenuHelpContents), this, [this] { Help().ShowContents(); });
  contents->setShortcut(QKeySequence(Qt::Key_F1));
  // F1 itself opens the selected page's topic; the item shows the key and opens the contents.
  contents->setShortcutContext(Qt::WidgetShortcut);
  contents->setStatusTip(Prompt(kIdsPromptHelpContents));
  QAction* notes = help->addAction(MenuText(kIdsMenuReleaseNotes), this, &MainWindow::ShowReleaseNotes);
  notes->setStatusTip(Prompt(kIdsPromptReleaseNotes));
  help->addSeparator();
  QAction* about = help->addAction(MenuText(kIdsMenuAbout), this, &MainWindow::ShowAbout);
  about->setStatusTip(Prompt(kIdsPromptAbout));

  auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
  f1->setContext(Qt::WindowShortcut);
  connect(f1, &QShortcut::activated, this, &MainWindow::ShowHelpForCurrentPage);
}

void MainWindow::BuildSheet() {
  m_sheet = new QTabWidget(this);
  m_sheet->setObjectName(QStringLiteral("sheet"));
  m_sheet->setAccessibleName(StringQt(kIdsSheetName));
  setCentralWidget(m_sheet);
  AppState& app = *m_app;
  const StringId titles[kPageCount] = {kIdsTabPort, kIdsTabFirmware, kIdsTabOperate, kIdsTabConfiguration,
                                       kIdsTabCommandTester};
  for (int tab = 0; tab < kPageCount; ++tab) {
    Page* page = m_options.makePage ? m_options.makePage(tab, app) : nullptr;
    if (page == nullptr) {
      switch (tab) {
        case kPagePort: page = new PortPage(app, m_options.listPorts); break;
        case kPageFirmware:
          page = new FirmwarePage(app, [this](const FirmwareChoice& choice) {
            FileServerCopyDialog(*m_app, choice, nullptr, this).Run();
          });
          connect(static_cast<FirmwarePage*>(page), &FirmwarePage::SendEnded, this,
                  [this] {
                    if (m_closeAfterSend) close();
                  },
                  Qt::QueuedConnection);
          break;
        case kPageOperate: page = new OperatePage(app); break;
        case kPageConfiguration:
          page = new ConfigurationPage(app, [this]() -> HelpWindow& { return Help(); });
          break;
        case kPageCommandTester: page = new CommandTesterPage(app); break;
        default: page = new Page(app); break;
      }
    }
    page->setObjectName(QStringLiteral("page%1").arg(tab));
    m_sheet->addTab(page, StringQt(titles[tab]));
    m_pages.push_back(page);
  }
  connect(m_sheet, &QTabWidget::currentChanged, this, &MainWindow::OnTabChanged);
}

void MainWindow::SelectStartPage() {
  // A saved page counts only with a saved port, so a first run starts on the Port page. The value
  // is signed: a negative one is no page.
  const auto saved = static_cast<std::int32_t>(m_app->activePage.Get());
  const int start = !m_app->port.Get().empty() && saved >= 0 && saved < kPageCount ? saved : kPagePort;
  {
    const QSignalBlocker quiet(m_sheet);
    m_sheet->setCurrentIndex(start);
  }
  OnTabChanged(start);
}

void MainWindow::OnTabChanged(int index) {
  Page* next = PageAt(index);
  if (next == m_activePage) return;
  if (m_activePage != nullptr) m_activePage->Deactivated();
  m_activePage = next;
  if (m_activePage != nullptr) m_activePage->Activated();
}

void MainWindow::UpdateTitle() {
  if (m_app) setWindowTitle(ToQt(WindowTitle(*m_app)));
}

void MainWindow::UpdateStatusText() {
  // Sent as a log line, so that it also reaches the Firmware page's log.
  m_app->LogLine(ConnectionStatusText(*m_app));
}

void MainWindow::SetStatusText(const QString& text) {
  m_statusText = text;
  m_statusLabel->setText(text);
}

void MainWindow::OnLogLine(const std::string& text, bool /*verbose*/) {
  // The bar holds one line; the page's log keeps the line as it was.
  std::string oneLine = WithNewlines(text);
  std::replace(oneLine.begin(), oneLine.end(), '\n', ' ');
  SetStatusText(ToQt(oneLine));
  if (m_sheet != nullptr && m_sheet->currentIndex() == kPageFirmware && m_activePage != nullptr) {
    m_activePage->OnPageLogLine(text);
  }
}

bool MainWindow::event(QEvent* event) {
  if (event->type() == QEvent::StatusTip) {
    // While a menu item is highlighted its prompt shows; leaving the menu brings the line back.
    const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
    m_statusLabel->setText(tip.isEmpty() ? m_statusText : tip);
    return true;
  }
  return QMainWindow::event(event);
}

void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!m_shownOnce) {
    m_shownOnce = true;
    FirstShow();
  }
}

void MainWindow::FirstShow() {
  // The smallest size shows a whole page with a margin: 105 % of the sheet's width and 109 % of
  // its height, and never less than the menu and status bar need around it.
  const QSize sheet = m_sheet->minimumSizeHint().expandedTo(m_sheet->sizeHint());
  const QSize chrome = minimumSizeHint();
  m_minimumSize = QSize(Percent(sheet.width(), 105), Percent(sheet.height(), 109)).expandedTo(chrome);
  setMinimumSize(m_minimumSize);

  WindowPlacement placement;
  bool restored = m_app->RestorePlacement(placement);
  QRect normal(QPoint(placement.left, placement.top), QPoint(placement.right - 1, placement.bottom - 1));
  if (restored) {
    // A placement on a screen that is no longer there would hide the window.
    const QScreen* screen = QGuiApplication::screenAt(normal.center());
    restored = screen != nullptr && normal.width() > 0 && normal.height() > 0;
  }
  if (restored) {
    setGeometry(QRect(normal.topLeft(), normal.size().expandedTo(m_minimumSize)));
    if (placement.showCmd == 3) QTimer::singleShot(0, this, [this] { showMaximized(); });
    return;
  }
  resize(m_minimumSize);
  if (const QScreen* screen = this->screen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // A firmware load is ended the way its own dialog ends it: asked first while it runs. The window
  // closes once the operation has finished, not from inside it.
  if (auto* firmware = qobject_cast<FirmwarePage*>(PageAt(kPageFirmware)); firmware && firmware->IsSending()) {
    event->ignore();
    if (firmware->EndSending()) m_closeAfterSend = true;
    return;
  }
  ShutDown();
  QMainWindow::closeEvent(event);
}

void MainWindow::ShutDown() {
  if (m_shutDown || !m_app) return;
  m_shutDown = true;
  if (m_releaseNotes) m_releaseNotes->close();
  if (m_activePage != nullptr) m_activePage->Deactivated();
  m_bindings.clear();
  m_app->ClosePort();
  m_app->activePage.Change(static_cast<std::uint32_t>(m_sheet->currentIndex()));
  m_app->SaveSettings();
  if (m_shownOnce) {
    WindowPlacement placement;
    const QRect normal = isMaximized() || isMinimized() ? normalGeometry() : geometry();
    placement.showCmd = isMaximized() ? 3 : 1;
    placement.left = normal.left();
    placement.top = normal.top();
    placement.right = normal.left() + normal.width();
    placement.bottom = normal.top() + normal.height();
    m_app->SavePlacement(placement);
  }
  m_activePage = nullptr;
}

HelpWindow& MainWindow::Help() {
  if (m_help == nullptr) m_help = new HelpWindow(this);
  return *m_help;
}

void MainWindow::ShowHelpForCurrentPage() {
  const QString topic = m_activePage != nullptr ? m_activePage->HelpTopic() : QString();
  if (topic.isEmpty()) {
    Help().ShowContents();
  } else {
    Help().ShowTopic(topic);
  }
}

void MainWindow::ShowAbout() {
  AboutDialog about(this);
  about.exec();
}

void MainWindow::ShowReleaseNotes() {
  if (m_releaseNotes) m_releaseNotes->close();
  m_releaseNotes = ReleaseNotesWindow::Open(*m_app, m_app->firmwareFolder.Get(), this);
}

ReleaseNotesWindow* MainWindow::ReleaseNotes() const { return m_releaseNotes.data(); }

}  // namespace tola
