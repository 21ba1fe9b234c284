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

struct Outline
{
    QString name;
    QString coordinates;
};

// The placemarks to write: the zone's, then the areas', those with a usable outline.
QList<Outline> outlinesOf(const QString& zoneName, const QDomElement& zone)
{
    QList<Outline> outlines{{zoneName, outlineOf(zone)}};
    for (const QDomElement& area : areaElements(zone))
        outlines.append({area.attribute(Xml::name), outlineOf(area)});
    for (int i = outlines.size() - 1; i >= 0; --i) {
        if (outlines.at(i).coordinates.isEmpty())
            outlines.removeAt(i);
    }
    return outlines;
}

// `name` with what XML cannot carry shown as the replacement character.
QString printable(QString name)
{
    for (int at = Xml::firstNonXmlCharacter(name); at >= 0; at = Xml::firstNonXmlCharacter(name))
        name[at] = QChar::ReplacementCharacter;
    return name;
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
    const QList<Outline> outlines = outlinesOf(zoneName, zone);
    // A reader would refuse the whole file for one such character: none is written.
    for (const Outline& outline : outlines) {
        const int at = Xml::firstNonXmlCharacter(outline.name);
        if (at >= 0)
            return fail(QCoreApplication::translate("KmlImportDlg",
                                                    "Cannot export %1: the name \"%2\" holds the character U+%3, "
                                                    "which KML cannot carry")
                            .arg(fileName, printable(outline.name))
                            .arg(QString::number(outline.name.at(at).unicode(), 16).toUpper().rightJustified(4, '0')),
                        error);
    }
    // Written aside and renamed into place, so a full disk cannot leave half a
    // file; unbuffered and in one piece, so that a write cut short shows in its
    // count: the buffered device reports such a write as done.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(QCoreApplication::translate("KmlImportDlg", "Error open kml file: %1").arg(file.errorString()),
                    error);

    // UTF-8, and said so: names are often not ASCII, and readers that see no
    // declaration assume UTF-8 anyway.
    QByteArray bytes;
    QXmlStreamWriter writer(&bytes);
    writer.setCodec("UTF-8");
    writer.writeStartDocument();
    writer.writeDefaultNamespace(kmlNamespace);
    writer.writeStartElement(kmlNamespace, QStringLiteral("kml"));
    writer.writeStartElement(kmlNamespace, QStringLiteral("Document"));
    for (const Outline& outline : outlines)
        writePlacemark(&writer, outline.name, outline.coordinates);
    writer.writeEndDocument();

    if (file.write(bytes) != bytes.size() || !file.commit()) {
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
