#include "ui/dialogs/ConfigurationSheet.h"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "app/Format.h"
#include "ui/UiText.h"
#include "ui/help/HelpContexts.h"
#include "ui/help/HelpWindow.h"

namespace tola {

namespace {

// A box whose state only the controller sets: a click asks the controller and Qt's own toggling
// (and three-state cycling) never runs.
class ControlledCheckBox : public QCheckBox {
 public:
  using QCheckBox::QCheckBox;

 protected:
  void nextCheckState() override {}
};

Qt::CheckState QtState(CheckState state) {
  switch (state) {
    case CheckState::Checked: return Qt::Checked;
    case CheckState::Mixed: return Qt::PartiallyChecked;
    case CheckState::Cleared: break;
  }
  return Qt::Unchecked;
}

void SetState(QCheckBox& box, Qt::CheckState state) {
  if (box.checkState() != state) box.setCheckState(state);
}

}  // namespace

ConfigurationSheet::ConfigurationSheet(AppState& app, HelpWindow& help, QWidget* parent)
    : QDialog(parent), m_sheet(app), m_help(help) {
  setObjectName(QStringLiteral("configurationSheet"));
  setWindowTitle(ToQt(AntennaEnableSheet::kCaption));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("enableAntennas"));
  auto* grid = new QGridLayout(page);
  const unsigned helpAllBands[] = {kHelpAllBandsAnt1, kHelpAllBandsAnt2};
  const unsigned helpBand[] = {kHelpBandAnt1, kHelpBandAnt2};
  auto makeBox = [this, page](const std::string& caption, unsigned context) {
    auto* box = new ControlledCheckBox(ToQt(caption), page);
    box->setProperty(kHelpContextProperty, context);
    box->installEventFilter(this);
    return box;
  };
  for (unsigned antenna = 1; antenna <= 2; ++antenna) {
    QCheckBox* all = makeBox(FormatText(AntennaEnableSheet::kAllBandsCaption, antenna), helpAllBands[antenna - 1]);
    all->setObjectName(QStringLiteral("allBandsAnt%1").arg(antenna));
    all->setTristate(true);
    m_allBands[antenna - 1] = all;
    grid->addWidget(all, 0, static_cast<int>(antenna - 1));
    connect(all, &QCheckBox::clicked, this, [this, antenna] { m_sheet.ClickAllBands(antenna); });
  }
  // A gap between the two boxes for all bands and the band rows under them.
  grid->setRowMinimumHeight(1, fontMetrics().height() / 2);
  for (unsigned band = 0; band < kBandCount; ++band) {
    for (unsigned antenna = 1; antenna <= 2; ++antenna) {
      QCheckBox* box =
          makeBox(FormatText(AntennaEnableSheet::kBandCaption, EraseMemoriesFlow::kBandButtons[band], antenna),
                  helpBand[antenna - 1]);
      box->setObjectName(QStringLiteral("band%1Ant%2").arg(band).arg(antenna));
      m_bands[band][antenna - 1] = box;
      grid->addWidget(box, static_cast<int>(band) + 2, static_cast<int>(antenna - 1));
      connect(box, &QCheckBox::clicked, this, [this, band, antenna] { m_sheet.ClickBand(band, antenna); });
    }
  }
  grid->setHorizontalSpacing(fontMetrics().averageCharWidth() * 8);
  grid->setColumnStretch(2, 1);
  grid->setRowStretch(static_cast<int>(kBandCount) + 2, 1);

  m_tabs = new QTabWidget(this);
  m_tabs->addTab(page, ToQt(AntennaEnableSheet::kPageTitle));
  m_tabs->setAccessibleName(ToQt(AntennaEnableSheet::kPageTitle));

  m_ok = new QPushButton(StringQt(kIdsOk), this);
  m_ok->setObjectName(QStringLiteral("ok"));
  m_ok->setDefault(true);
  m_cancel = new QPushButton(StringQt(kIdsCancel), this);
  m_cancel->setObjectName(QStringLiteral("cancel"));
  m_apply = new QPushButton(StringQt(kIdsApply), this);
  m_apply->setObjectName(QStringLiteral("apply"));
  m_helpButton = new QPushButton(StringQt(kIdsHelp), this);
  m_helpButton->setObjectName(QStringLiteral("help"));
  auto* buttonRow = new QHBoxLayout;
  buttonRow->addStretch(1);
  for (QPushButton* button : {m_ok, m_cancel, m_apply, m_helpButton}) buttonRow->addWidget(button);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_tabs);
  layout->addLayout(buttonRow);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(m_ok, &QPushButton::clicked, this, [this] { m_sheet.Ok(); });
  connect(m_cancel, &QPushButton::clicked, this, &ConfigurationSheet::reject);
  connect(m_apply, &QPushButton::clicked, this, [this] { m_sheet.Apply(); });
  connect(m_helpButton, &QPushButton::clicked, this, &ConfigurationSheet::ShowTopic);
  auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
  connect(f1, &QShortcut::activated, this, &ConfigurationSheet::ShowTopic);

  m_sheet.onRefresh = [this] { Redraw(); };
  // The controller may say so from inside a machine's notice: the dialog ends after it.
  m_sheet.onClosed = [this] { QTimer::singleShot(0, this, [this] { QDialog::done(QDialog::Accepted); }); };
  Redraw();
}

ConfigurationSheet::~ConfigurationSheet() {
  m_sheet.onRefresh = nullptr;
  m_sheet.onClosed = nullptr;
}

void ConfigurationSheet::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (m_shown) return;
  m_shown = true;
  m_sheet.Show();
}

void ConfigurationSheet::reject() {
  if (!m_sheet.Closed()) m_sheet.RequestClose();
}

void ConfigurationSheet::Redraw() {
  for (unsigned antenna = 1; antenna <= 2; ++antenna) {
    SetState(*m_allBands[antenna - 1], QtState(m_sheet.AllBands(antenna)));
    for (unsigned band = 0; band < kBandCount; ++band) {
      SetState(*m_bands[band][antenna - 1], m_sheet.BandChecked(band, antenna) ? Qt::Checked : Qt::Unchecked);
    }
  }
  m_apply->setEnabled(m_sheet.Changed());
}

void ConfigurationSheet::ShowTopic() {
  m_help.ShowTopic(ToQt(AntennaEnableSheet::kHelpTopic) + ToQt(AntennaEnableSheet::kHelpAnchor));
}

bool ConfigurationSheet::ShowPopup(QWidget& control, const QPoint& at) {
  return m_help.ShowPopup(control.property(kHelpContextProperty).toUInt(), at);
}

bool ConfigurationSheet::eventFilter(QObject* watched, QEvent* event) {
  auto* control = qobject_cast<QWidget*>(watched);
  if (control == nullptr || !control->property(kHelpContextProperty).isValid()) {
    return QDialog::eventFilter(watched, event);
  }
  switch (event->type()) {
    case QEvent::QueryWhatsThis:
      // Every box has a pop-up, so the "What's This?" pointer may point at it.
      event->accept();
      return true;
    case QEvent::WhatsThis:
      ShowPopup(*control, static_cast<QHelpEvent*>(event)->globalPos());
      return true;
    case QEvent::KeyPress: {
      const auto* key = static_cast<QKeyEvent*>(event);
      if (key->key() == Qt::Key_F1 && key->modifiers() == Qt::ShiftModifier) {
        ShowPopup(*control, control->mapToGlobal(control->rect().center()));
        return true;
      }
      break;
    }
    case QEvent::ContextMenu: {
      // The right button offers the box's pop-up, as dialogs with context help do.
      const QPoint at = static_cast<QContextMenuEvent*>(event)->globalPos();
      auto* menu = new QMenu(control);
      menu->setAttribute(Qt::WA_DeleteOnClose);
      menu->addAction(StringQt(kIdsWhatsThis), control, [this, control, at] { ShowPopup(*control, at); });
      menu->popup(at);
      return true;
    }
    default: break;
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace tola
