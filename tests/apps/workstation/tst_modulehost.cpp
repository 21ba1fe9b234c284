// The workstation's hold on the real plug-in: the object tree, zones loaded,
// unloaded and reloaded after an edit, a file that will not open, and commands typed for a zone.
#include "LogDock.h"
#include "ObjectTreeModel.h"
#include "QtOwnLeaks.h"
#include "ServiceProcess.h"
#include "Settings.h"
#include "Until.h"
#include "WorkstationFixture.h"

#include "connection/TcpConnection.h"

#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QIcon>
#include <QLineEdit>
#include <QtTest>

#include "DomText.h"

using namespace Velmora;

namespace {

const QString northFile = QStringLiteral(VELMORA_EXAMPLES "/north.xtsc");

QString shown(const QModelIndex& index, int column)
{
    return index.siblingAtColumn(column).data().toString();
}

// The plug-in loaded, and a checked tree model that follows the host as the window's does.
struct Tree
{
    Tree()
    {
        model.setRoot(host.root());
        QObject::connect(&host, &ModuleHost::zoneAdded, &model, [this](QObject* zone) { model.objectAdded(zone); });
        QObject::connect(&host, &ModuleHost::zoneAboutToBeRemoved, &model, &ObjectTreeModel::objectAboutToBeRemoved);
        QObject::connect(&host, &ModuleHost::objectStateChanged, &model, &ObjectTreeModel::objectChanged);
    }
    // Zones go first: their map items may live on a scene of the test's.
    ~Tree() { host.unloadAll(); }

    ModuleHost host;
    QString error;
    const bool loaded = host.loadPlugin(WorkstationFixture::PluginPath, &error);
    ObjectTreeModel model;
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::QtTest};
};

} // namespace

class TestModuleHost : public QObject
{
    Q_OBJECT
private slots:
    void cleanup()
    {
        // The root object is shared by every host in the process; no zone may leak into the next test.
        Tree tree;
        QVERIFY(tree.loaded);
        QCOMPARE(tree.host.zones().size(), 0);
    }

    // The tree shows what the module says of a zone, its icon and tip included; the rows below are the module's and
    // the tree model test's.
    void treeRows()
    {
        Tree tree;
        QObject* zone = tree.host.loadZone(northFile, &tree.error);
        QVERIFY2(zone, qPrintable(tree.error));
        QCOMPARE(tree.model.rowCount(), 1);
        const QModelIndex index = tree.model.indexOf(zone);
        QCOMPARE((QStringList{shown(index, 0), shown(index, 1), shown(index, 2)}),
                 (QStringList{"7", "North", QFileInfo(northFile).absoluteFilePath()}));
        QVERIFY(!index.data(Qt::DecorationRole).value<QIcon>().isNull());
        QCOMPARE(index.data(Qt::ToolTipRole).toString(), zone->property("toolTip").toString());
    }

    // The module reads a file ahead while the event loop runs on: a load of the same file that arrives meanwhile, or
    // later by another spelling of its path, gives the one zone, not a second.
    void loadWhileReadingAhead()
    {
        Tree tree;
        QObject* meanwhile = nullptr;
        QTimer::singleShot(0, &tree.host, [&] { meanwhile = tree.host.loadZone(northFile, &tree.error); });
        QObject* zone = tree.host.loadZone(northFile, &tree.error);
        QVERIFY2(zone, qPrintable(tree.error));
        QVERIFY(until([&] { return meanwhile != nullptr; }));
        QCOMPARE(meanwhile, zone);
        QCOMPARE(tree.host.loadZone(QFileInfo(northFile).absolutePath() + "/./north.xtsc", &tree.error), zone);
        QCOMPARE(tree.host.zones().size(), 1);
        QCOMPARE(tree.model.rowCount(), 1);
    }

    void reloadOnZoneEdited_data()
    {
        QTest::addColumn<QString>("edited");     // the file named by zoneEdited, relative to the folder
        QTest::addColumn<QByteArray>("content"); // written there first
        QTest::addColumn<int>("zones");
        QTest::addColumn<bool>("oldKept");
        QTest::addColumn<QString>("name"); // of the zone for the edited file afterwards
        QTest::addColumn<int>("times");    // zoneEdited said in a row
        const QByteArray north = readFile(northFile);
        const QByteArray renamed = QByteArray(north).replace("name=\"North\"", "name=\"North edited\"");
        QTest::newRow("other spelling of the path") << "./north.xtsc" << renamed << 1 << false << "North edited" << 1;
        QTest::newRow("new file") << "second.xtsc"
                                  << QByteArray(north).replace("id=\"7\" name=\"North\"", "id=\"9\" name=\"Second\"") << 2
                                  << true << "Second" << 1;
        QTest::newRow("no longer loads") << "north.xtsc" << QByteArray("<Zone name=\"no id\"/>") << 1 << true << "North" << 1;
        QTest::newRow("said twice before the reading is in") << "north.xtsc" << renamed << 1 << false << "North edited" << 2;
    }

    void reloadOnZoneEdited()
    {
        QFETCH(QString, edited);
        QFETCH(QByteArray, content);
        QFETCH(int, zones);
        QFETCH(bool, oldKept);
        QFETCH(QString, name);
        QFETCH(int, times);
        QTemporaryDir folder;
        const QString original = folder.filePath(QStringLiteral("north.xtsc"));
        QVERIFY(writeFile(original, readFile(northFile)));
        QGraphicsScene scene;
        Semtra::TcpConnection connection;
        Tree tree;
        tree.host.setScene(&scene);
        tree.host.setConnection(&connection);
        QPointer<QObject> old = tree.host.loadZone(original, &tree.error);
        QVERIFY2(old, qPrintable(tree.error));

        const QString path = folder.path() + QLatin1Char('/') + edited;
        QVERIFY(writeFile(path, content));
        QSignalSpy failed(&tree.host, &ModuleHost::reloadFailed);
        QSignalSpy reloaded(&tree.host, &ModuleHost::zoneReloaded);
        // The module says so after writing an accepted edit.
        for (int time = 0; time < times; ++time)
            QVERIFY(QMetaObject::invokeMethod(tree.host.root(), "zoneEdited", Q_ARG(QString, path)));
        // Read while the event loop runs on, then loaded.
        QVERIFY(until([&] { return failed.count() + reloaded.count() == times; }));

        // Zones, rows, the old zone kept, reloads failed and done.
        const bool fails = oldKept && zones == 1;
        QCOMPARE((QList<int>{tree.host.zones().size(), tree.model.rowCount(), bool(old), failed.count(), reloaded.count()}),
                 (QList<int>{zones, zones, oldKept, fails * times, !fails * times}));
        QObject* zone = tree.host.zoneForFile(path);
        QVERIFY(zone);
        QCOMPARE(zone->property("name").toString() + '|' + shown(tree.model.indexOf(zone), 1), name + '|' + name);
        // Wherever it came from, the zone is on the map and on the connection.
        QCOMPARE(zone->property("graphicsScene").value<QObject*>(), &scene);
        QCOMPARE(zone->property("connection").value<QObject*>(), &connection);
        int zoneItems = 0;
        for (QGraphicsItem* item : scene.items())
            zoneItems += ModuleHost::isZone(item->data(0).value<QObject*>()) ? 1 : 0;
        QCOMPARE(zoneItems, zones);
    }

    // The user closes the edited zone while its written file is read again.
    void closedWhileReadStaysClosed()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("north.xtsc"));
        QVERIFY(writeFile(path, readFile(northFile)));
        Tree tree;
        QObject* zone = tree.host.loadZone(path, &tree.error);
        QVERIFY2(zone, qPrintable(tree.error));
        QSignalSpy read(&tree.host, &ModuleHost::zoneFileRead);
        QSignalSpy reloaded(&tree.host, &ModuleHost::zoneReloaded);

        QVERIFY(QMetaObject::invokeMethod(tree.host.root(), "zoneEdited", Q_ARG(QString, path)));
        tree.host.unloadZone(zone);
        QVERIFY(until([&] { return read.count() == 1; }));
        QCoreApplication::processEvents();

        QCOMPARE((QList<int>{tree.host.zones().size(), tree.model.rowCount(), reloaded.count()}), (QList<int>{0, 0, 0}));
    }

    void recentFileFails_data()
    {
        QTest::addColumn<QString>("fault"); // what befalls the file once it was opened
        QTest::addColumn<bool>("listed");   // still among the recent files when it fails to open
        QTest::newRow("does not read") << "broken" << true;
        QTest::newRow("its folder out of reach") << "folder gone" << true;
        QTest::newRow("deleted") << "deleted" << false;
    }

    void recentFileFails()
    {
        QFETCH(QString, fault);
        QFETCH(bool, listed);
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("share/north.xtsc"));
        QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("share")) && writeFile(path, readFile(northFile)));
        WorkstationFixture w;
        QVERIFY2(w.start(), qPrintable(w.error()));
        w.window()->setPersistSettings(true);
        QVERIFY2(w.open(path), qPrintable(w.error()));
        w.window()->closeZone(w.zone());
        if (fault == QLatin1String("broken"))
            QVERIFY(writeFile(path, "<Zone id=\"7\""));
        else if (fault == QLatin1String("deleted"))
            QVERIFY(QFile::remove(path));
        else
            QVERIFY(QDir(QFileInfo(path).path()).removeRecursively());
        QVERIFY(!w.window()->openZone(path));
        QCOMPARE(Settings().recentFiles().contains(path), listed);
    }

    void typedCommands_data()
    {
        QTest::addColumn<QString>("link"); // "up", "down", or "lost" once the line is sent
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("sent"); // else the text stays for the user to correct
        QTest::addColumn<QStringList>("logged");
        QTest::newRow("link down") << "down" << "SET_STRAT 2 60" << false
                                   << QStringList{"zone 12 SET_STRAT not sent: the zone is not connected"};
        // Numbers 1 to 3 are the link's own queries when it comes up; the zone takes the command's name in any case.
        QTest::newRow("state query") << "up" << "get_state" << true
                                     << QStringList{"zone 12 #4 → GET_STATE — read the zone's state",
                                                    "#4 ← STATE: done (OK 0); zone "};
        // Checked against the protocol's rows before anything goes out.
        QTest::newRow("one parameter short")
            << "up" << "SET_STRAT 2" << false
            << QStringList{"zone 12 SET_STRAT not sent: SET_STRAT takes 2 parameter(s), not 1"};
        // Kept whole for correcting, however long.
        QTest::newRow("long line") << "down" << "GET_STATE \"" + QString(40000, 'x') + "\"" << false
                                   << QStringList{"zone 12 GET_STATE not sent: GET_STATE takes no parameters"};
        QTest::newRow("link lost before the reply") << "lost" << "SET_STRAT 2 60" << true
                                                    << QStringList{"#4 ← SET_STRAT: no reply, the link went down"};
    }

    void typedCommands()
    {
        QFETCH(QString, link);
        QFETCH(QString, text);
        QFETCH(bool, sent);
        QFETCH(QStringList, logged);
        const QString zarechny = QStringLiteral(VELMORA_EXAMPLES "/zarechny.xtsc");
        WorkstationFixture w;
        QVERIFY2(w.start(zarechny), qPrintable(w.error()));
        auto* log = w.window()->findChild<LogDock*>();
        auto* line = w.window()->findChild<QLineEdit*>(QStringLiteral("commandLine"));
        QVERIFY(log && line && line->isEnabled());
        if (link != QLatin1String("down")) {
            // One service for every row: each row's window links up anew.
            if (!m_service.isRunning())
                QVERIFY2(m_service.start({zarechny}), qPrintable(m_service.errors()));
            w.window()->connectToService(QStringLiteral("127.0.0.1"), m_service.port());
            // The link's own three queries are answered first.
            QTRY_VERIFY2_WITH_TIMEOUT(log->text().contains(QStringLiteral("zone 12 #3 ←")), qPrintable(log->text()), 10000);
        }
        const int before = log->text().size();
        QSignalSpy requests(&w.host(), &ModuleHost::zoneRequest);
        line->setText(text);
        QMetaObject::invokeMethod(line, "returnPressed");
        // Gone before the service could answer.
        if (link == QLatin1String("lost"))
            w.window()->disconnectService();
        QCOMPARE(line->text(), sent ? QString() : text);
        QCOMPARE(requests.count(), sent ? 1 : 0); // a refused line sends nothing
        for (const QString& fragment : logged)
            QTRY_VERIFY2_WITH_TIMEOUT(log->text().mid(before).contains(fragment), qPrintable(log->text().mid(before)),
                                      10000);
    }

private:
    ServiceProcess m_service;
};

QTEST_MAIN(TestModuleHost)
#include "tst_modulehost.moc"
