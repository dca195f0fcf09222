#include "ui/pages/PortPage.h"

#include <algorithm>

#include <QComboBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/AppState.h"
#include "app/StatusText.h"
#include "dialogue/ConnectionMachine.h"
#include "ui/UiText.h"

namespace tola {

namespace {

// Case-insensitive, with runs of digits compared as numbers: "ttyS2" before "ttyS10".
bool NaturalLess(const QString& a, const QString& b) {
  qsizetype i = 0;
  qsizetype j = 0;
  while (i < a.size() && j < b.size()) {
    if (a[i].isDigit() && b[j].isDigit()) {
      const qsizetype startA = i;
      const qsizetype startB = j;
      while (i < a.size() && a[i].isDigit()) ++i;
      while (j < b.size() && b[j].isDigit()) ++j;
      // Leading zeros aside, the longer run is the larger number.
      QStringView runA = QStringView(a).mid(startA, i - startA);
      QStringView runB = QStringView(b).mid(startB, j - startB);
      while (runA.size() > 1 && runA.front() == QLatin1Char('0')) runA = runA.mid(1);
      while (runB.size() > 1 && runB.front() == QLatin1Char('0')) runB = runB.mid(1);
      if (runA.size() != runB.size()) return runA.size() < runB.size();
      if (const int order = runA.compare(runB); order != 0) return order < 0;
      continue;
    }
    const QChar ca = a[i].toCaseFolded();
    const QChar cb = b[j].toCaseFolded();
    if (ca != cb) return ca < cb;
    ++i;
    ++j;
  }
  return a.size() - i < b.size() - j;
}

// What the adapter calls itself, else its driver: shown when the pointer rests on an entry.
QString Description(const PortInfo& info) {
  const QString named = (ToQt(info.manufacturer) + QLatin1Char(' ') + ToQt(info.product)).trimmed();
  return named.isEmpty() ? ToQt(info.driver) : named;
}

}  // namespace

PortPage::PortPage(AppState& app, std::function<std::vector<PortInfo>()> listPorts, QWidget* parent)
    : Page(app, parent), m_listPorts(std::move(listPorts)) {
  auto* label = new QLabel(StringQt(kIdsPortListLabel), this);
  m_portList = new QComboBox(this);
  m_portList->setObjectName(QStringLiteral("portList"));
  m_portList->setEditable(true);
  // Typing never adds a port; only an entry of the list is a port.
  m_portList->setInsertPolicy(QComboBox::NoInsert);
  m_portList->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  m_portList->setMinimumContentsLength(20);
  m_portList->setToolTip(StringQt(kIdsTipChoosePort));
  m_portList->setAccessibleName(label->text());
  m_portList->lineEdit()->setAccessibleName(label->text());
  label->setBuddy(m_portList);

  m_refresh = new QPushButton(StringQt(kIdsRefreshPortList), this);
  m_refresh->setObjectName(QStringLiteral("refreshPortList"));
  m_refresh->setToolTip(StringQt(kIdsTipRefreshPorts));
  m_test = new QPushButton(StringQt(kIdsTestCommunications), this);
  m_test->setObjectName(QStringLiteral("testCommunications"));
  m_test->setToolTip(StringQt(kIdsTipTestCommunications));
  m_test->setDefault(true);
  m_close = new QPushButton(StringQt(kIdsClosePort), this);
  m_close->setObjectName(QStringLiteral("closePort"));
  m_close->setToolTip(StringQt(kIdsTipClosePort));
  m_close->setEnabled(false);
  // A focused button takes Enter itself; in the list Enter tests (eventFilter).
  for (QPushButton* button : {m_refresh, m_test, m_close}) button->setAutoDefault(true);
  m_portList->installEventFilter(this);

  // The list with its buttons beside it keep their size in the page's top left corner; a wider
  // list would only stretch short port names.
  auto* grid = new QGridLayout(this);
  grid->addWidget(label, 0, 0, 1, 2);
  grid->addWidget(m_portList, 1, 0, Qt::AlignTop);
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(m_refresh);
  buttons->addWidget(m_test);
  buttons->addWidget(m_close);
  grid->addLayout(buttons, 1, 1);
  grid->setColumnStretch(2, 1);
  grid->setRowStretch(2, 1);

  connect(m_portList, &QComboBox::activated, this, &PortPage::OnPortChosen);
  connect(m_refresh, &QPushButton::clicked, this, &PortPage::OnRefresh);
  connect(m_test, &QPushButton::clicked, this, &PortPage::OnTest);
  connect(m_close, &QPushButton::clicked, this, &PortPage::OnClosePort);

  FillPortList();
  const QString saved = ToQt(App().port.Get());
  const int entry = EntryFor(saved);
  m_portList->setCurrentIndex(entry);
  // A saved port that is gone is forgotten, so the next start opens on this page.
  if (entry < 0 && !saved.isEmpty()) App().port.Change(std::string());
}

PortPage::~PortPage() = default;

void PortPage::Activated() {
  // Each registration delivers the present value once; no box for that.
  m_registered = false;
  m_portOpenBinding = std::make_unique<ValueBinding>(
      App().portOpen, [this](std::uint32_t) { m_close->setEnabled(App().portOpen.Get() != 0); });
  m_stateBinding = std::make_unique<ValueBinding>(App().ConnectionStateValue(),
                                                  [this](std::uint32_t) { OnConnectionState(); });
  m_registered = true;
}

void PortPage::Deactivated() {
  m_registered = false;
  m_stateBinding.reset();
  m_portOpenBinding.reset();
}

bool PortPage::eventFilter(QObject* watched, QEvent* event) {
  // Enter in the list's edit field is the default button's, as in a dialog; the list would
  // otherwise take typed text that names an entry as a choice.
  if (watched == m_portList && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      m_test->click();
      return true;
    }
  }
  return Page::eventFilter(watched, event);
}

void PortPage::FillPortList() {
  const int current = m_portList->currentIndex();
  const QString remembered = current >= 0 ? m_portList->itemText(current) : QString();

  std::vector<PortInfo> ports = m_listPorts ? m_listPorts() : std::vector<PortInfo>{};
  std::stable_sort(ports.begin(), ports.end(),
                   [](const PortInfo& a, const PortInfo& b) { return NaturalLess(ToQt(a.name), ToQt(b.name)); });
  // Filling is not a choice of the operator's: no test starts from it.
  const QSignalBlocker quiet(m_portList);
  m_portList->clear();
  for (const PortInfo& info : ports) {
    m_portList->addItem(ToQt(info.name));
    m_portList->setItemData(m_portList->count() - 1, Description(info), Qt::ToolTipRole);
  }
  m_portList->setCurrentIndex(EntryFor(remembered));
  if (m_portList->currentIndex() < 0) m_portList->setEditText(QString());
}

int PortPage::EntryFor(const QString& name) const {
  if (name.isEmpty()) return -1;
  for (int i = 0; i < m_portList->count(); ++i) {
    if (m_portList->itemText(i).startsWith(name, Qt::CaseInsensitive)) return i;
  }
  return -1;
}

void PortPage::OnPortChosen(int index) {
  if (index < 0) return;
  App().port.Change(FromQt(m_portList->itemText(index)));
  StartTest();
}

void PortPage::OnRefresh() {
  StartClosePort();
  FillPortList();
  if (m_portList->currentIndex() >= 0) m_portList->showPopup();
}

void PortPage::OnTest() {
  if (App().port.Get().empty()) {
    App().MessageBox(LoadString(kIdsChoosePort), LoadString(kIdsSelectPortCaption), BoxButtons::Ok, BoxIcon::Error);
    m_portList->setFocus();
    m_portList->showPopup();
    return;
  }
  StartTest();
}

void PortPage::OnClosePort() { StartClosePort(); }

void PortPage::OnConnectionState() {
  if (!m_registered || App().portOpen.Get() == 0) return;
  BoxIcon icon = BoxIcon::Error;
  switch (App().ConnectionState()) {
    case kConnectionLoader: icon = BoxIcon::Warning; break;
    case kConnectionFirmware: icon = BoxIcon::Information; break;
    default: break;
  }
  // With the port open, the status line's text is the box's text.
  App().MessageBox(ConnectionStatusText(App()), LoadString(kIdsStatusCaption), BoxButtons::Ok, icon);
}

void PortPage::StartTest() {
  if (auto* machine = static_cast<ConnectionMachine*>(App().ConnectionMachine())) machine->StartTest();
}

void PortPage::StartClosePort() {
  if (auto* machine = static_cast<ConnectionMachine*>(App().ConnectionMachine())) machine->StartClosePort();
}

}  // namespace tola
