#pragma once

#include <QDomElement>
#include <QString>

class QWidget;

// Writing a zone's outlines as KML placemarks for other map software.
namespace Velmora {
namespace Kml {

// Writes a KML 2.2 document (UTF-8, declared) with one placemark per outline:
// the zone's named `zoneName` (the editor's name field, which may differ from
// the element's attribute), then each area's with its name attribute. Items
// without a usable outline get no placemark. The file is replaced only when
// the whole document was written; on failure the old file stays as it was,
// the reason is logged and put into *error, and false is returned.
bool exportZone(const QString& fileName, const QString& zoneName, const QDomElement& zone, QString* error = nullptr);

// Asks for the KML file to write, starting in the directory of the last one
// (user setting "KmlExportOfdDir"), and remembers its directory. Empty when
// the user cancelled.
QString selectExportFile(QWidget* parent);

} // namespace Kml
} // namespace Velmora
