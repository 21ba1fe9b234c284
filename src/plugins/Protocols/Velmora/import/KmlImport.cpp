#include "KmlImport.h"

#include <QCoreApplication>
#include <QDir>
#include <QDomDocument>
#include <QFileInfo>
#include <QSet>

#include "KmlCoordinates.h"
#include "KmlFileDialog.h"
#include "KmlImportDlg.h"
#include "format/Vocabulary.h"
#include "format/XmlDocument.h"
#include "format/XmlText.h"

namespace Velmora {
namespace Kml {

namespace {

// The name without prefix, whether or not the element has a namespace.
QString nameOf(const QDomElement& element)
{
    return element.localName().isEmpty() ? element.tagName() : element.localName();
}

QDomElement child(const QDomElement& parent, const QString& name)
{
    for (QDomElement element = parent.firstChildElement(); !element.isNull(); element = element.nextSiblingElement()) {
        if (nameOf(element) == name)
            return element;
    }
    return QDomElement();
}

QString ringOf(const QDomElement& polygon)
{
    const QDomElement ring = child(child(child(polygon, QStringLiteral("outerBoundaryIs")), QStringLiteral("LinearRing")),
                                   QStringLiteral("coordinates"));
    return fromKmlCoordinates(ring.text());
}

// The first usable outer ring of a Polygon or of a MultiGeometry's parts.
QString outlineOf(const QDomElement& geometry)
{
    for (QDomElement element = geometry.firstChildElement(); !element.isNull(); element = element.nextSiblingElement()) {
        const QString name = nameOf(element);
        QString outline;
        if (name == QLatin1String("Polygon"))
            outline = ringOf(element);
        else if (name == QLatin1String("MultiGeometry"))
            outline = outlineOf(element);
        if (!outline.isEmpty())
            return outline;
    }
    return QString();
}

void collect(const QDomElement& container, QList<Placemark>* placemarks)
{
    for (QDomElement element = container.firstChildElement(); !element.isNull();
         element = element.nextSiblingElement()) {
        const QString name = nameOf(element);
        if (name == QLatin1String("Document") || name == QLatin1String("Folder")) {
            collect(element, placemarks);
        } else if (name == QLatin1String("Placemark")) {
            const Placemark placemark{child(element, QStringLiteral("name")).text().trimmed(), outlineOf(element)};
            if (!placemark.name.isEmpty() && !placemark.coordinates.isEmpty())
                placemarks->append(placemark);
        }
    }
}

void setOutline(QDomElement element, const QString& text)
{
    Xml::setText(Xml::ensureChild(element, Xml::Geometry), text);
}

} // namespace

bool readPlacemarks(const QString& fileName, QList<Placemark>* placemarks, QString* error)
{
    if (QFileInfo(fileName).size() > MaxFileBytes) {
        if (error)
            *error = QCoreApplication::translate("KmlImportDlg", "%1 is larger than %2 MiB, the most a KML import reads.")
                         .arg(QDir::toNativeSeparators(fileName))
                         .arg(MaxFileBytes / (1024 * 1024));
        return false;
    }
    QDomDocument document;
    Xml::ReadError failure;
    if (!Xml::readDocument(fileName, &document, &failure, Xml::Namespaces::Processed)) {
        if (!error)
            return false;
        if (failure.kind == Xml::ReadError::CannotOpen)
            *error = QCoreApplication::translate("KmlImportDlg", "Error open kml file: %1").arg(failure.message);
        else
            *error = QCoreApplication::translate("KmlImportDlg", "Error processing file %1 (%2:%3): %4")
                         .arg(fileName)
                         .arg(failure.line)
                         .arg(failure.column)
                         .arg(failure.message);
        return false;
    }
    collect(document.documentElement(), placemarks);
    return true;
}

QList<QDomElement> areaElements(const QDomElement& zone)
{
    QList<QDomElement> areas;
    // Element siblings only: a comment between two areas does not end the list.
    for (QDomElement area = zone.firstChildElement(Xml::Areas).firstChildElement(Xml::Area); !area.isNull();
         area = area.nextSiblingElement(Xml::Area))
        areas.append(area);
    return areas;
}

QStringList areaNames(const QDomElement& zone)
{
    QStringList names;
    QSet<QString> seen;
    for (const QDomElement& area : areaElements(zone)) {
        const QString name = area.attribute(Xml::name);
        if (!name.isEmpty() && !seen.contains(name)) {
            seen.insert(name);
            names.append(name);
        }
    }
    return names;
}

AppliedImport applyImport(const KmlImportDlg& dialog, QDomElement zone, QString* zoneName)
{
    AppliedImport applied;
    if (dialog.result() != QDialog::Accepted)
        return applied;
    const bool replaceNames = dialog.replaceNamesOn();
    // A name the saved file could not carry stays out of the configuration.
    const auto writable = [&applied](const QString& name) {
        if (Xml::isXmlText(name))
            return true;
        if (!applied.refusedNames.contains(name))
            applied.refusedNames.append(name);
        return false;
    };

    // A zone drawn nowhere yet has no Geometry; an imported outline is its first.
    if (!dialog.zoneCoordinates().isEmpty()) {
        setOutline(zone, dialog.zoneCoordinates());
        applied.zoneOutline = true;
        if (replaceNames && zoneName && *zoneName != dialog.zoneKmlName() && writable(dialog.zoneKmlName())) {
            *zoneName = dialog.zoneKmlName();
            applied.zoneRenamed = true;
        }
    }

    for (QDomElement area : areaElements(zone)) {
        const QString name = area.attribute(Xml::name);
        const QString outline = name.isEmpty() ? QString() : dialog.areaCoordinates(name);
        if (outline.isEmpty())
            continue;
        setOutline(area, outline);
        applied.areas.append(area);
        if (replaceNames && dialog.areaKmlName(name) != name && writable(dialog.areaKmlName(name))) {
            area.setAttribute(Xml::name, dialog.areaKmlName(name));
            applied.areasRenamed = true;
        }
    }
    return applied;
}

QString selectImportFile(QWidget* parent)
{
    return askForKmlFile(parent, QStringLiteral("KmlImportOfdDir"), FileDialogMode::Open);
}

} // namespace Kml
} // namespace Velmora
