#pragma once
// "About Ostravel TOLA Utility": the program's icon, name, revision and copyright, "Close", and
// "View License Agreement" with the licence in a window of its own.

#include <QDialog>

class QPushButton;
class QTextBrowser;

namespace tola {

class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  explicit AboutDialog(QWidget* parent);

  // The text beside the icon: name, revision and copyright.
  static QString AboutText();

  QPushButton* LicenceButton() const { return m_licence; }
  QPushButton* CloseButton() const { return m_close; }

 signals:
  // The licence window has been built and is about to run; tests close it from here.
  void licenceOpened(QDialog* licence);

 private:
  void ShowLicence();

  QPushButton* m_licence = nullptr;
  QPushButton* m_close = nullptr;
};

class LicenceDialog : public QDialog {
  Q_OBJECT

 public:
  explicit LicenceDialog(QWidget* parent);

  QTextBrowser* Pane() const { return m_pane; }
  QSize sizeHint() const override;

 private:
  QTextBrowser* m_pane = nullptr;
};

}  // namespace tola
