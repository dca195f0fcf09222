#include "ui/help/HelpWindow.h"

#include <QApplication>
#include <QEvent>

#include <QDesktopServices>
#include <QFile>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <QWhatsThis>

#include "ui/QtHost.h"
#include "ui/UiText.h"

namespace tola {

namespace {

const QString kHelpUrl = QStringLiteral("qrc:/tola/help/");
const QString kHelpFolder = QStringLiteral(":/tola/help/");
const QString kContentsTopic = QStringLiteral("Contents.htm");
const QString kContextFile = QStringLiteral("Context.txt");

QString ReadResource(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(file.readAll());
}

const std::map<unsigned, QString>& PopupTexts() {
  static const std::map<unsigned, QString> texts =
      HelpWindow::ParseContextText(ReadResource(kHelpFolder + kContextFile));
  return texts;
}

}  // namespace

HelpWindow::HelpWindow(QWidget* owner) : QWidget(owner, Qt::Window), m_owner(owner) {
  setObjectName(QStringLiteral("helpWindow"));
  setWindowTitle(StringQt(kIdsHelpWindowTitle));

  m_back = new QPushButton(StringQt(kIdsHelpBack), this);
  m_back->setToolTip(StringQt(kIdsHelpBackTip));
  m_back->setEnabled(false);
  m_forward = new QPushButton(StringQt(kIdsHelpForward), this);
  m_forward->setToolTip(StringQt(kIdsHelpForwardTip));
  m_forward->setEnabled(false);
  m_contents = new QPushButton(StringQt(kIdsHelpContents), this);
  m_contents->setToolTip(StringQt(kIdsHelpContentsTip));
  for (QPushButton* button : {m_back, m_forward, m_contents}) button->setAutoDefault(false);

  m_browser = new QTextBrowser(this);
  m_browser->setObjectName(QStringLiteral("helpTopic"));
  m_browser->setAccessibleName(StringQt(kIdsHelpTopicPane));
  // Every link goes through ShowTopic, so a broken one gives the same box as a missing topic.
  m_browser->setOpenLinks(false);
  const QFontMetrics metrics = fontMetrics();
  m_browser->setMinimumSize(metrics.averageCharWidth() * 50, metrics.height() * 14);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(m_back);
  buttons->addWidget(m_forward);
  buttons->addWidget(m_contents);
  buttons->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(buttons);
  layout->addWidget(m_browser, 1);

  connect(m_back, &QPushButton::clicked, m_browser, &QTextBrowser::backward);
  connect(m_forward, &QPushButton::clicked, m_browser, &QTextBrowser::forward);
  connect(m_contents, &QPushButton::clicked, this, [this] { ShowContents(); });
  connect(m_browser, &QTextBrowser::backwardAvailable, m_back, &QWidget::setEnabled);
  connect(m_browser, &QTextBrowser::forwardAvailable, m_forward, &QWidget::setEnabled);
  connect(m_browser, &QTextBrowser::anchorClicked, this, &HelpWindow::OnLink);

  m_errorBox = [](QWidget* boxOwner, const QString& text) {
    ShowMessageBox(boxOwner, FromQt(text), LoadString(kIdsHelpErrorCaption), BoxButtons::Ok, BoxIcon::Warning,
                   BoxAnswer::Ok, "tolaHelpError");
  };
}

QSize HelpWindow::sizeHint() const {
  // Room for a line of about 100 characters and a good part of a topic.
  const QFontMetrics metrics = fontMetrics();
  return {metrics.averageCharWidth() * 104, metrics.height() * 40};
}

QString HelpWindow::HelpPath(const QString& topic) { return kHelpUrl + topic; }

QString HelpWindow::HelpFile(const QString& topic) { return kHelpFolder + topic.section(QLatin1Char('#'), 0, 0); }

bool HelpWindow::ShowContents() { return ShowTopic(kContentsTopic); }

bool HelpWindow::ShowTopic(const QString& topic) {
  const QString name = topic.section(QLatin1Char('#'), 0, 0);
  // Only a plain file name of the help folder is a topic.
  if (name.isEmpty() || name.contains(QLatin1Char('/')) || !QFile::exists(HelpFile(topic))) {
    ShowError(HelpPath(topic));
    return false;
  }
  m_browser->setSource(QUrl(HelpPath(topic)));
  Present();
  return true;
}

void HelpWindow::OnLink(const QUrl& url) {
  const QString text = url.toString();
  if (text.startsWith(kHelpUrl)) {
    ShowTopic(text.mid(kHelpUrl.size()));
  } else if (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https") ||
             url.scheme() == QLatin1String("mailto")) {
    QDesktopServices::openUrl(url);
  } else {
    ShowError(text);
  }
}

void HelpWindow::Present() {
  // A modal dialog (the configuration sheet, the macro editor) takes input from every window but
  // its own: while one is open the help belongs to it, so that it can be read and scrolled, and it
  // comes back to its owner when the dialog closes.
  QWidget* modal = QApplication::activeModalWidget();
  if (modal != nullptr && modal != this && modal != m_lentTo) {
    if (m_lentTo != nullptr) m_lentTo->removeEventFilter(this);
    const QRect where = geometry();
    setParent(modal, windowFlags());
    setGeometry(where);
    m_lentTo = modal;
    modal->installEventFilter(this);
  }
  if (isMinimized()) {
    showNormal();
  } else if (!isVisible()) {
    show();
  }
  raise();
  activateWindow();
  m_browser->setFocus();
}

bool HelpWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_lentTo && event->type() == QEvent::Hide) {
    m_lentTo->removeEventFilter(this);
    m_lentTo = nullptr;
    const bool wasVisible = isVisible();
    const QRect where = geometry();
    setParent(m_owner, windowFlags());
    setGeometry(where);
    if (wasVisible) show();
  }
  return QWidget::eventFilter(watched, event);
}

void HelpWindow::ShowError(const QString& text) {
  QWidget* boxOwner = isVisible() ? this : parentWidget();
  if (m_errorBox) m_errorBox(boxOwner, text);
}

QString HelpWindow::CurrentTopic() const {
  const QString source = m_browser->source().toString();
  return source.startsWith(kHelpUrl) ? source.mid(kHelpUrl.size()) : source;
}

std::map<unsigned, QString> HelpWindow::ParseContextText(const QString& text) {
  // A ".topic" line with anything but a number starts a topic this program cannot ask for.
  static const QRegularExpression topicLine(QStringLiteral("^\\.topic(?:\\s+(.*))?$"));
  std::map<unsigned, QString> texts;
  QString* current = nullptr;
  bool paragraphEnded = false;
  const QStringList lines = text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
  for (const QString& rawLine : lines) {
    const QString line = rawLine.trimmed();
    if (const QRegularExpressionMatch match = topicLine.match(line); match.hasMatch()) {
      bool ok = false;
      const unsigned number = match.captured(1).trimmed().toUInt(&ok);
      current = ok ? &texts[number] : nullptr;
      if (current != nullptr) current->clear();
      paragraphEnded = false;
      continue;
    }
    if (current == nullptr) continue;
    if (line.isEmpty()) {
      paragraphEnded = !current->isEmpty();
      continue;
    }
    if (!current->isEmpty()) current->append(paragraphEnded ? QStringLiteral("\n\n") : QStringLiteral(" "));
    current->append(line);
    paragraphEnded = false;
  }
  return texts;
}

QString HelpWindow::PopupText(unsigned context) {
  const auto& texts = PopupTexts();
  const auto it = texts.find(context);
  return it == texts.end() ? QString() : it->second;
}

bool HelpWindow::ShowPopup(unsigned context, const QPoint& at) {
  const QString text = PopupText(context);
  if (text.isEmpty()) {
    ShowError(HelpPath(kContextFile));
    return false;
  }
  QWhatsThis::showText(at, Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal), parentWidget());
  return true;
}

}  // namespace tola
