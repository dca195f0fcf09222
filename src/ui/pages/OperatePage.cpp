#include "ui/pages/OperatePage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/AppState.h"
#include "ui/UiText.h"

namespace tola {

namespace {

// Only a text that differs is set: a box that is set again and again flickers and loses the
// operator's selection.
void ShowText(QLineEdit* box, const std::string& text) {
  const QString value = ToQt(text);
  if (box->text() != value) box->setText(value);
}

void ShowText(QLabel* label, const QString& text) {
  if (label->text() != text) label->setText(text);
}

// Setting a check box from a value is not a click: clicked() stays the operator's alone.
void ShowChecked(QAbstractButton* button, bool checked) {
  if (button->isChecked() != checked) button->setChecked(checked);
}

QGroupBox* Group(StringId title, QWidget* parent) {
  auto* group = new QGroupBox(StringQt(title), parent);
  return group;
}

}  // namespace

// --- RelaySpinBox

RelaySpinBox::RelaySpinBox(const RelayWeights& weights, std::uint32_t maximum, int maxLength, QWidget* parent)
    : QSpinBox(parent), m_weights(weights) {
  setRange(0, static_cast<int>(maximum));
  setAlignment(Qt::AlignRight);
  setGroupSeparatorShown(false);
  setAccelerated(false);
  lineEdit()->setMaxLength(maxLength);
}

void RelaySpinBox::SetName(const QString& name) {
  setAccessibleName(name);
  lineEdit()->setAccessibleName(name);
}

void RelaySpinBox::stepBy(int steps) {
  auto value = static_cast<std::uint32_t>(this->value());
  for (int n = 0; n < std::abs(steps); ++n) value = RelayStep(value, m_weights, steps > 0);
  if (static_cast<int>(value) != this->value()) {
    setValue(static_cast<int>(value));
    m_stepped = true;
  }
  selectAll();
}

void RelaySpinBox::focusInEvent(QFocusEvent* event) {
  QSpinBox::focusInEvent(event);
  emit EditingStarted();
}

void RelaySpinBox::focusOutEvent(QFocusEvent* event) {
  QSpinBox::focusOutEvent(event);  // takes what was typed as the value
  m_stepped = false;
  emit EditingEnded();
}

void RelaySpinBox::mouseReleaseEvent(QMouseEvent* event) {
  QSpinBox::mouseReleaseEvent(event);
  EndSpin();
}

void RelaySpinBox::keyReleaseEvent(QKeyEvent* event) {
  QSpinBox::keyReleaseEvent(event);
  if (!event->isAutoRepeat()) EndSpin();
}

void RelaySpinBox::EndSpin() {
  if (!m_stepped) return;
  m_stepped = false;
  emit SpinnerReleased();
}

// --- OperatePage

OperatePage::OperatePage(AppState& app, QWidget* parent) : Page(app, parent), m_poller(app) {
  // Created in the order the keyboard visits them: the groups as they are read, left to right.
  QGroupBox* amplifier = BuildAmplifier();
  QGroupBox* fault = BuildFault();
  QGroupBox* tuner = BuildTuner();
  BuildRelays(m_capacitance, kIdsCapacitanceGroup, kCapacitorWeightsPf, kMaxCapacitancePf, 4,
              OperateControl::Capacitor);
  BuildRelays(m_inductance, kIdsInductanceGroup, kInductorWeightsNh, kMaxInductanceNh, 5, OperateControl::Inductor);
  m_groups = {amplifier, fault, tuner, m_capacitance.group, m_inductance.group};

  // The amplifier's values and its fault on the left, the tuner's settings on the right, the
  // relays across the bottom. Extra room goes between the groups, not into stretched boxes.
  auto* grid = new QGridLayout(this);
  auto* left = new QVBoxLayout;
  left->addWidget(amplifier);
  left->addWidget(fault);
  left->addStretch(1);
  grid->addLayout(left, 0, 0);
  grid->addWidget(tuner, 0, 1);
  grid->addWidget(m_capacitance.group, 1, 0);
  grid->addWidget(m_inductance.group, 1, 1);
  grid->setColumnStretch(0, 3);
  grid->setColumnStretch(1, 2);
  grid->setRowStretch(2, 1);

  UpdateEnabling();
}

OperatePage::~OperatePage() {
  // The boxes outlive the poller by a moment (children go with the widget): nothing they say
  // on the way out may reach it.
  m_capacitance.box->disconnect(this);
  m_inductance.box->disconnect(this);
  m_bindings.clear();
  m_poller.Hide();
}

QLineEdit* OperatePage::AddValueBox(QWidget* parent, StringId label, QLabel*& labelOut) {
  labelOut = new QLabel(StringQt(label), parent);
  auto* box = new QLineEdit(parent);
  box->setReadOnly(true);
  box->setAccessibleName(labelOut->text());
  labelOut->setBuddy(box);
  box->setAlignment(Qt::AlignRight);
  // Room for the widest value ("6553.5", and the frame) rather than a line edit's usual width: a
  // wider page widens the gaps between the columns, not the boxes.
  box->setFixedWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("0000000.0")));
  return box;
}

QGroupBox* OperatePage::BuildAmplifier() {
  QGroupBox* group = Group(kIdsAmplifierGroup, this);
  group->setObjectName(QStringLiteral("amplifierGroup"));
  auto* grid = new QGridLayout(group);
  struct Row {
    StringId label;
    QLineEdit** box;
    const char* name;
  };
  // Two columns of five, in reading order down the first column, then the second.
  const Row rows[] = {
      {kIdsInputPowerLabel, &m_inputPower, "inputPower"},
      {kIdsDrainCurrentLabel, &m_drainCurrent, "drainCurrent"},
      {kIdsSupplyVoltageLabel, &m_supplyVoltage, "supplyVoltage"},
      {kIdsDissipatedPowerLabel, &m_dissipatedPower, "dissipatedPower"},
      {kIdsTemperatureLabel, &m_temperature, "temperature"},
      {kIdsForwardPowerLabel, &m_forwardPower, "forwardPower"},
      {kIdsReflectedPowerLabel, &m_reflectedPower, "reflectedPower"},
      {kIdsLastSwrLabel, &m_swr, "lastSwr"},
      {kIdsFrequencyLabel, &m_frequency, "frequency"},
      {kIdsBandLabel, &m_band, "band"},
  };
  int index = 0;
  for (const Row& row : rows) {
    QLabel* label = nullptr;
    *row.box = AddValueBox(group, row.label, label);
    (*row.box)->setObjectName(QString::fromLatin1(row.name));
    const int column = index / 5 * 3;
    grid->addWidget(label, index % 5, column);
    grid->addWidget(*row.box, index % 5, column + 1);
    ++index;
  }
  grid->setColumnMinimumWidth(2, DialogUnits(*this, 6, 0).width());
  grid->setColumnStretch(2, 1);
  grid->setColumnStretch(5, 1);

  m_paBypass = new QCheckBox(StringQt(kIdsPaBypass), group);
  m_paBypass->setObjectName(QStringLiteral("paBypass"));
  m_attenuator = new QCheckBox(StringQt(kIdsAttenuator), group);
  m_attenuator->setObjectName(QStringLiteral("attenuator"));
  grid->addWidget(m_paBypass, 5, 0, 1, 2);
  grid->addWidget(m_attenuator, 5, 3, 1, 2);
  connect(m_paBypass, &QCheckBox::clicked, this,
          [this](bool ticked) { Change(OperateControl::Operate, ticked ? 0u : 1u); });
  connect(m_attenuator, &QCheckBox::clicked, this,
          [this](bool ticked) { Change(OperateControl::Attenuator, ticked ? 1u : 0u); });
  return group;
}

QGroupBox* OperatePage::BuildFault() {
  QGroupBox* group = Group(kIdsFaultGroup, this);
  group->setObjectName(QStringLiteral("faultGroup"));
  m_fault = new QLineEdit(group);
  m_fault->setObjectName(QStringLiteral("fault"));
  m_fault->setReadOnly(true);
  m_fault->setAccessibleName(group->title());
  m_clearFault = new QPushButton(StringQt(kIdsClearFault), group);
  m_clearFault->setObjectName(QStringLiteral("clearFault"));
  m_clearFault->setAutoDefault(false);
  auto* row = new QHBoxLayout(group);
  row->addWidget(m_fault, 1);
  row->addWidget(m_clearFault);
  // Sent with the next cycle the poll timer starts, not at once.
  connect(m_clearFault, &QPushButton::clicked, this, [this] { Change(OperateControl::ClearFault, 0); });
  return group;
}

QGroupBox* OperatePage::BuildTuner() {
  QGroupBox* group = Group(kIdsAntennaTunerGroup, this);
  group->setObjectName(QStringLiteral("tunerGroup"));

  QGroupBox* mode = Group(kIdsModeGroup, group);
  auto* modeBox = new QVBoxLayout(mode);
  const StringId modeCaptions[] = {kIdsModeAuto, kIdsModeManual, kIdsModeBypass};
  const char modeValues[] = {'A', 'M', 'B'};
  const char* modeNames[] = {"modeAuto", "modeManual", "modeBypass"};
  for (std::size_t i = 0; i < m_mode.size(); ++i) {
    m_mode[i] = new QRadioButton(StringQt(modeCaptions[i]), mode);
    m_mode[i]->setObjectName(QString::fromLatin1(modeNames[i]));
    modeBox->addWidget(m_mode[i]);
    const char value = modeValues[i];
    connect(m_mode[i], &QRadioButton::clicked, this,
            [this, value] { Change(OperateControl::Mode, static_cast<unsigned char>(value)); });
  }

  QGroupBox* antenna = Group(kIdsAntennaGroup, group);
  auto* antennaBox = new QVBoxLayout(antenna);
  for (std::size_t i = 0; i < m_antenna.size(); ++i) {
    const auto number = static_cast<std::uint32_t>(i + 1);
    m_antenna[i] = new QRadioButton(QString::number(number), antenna);
    m_antenna[i]->setObjectName(QStringLiteral("antenna%1").arg(number));
    antennaBox->addWidget(m_antenna[i]);
    connect(m_antenna[i], &QRadioButton::clicked, this, [this, number] { Change(OperateControl::Antenna, number); });
  }
  antennaBox->addStretch(1);

  m_atuBypassed = new QCheckBox(StringQt(kIdsAtuBypassed), group);
  m_atuBypassed->setObjectName(QStringLiteral("atuBypassed"));
  connect(m_atuBypassed, &QCheckBox::clicked, this, [this](bool ticked) {
    Change(OperateControl::Bypass, static_cast<unsigned char>(ticked ? 'B' : 'N'));
  });
  m_capsOnTx = new QCheckBox(StringQt(kIdsCapsOnTxSide), group);
  m_capsOnTx->setObjectName(QStringLiteral("capsOnTxSide"));
  connect(m_capsOnTx, &QCheckBox::clicked, this, [this](bool ticked) {
    Change(OperateControl::Side, static_cast<unsigned char>(ticked ? 'T' : 'A'));
  });

  m_tune = new QPushButton(StringQt(kIdsTune), group);
  m_tune->setObjectName(QStringLiteral("tune"));
  m_tune->setAutoDefault(false);
  m_tune->setEnabled(false);
  connect(m_tune, &QPushButton::clicked, this, [this] { Change(OperateControl::Tune, 0); });

  m_tuneStatus = new QLabel(group);
  m_tuneStatus->setObjectName(QStringLiteral("tuneStatus"));
  m_tuneStatus->setAccessibleName(StringQt(kIdsTuneStatusName));
  // As wide as the amplifier's longest status, so the row keeps still when it arrives.
  m_tuneStatus->setMinimumWidth(m_tuneStatus->fontMetrics().horizontalAdvance(QStringLiteral("TS 000 0 0")));
  m_retries = new QLabel(QStringLiteral("0"), group);
  m_retries->setObjectName(QStringLiteral("retries"));
  m_retries->setAccessibleName(StringQt(kIdsRetriesName));
  m_xcvrPoll = new QLabel(StringQt(kIdsXcvrPoll), group);
  m_xcvrPoll->setObjectName(QStringLiteral("xcvrPoll"));
  // Its place stays reserved while it is hidden: the labels around it do not move.
  QSizePolicy keep = m_xcvrPoll->sizePolicy();
  keep.setRetainSizeWhenHidden(true);
  m_xcvrPoll->setSizePolicy(keep);
  m_xcvrPoll->setVisible(false);

  auto* grid = new QGridLayout(group);
  grid->addWidget(mode, 0, 0);
  grid->addWidget(antenna, 0, 1);
  grid->addWidget(m_atuBypassed, 1, 0, 1, 2);
  grid->addWidget(m_capsOnTx, 2, 0, 1, 2);
  grid->addWidget(m_tune, 3, 0);
  grid->addWidget(m_tuneStatus, 3, 1);
  grid->addWidget(m_retries, 4, 0);
  grid->addWidget(m_xcvrPoll, 4, 1);
  grid->setRowStretch(5, 1);
  return group;
}

void OperatePage::BuildRelays(RelayGroup& relays, StringId title, const RelayWeights& weights,
                              std::uint32_t maximum, int maxLength, OperateControl control) {
  relays.group = Group(title, this);
  relays.group->setObjectName(control == OperateControl::Capacitor ? QStringLiteral("capacitanceGroup")
                                                                   : QStringLiteral("inductanceGroup"));
  relays.box = new RelaySpinBox(weights, maximum, maxLength, relays.group);
  relays.box->setObjectName(control == OperateControl::Capacitor ? QStringLiteral("capacitance")
                                                                 : QStringLiteral("inductance"));
  relays.box->SetName(relays.group->title());

  auto* grid = new QGridLayout(relays.group);
  grid->addWidget(relays.box, 0, 0, 2, 1, Qt::AlignVCenter);
  // Largest first, four to a row.
  for (int bit = 7; bit >= 0; --bit) {
    auto* box = new QCheckBox(QString::number(weights[static_cast<std::size_t>(bit)]), relays.group);
    box->setObjectName(QStringLiteral("%1%2").arg(relays.box->objectName()).arg(bit));
    relays.bits[static_cast<std::size_t>(bit)] = box;
    const int place = 7 - bit;
    grid->addWidget(box, place / 4, 1 + place % 4);
    connect(box, &QCheckBox::clicked, this, [this, &relays, control] { Change(control, TickedRelays(relays)); });
  }
  grid->setColumnStretch(5, 1);

  const bool capacitor = control == OperateControl::Capacitor;
  connect(relays.box, &RelaySpinBox::EditingStarted, this, [&relays] { relays.editing = true; });
  auto enter = [this, &relays, capacitor] {
    const auto number = static_cast<std::uint32_t>(relays.box->value());
    if (capacitor) {
      m_poller.EnterCapacitance(number);
    } else {
      m_poller.EnterInductance(number);
    }
  };
  connect(relays.box, &RelaySpinBox::SpinnerReleased, this, enter);
  connect(relays.box, &RelaySpinBox::EditingEnded, this, [&relays, enter] {
    enter();
    relays.editing = false;
  });
}

void OperatePage::Activated() {
  Bind();
  UpdateEnabling();
  m_poller.Show();
}

void OperatePage::Deactivated() {
  m_poller.Hide();
  UpdateEnabling();
  m_bindings.clear();
}

bool OperatePage::OnOwnTimer(unsigned timerId) { return m_poller.OnTimer(timerId); }

void OperatePage::Bind() {
  AppState& app = App();
  m_bindings.clear();
  auto bind = [this](NotifyingValueBase& value, std::function<void()> show) {
    m_bindings.push_back(std::make_unique<ValueBinding>(value, [show = std::move(show)](std::uint32_t) { show(); }));
  };
  struct Tenths {
    NotifyingValue<std::uint16_t>* value;
    QLineEdit* box;
  };
  for (const Tenths& t : {Tenths{&app.powerInput, m_inputPower}, Tenths{&app.drainCurrent, m_drainCurrent},
                          Tenths{&app.powerDissipated, m_dissipatedPower}, Tenths{&app.temperature, m_temperature},
                          Tenths{&app.powerForward, m_forwardPower}, Tenths{&app.powerReflected, m_reflectedPower},
                          Tenths{&app.swr, m_swr}}) {
    bind(*t.value, [t] { ShowText(t.box, TenthsText(t.value->Get())); });
  }
  bind(app.supplyVoltage, [this, &app] { ShowText(m_supplyVoltage, SupplyVoltageText(app.supplyVoltage.Get())); });
  bind(app.frequency, [this, &app] { ShowText(m_frequency, std::to_string(app.frequency.Get())); });
  bind(app.bandIndex, [this, &app] { ShowText(m_band, BandText(app.bandIndex.Get())); });
  bind(app.fault, [this, &app] { ShowText(m_fault, FaultText(app.fault.Get())); });

  bind(app.operate, [this, &app] { ShowChecked(m_paBypass, app.operate.Get() == 0); });
  bind(app.attenuator, [this, &app] {
    const char value = app.attenuator.Get();
    // '2': switched on where the operator cannot switch it off. Anything else is no news.
    if (value != '0' && value != '1' && value != '2') return;
    ShowChecked(m_attenuator, value != '0');
    m_attenuator->setEnabled(value != '2');
  });
  bind(app.mode, [this, &app] {
    const char values[] = {'A', 'M', 'B'};
    for (std::size_t i = 0; i < m_mode.size(); ++i) {
      if (app.mode.Get() == values[i]) ShowChecked(m_mode[i], true);
    }
  });
  bind(app.antenna, [this, &app] {
    const std::uint32_t antenna = app.antenna.Get();
    if (antenna >= 1 && antenna <= m_antenna.size()) ShowChecked(m_antenna[antenna - 1], true);
  });
  bind(app.bypass, [this, &app] { ShowChecked(m_atuBypassed, app.bypass.Get() == 'B'); });
  bind(app.side, [this, &app] { ShowChecked(m_capsOnTx, app.side.Get() == 'T'); });
  bind(app.capacitor, [this, &app] { ShowRelays(m_capacitance, app.capacitor.Get(), kCapacitorWeightsPf); });
  bind(app.inductor, [this, &app] { ShowRelays(m_inductance, app.inductor.Get(), kInductorWeightsNh); });

  bind(app.tunerInstalled, [this, &app] { m_tune->setEnabled(app.tunerInstalled.Get() != 0); });
  bind(app.tuneStatus, [this, &app] { ShowText(m_tuneStatus, ToQt(app.tuneStatus.Get())); });
  bind(app.failedCycles, [this, &app] { ShowText(m_retries, QString::number(app.failedCycles.Get())); });
  bind(app.transceiverPoll, [this, &app] {
    const bool polling = app.transceiverPoll.Get() != 0;
    if (m_xcvrPoll->isVisibleTo(this) != polling) m_xcvrPoll->setVisible(polling);
  });
  bind(app.ConnectionStateValue(), [this] { UpdateEnabling(); });
}

void OperatePage::UpdateEnabling() {
  const bool enabled = m_poller.ControlsEnabled();
  for (QGroupBox* group : m_groups) {
    if (group->isEnabled() != enabled) group->setEnabled(enabled);
  }
}

void OperatePage::ShowRelays(RelayGroup& relays, std::uint8_t byte, const RelayWeights& weights) {
  for (std::size_t bit = 0; bit < relays.bits.size(); ++bit) ShowChecked(relays.bits[bit], ((byte >> bit) & 1u) != 0);
  // What the operator is typing stays; the check boxes already say what the relays are.
  if (relays.editing) return;
  const auto value = static_cast<int>(RelayValue(byte, weights));
  if (relays.box->value() != value) relays.box->setValue(value);
}

std::uint8_t OperatePage::TickedRelays(const RelayGroup& relays) const {
  unsigned byte = 0;
  for (std::size_t bit = 0; bit < relays.bits.size(); ++bit) {
    if (relays.bits[bit]->isChecked()) byte |= 1u << bit;
  }
  return static_cast<std::uint8_t>(byte);
}

void OperatePage::Change(OperateControl control, std::uint32_t value) { m_poller.Change({control, value}); }

}  // namespace tola
