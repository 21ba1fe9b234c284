// The workstation program as a user runs it: one whole session against the service simulator, and --plugin.
#include "DomText.h"
#include "ServiceProcess.h"

#include <QtTest>

namespace {

const QString workstationProgram = QStringLiteral(VELMORA_BIN_DIR "/velmora-workstation");
const QString zoneFile = QStringLiteral(VELMORA_EXAMPLES "/zarechny.xtsc");
const QString pluginFile = QStringLiteral(VELMORA_PLUGIN_DIR "/libVelmora.so");

struct Run
{
    bool finished = false;
    int exitCode = -1;
    QString output;
    QJsonObject state; // the dump, empty when none was written
};

// The zone's id and its areas' ids, read straight from the file, independent
// of the module: every area a strategy names is one of the zone's areas.
QSet<int> zoneFacts(const QString& path, int* id)
{
    const QString text = QString::fromUtf8(readFile(path));
    *id = QRegularExpression(QStringLiteral("<Zone id=\"(\\d+)\"")).match(text).captured(1).toInt();
    QSet<int> areas;
    QRegularExpressionMatchIterator match = QRegularExpression(QStringLiteral("<Area id=\"(\\d+)\"")).globalMatch(text);
    while (match.hasNext())
        areas.insert(match.next().captured(1).toInt());
    return areas;
}

} // namespace

class TestWorkstationSession : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY2(ServiceProcess::isBuilt(), qPrintable(ServiceProcess::program()));
        QVERIFY2(QFile::exists(workstationProgram), qPrintable(workstationProgram));
    }

    void liveSession()
    {
        ServiceProcess service;
        // The calendar drives the zone, as in a real centre; fast, so that it moves.
        QVERIFY2(service.start({zoneFile}, 0, {"--calendar", "--speed", "60"}), qPrintable(service.errors()));
        // Ends once the zone is linked and its state known; --quit-after only bounds a link that never comes up.
        const Run run = runWorkstation({"--service", QStringLiteral("127.0.0.1:%1").arg(service.port()), "--storage",
                                        QStringLiteral(VELMORA_EXAMPLES "/storage"), "--quit-after", "60000",
                                        "--quit-when-linked", zoneFile},
                                       120000);
        QVERIFY2(run.finished && run.exitCode == 0,
                 qPrintable(QStringLiteral("exit %1:\n%2").arg(run.exitCode).arg(run.output)));
        QVERIFY2(service.isRunning(), qPrintable(service.errors()));

        const QJsonArray zones = run.state.value("zones").toArray();
        QCOMPARE(zones.size(), 1);
        const QJsonObject zone = zones.first().toObject();
        int id = -1;
        const QSet<int> areas = zoneFacts(zoneFile, &id);
        QVERIFY(id > 0 && !areas.isEmpty());
        QCOMPARE(zone.value("id").toInt(), id);
        QCOMPARE(QFileInfo(zone.value("file").toString()).canonicalFilePath(), QFileInfo(zoneFile).canonicalFilePath());
        // Linked, on the same configuration, the zone's state known.
        QCOMPARE((QList<bool>{zone.value("isConnected").toBool(), zone.value("hashInvalid").toBool(),
                              zone.value("controlSource").toInt() != -1, zone.value("currentStrategy").toInt() != -1}),
                 (QList<bool>{true, false, true, true}));
        QSet<int> seen;
        for (const QJsonValue& value : zone.value("areas").toArray()) {
            const QJsonObject area = value.toObject();
            seen.insert(area.value("id").toInt());
            QVERIFY2(area.value("controlSource").toInt() != -1 && area.value("currentState").toInt() != -1,
                     qPrintable(QJsonDocument(area).toJson()));
        }
        QCOMPARE(seen, areas);
        QVERIFY(run.state.value("lights").toInt() > 0);
    }

    // Two words, the way Qt's own -plugin option is written, and the last one counts: a missing module is refused
    // before any window, where the default module would have started.
    void pluginOption()
    {
        const QString missing = QDir::tempPath() + QStringLiteral("/nowhere/libVelmora.so");
        const Run run = runWorkstation({"--plugin", pluginFile, "--plugin", missing, "--quit-after", "100",
                                        QStringLiteral(VELMORA_EXAMPLES "/north.xtsc")});
        QVERIFY2(run.finished && run.exitCode == 2 && run.output.contains(missing), qPrintable(run.output));
        QVERIFY(run.state.isEmpty());
    }

private:
    // Runs the workstation offscreen, its settings in the test's folder, and reads its dump; killed past `timeout` ms.
    Run runWorkstation(const QStringList& arguments, int timeout = 60000)
    {
        const QString dump = m_dir.filePath(QStringLiteral("state.json"));
        QFile::remove(dump);
        QProcess workstation;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        // The user's recent files and window layout stay out of it.
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
        workstation.setProcessEnvironment(environment);
        workstation.setProcessChannelMode(QProcess::MergedChannels);
        Run run;
        workstation.start(workstationProgram, QStringList{QStringLiteral("--dump-state"), dump} + arguments);
        run.finished = workstation.waitForFinished(timeout);
        if (!run.finished)
            workstation.kill();
        workstation.waitForFinished();
        run.output = QString::fromLocal8Bit(workstation.readAll())
                     + (run.finished ? QString() : workstation.errorString());
        run.exitCode = workstation.exitStatus() == QProcess::NormalExit ? workstation.exitCode() : -1;
        run.state = QJsonDocument::fromJson(readFile(dump)).object();
        return run;
    }

    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestWorkstationSession)
#include "tst_workstation_session.moc"
