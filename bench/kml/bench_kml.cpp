// KML import of a large generated file: reading its placemarks, the import
// dialog made with a preview of each on a map scene and shown, and "OK"
// applied to a zone whose areas are named after some of the placemarks, and
// the dialog closed, taking its previews off the scene.
// Prints figures; never fails on time.
#include <QApplication>
#include <QDialogButtonBox>
#include <QDomDocument>
#include <QElapsedTimer>
#include <QFile>
#include <QGraphicsScene>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>

#include "Velmora/import/KmlImport.h"
#include "Velmora/import/KmlImportDlg.h"

namespace {

// Hexagons about a kilometre wide in rows over a town, each named once.
QByteArray kmlText(int placemarks)
{
    QByteArray kml = "<kml xmlns=\"http://www.opengis.net/kml/2.2\"><Document>\n";
    for (int k = 0; k < placemarks; ++k) {
        const double x = 37.0 + (k % 400) * 0.01;
        const double y = 55.0 + (k / 400) * 0.01;
        kml += "<Placemark><name>Placemark " + QByteArray::number(k)
            + "</name><Polygon><outerBoundaryIs><LinearRing><coordinates>";
        for (const auto& [dx, dy] : {std::pair{0.0, 0.0}, {0.004, -0.003}, {0.008, 0.0}, {0.008, 0.005}, {0.004, 0.008},
                                     {0.0, 0.005}, {0.0, 0.0}})
            kml += QByteArray::number(x + dx, 'f', 6) + ',' + QByteArray::number(y + dy, 'f', 6) + ",0 ";
        kml += "</coordinates></LinearRing></outerBoundaryIs></Polygon></Placemark>\n";
    }
    return kml + "</Document></kml>\n";
}

// A zone whose areas are named after every `step`-th placemark.
QDomElement zoneNamedAfter(QDomDocument* document, int placemarks, int step)
{
    QString xml = QStringLiteral("<Zone id=\"1\" name=\"Bench\"><Areas>");
    for (int k = 0, id = 1; k < placemarks; k += step, ++id)
        xml += QStringLiteral("<Area id=\"%1\" name=\"Placemark %2\"/>").arg(id).arg(k);
    document->setContent(xml + QStringLiteral("</Areas></Zone>"));
    return document->documentElement();
}

double elapsedMs(QElapsedTimer& timer)
{
    const double ms = timer.nsecsElapsed() / 1e6;
    timer.restart();
    return ms;
}

QString number(double value, int width)
{
    return QString::number(value, 'f', 1).rightJustified(width);
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const bool shortRun = app.arguments().contains(QStringLiteral("--short"));
    const QList<int> sizes = shortRun ? QList<int>{1000, 5000} : QList<int>{1000, 10000, 100000};

    QTextStream out(stdout);
    out << "KML import dialog with previews on a scene; areas named after every 10th placemark\n"
           "placemarks  file MiB  read ms  dialog ms  OK ms  apply ms  close ms  outlines set\n";
    QTemporaryDir dir;
    for (int placemarks : sizes) {
        const QString file = dir.filePath(QStringLiteral("bench.kml"));
        QFile kml(file);
        const QByteArray text = kmlText(placemarks);
        if (!kml.open(QIODevice::WriteOnly) || kml.write(text) != text.size()) {
            out << "cannot write " << file << '\n';
            return 1;
        }
        kml.close();
        QDomDocument document;
        const QDomElement zone = zoneNamedAfter(&document, placemarks, 10);
        QGraphicsScene scene;

        QElapsedTimer timer;
        timer.start();
        QList<Velmora::Kml::Placemark> read;
        Velmora::Kml::readPlacemarks(file, &read, nullptr);
        const double readMs = elapsedMs(timer);

        auto* dialog = new KmlImportDlg(file, QStringLiteral("Bench"), Velmora::Kml::areaNames(zone), nullptr, &scene);
        dialog->show();
        QApplication::processEvents();
        const double dialogMs = elapsedMs(timer);

        dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))->button(QDialogButtonBox::Ok)->click();
        QApplication::processEvents();
        const double okMs = elapsedMs(timer);

        QString zoneName = QStringLiteral("Bench");
        const Velmora::Kml::AppliedImport applied = Velmora::Kml::applyImport(*dialog, zone, &zoneName);
        const double applyMs = elapsedMs(timer);

        delete dialog;
        const double closeMs = elapsedMs(timer);

        out << QString::number(placemarks).rightJustified(10) << "  " << number(text.size() / 1048576.0, 8) << "  "
            << number(readMs, 7) << "  " << number(dialogMs, 9) << "  " << number(okMs, 5) << "  " << number(applyMs, 8)
            << "  " << number(closeMs, 8) << "  " << QString::number(applied.areas.size()).rightJustified(12) << '\n';
        out.flush();
    }
    return 0;
}
