#include "LogDock.h"
#include "MainWindow.h"
#include "MapView.h"
#include "ModuleHost.h"
#include "ObjectTreeDock.h"
#include "ObjectTreeModel.h"
#include "OffscreenLeaks.h"
#include "PropertiesDock.h"
#include "ServiceProcess.h"

#include "connection/TcpConnection.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QIcon>
#include <QLineEdit>
#include <QLabel>
#include <QPointer>
#include <QStatusBar>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

#include <memory>

#include "DomText.h"

namespace {

const QString pluginPath = QStringLiteral(VELMORA_BIN_DIR "/../plugins/libVelmora.so");
const QString northFile = QStringLiteral(VELMORA_EXAMPLES "/north.xtsc");

// "0/1/0": row 0, then its row 1, then that one's row 0.
QModelIndex indexAt(const QAbstractItemModel& model, const QString& path)
{
    QModelIndex index;
    for (const QString& row : path.split(QLatin1Char('/')))
        index = model.index(row.toInt(), 0, index);
    return index;
}

QString displayText(const QAbstractItemModel& model, const QModelIndex& index, int column)
{
    return model.data(index.sibling(index.row(), column), Qt::DisplayRole).toString();
}

// The value shown for a property in the properties dock; null when there is no such row.
QString shownProperty(const PropertiesDock* dock, const char* name)
{
    return dock->shownValue(QLatin1String(name));
}

// The plug-in loaded, and a checked tree model that follows the host as the window's does.
struct Tree
{
    Tree()
    {
        model.setRoot(host.root());
        QObject::connect(&host, &ModuleHost::zoneAdded, &model, &ObjectTreeModel::objectAdded);
        QObject::connect(&host, &ModuleHost::zoneAboutToBeRemoved, &model, &ObjectTreeModel::objectAboutToBeRemoved);
        QObject::connect(&host, &ModuleHost::objectStateChanged, &model, &ObjectTreeModel::objectChanged);
    }
    // Zones go first: their map items may live on a scene of the test's.
    ~Tree() { host.unloadAll(); }

    ModuleHost host;
    QString error;
    const bool loaded = host.loadPlugin(pluginPath, &error);
    ObjectTreeModel model;
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::QtTest};
};

// The main window of a host with the plug-in loaded, showing one zone file.
struct Window
{
    explicit Window(const QString& file)
    {
        window->setPersistSettings(false);
        opened = loaded && window->openZone(file);
    }

    ModuleHost host;
    QString error;
    const bool loaded = host.loadPlugin(pluginPath, &error);
    std::unique_ptr<MainWindow> window = std::make_unique<MainWindow>(&host);
    LogDock* log = window->findChild<LogDock*>();
    QLineEdit* line = window->findChild<QLineEdit*>(QStringLiteral("commandLine"));
    bool opened = false;

    // As the user does: text, then Return.
    void type(const QString& text) { line->setText(text); QMetaObject::invokeMethod(line, "returnPressed"); }
};

} // namespace

class TestModuleHost : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();

    void refusesOtherLibraries();
    void treeRows_data();
    void treeRows();
    void unloadRemovesRows();
    void reloadOnZoneEdited_data();
    void reloadOnZoneEdited();
    void selectionFollows_data();
    void selectionFollows();
    void typedCommands_data();
    void typedCommands();
    void liveStatus_data();
    void liveStatus();

private:
    QTemporaryDir m_dir;
};

void TestModuleHost::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.filePath(QStringLiteral("settings")));
    QVERIFY2(QFile::exists(pluginPath), qPrintable(pluginPath));
}

void TestModuleHost::cleanup()
{
    // The root object is shared by every host in the process; no zone may leak into the next test.
    Tree tree;
    QVERIFY(tree.loaded);
    QCOMPARE(tree.host.zones().size(), 0);
}

void TestModuleHost::refusesOtherLibraries()
{
    // A library, but no plug-in.
    ModuleHost host;
    QString error;
    QVERIFY(!host.loadPlugin(QStringLiteral(VELMORA_LIB_DIR "/libqt5qsemtrahlp1.so"), &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!host.root());
    error.clear();
    QVERIFY(!host.loadZone(northFile, &error));
    QVERIFY(!error.isEmpty());
}

void TestModuleHost::treeRows_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("column0");
    QTest::addColumn<QString>("column1");
    QTest::addColumn<bool>("icon");

    QTest::newRow("zone") << "0" << "7" << "North" << true;
    QTest::newRow("controllers") << "0/0" << "Controllers(2)" << "" << false;
    QTest::newRow("second controller") << "0/0/1" << "102" << "" << false;
    QTest::newRow("area") << "0/1/0" << "3" << "Centre" << true;
    QTest::newRow("state") << "0/1/0/0/0" << "1" << "Peak" << false;
    QTest::newRow("second strategy") << "0/2/1" << "2" << "Night" << false;
}

void TestModuleHost::treeRows()
{
    QFETCH(QString, path);
    QFETCH(QString, column0);
    QFETCH(QString, column1);
    QFETCH(bool, icon);

    Tree tree;
    QObject* zone = tree.host.loadZone(northFile, &tree.error);
    QVERIFY2(zone, qPrintable(tree.error));
    QCOMPARE(tree.model.rowCount(), 1);

    const QModelIndex index = indexAt(tree.model, path);
    QVERIFY(index.isValid());
    QCOMPARE(displayText(tree.model, index, 0), column0);
    QCOMPARE(displayText(tree.model, index, 1), column1);
    QCOMPARE(!tree.model.data(index, Qt::DecorationRole).value<QIcon>().isNull(), icon);
    QObject* object = tree.model.objectAt(index);
    QCOMPARE(tree.model.indexOf(object), index);
    QCOMPARE(ModuleHost::zoneOf(object), zone);
    if (path == QLatin1String("0")) {
        QCOMPARE(displayText(tree.model, index, 2), QFileInfo(northFile).absoluteFilePath());
        QCOMPARE(tree.model.data(index, Qt::ToolTipRole).toString(), zone->property("toolTip").toString());
    }
    if (!icon)
        return;
    // The icon shows live state: its change, announced by the object (an area's
    // reaches the host through its zone), redraws the whole row; changes in
    // quick succession redraw it once.
    QSignalSpy changed(&tree.model, &QAbstractItemModel::dataChanged);
    for (int i = 0; i < 3; ++i)
        QVERIFY(QMetaObject::invokeMethod(object, "stateChanged", Q_ARG(const QObject*, object)));
    QCOMPARE(changed.count(), 0);
    QTRY_COMPARE(changed.count(), 1);
    QTest::qWait(2 * ObjectTreeModel::RefreshInterval);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.first().at(0).toModelIndex(), index);
    QCOMPARE(changed.first().at(1).toModelIndex().column(), ObjectTreeModel::ColumnCount - 1);
    QVERIFY(changed.first().at(2).value<QVector<int>>().contains(Qt::DecorationRole));
}

void TestModuleHost::unloadRemovesRows()
{
    const QString copy = m_dir.filePath(QStringLiteral("other.xtsc"));
    QVERIFY(writeFile(copy, readFile(northFile).replace("id=\"7\"", "id=\"8\"")));

    Tree tree;
    QPointer<QObject> first = tree.host.loadZone(northFile, &tree.error);
    QPointer<QObject> second = tree.host.loadZone(copy, &tree.error);
    QVERIFY(first && second);
    // The same file again gives the zone already there.
    QCOMPARE(tree.host.loadZone(QFileInfo(northFile).absolutePath() + "/./north.xtsc", &tree.error), first.data());
    QCOMPARE(tree.model.rowCount(), 2);

    tree.host.unloadZone(first);
    QVERIFY(!first);
    QCOMPARE(tree.model.rowCount(), 1);
    QCOMPARE(tree.model.objectAt(tree.model.index(0, 0)), second.data());
    QCOMPARE(displayText(tree.model, tree.model.index(0, 0), 0), QStringLiteral("8"));

    // A zone deleted behind the host's back leaves no dangling row either.
    delete second.data();
    QCOMPARE(tree.model.rowCount(), 0);
}

void TestModuleHost::reloadOnZoneEdited_data()
{
    QTest::addColumn<QString>("edited");     // the file named by zoneEdited, relative to the folder
    QTest::addColumn<QByteArray>("content"); // written there first
    QTest::addColumn<int>("zones");
    QTest::addColumn<bool>("oldKept");
    QTest::addColumn<QString>("name"); // of the zone for the edited file afterwards

    const QByteArray north = readFile(northFile);
    QVERIFY(!north.isEmpty());
    const QByteArray renamed = QByteArray(north).replace("name=\"North\"", "name=\"North edited\"");
    const QByteArray other = QByteArray(north).replace("id=\"7\" name=\"North\"", "id=\"9\" name=\"Second\"");

    QTest::newRow("rewritten") << "north.xtsc" << renamed << 1 << false << "North edited";
    QTest::newRow("other spelling of the path") << "./north.xtsc" << renamed << 1 << false << "North edited";
    QTest::newRow("new file") << "second.xtsc" << other << 2 << true << "Second";
    QTest::newRow("no longer loads") << "north.xtsc" << QByteArray("<Zone name=\"no id\"/>") << 1 << true
                                     << "North";
}

void TestModuleHost::reloadOnZoneEdited()
{
    QFETCH(QString, edited);
    QFETCH(QByteArray, content);
    QFETCH(int, zones);
    QFETCH(bool, oldKept);
    QFETCH(QString, name);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
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
    QVERIFY(QMetaObject::invokeMethod(tree.host.root(), "zoneEdited", Q_ARG(QString, path)));

    QCOMPARE(tree.host.zones().size(), zones);
    QCOMPARE(tree.model.rowCount(), zones);
    QCOMPARE(bool(old), oldKept);
    QCOMPARE(failed.count(), oldKept && zones == 1 ? 1 : 0);
    QCOMPARE(reloaded.count(), 1 - failed.count());
    QObject* zone = tree.host.zoneForFile(path);
    QVERIFY(zone);
    QCOMPARE(zone->property("name").toString(), name);
    // Wherever it came from, the zone is on the map and on the connection.
    QCOMPARE(zone->property("graphicsScene").value<QObject*>(), &scene);
    QCOMPARE(zone->property("connection").value<QObject*>(), &connection);
    QCOMPARE(displayText(tree.model, tree.model.indexOf(zone), 1), name);
    int zoneItems = 0;
    for (QGraphicsItem* item : scene.items())
        zoneItems += ModuleHost::isZone(item->data(0).value<QObject*>()) ? 1 : 0;
    QCOMPARE(zoneItems, zones);
}

void TestModuleHost::selectionFollows_data()
{
    QTest::addColumn<QString>("from");   // "tree" or "map"
    QTest::addColumn<QString>("target"); // tree path

    QTest::newRow("area row selects the area on the map") << "tree" << "0/1/0";
    QTest::newRow("zone row selects the zone on the map") << "tree" << "0";
    QTest::newRow("area on the map selects its row") << "map" << "0/1/0";
}

void TestModuleHost::selectionFollows()
{
    QFETCH(QString, from);
    QFETCH(QString, target);

    Window w(northFile);
    QVERIFY(w.opened);
    auto* tree = w.window->findChild<ObjectTreeDock*>();
    auto* properties = w.window->findChild<PropertiesDock*>();
    auto* map = w.window->findChild<MapView*>();
    QVERIFY(tree && properties && map);
    QGraphicsScene* scene = map->scene();

    const QModelIndex index = indexAt(*tree->model(), target);
    QObject* object = tree->model()->objectAt(index);
    QGraphicsItem* item = ModuleHost::graphicsItem(object);
    QVERIFY(object && item);
    if (from == QLatin1String("tree")) {
        tree->view()->setCurrentIndex(index);
        QVERIFY(object->property("selected").toBool());
        QCOMPARE(scene->selectedItems(), QList<QGraphicsItem*>{item});
    } else {
        item->setSelected(true);
        QCOMPARE(tree->currentObject(), object);
    }
    QCOMPARE(properties->object(), object);
    // Closing the window unloads its zones.
    w.window.reset();
    QCOMPARE(w.host.zones().size(), 0);
}

void TestModuleHost::typedCommands_data()
{
    QTest::addColumn<bool>("online");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("sent"); // else the text stays for the user to correct
    QTest::addColumn<QStringList>("logged");
    QTest::addColumn<QString>("tip"); // in the tool tip of the last line

    QTest::newRow("link down") << false << "SET_STRAT 2 60" << false
                               << QStringList{"zone 12 SET_STRAT not sent: the zone is not connected"} << "";
    QTest::newRow("blank") << false << "   " << false << QStringList() << "";
    // Numbers 1 to 3 are the link's own queries when it comes up.
    QTest::newRow("state query") << true << "GET_STATE" << true
                                 << QStringList{"zone 12 #4 → GET_STATE — read the zone's state",
                                                "#4 ← STATE: done (OK 0); zone "}
                                 << "команда выполнена успешно";
    QTest::newRow("strategy") << true << "set_strat 2 0" << true
                              << QStringList{"#4 → SET_STRAT strategy 2, timeout (s) 0 — set strategy",
                                             "#4 ← SET_STRAT: done (>OK 4608)"}
                              << "команда завершилась успешно";
    QTest::newRow("unknown strategy") << true << "SET_STRAT 99 0" << true
                                      << QStringList{"#4 ← SET_STRAT refused: no such strategy (>INV_STRAT 4609)"}
                                      << "неправильный номер стратегии";
    // Checked against the protocol's rows before anything goes out.
    QTest::newRow("one parameter short") << true << "SET_STRAT 2" << false
                                         << QStringList{"zone 12 SET_STRAT not sent: SET_STRAT takes 2 parameter(s), not 1"}
                                         << "";
    QTest::newRow("a word for a number") << true << "SET_STRAT two 60" << false
                                         << QStringList{"SET_STRAT not sent: strategy must be a number, not \"two\""}
                                         << "";
    QTest::newRow("unknown command") << true << "NO_SUCH_COMMAND 1" << false
                                     << QStringList{"NO_SUCH_COMMAND not sent: unknown command NO_SUCH_COMMAND"} << "";
    QTest::newRow("text reply") << true << "GET_REFER 0" << true
                                << QStringList{"#4 ← REFER: done (OK 0); \"zone\", 12, \"Zarechny District\""} << "";
}

void TestModuleHost::typedCommands()
{
    QFETCH(bool, online);
    QFETCH(QString, text);
    QFETCH(bool, sent);
    QFETCH(QStringList, logged);
    QFETCH(QString, tip);

    const QString zarechny = QStringLiteral(VELMORA_EXAMPLES "/zarechny.xtsc");
    ServiceProcess service;
    Window w(zarechny);
    QVERIFY(w.opened);
    QVERIFY(w.log && w.line && w.line->isEnabled());
    if (online) {
        QVERIFY2(service.start({zarechny}), qPrintable(service.errors()));
        w.window->connectToService(QStringLiteral("127.0.0.1"), service.port());
        // The link's own three queries are answered first.
        QTRY_VERIFY2_WITH_TIMEOUT(w.log->text().contains(QStringLiteral("zone 12 #3 ←")), qPrintable(w.log->text()),
                                  10000);
    }
    const int before = w.log->text().size();
    w.type(text);
    QCOMPARE(w.line->text().isEmpty(), sent);
    for (const QString& fragment : logged)
        QTRY_VERIFY2_WITH_TIMEOUT(w.log->text().mid(before).contains(fragment), qPrintable(w.log->text().mid(before)),
                                  10000);
    QVERIFY(!logged.isEmpty() || w.log->text().size() == before);
    // The outcome shows in the status bar too; refused lines send nothing.
    auto* status = w.window->statusBar();
    if (!logged.isEmpty() && !sent)
        QVERIFY2(status->currentMessage().contains(QLatin1String("not sent")), qPrintable(status->currentMessage()));
    if (online && !sent) {
        QTest::qWait(200);
        QVERIFY2(!w.log->text().mid(before).contains(QStringLiteral("#4 →")), qPrintable(w.log->text().mid(before)));
    }
    if (sent)
        QTRY_VERIFY2_WITH_TIMEOUT(status->currentMessage().contains(logged.last().section(QStringLiteral("← "), 1)),
                                  qPrintable(status->currentMessage()), 10000);
    if (tip.isEmpty())
        return;
    // The reply's line has the protocol's own wording of its result.
    LogModel* model = w.log->model();
    model->flush();
    QString toolTip;
    for (int row = 0; row < model->rowCount(); ++row) {
        if (model->index(row, LogModel::MessageColumn).data().toString().contains(logged.last()))
            toolTip = model->index(row, LogModel::MessageColumn).data(Qt::ToolTipRole).toString();
    }
    QVERIFY2(toolTip.contains(tip), qPrintable(toolTip));
}

void TestModuleHost::liveStatus_data()
{
    QTest::addColumn<bool>("sameConfiguration");
    QTest::newRow("service with this configuration") << true;
    QTest::newRow("service with another configuration") << false;
}

void TestModuleHost::liveStatus()
{
    QFETCH(bool, sameConfiguration);

    // Nothing polls: the banner and the zone's properties follow its signals alone.
    const QString zarechny = QStringLiteral(VELMORA_EXAMPLES "/zarechny.xtsc");
    QString served = zarechny;
    if (!sameConfiguration) {
        QByteArray edited = readFile(zarechny);
        const int name = edited.indexOf("name=\"", edited.indexOf("<Area id="));
        QVERIFY(name > 0);
        served = m_dir.filePath(QStringLiteral("served.xtsc"));
        QVERIFY(writeFile(served, edited.insert(name + 6, "Renamed ")));
    }
    ServiceProcess service;
    QVERIFY2(service.start({served}), qPrintable(service.errors()));
    Window w(zarechny);
    QVERIFY(w.opened);
    auto* properties = w.window->findChild<PropertiesDock*>();
    auto* banner = w.window->findChild<QLabel*>(QStringLiteral("hashStatus"));
    QVERIFY(properties && banner);
    QObject* zone = w.host.zones().value(0);
    QCOMPARE(properties->object(), zone);
    QCOMPARE(shownProperty(properties, "isConnected"), QStringLiteral("no"));
    QCOMPARE(shownProperty(properties, "currentStrategy"), QStringLiteral("not reported (-1)"));
    // Qt's own properties are not the operator's business.
    QVERIFY(shownProperty(properties, "graphicsScene").isNull());

    w.window->connectToService(QStringLiteral("127.0.0.1"), service.port());
    // The service's hash arrives with a reply of the link's own queries.
    QTRY_VERIFY_WITH_TIMEOUT(!shownProperty(properties, "remoteHash").isNull(), 10000);
    QCOMPARE(shownProperty(properties, "isConnected"), QStringLiteral("yes"));
    QCOMPARE(shownProperty(properties, "hashInvalid"), sameConfiguration ? QStringLiteral("no") : QStringLiteral("yes"));
    if (sameConfiguration) {
        // The strategy by its name in the file, and the control source in words.
        QTRY_VERIFY_WITH_TIMEOUT(shownProperty(properties, "currentStrategy").endsWith(QLatin1String(" (1)")), 10000);
        QVERIFY2(!shownProperty(properties, "currentStrategy").startsWith(QLatin1String("1")),
                 qPrintable(shownProperty(properties, "currentStrategy")));
        QCOMPARE(shownProperty(properties, "controlSource"), QStringLiteral("Calendar (1)"));
    }
    QCOMPARE(banner->isHidden(), sameConfiguration);
    if (!sameConfiguration)
        QVERIFY2(banner->text().contains(QLatin1String("zone 12")), qPrintable(banner->text()));

    // The link going down shows at once as well.
    service.stop();
    QTRY_COMPARE_WITH_TIMEOUT(shownProperty(properties, "isConnected"), QStringLiteral("no"), 10000);
}

QTEST_MAIN(TestModuleHost)
#include "tst_modulehost.moc"
