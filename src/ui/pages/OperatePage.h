#pragma once
// The "Operate" tab: the live values of the amplifier and its antenna tuner, and the operator's
// changes to them. The poller does the work (machine, poll timer, requests); the page shows its
// values and hands it the clicks. Nothing is polled while another tab shows.

#include <QSpinBox>

#include <array>
#include <memory>
#include <vector>

#include "operations/OperatePoller.h"
#include "ui/ValueBinding.h"
#include "ui/pages/Page.h"

class QAbstractButton;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tola {

// A number box whose arrows walk through the values the tuner's relays can make. It says when the
// operator starts and stops editing (focus) and when an arrow is let go after stepping.
class RelaySpinBox : public QSpinBox {
  Q_OBJECT

 public:
  RelaySpinBox(const RelayWeights& weights, std::uint32_t maximum, int maxLength, QWidget* parent = nullptr);

  // For screen readers, on the box and on the edit field inside it.
  void SetName(const QString& name);
  void stepBy(int steps) override;

 signals:
  void EditingStarted();
  void EditingEnded();
  void SpinnerReleased();

 protected:
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;

 private:
  void EndSpin();

  const RelayWeights& m_weights;
  bool m_stepped = false;
};

class OperatePage : public Page {
  Q_OBJECT

 public:
  explicit OperatePage(AppState& app, QWidget* parent = nullptr);
  ~OperatePage() override;

  void Activated() override;
  void Deactivated() override;
  bool OnOwnTimer(unsigned timerId) override;

  OperatePoller& Poller() { return m_poller; }

 private:
  // One relay group: its number box and the eight check boxes, bit 7 first.
  struct RelayGroup {
    QGroupBox* group = nullptr;
    RelaySpinBox* box = nullptr;
    std::array<QCheckBox*, 8> bits{};  // bits[n] is bit n
    bool editing = false;
  };

  QGroupBox* BuildAmplifier();
  QGroupBox* BuildFault();
  QGroupBox* BuildTuner();
  void BuildRelays(RelayGroup& relays, StringId title, const RelayWeights& weights, std::uint32_t maximum,
                   int maxLength, OperateControl control);
  // A read-only value box with its label in front, named after the label.
  QLineEdit* AddValueBox(QWidget* parent, StringId label, QLabel*& labelOut);

  void Bind();
  void UpdateEnabling();
  void ShowRelays(RelayGroup& relays, std::uint8_t byte, const RelayWeights& weights);
  std::uint8_t TickedRelays(const RelayGroup& relays) const;
  void Change(OperateControl control, std::uint32_t value);

  OperatePoller m_poller;
  std::vector<std::unique_ptr<ValueBinding>> m_bindings;
  std::vector<QGroupBox*> m_groups;

  QLineEdit* m_inputPower = nullptr;
  QLineEdit* m_drainCurrent = nullptr;
  QLineEdit* m_supplyVoltage = nullptr;
  QLineEdit* m_dissipatedPower = nullptr;
  QLineEdit* m_temperature = nullptr;
  QLineEdit* m_forwardPower = nullptr;
  QLineEdit* m_reflectedPower = nullptr;
  QLineEdit* m_swr = nullptr;
  QLineEdit* m_frequency = nullptr;
  QLineEdit* m_band = nullptr;
  QCheckBox* m_paBypass = nullptr;
  QCheckBox* m_attenuator = nullptr;
  QLineEdit* m_fault = nullptr;
  QPushButton* m_clearFault = nullptr;
  std::array<QRadioButton*, 3> m_mode{};     // Auto, Manual, Bypass
  std::array<QRadioButton*, 2> m_antenna{};  // 1, 2
  QCheckBox* m_atuBypassed = nullptr;
  QCheckBox* m_capsOnTx = nullptr;
  QPushButton* m_tune = nullptr;
  QLabel* m_tuneStatus = nullptr;
  QLabel* m_retries = nullptr;
  QLabel* m_xcvrPoll = nullptr;
  RelayGroup m_capacitance;
  RelayGroup m_inductance;
};

}  // namespace tola
