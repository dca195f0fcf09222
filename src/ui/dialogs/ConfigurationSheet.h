#pragma once
// "TOLA400 Configuration": the property sheet with the one page "Enable Antennas", which says on
// which bands each of the two antenna outputs may be used. The boxes show what the controller
// holds; a click asks the controller, which keeps at least one antenna on every band.

#include <QDialog>

#include <array>

#include "operations/ConfigCommandFlows.h"

class QCheckBox;
class QPushButton;
class QTabWidget;

namespace tola {

class HelpWindow;

class ConfigurationSheet : public QDialog {
  Q_OBJECT

 public:
  ConfigurationSheet(AppState& app, HelpWindow& help, QWidget* parent);
  ~ConfigurationSheet() override;

  // `antenna` 1 or 2; `band` 0 (160 m) to 10 (6 m).
  QCheckBox& AllBandsBox(unsigned antenna) const { return *m_allBands.at(antenna - 1); }
  QCheckBox& BandBox(unsigned band, unsigned antenna) const { return *m_bands.at(band).at(antenna - 1); }
  QPushButton& OkButton() const { return *m_ok; }
  QPushButton& CancelButton() const { return *m_cancel; }
  QPushButton& ApplyButton() const { return *m_apply; }
  QPushButton& HelpButton() const { return *m_helpButton; }
  QTabWidget& Tabs() const { return *m_tabs; }

  // The dynamic property that holds a control's number in the help's pop-up texts.
  static constexpr const char* kHelpContextProperty = "helpContext";

 public slots:
  // Cancel, Escape and the close box: the controller decides (and may ask first).
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Redraw();
  void ShowTopic();
  bool ShowPopup(QWidget& control, const QPoint& at);

  AntennaEnableSheet m_sheet;
  HelpWindow& m_help;
  QTabWidget* m_tabs = nullptr;
  std::array<QCheckBox*, 2> m_allBands{};
  std::array<std::array<QCheckBox*, 2>, kBandCount> m_bands{};
  QPushButton* m_ok = nullptr;
  QPushButton* m_cancel = nullptr;
  QPushButton* m_apply = nullptr;
  QPushButton* m_helpButton = nullptr;
  bool m_shown = false;
};

}  // namespace tola
