#include "ui/dialogs/AboutDialog.h"

namespace tola {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {}
LicenceDialog::LicenceDialog(QWidget* parent) : QDialog(parent) {}

}  // namespace tola
