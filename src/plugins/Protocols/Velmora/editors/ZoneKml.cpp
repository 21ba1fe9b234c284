#include "ZoneKml.h"

#include <QFileInfo>
#include <QMessageBox>

#include "InputMarks.h"
#include "import/KmlExport.h"
#include "import/KmlImport.h"
#include "import/KmlImportDlg.h"

namespace Velmora {
namespace Editors {

void ZoneKml::exportTo(QWidget* editor, QString fileName, const QString& zoneName, const QDomElement& zone)
{
    if (fileName.isEmpty())
        return;
    // What the user typed without an extension is still a KML file.
    if (QFileInfo(fileName).suffix().isEmpty())
        fileName += QStringLiteral(".kml");
    QString error;
    if (!Kml::exportZone(fileName, zoneName, zone, &error))
        QMessageBox::warning(editor, tr("Error"), error);
}

KmlImportDlg* ZoneKml::showImport(QWidget* editor, const QString& fileName, const QString& zoneName,
                                  const QDomElement& zone, QGraphicsScene* scene)
{
    auto* dialog = new KmlImportDlg(fileName, zoneName, Kml::areaNames(zone), editor, scene);
    dialog->setWindowFlags(dialog->windowFlags() | Qt::Tool);
    dialog->show();
    return dialog;
}

void ZoneKml::tellRefusedNames(QWidget* editor, QStringList names)
{
    if (names.isEmpty())
        return;
    for (QString& name : names)
        name = withCodesShown(name);
    QMessageBox::warning(editor, tr("Warning"),
                         tr("These names in the KML file hold characters a zone file cannot carry and were not "
                            "taken: %1").arg(names.join(QStringLiteral(", "))));
}

} // namespace Editors
} // namespace Velmora
