#include "KmlFileDialog.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>

namespace Velmora {
namespace Kml {

QString askForKmlFile(QWidget* parent, const QString& key, FileDialogMode mode)
{
    // The host's own settings: the module keeps no file of its own.
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, QCoreApplication::organizationName(),
                       QCoreApplication::applicationName());
    const QString dir = settings.value(key).toString();
    const QString caption = QCoreApplication::translate("KmlImportDlg", "Select kml file");
    const QString filter = QCoreApplication::translate("KmlImportDlg", "Kml files (*.kml)");
    const QString file = mode == FileDialogMode::Open ? QFileDialog::getOpenFileName(parent, caption, dir, filter)
                                                      : QFileDialog::getSaveFileName(parent, caption, dir, filter);
    if (file.isEmpty())
        return QString();
    const QString chosenDir = QFileInfo(file).absolutePath();
    if (chosenDir != dir)
        settings.setValue(key, chosenDir);
    return file;
}

} // namespace Kml
} // namespace Velmora
