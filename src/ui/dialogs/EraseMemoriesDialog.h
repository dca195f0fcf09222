#pragma once
// "Erase Antenna Tuner Memories": a band and an antenna button erase the tuner's stored matches
// for that band (or all bands) and antenna. The band buttons follow the application's band.

#include <QDialog>

#include <array>
#include <memory>

#include "operations/ConfigCommandFlows.h"

class QPushButton;
class QRadioButton;

namespace tola {

class EraseMemoriesDialog : public QDialog {
  Q_OBJECT

 public:
  EraseMemoriesDialog(AppState& app, QWidget* parent);
  ~EraseMemoriesDialog() override;

  // Band buttons by band index, 0 ("160") to 11 ("All"); antennas 1 and 2.
  QRadioButton& BandButton(unsigned bandIndex) const { return *m_bands.at(bandIndex); }
  QPushButton& AntennaButton(unsigned antenna) const { return *m_antennas.at(antenna - 1); }
  QPushButton& CloseButton() const { return *m_close; }

 public slots:
  void done(int result) override;

 private:
  std::array<QRadioButton*, EraseMemoriesFlow::kBandButtons.size()> m_bands{};
  std::array<QPushButton*, 2> m_antennas{};
  QPushButton* m_close = nullptr;
  std::unique_ptr<EraseMemoriesFlow> m_flow;
};

}  // namespace tola
