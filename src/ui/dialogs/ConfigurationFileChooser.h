#pragma once
// The file dialogs of the configuration save and restore, behind a replaceable function so that
// the tests can answer them without a window.

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace tola {

enum class ConfigurationFileMode { Save, Open };

// The path chosen; empty when the operator cancelled.
using ConfigurationFileChooser = std::function<QString(QWidget* owner, ConfigurationFileMode mode,
                                                       const QString& folder, const QString& proposedName)>;

// The configuration files' filter in Qt's form, one "Description (patterns)" entry each.
QStringList ConfigurationNameFilters();

// The real one: a Qt file dialog (the same on every platform) starting in `folder`; the save asks
// before replacing a file, the open takes only an existing one.
QString ChooseConfigurationFile(QWidget* owner, ConfigurationFileMode mode, const QString& folder,
                                const QString& proposedName);

}  // namespace tola
