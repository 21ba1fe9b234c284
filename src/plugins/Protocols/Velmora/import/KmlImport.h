#pragma once

#include <QDomElement>
#include <QList>
#include <QString>
#include <QStringList>

class KmlImportDlg;
class QWidget;

// Reading outlines from KML files and putting the chosen ones into a zone
// configuration. The zone editor asks for the file (selectImportFile), opens
// KmlImportDlg on it with areaNames(), and after "OK" calls applyImport.
namespace Velmora {
namespace Kml {

struct Placemark
{
    QString name;        // trimmed, never empty
    QString coordinates; // the outer ring as Geometry text, never empty
};

// The largest KML file readPlacemarks reads: its document takes several
// times as much memory.
constexpr qint64 MaxFileBytes = 128 * 1024 * 1024;

// The named placemarks with a usable polygon, in document order. Placemarks
// are found under the root, Document and Folder elements at any depth; the
// polygon is the placemark's Polygon or the first usable one of a
// MultiGeometry, its ring outerBoundaryIs/LinearRing/coordinates. Namespaces
// are ignored, so KML 2.2, older versions and files without one all read.
// On an unreadable file, one over MaxFileBytes or one that is no XML: false, *error holds the
// (translated) reason and *placemarks is left alone.
bool readPlacemarks(const QString& fileName, QList<Placemark>* placemarks, QString* error);

// The Area elements under the zone's Areas, in document order.
QList<QDomElement> areaElements(const QDomElement& zone);

// The areas' names to offer for assignment: non-empty, each once, in document order.
QStringList areaNames(const QDomElement& zone);

// What applyImport changed, so the zone editor refreshes only that.
struct AppliedImport
{
    bool zoneOutline = false;  // the zone's Geometry text was set
    bool zoneRenamed = false;  // *zoneName changed
    QList<QDomElement> areas;  // areas whose Geometry text was set
    bool areasRenamed = false; // some area's name attribute changed
    QStringList refusedNames;  // names XML cannot carry, each once: not taken
};

// Writes the outlines assigned in an accepted dialog into the zone element:
// the zone's and every named area's Geometry text (Geometry and its text are
// created when missing), and with "Replace names" the names too: the zone's
// into *zoneName (the editor's name field holds it), the areas' into their
// name attributes; a name holding a character XML cannot carry is not taken
// (its outline is). Unassigned items keep outline and name. A dialog that was
// not accepted changes nothing.
AppliedImport applyImport(const KmlImportDlg& dialog, QDomElement zone, QString* zoneName);

// Asks for a KML file to read, starting in the directory of the last one
// (user setting "KmlImportOfdDir"), and remembers its directory. Empty when
// the user cancelled.
QString selectImportFile(QWidget* parent);

} // namespace Kml
} // namespace Velmora
