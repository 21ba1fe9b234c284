#pragma once

#include <QString>

class QWidget;

namespace Velmora {
namespace Kml {

enum class FileDialogMode { Open, Save };

// The KML file dialog of import and export: caption "Select kml file", filter
// "Kml files (*.kml)", starting in the directory kept in the application's
// user settings under `key` and storing the chosen file's directory there when
// it changed. Empty when the user cancelled.
QString askForKmlFile(QWidget* parent, const QString& key, FileDialogMode mode);

} // namespace Kml
} // namespace Velmora
