#include "ServiceProcess.h"

#include <QColor>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

const QString workstationProgram = QStringLiteral(VELMORA_BIN_DIR "/velmora-workstation");
const QString zoneFile = QStringLiteral(VELMORA_EXAMPLES "/zarechny.xtsc");
const QString storageFolder = QStringLiteral(VELMORA_EXAMPLES "/storage");
// Long enough for the link to come up and the map to be drawn, also under the sanitizers.
const int sessionLength = 5000;

struct ZoneFacts
{
    int id = -1;
    QSet<int> areas;
};

// Read straight from the file, independent of the module.
ZoneFacts readZoneFacts(const QString& path)
{
    ZoneFacts facts;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return facts;
    QXmlStreamReader xml(&file);
    QStringList stack;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement) {
            if (stack.isEmpty())
                facts.id = xml.attributes().value(QLatin1String("id")).toInt();
            else if (xml.name() == QLatin1String("Area") && stack.size() == 2 && stack.last() == QLatin1String("Areas"))
                facts.areas.insert(xml.attributes().value(QLatin1String("id")).toInt());
            stack.append(xml.name().toString());
        } else if (xml.tokenType() == QXmlStreamReader::EndElement) {
            stack.removeLast();
        }
    }
    return facts;
}

} // namespace

class TestWorkstationSession : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void liveSession();
    void serviceWithOtherConfiguration();

private:
    // Runs the workstation offscreen against the service for one session and
    // reads back its state dump; the screenshot goes to screenshot when given.
    bool runSession(quint16 port, const QString& screenshot, QJsonObject* state, QString* failure);

    QTemporaryDir m_dir;
};

void TestWorkstationSession::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY2(ServiceProcess::isBuilt(), qPrintable(ServiceProcess::program()));
    QVERIFY2(QFile::exists(workstationProgram), qPrintable(workstationProgram));
}

bool TestWorkstationSession::runSession(quint16 port, const QString& screenshot, QJsonObject* state,
                                        QString* failure)
{
    const QString dump = m_dir.filePath(QStringLiteral("session.json"));
    QFile::remove(dump);
    QStringList arguments{QStringLiteral("--service"), QStringLiteral("127.0.0.1:%1").arg(port),
                          QStringLiteral("--storage"), storageFolder,
                          QStringLiteral("--quit-after"), QString::number(sessionLength),
                          QStringLiteral("--dump-state"), dump};
    if (!screenshot.isEmpty())
        arguments << QStringLiteral("--screenshot") << screenshot;
    arguments << zoneFile;

    QProcess workstation;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // The user's recent files and window layout stay out of it.
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
    workstation.setProcessEnvironment(environment);
    workstation.setProcessChannelMode(QProcess::MergedChannels);
    workstation.start(workstationProgram, arguments);
    if (!workstation.waitForStarted(10000) || !workstation.waitForFinished(120000)) {
        *failure = workstation.errorString();
        workstation.kill();
        workstation.waitForFinished();
        return false;
    }
    const QByteArray output = workstation.readAll();
    if (workstation.exitStatus() != QProcess::NormalExit || workstation.exitCode() != 0) {
        *failure = QStringLiteral("exit code %1:\n%2").arg(workstation.exitCode()).arg(QString::fromLocal8Bit(output));
        return false;
    }
    QFile file(dump);
    if (!file.open(QIODevice::ReadOnly)) {
        *failure = QStringLiteral("no state dump");
        return false;
    }
    *state = QJsonDocument::fromJson(file.readAll()).object();
    return true;
}

void TestWorkstationSession::liveSession()
{
    ServiceProcess service;
    // The calendar drives the zone, as in a real centre; fast, so that it moves.
    QVERIFY2(service.start({zoneFile}, 0, {QStringLiteral("--calendar"), QStringLiteral("--speed"), QStringLiteral("60")}),
             qPrintable(service.errors()));
    const QString screenshot = m_dir.filePath(QStringLiteral("session.png"));
    QJsonObject state;
    QString failure;
    QVERIFY2(runSession(service.port(), screenshot, &state, &failure), qPrintable(failure));
    QVERIFY2(service.isRunning(), qPrintable(service.errors()));

    // What the workstation saw of the zone.
    const QJsonArray zones = state.value("zones").toArray();
    QCOMPARE(zones.size(), 1);
    const QJsonObject zone = zones.first().toObject();
    const ZoneFacts facts = readZoneFacts(zoneFile);
    QVERIFY(facts.id > 0 && !facts.areas.isEmpty());
    QCOMPARE(zone.value("id").toInt(), facts.id);
    QCOMPARE(QFileInfo(zone.value("file").toString()).canonicalFilePath(), QFileInfo(zoneFile).canonicalFilePath());
    QVERIFY2(zone.value("isConnected").toBool(), "the zone's link never came up");
    QVERIFY2(!zone.value("hashInvalid").toBool(), "the service works with another configuration");
    QVERIFY(zone.value("controlSource").toInt() != -1);
    QVERIFY(zone.value("currentStrategy").toInt() != -1);
    QSet<int> areaIds;
    for (const QJsonValue& value : zone.value("areas").toArray()) {
        const QJsonObject area = value.toObject();
        const int id = area.value("id").toInt();
        areaIds.insert(id);
        QVERIFY2(area.value("controlSource").toInt() != -1, qPrintable(QStringLiteral("area %1").arg(id)));
        QVERIFY2(area.value("currentState").toInt() != -1, qPrintable(QStringLiteral("area %1").arg(id)));
    }
    QCOMPARE(areaIds, facts.areas);
    QVERIFY(state.value("lights").toInt() > 0);

    // The map in the screenshot shows the state colours, not only grey.
    QImage image(screenshot);
    QVERIFY(!image.isNull());
    const QJsonObject viewport = state.value("mapViewport").toObject();
    const QRect mapRect(viewport.value("x").toInt(), viewport.value("y").toInt(), viewport.value("width").toInt(),
                        viewport.value("height").toInt());
    QVERIFY(mapRect.width() > 100 && mapRect.height() > 100);
    QVERIFY(image.rect().contains(mapRect));
    const QImage map = image.copy(mapRect).convertToFormat(QImage::Format_RGB32);
    QHash<QRgb, int> histogram;
    int saturated = 0;
    for (int y = 0; y < map.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(map.constScanLine(y));
        for (int x = 0; x < map.width(); ++x) {
            ++histogram[line[x]];
            if (QColor(line[x]).hsvSaturation() > 100)
                ++saturated;
        }
    }
    int colours = 0;
    for (int count : qAsConst(histogram))
        colours += count >= 50 ? 1 : 0;
    QVERIFY2(colours >= 4, qPrintable(QStringLiteral("%1 colours").arg(colours)));
    const int pixels = map.width() * map.height();
    QVERIFY2(saturated * 50 > pixels, qPrintable(QStringLiteral("%1 of %2 pixels coloured").arg(saturated).arg(pixels)));
}

void TestWorkstationSession::serviceWithOtherConfiguration()
{
    // Same zone id, one area renamed: the service's configuration hash differs.
    QFile original(zoneFile);
    QVERIFY(original.open(QIODevice::ReadOnly));
    QByteArray edited = original.readAll();
    const int name = edited.indexOf("name=\"", edited.indexOf("<Area id="));
    QVERIFY(name > 0);
    edited.insert(name + 6, "Renamed ");
    const QString servedFile = m_dir.filePath(QStringLiteral("served.xtsc"));
    QFile served(servedFile);
    QVERIFY(served.open(QIODevice::WriteOnly));
    served.write(edited);
    served.close();

    ServiceProcess service;
    QVERIFY2(service.start({servedFile}), qPrintable(service.errors()));
    QJsonObject state;
    QString failure;
    QVERIFY2(runSession(service.port(), QString(), &state, &failure), qPrintable(failure));
    const QJsonArray zones = state.value("zones").toArray();
    QCOMPARE(zones.size(), 1);
    const QJsonObject zone = zones.first().toObject();
    QVERIFY(zone.value("isConnected").toBool());
    QVERIFY(zone.value("hashInvalid").toBool());
    // Without the calendar no event moves anything, and the state reply is not taken.
    QCOMPARE(zone.value("currentStrategy").toInt(), -1);
    for (const QJsonValue& value : zone.value("areas").toArray())
        QCOMPARE(value.toObject().value("currentState").toInt(), -1);
}

QTEST_GUILESS_MAIN(TestWorkstationSession)
#include "tst_workstation_session.moc"
