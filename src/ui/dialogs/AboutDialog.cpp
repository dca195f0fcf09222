#include "ui/dialogs/AboutDialog.h"

#include <QFile>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "app/Format.h"
#include "formats/RtfReader.h"
#include "ui/UiText.h"
#include "ui/widgets/RichText.h"

namespace tola {

namespace {

constexpr int kIconPixels = 48;
const QString kIconPath = QStringLiteral(":/tola/icons/tola-utility.svg");
const QString kLicencePath = QStringLiteral(":/tola/Licence.rtf");

}  // namespace

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("aboutDialog"));
  setWindowTitle(StringQt(kIdsAboutCaption));

  auto* icon = new QLabel(this);
  icon->setObjectName(QStringLiteral("aboutIcon"));
  icon->setPixmap(QIcon(kIconPath).pixmap(kIconPixels, kIconPixels));
  icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

  auto* text = new QLabel(AboutText(), this);
  text->setObjectName(QStringLiteral("aboutText"));
  text->setTextFormat(Qt::PlainText);
  text->setTextInteractionFlags(Qt::TextSelectableByMouse);
  text->setAlignment(Qt::AlignTop | Qt::AlignLeft);

  m_licence = new QPushButton(StringQt(kIdsViewLicence), this);
  m_licence->setAutoDefault(false);
  m_close = new QPushButton(StringQt(kIdsClose), this);
  m_close->setDefault(true);

  auto* buttons = new QVBoxLayout;
  buttons->addWidget(m_close);
  buttons->addWidget(m_licence);
  buttons->addStretch(1);

  auto* layout = new QHBoxLayout(this);
  layout->addWidget(icon, 0, Qt::AlignTop);
  layout->addSpacing(fontMetrics().averageCharWidth() * 2);
  layout->addWidget(text, 1);
  layout->addSpacing(fontMetrics().averageCharWidth() * 2);
  layout->addLayout(buttons);
  // Fixed size: nothing in the box grows.
  layout->setSizeConstraint(QLayout::SetFixedSize);

  // Escape rejects, which closes the box like "Close".
  connect(m_close, &QPushButton::clicked, this, &QDialog::accept);
  connect(m_licence, &QPushButton::clicked, this, &AboutDialog::ShowLicence);
  m_close->setFocus();
}

QString AboutDialog::AboutText() {
  return ToQt(FormatText(LoadString(kIdsAboutText), LoadString(kIdsProgramDescription), unsigned{TOLA_VERSION_MAJOR},
                         unsigned{TOLA_VERSION_MINOR}, unsigned{TOLA_VERSION_PATCH}, unsigned{TOLA_VERSION_TWEAK},
                         LoadString(kIdsCopyright)));
}

void AboutDialog::ShowLicence() {
  LicenceDialog licence(this);
  emit licenceOpened(&licence);
  licence.exec();
}

LicenceDialog::LicenceDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("licenceDialog"));
  setWindowTitle(StringQt(kIdsLicenceCaption));
  setSizeGripEnabled(true);

  m_pane = MakeDocumentPane(*this, QStringLiteral("licenceText"), StringQt(kIdsLicenceCaption));

  QFile file(kLicencePath);
  const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  const RtfReadResult read = ReadRtf(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
  if (read.Ok()) {
    ShowDocument(*m_pane, read.text);
  } else {
    // The licence is built into the program, so this is a broken build; say what is wrong.
    m_pane->setPlainText(ToQt(read.error));
  }

  QPushButton* close = LayOutDocumentWindow(*this, m_pane);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  close->setFocus();
}

QSize LicenceDialog::sizeHint() const {
  const QFontMetrics metrics = fontMetrics();
  return {metrics.averageCharWidth() * 84, metrics.height() * 34};
}

}  // namespace tola
