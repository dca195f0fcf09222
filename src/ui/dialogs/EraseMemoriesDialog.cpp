#include "ui/dialogs/EraseMemoriesDialog.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/UiText.h"

namespace tola {

EraseMemoriesDialog::EraseMemoriesDialog(AppState& app, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("eraseMemories"));
  setWindowTitle(ToQt(EraseMemoriesFlow::kCaption));

  auto* text = new QLabel(ToQt(EraseMemoriesFlow::kText), this);
  text->setTextFormat(Qt::PlainText);

  // Two columns of six: 160 m to 20 m on the left, 17 m to "All" on the right.
  auto* bandGroup = new QGroupBox(ToQt(EraseMemoriesFlow::kBandGroup), this);
  auto* bandGrid = new QGridLayout(bandGroup);
  auto* bands = new QButtonGroup(this);
  const int rows = static_cast<int>(m_bands.size() / 2);
  for (std::size_t i = 0; i < m_bands.size(); ++i) {
    const int index = static_cast<int>(i);
    m_bands[i] = new QRadioButton(ToQt(EraseMemoriesFlow::kBandButtons[i]), bandGroup);
    m_bands[i]->setObjectName(QStringLiteral("band%1").arg(index));
    bands->addButton(m_bands[i], index);
    bandGrid->addWidget(m_bands[i], index % rows, index / rows);
  }
  bandGrid->setHorizontalSpacing(bandGrid->horizontalSpacing() * 3);

  auto* eraseGroup = new QGroupBox(ToQt(EraseMemoriesFlow::kEraseGroup), this);
  auto* eraseColumn = new QVBoxLayout(eraseGroup);
  const StringId antennaCaptions[] = {kIdsEraseAntenna1, kIdsEraseAntenna2};
  for (std::size_t i = 0; i < m_antennas.size(); ++i) {
    m_antennas[i] = new QPushButton(StringQt(antennaCaptions[i]), eraseGroup);
    m_antennas[i]->setObjectName(QStringLiteral("eraseAntenna%1").arg(i + 1));
    // Enter never erases by surprise: only a click or Space on the button does.
    m_antennas[i]->setAutoDefault(false);
    eraseColumn->addWidget(m_antennas[i]);
  }
  eraseColumn->addStretch(1);

  m_close = new QPushButton(StringQt(kIdsClose), this);
  m_close->setObjectName(QStringLiteral("close"));
  m_close->setDefault(true);

  auto* groups = new QHBoxLayout;
  groups->addWidget(bandGroup);
  groups->addWidget(eraseGroup);
  auto* buttonRow = new QHBoxLayout;
  buttonRow->addStretch(1);
  buttonRow->addWidget(m_close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text);
  layout->addLayout(groups);
  layout->addLayout(buttonRow);
  // Nothing in it grows: the dialog keeps the size its contents need.
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(bands, &QButtonGroup::idClicked, this,
          [this](int index) { m_flow->ChooseBand(static_cast<unsigned>(index)); });
  for (std::size_t i = 0; i < m_antennas.size(); ++i) {
    const auto antenna = static_cast<unsigned>(i + 1);
    connect(m_antennas[i], &QPushButton::clicked, this, [this, antenna] { m_flow->EraseAntenna(antenna); });
  }
  connect(m_close, &QPushButton::clicked, this, &QDialog::reject);

  // Last: registering tells the buttons the present band at once.
  m_flow = std::make_unique<EraseMemoriesFlow>(app, [this](unsigned bandIndex) {
    if (bandIndex < m_bands.size()) m_bands[bandIndex]->setChecked(true);
  });
}

EraseMemoriesDialog::~EraseMemoriesDialog() = default;

void EraseMemoriesDialog::done(int result) {
  m_flow->Close();
  QDialog::done(result);
}

}  // namespace tola
