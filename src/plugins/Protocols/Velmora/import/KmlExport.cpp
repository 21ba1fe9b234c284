#include "KmlExport.h"

#include <QCoreApplication>
#include <QSaveFile>
#include <QXmlStreamWriter>

#include "KmlCoordinates.h"
#include "KmlFileDialog.h"
#include "KmlImport.h"
#include "Logging.h"
#include "format/Vocabulary.h"
#include "format/XmlText.h"

namespace Velmora {
namespace Kml {

namespace {

const QString kmlNamespace = QStringLiteral("http://www.opengis.net/kml/2.2");

void writePlacemark(QXmlStreamWriter* writer, const QString& name, const QString& coordinates)
{
    writer->writeStartElement(kmlNamespace, QStringLiteral("Placemark"));
    writer->writeTextElement(kmlNamespace, QStringLiteral("name"), name);
    writer->writeStartElement(kmlNamespace, QStringLiteral("Polygon"));
    writer->writeStartElement(kmlNamespace, QStringLiteral("outerBoundaryIs"));
    writer->writeStartElement(kmlNamespace, QStringLiteral("LinearRing"));
    writer->writeTextElement(kmlNamespace, QStringLiteral("coordinates"), coordinates);
    writer->writeEndElement();
    writer->writeEndElement();
    writer->writeEndElement();
    writer->writeEndElement();
}

QString outlineOf(const QDomElement& element)
{
    return toKmlCoordinates(Xml::firstText(element.firstChildElement(Xml::Geometry)));
}

bool fail(const QString& message, QString* error)
{
    qCWarning(lcEdit).noquote() << message;
    if (error)
        *error = message;
    return false;
}

} // namespace

bool exportZone(const QString& fileName, const QString& zoneName, const QDomElement& zone, QString* error)
{
    // Written aside and renamed into place, so a full disk cannot leave half a file.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return fail(QCoreApplication::translate("KmlImportDlg", "Error open kml file: %1").arg(file.errorString()),
                    error);

    // UTF-8, and said so: names are often not ASCII, and readers that see no
    // declaration assume UTF-8 anyway.
    QXmlStreamWriter writer(&file);
    writer.setCodec("UTF-8");
    writer.writeStartDocument();
    writer.writeDefaultNamespace(kmlNamespace);
    writer.writeStartElement(kmlNamespace, QStringLiteral("kml"));
    writer.writeStartElement(kmlNamespace, QStringLiteral("Document"));
    const QString zoneOutline = outlineOf(zone);
    if (!zoneOutline.isEmpty())
        writePlacemark(&writer, zoneName, zoneOutline);
    for (const QDomElement& area : areaElements(zone)) {
        const QString outline = outlineOf(area);
        if (!outline.isEmpty())
            writePlacemark(&writer, area.attribute(Xml::name), outline);
    }
    writer.writeEndDocument();

    if (writer.hasError() || !file.commit()) {
        // The old file, if any, stays: nothing was committed.
        return fail(QCoreApplication::translate("KmlImportDlg", "Error writing kml file %1: %2")
                        .arg(fileName, file.errorString()),
                    error);
    }
    return true;
}

QString selectExportFile(QWidget* parent)
{
    return askForKmlFile(parent, QStringLiteral("KmlExportOfdDir"), FileDialogMode::Save);
}

} // namespace Kml
} // namespace Velmora
