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
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

namespace {

const QString pluginPath = QStringLiteral(VELMORA_BIN_DIR "/../plugins/libVelmora.so");
const QString northFile = QStringLiteral(VELMORA_EXAMPLES "/north.xtsc");

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(content) == content.size();
}

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

} // namespace

class TestModuleHost : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();

    void refusesOtherLibraries_data();
    void refusesOtherLibraries();

    void treeRows_data();
    void treeRows();
    void stateChangeRedrawsRow_data();
    void stateChangeRedrawsRow();
    void unloadRemovesRows();

    void reloadOnZoneEdited_data();
    void reloadOnZoneEdited();

    void selectionFollows_data();
    void selectionFollows();
    void commandLineRefusals_data();
    void commandLineRefusals();
    void typedCommandsReachTheService_data();
    void typedCommandsReachTheService();

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
    ModuleHost host;
    QString error;
    QVERIFY(host.loadPlugin(pluginPath, &error));
    QCOMPARE(host.zones().size(), 0);
}

void TestModuleHost::refusesOtherLibraries_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("no such file") << m_dir.filePath(QStringLiteral("libNothing.so"));
    QTest::newRow("not a plug-in") << QStringLiteral(VELMORA_LIB_DIR "/libqt5qsemtrahlp1.so");
    QTest::newRow("a zone file") << northFile;
}

void TestModuleHost::refusesOtherLibraries()
{
    QFETCH(QString, path);
    ModuleHost host;
    QString error;
    QVERIFY(!host.loadPlugin(path, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!host.root());
    QString loadError;
    QVERIFY(!host.loadZone(northFile, &loadError));
    QVERIFY(!loadError.isEmpty());
}

void TestModuleHost::treeRows_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("column0");
    QTest::addColumn<QString>("column1");
    QTest::addColumn<bool>("icon");

    QTest::newRow("zone") << "0" << "7" << "North" << true;
    QTest::newRow("controllers") << "0/0" << "Controllers(2)" << "" << false;
    QTest::newRow("first controller") << "0/0/0" << "101" << "" << false;
    QTest::newRow("second controller") << "0/0/1" << "102" << "" << false;
    QTest::newRow("areas") << "0/1" << "Control areas(1)" << "" << false;
    QTest::newRow("area") << "0/1/0" << "3" << "Centre" << true;
    QTest::newRow("states") << "0/1/0/0" << "States(1)" << "" << false;
    QTest::newRow("state") << "0/1/0/0/0" << "1" << "Peak" << false;
    QTest::newRow("strategies") << "0/2" << "Strategys(2)" << "" << false;
    QTest::newRow("first strategy") << "0/2/0" << "1" << "Day" << false;
    QTest::newRow("second strategy") << "0/2/1" << "2" << "Night" << false;
}

void TestModuleHost::treeRows()
{
    QFETCH(QString, path);
    QFETCH(QString, column0);
    QFETCH(QString, column1);
    QFETCH(bool, icon);

    ModuleHost host;
    QString error;
    QVERIFY2(host.loadPlugin(pluginPath, &error), qPrintable(error));
    ObjectTreeModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    // As the window does it: the root first, zones as they come.
    model.setRoot(host.root());
    connect(&host, &ModuleHost::zoneAdded, &model, &ObjectTreeModel::objectAdded);
    connect(&host, &ModuleHost::zoneAboutToBeRemoved, &model, &ObjectTreeModel::objectAboutToBeRemoved);
    QObject* zone = host.loadZone(northFile, &error);
    QVERIFY2(zone, qPrintable(error));
    QCOMPARE(model.rowCount(), 1);

    const QModelIndex index = indexAt(model, path);
    QVERIFY(index.isValid());
    QCOMPARE(displayText(model, index, 0), column0);
    QCOMPARE(displayText(model, index, 1), column1);
    QCOMPARE(!model.data(index, Qt::DecorationRole).value<QIcon>().isNull(), icon);
    QObject* object = model.objectAt(index);
    QCOMPARE(model.indexOf(object), index);
    QCOMPARE(ModuleHost::zoneOf(object), zone);
    if (path == QLatin1String("0")) {
        QCOMPARE(displayText(model, index, 2), QFileInfo(northFile).absoluteFilePath());
        QCOMPARE(model.data(index, Qt::ToolTipRole).toString(), zone->property("toolTip").toString());
    }
    host.unloadAll();
    QCOMPARE(model.rowCount(), 0);
}

void TestModuleHost::stateChangeRedrawsRow_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("zone") << "0";
    QTest::newRow("area") << "0/1/0";
}

void TestModuleHost::stateChangeRedrawsRow()
{
    QFETCH(QString, path);

    ModuleHost host;
    QString error;
    QVERIFY(host.loadPlugin(pluginPath, &error));
    QVERIFY(host.loadZone(northFile, &error));
    ObjectTreeModel model;
    model.setRoot(host.root());
    connect(&host, &ModuleHost::objectStateChanged, &model, &ObjectTreeModel::objectChanged);
    const QModelIndex index = indexAt(model, path);
    QObject* object = model.objectAt(index);
    QVERIFY(object);

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    // The object announces a change of its live state; an area's reaches the host through its zone.
    QVERIFY(QMetaObject::invokeMethod(object, "stateChanged", Q_ARG(const QObject*, object)));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.first().at(0).toModelIndex(), index);
    QCOMPARE(changed.first().at(1).toModelIndex().column(), ObjectTreeModel::ColumnCount - 1);
    QVERIFY(changed.first().at(2).value<QVector<int>>().contains(Qt::DecorationRole));
    host.unloadAll();
}

void TestModuleHost::unloadRemovesRows()
{
    const QString copy = m_dir.filePath(QStringLiteral("other.xtsc"));
    QVERIFY(writeAll(copy, readAll(northFile).replace("id=\"7\"", "id=\"8\"")));

    ModuleHost host;
    QString error;
    QVERIFY(host.loadPlugin(pluginPath, &error));
    ObjectTreeModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setRoot(host.root());
    connect(&host, &ModuleHost::zoneAdded, &model, &ObjectTreeModel::objectAdded);
    connect(&host, &ModuleHost::zoneAboutToBeRemoved, &model, &ObjectTreeModel::objectAboutToBeRemoved);
    QPointer<QObject> first = host.loadZone(northFile, &error);
    QPointer<QObject> second = host.loadZone(copy, &error);
    QVERIFY(first && second);
    // The same file again gives the zone already there.
    QCOMPARE(host.loadZone(QFileInfo(northFile).absolutePath() + "/./north.xtsc", &error), first.data());
    QCOMPARE(model.rowCount(), 2);

    host.unloadZone(first);
    QVERIFY(!first);
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.objectAt(model.index(0, 0)), second.data());
    QCOMPARE(displayText(model, model.index(0, 0), 0), QStringLiteral("8"));

    // A zone deleted behind the host's back leaves no dangling row either.
    delete second.data();
    QCOMPARE(model.rowCount(), 0);
}

void TestModuleHost::reloadOnZoneEdited_data()
{
    QTest::addColumn<QString>("edited");     // the file named by zoneEdited, relative to the folder
    QTest::addColumn<QByteArray>("content"); // written there first
    QTest::addColumn<int>("zones");
    QTest::addColumn<bool>("oldKept");
    QTest::addColumn<QString>("name"); // of the zone for the edited file afterwards

    const QByteArray north = readAll(northFile);
    QVERIFY(!north.isEmpty());
    QByteArray renamed = north;
    renamed.replace("name=\"North\"", "name=\"North edited\"");
    QByteArray other = north;
    other.replace("id=\"7\" name=\"North\"", "id=\"9\" name=\"Second\"");

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
    QVERIFY(writeAll(original, readAll(northFile)));

    ModuleHost host;
    QString error;
    QVERIFY(host.loadPlugin(pluginPath, &error));
    QGraphicsScene scene;
    Semtra::TcpConnection connection;
    host.setScene(&scene);
    host.setConnection(&connection);
    ObjectTreeModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setRoot(host.root());
    connect(&host, &ModuleHost::zoneAdded, &model, &ObjectTreeModel::objectAdded);
    connect(&host, &ModuleHost::zoneAboutToBeRemoved, &model, &ObjectTreeModel::objectAboutToBeRemoved);
    QPointer<QObject> old = host.loadZone(original, &error);
    QVERIFY2(old, qPrintable(error));

    const QString path = folder.path() + QLatin1Char('/') + edited;
    QVERIFY(writeAll(path, content));
    QSignalSpy failed(&host, &ModuleHost::reloadFailed);
    QSignalSpy reloaded(&host, &ModuleHost::zoneReloaded);
    // The module says so after writing an accepted edit.
    QVERIFY(QMetaObject::invokeMethod(host.root(), "zoneEdited", Q_ARG(QString, path)));

    QCOMPARE(host.zones().size(), zones);
    QCOMPARE(model.rowCount(), zones);
    QCOMPARE(bool(old), oldKept);
    QCOMPARE(failed.count(), oldKept && zones == 1 ? 1 : 0);
    QCOMPARE(reloaded.count(), 1 - failed.count());
    QObject* zone = host.zoneForFile(path);
    QVERIFY(zone);
    QCOMPARE(zone->property("name").toString(), name);
    // Wherever it came from, the zone is on the map and on the connection.
    QCOMPARE(zone->property("graphicsScene").value<QObject*>(), &scene);
    QCOMPARE(zone->property("connection").value<QObject*>(), &connection);
    QCOMPARE(displayText(model, model.indexOf(zone), 1), name);
    int zoneItems = 0;
    for (QGraphicsItem* item : scene.items())
        zoneItems += ModuleHost::isZone(item->data(0).value<QObject*>()) ? 1 : 0;
    QCOMPARE(zoneItems, zones);
    host.unloadAll();
}

void TestModuleHost::selectionFollows_data()
{
    QTest::addColumn<QString>("from");   // "tree" or "map"
    QTest::addColumn<QString>("target"); // tree path, or "light"

    QTest::newRow("area row selects the area on the map") << "tree" << "0/1/0";
    QTest::newRow("zone row selects the zone on the map") << "tree" << "0";
    QTest::newRow("area on the map selects its row") << "map" << "0/1/0";
    QTest::newRow("zone on the map selects its row") << "map" << "0";
    QTest::newRow("light on the map shows its properties") << "map" << "light";
}

void TestModuleHost::selectionFollows()
{
    QFETCH(QString, from);
    QFETCH(QString, target);

    ModuleHost host;
    QString error;
    QVERIFY(host.loadPlugin(pluginPath, &error));
    {
        MainWindow window(&host);
        window.setPersistSettings(false);
        QVERIFY(window.openZone(northFile));
        auto* tree = window.findChild<ObjectTreeDock*>();
        auto* properties = window.findChild<PropertiesDock*>();
        auto* map = window.findChild<MapView*>();
        QVERIFY(tree && properties && map);
        QGraphicsScene* scene = map->scene();

        if (target == QLatin1String("light")) {
            QGraphicsItem* light = nullptr;
            for (QGraphicsItem* item : scene->items()) {
                QObject* object = item->data(0).value<QObject*>();
                if (object && object->inherits("Semtra::Light"))
                    light = item;
            }
            QVERIFY(light);
            const QObject* current = tree->currentObject();
            light->setSelected(true);
            QCOMPARE(properties->object()->metaObject()->className(), "Semtra::Light");
            QCOMPARE(tree->currentObject(), current);
            return;
        }

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
    }
    QCOMPARE(host.zones().size(), 0);
}

void TestModuleHost::commandLineRefusals_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("logged");

    QTest::newRow("link down") << "SET_STRAT 2 60" << "SET_STRAT not sent: the zone is not connected";
    QTest::newRow("lower case") << "get_state" << "get_state not sent: the zone is not connected";
    QTest::newRow("blank") << "   " << "";
}

void TestModuleHost::commandLineRefusals()
{
    QFETCH(QString, text);
    QFETCH(QString, logged);

    ModuleHost host;
    QString error;
    QVERIFY(host.loadPlugin(pluginPath, &error));
    MainWindow window(&host);
    window.setPersistSettings(false);
    QVERIFY(window.openZone(northFile));
    auto* log = window.findChild<LogDock*>();
    auto* line = window.findChild<QLineEdit*>(QStringLiteral("commandLine"));
    QVERIFY(log && line);
    QVERIFY(line->isEnabled());
    const QString before = log->text();
    line->setText(text);
    QMetaObject::invokeMethod(line, "returnPressed");
    const QString added = log->text().mid(before.size());
    if (logged.isEmpty()) {
        QVERIFY2(added.isEmpty(), qPrintable(added));
    } else {
        QVERIFY2(added.contains(logged), qPrintable(added));
        QVERIFY(added.contains(QLatin1String("zone 7 \"North\"")));
    }
}

void TestModuleHost::typedCommandsReachTheService_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("sent");
    QTest::addColumn<QStringList>("logged");

    // Numbers 1 to 3 are the link's own queries when it comes up.
    QTest::newRow("state query") << "GET_STATE" << true
                                 << QStringList{"#4 zone 12", "GET_STATE (code 4352)", "← result 0 OK", "reply 4352: "};
    QTest::newRow("strategy") << "set_strat 2 0" << true << QStringList{"set_strat 2 0 (code 4097: 2, 0)", "4608 >OK"};
    QTest::newRow("unknown strategy") << "SET_STRAT 99 0" << true
                                      << QStringList{"4609 >INV_STRAT", "неправильный номер стратегии"};
    QTest::newRow("unknown area") << "SET_ASTATE 77 1 0" << true << QStringList{"4611 >INV_AREA"};
    QTest::newRow("text reply") << "GET_REFER 0" << true
                                << QStringList{"reply 4353: \"zone\", 12, \"Zarechny District\""};
    // Not sent: the text stays for the user to correct.
    QTest::newRow("unknown command") << "NO_SUCH_COMMAND 1" << false
                                     << QStringList{"NO_SUCH_COMMAND not sent: unknown command or unsupported parameters"};
}

void TestModuleHost::typedCommandsReachTheService()
{
    QFETCH(QString, text);
    QFETCH(bool, sent);
    QFETCH(QStringList, logged);

    const QString zarechny = QStringLiteral(VELMORA_EXAMPLES "/zarechny.xtsc");
    ServiceProcess service;
    QVERIFY2(service.start({zarechny}), qPrintable(service.errors()));
    ModuleHost host;
    QString error;
    QVERIFY(host.loadPlugin(pluginPath, &error));
    MainWindow window(&host);
    window.setPersistSettings(false);
    QVERIFY(window.openZone(zarechny));
    window.connectToService(QStringLiteral("127.0.0.1"), service.port());
    QObject* zone = host.zones().value(0);
    QVERIFY(zone);
    QTRY_VERIFY_WITH_TIMEOUT(zone->property("isConnected").toBool(), 10000);
    auto* log = window.findChild<LogDock*>();
    auto* line = window.findChild<QLineEdit*>(QStringLiteral("commandLine"));
    // The link's own three queries are answered first.
    QTRY_VERIFY_WITH_TIMEOUT(log->text().contains(QLatin1String("#3 zone 12")) && log->text().count(QStringLiteral("←")) == 3,
                             10000);
    const int before = log->text().size();
    line->setText(text);
    QMetaObject::invokeMethod(line, "returnPressed");
    QCOMPARE(line->text().isEmpty(), sent);
    for (const QString& fragment : logged)
        QTRY_VERIFY2_WITH_TIMEOUT(log->text().mid(before).contains(fragment), qPrintable(log->text().mid(before)), 10000);
}

QTEST_MAIN(TestModuleHost)
#include "tst_modulehost.moc"
