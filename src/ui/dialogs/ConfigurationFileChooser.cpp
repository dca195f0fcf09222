#include "ui/dialogs/ConfigurationFileChooser.h"

#include <QFileDialog>

#include <algorithm>
#include <string>
#include <string_view>

#include "formats/ConfigurationFile.h"
#include "ui/UiText.h"

namespace tola {

QStringList ConfigurationNameFilters() {
  // Description and pattern alternate, NUL-separated; Qt wants the pattern inside the description.
  // "*.*" would ask for a dot in the name here, so everything is "*".
  const std::string filter = ConfigurationFileFilter();
  QStringList parts;
  for (std::size_t start = 0; start < filter.size();) {
    const std::size_t end = std::min(filter.find('\0', start), filter.size());
    parts.push_back(ToQt(filter.substr(start, end - start)));
    start = end + 1;
  }
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString description = parts[i];
    QString pattern = parts[i + 1];
    const QString qtPattern = QString(pattern).replace(QStringLiteral("*.*"), QStringLiteral("*")).replace(
        QLatin1Char(';'), QLatin1Char(' '));
    const QString inBrackets = QLatin1Char('(') + pattern + QLatin1Char(')');
    if (description.contains(inBrackets)) {
      description.replace(inBrackets, QLatin1Char('(') + qtPattern + QLatin1Char(')'));
    } else {
      description += QStringLiteral(" (") + qtPattern + QLatin1Char(')');
    }
    filters.push_back(description);
  }
  return filters;
}

QString ChooseConfigurationFile(QWidget* owner, ConfigurationFileMode mode, const QString& folder,
                                const QString& proposedName) {
  QFileDialog dialog(owner);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setNameFilters(ConfigurationNameFilters());
  dialog.setDefaultSuffix(ToQt(std::string(kConfigurationExtension)));
  dialog.setDirectory(folder);
  if (mode == ConfigurationFileMode::Save) {
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (!proposedName.isEmpty()) dialog.selectFile(proposedName);
  } else {
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
  }
  dialog.setSizeGripEnabled(true);
  if (dialog.exec() != QDialog::Accepted) return {};
  const QStringList chosen = dialog.selectedFiles();
  return chosen.isEmpty() ? QString() : chosen.first();
}

}  // namespace tola
