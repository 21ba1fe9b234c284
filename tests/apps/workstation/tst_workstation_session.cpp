#include "ServiceProcess.h"

#include <QColor>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QHash>
#include <QSet>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

const QString workstationProgram = QStringLiteral(VELMORA_BIN_DIR "/velmora-workstation");
const QString zoneFile = QStringLiteral(VELMORA_EXAMPLES "/zarechny.xtsc");
const QString storageFolder = QStringLiteral(VELMORA_EXAMPLES "/storage");
const QString pluginFile = QStringLiteral(VELMORA_PLUGIN_DIR "/libVelmora.so");
// A hundred areas whose fitted map once sat where the map's scroll bars kept
// showing and hiding each other, so the window never settled.
const QString manyAreasFile = QStringLiteral(VELMORA_TEST_DATA "/workstation/freeze-100-areas.xtsc");
// A session ends once the zone is linked; this only bounds a link that never
// comes up, generously for the sanitizers on a busy machine.
const int sessionLength = 60000;
// A short session, and the time a workstation may take on top of it to load,
// quit and write its dump under the sanitizers on a busy machine. A window that
// never settles runs far longer.
const int shortSession = 300;
const int quitSlack = 10000;

struct Run
{
    bool finished = false;
    int exitCode = -1;
    qint64 elapsed = 0;
    QString output;
};

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
    void quitsOnTime_data();
    void quitsOnTime();
    void pluginOption_data();
    void pluginOption();

private:
    // Runs the workstation offscreen with its settings in the test's folder;
    // kills it when it is still running after `timeout` ms.
    Run runWorkstation(const QStringList& arguments, int timeout);
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
    QVERIFY2(QFile::exists(pluginFile), qPrintable(pluginFile));
    QVERIFY2(QFile::exists(manyAreasFile), qPrintable(manyAreasFile));
}

Run TestWorkstationSession::runWorkstation(const QStringList& arguments, int timeout)
{
    QProcess workstation;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // The user's recent files and window layout stay out of it.
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
    workstation.setProcessEnvironment(environment);
    workstation.setProcessChannelMode(QProcess::MergedChannels);
    Run run;
    QElapsedTimer clock;
    clock.start();
    workstation.start(workstationProgram, arguments);
    if (!workstation.waitForStarted(10000)) {
        run.output = workstation.errorString();
        return run;
    }
    run.finished = workstation.waitForFinished(timeout);
    run.elapsed = clock.elapsed();
    if (!run.finished) {
        workstation.kill();
        workstation.waitForFinished();
    }
    run.output = QString::fromLocal8Bit(workstation.readAll());
    run.exitCode = workstation.exitStatus() == QProcess::NormalExit ? workstation.exitCode() : -1;
    return run;
}

bool TestWorkstationSession::runSession(quint16 port, const QString& screenshot, QJsonObject* state,
                                        QString* failure)
{
    const QString dump = m_dir.filePath(QStringLiteral("session.json"));
    QFile::remove(dump);
    QStringList arguments{QStringLiteral("--service"), QStringLiteral("127.0.0.1:%1").arg(port),
                          QStringLiteral("--storage"), storageFolder,
                          QStringLiteral("--quit-after"), QString::number(sessionLength),
                          QStringLiteral("--quit-when-linked"),
                          QStringLiteral("--dump-state"), dump};
    if (!screenshot.isEmpty())
        arguments << QStringLiteral("--screenshot") << screenshot;
    arguments << zoneFile;

    const Run run = runWorkstation(arguments, 120000);
    if (!run.finished || run.exitCode != 0) {
        *failure = QStringLiteral("exit code %1:\n%2").arg(run.exitCode).arg(run.output);
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

    // The link in words: linked only because the service answered.
    QCOMPARE(zone.value("link").toString(), QStringLiteral("linked"));
    const QString status = state.value("status").toString();
    QVERIFY2(status.contains(QLatin1String("zone 12 linked")), qPrintable(status));
    // The legend explains the map, each swatch painted by the module's items.
    QSet<QString> sections;
    QHash<QString, QString> swatches;
    for (const QJsonValue& value : state.value("legend").toArray()) {
        const QJsonObject entry = value.toObject();
        sections.insert(entry.value("section").toString());
        swatches.insert(entry.value("text").toString(), entry.value("swatch").toString());
    }
    QCOMPARE(sections, (QSet<QString>{"Zone", "Control area", "Map"}));
    const QString background = QColor(236, 238, 232).name();
    for (const char* drawn : {"Calendar (1)", "Adaptive (2)", "Operator (4)", "Yellow flashing (2)", "Not linked",
                              "Hash mismatch", "Traffic light"}) {
        QVERIFY2(swatches.contains(QLatin1String(drawn)), drawn);
        QVERIFY2(!swatches.value(QLatin1String(drawn)).isEmpty() && swatches.value(QLatin1String(drawn)) != background,
                 drawn);
    }
    QCOMPARE(swatches.value(QStringLiteral("Not drawn")), background);
    QVERIFY(swatches.value(QStringLiteral("Calendar (1)")) != swatches.value(QStringLiteral("Adaptive (2)")));

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
    QCOMPARE(zone.value("link").toString(), QStringLiteral("hash mismatch"));
    QVERIFY2(state.value("status").toString().contains(QLatin1String("zone 12 hash mismatch")),
             qPrintable(state.value("status").toString()));
    // Without the calendar no event moves anything, and the state reply is not taken.
    QCOMPARE(zone.value("currentStrategy").toInt(), -1);
    for (const QJsonValue& value : zone.value("areas").toArray())
        QCOMPARE(value.toObject().value("currentState").toInt(), -1);
}

void TestWorkstationSession::quitsOnTime_data()
{
    QTest::addColumn<QSize>("window");
    QTest::addColumn<bool>("service");

    // The window's own default size is where the map of this zone once froze.
    QTest::newRow("default window") << QSize() << false;
    QTest::newRow("default window, service connected") << QSize() << true;
    QTest::newRow("small window") << QSize(640, 480) << false;
    QTest::newRow("tall window, service connected") << QSize(900, 1300) << true;
}

void TestWorkstationSession::quitsOnTime()
{
    QFETCH(QSize, window);
    QFETCH(bool, service);

    ServiceProcess simulator;
    const QString dump = m_dir.filePath(QStringLiteral("quit.json"));
    QFile::remove(dump);
    QStringList arguments{QStringLiteral("--quit-after"), QString::number(shortSession),
                          QStringLiteral("--dump-state"), dump};
    if (window.isValid()) {
        // Qt's own option for the first window's geometry.
        arguments << QStringLiteral("-qwindowgeometry")
                  << QStringLiteral("%1x%2").arg(window.width()).arg(window.height());
    }
    if (service) {
        // The calendar keeps state events coming, each one a repaint of the map.
        QVERIFY2(simulator.start({manyAreasFile}, 0, {QStringLiteral("--calendar"), QStringLiteral("--speed"),
                                                      QStringLiteral("60")}),
                 qPrintable(simulator.errors()));
        arguments << QStringLiteral("--service") << QStringLiteral("127.0.0.1:%1").arg(simulator.port());
    }
    arguments << manyAreasFile;

    const Run run = runWorkstation(arguments, shortSession + quitSlack);
    QVERIFY2(run.finished, qPrintable(QStringLiteral("still running %1 ms after it should have quit:\n%2")
                                          .arg(run.elapsed - shortSession)
                                          .arg(run.output)));
    QVERIFY2(run.exitCode == 0, qPrintable(QStringLiteral("exit code %1:\n%2").arg(run.exitCode).arg(run.output)));
    QVERIFY2(run.elapsed >= shortSession, qPrintable(QStringLiteral("quit after %1 ms").arg(run.elapsed)));

    QFile file(dump);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonObject state = QJsonDocument::fromJson(file.readAll()).object();
    const QJsonArray zones = state.value("zones").toArray();
    QCOMPARE(zones.size(), 1);
    const QJsonObject zone = zones.first().toObject();
    QCOMPARE(zone.value("areas").toArray().size(), readZoneFacts(manyAreasFile).areas.size());
    if (service)
        QVERIFY2(zone.value("isConnected").toBool(), "the zone's link never came up");
    const QJsonObject viewport = state.value("mapViewport").toObject();
    const QRect mapRect(viewport.value("x").toInt(), viewport.value("y").toInt(), viewport.value("width").toInt(),
                        viewport.value("height").toInt());
    QVERIFY(!mapRect.isEmpty());
    // The window had the size asked for.
    if (window.isValid())
        QVERIFY2(QRect(QPoint(0, 0), window).contains(mapRect), qPrintable(QStringLiteral("map at %1,%2 %3x%4")
                                                                              .arg(mapRect.x())
                                                                              .arg(mapRect.y())
                                                                              .arg(mapRect.width())
                                                                              .arg(mapRect.height())));
}

void TestWorkstationSession::pluginOption_data()
{
    QTest::addColumn<QStringList>("options");
    // The library the workstation must have used; empty when it must refuse to start.
    QTest::addColumn<QString>("used");
    // What the refusal must name.
    QTest::addColumn<QString>("reported");

    const QString missing = m_dir.filePath(QStringLiteral("nowhere/libVelmora.so"));
    // Elsewhere and named otherwise: only the option can have found it.
    const QString copy = m_dir.filePath(QStringLiteral("modules/libVelmoraCopy.so"));
    const QString canonical = QFileInfo(pluginFile).canonicalFilePath();

    QTest::newRow("missing library") << QStringList{QStringLiteral("--plugin"), missing} << QString() << missing;
    QTest::newRow("missing library, one word") << QStringList{QStringLiteral("--plugin=") + missing} << QString()
                                               << missing;
    QTest::newRow("not a plug-in") << QStringList{QStringLiteral("--plugin"), zoneFile} << QString() << zoneFile;
    QTest::newRow("not the module hosts call")
        << QStringList{QStringLiteral("--plugin"), QStringLiteral(VELMORA_INCOMPLETE_MODULE)} << QString()
        << QStringLiteral("signal zoneLoaded(QObject*): missing");
    QTest::newRow("no path") << QStringList{QStringLiteral("--plugin=")} << QString()
                             << QStringLiteral("--plugin");
    QTest::newRow("the module") << QStringList{QStringLiteral("--plugin"), pluginFile} << canonical << QString();
    QTest::newRow("the module, one word") << QStringList{QStringLiteral("--plugin=") + pluginFile} << canonical
                                          << QString();
    QTest::newRow("a copy of the module") << QStringList{QStringLiteral("--plugin"), copy} << copy << QString();
    QTest::newRow("the module, then a missing one")
        << QStringList{QStringLiteral("--plugin"), pluginFile, QStringLiteral("--plugin"), missing} << QString()
        << missing;
}

void TestWorkstationSession::pluginOption()
{
    QFETCH(QStringList, options);
    QFETCH(QString, used);
    QFETCH(QString, reported);

    const QString copy = m_dir.filePath(QStringLiteral("modules/libVelmoraCopy.so"));
    if (options.contains(copy) && !QFile::exists(copy)) {
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("modules")));
        QVERIFY(QFile::copy(pluginFile, copy));
    }
    const QString dump = m_dir.filePath(QStringLiteral("plugin.json"));
    QFile::remove(dump);
    const Run run = runWorkstation(options + QStringList{QStringLiteral("--quit-after"), QStringLiteral("200"),
                                                         QStringLiteral("--dump-state"), dump, zoneFile},
                                   quitSlack);
    QVERIFY2(run.finished, qPrintable(run.output));

    if (used.isEmpty()) {
        // Refused before any window: the default module would have started.
        QVERIFY2(run.exitCode == 2, qPrintable(QStringLiteral("exit code %1:\n%2").arg(run.exitCode).arg(run.output)));
        QVERIFY2(run.output.contains(reported), qPrintable(run.output));
        QVERIFY(!QFile::exists(dump));
        return;
    }
    QVERIFY2(run.exitCode == 0, qPrintable(QStringLiteral("exit code %1:\n%2").arg(run.exitCode).arg(run.output)));
    QFile file(dump);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonObject state = QJsonDocument::fromJson(file.readAll()).object();
    QCOMPARE(QFileInfo(state.value("plugin").toString()).canonicalFilePath(), QFileInfo(used).canonicalFilePath());
    QCOMPARE(state.value("zones").toArray().size(), 1);
}

QTEST_GUILESS_MAIN(TestWorkstationSession)
#include "tst_workstation_session.moc"
