#pragma once

#include <QCoreApplication>
#include <QDomElement>
#include <QString>
#include <QStringList>

class KmlImportDlg;
class QGraphicsScene;
class QWidget;

namespace Velmora {
namespace Editors {

// The zone editor's side of the KML transfers: what it asks and tells the
// user around the import and export of its outlines.
class ZoneKml
{
    Q_DECLARE_TR_FUNCTIONS(Velmora::Editors::ZoneKml)

public:
    // Writes the outlines of `zone` to `fileName`; a name typed without an
    // extension gets ".kml", an empty one (the user cancelled) writes nothing.
    // A failure is said in a message box over `editor`.
    static void exportTo(QWidget* editor, QString fileName, const QString& zoneName, const QDomElement& zone);
    // The import dialog on `fileName`, shown as a tool window of `editor`, so
    // that the user compares the placemarks' previews with the map.
    static KmlImportDlg* showImport(QWidget* editor, const QString& fileName, const QString& zoneName,
                                    const QDomElement& zone, QGraphicsScene* scene);
    // Tells which names of the file were not taken; nothing when all were.
    static void tellRefusedNames(QWidget* editor, QStringList names);
};

} // namespace Editors
} // namespace Velmora
