#pragma once
// "About Ostravel TOLA Utility": the program's icon, name, revision and copyright, "Close", and
// "View License Agreement" with the licence in a window of its own.

#include <QDialog>

namespace tola {

class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  explicit AboutDialog(QWidget* parent);
};

class LicenceDialog : public QDialog {
  Q_OBJECT

 public:
  explicit LicenceDialog(QWidget* parent);
};

}  // namespace tola
