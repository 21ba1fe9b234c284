// The operator's hold on the window, against the real plug-in: which zone commands go to.
#include "FindingsDock.h"
#include "MapView.h"
#include "ObjectTreeDock.h"
#include "ObjectTreeModel.h"
#include "PropertiesDock.h"
#include "QtOwnLeaks.h"
#include "WorkstationFixture.h"

#include <QAction>
#include <QComboBox>
#include <QGraphicsItem>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest>

#include "DomText.h"

using namespace Velmora;

namespace {

const QString northFile = QStringLiteral(VELMORA_EXAMPLES "/north.xtsc");

// "controller 31", "area 2", "zone 5".
QString objectText(QObject* object)
{
    if (!object)
        return QStringLiteral("none");
    const char* kind = ModuleHost::isController(object) ? "controller" : ModuleHost::isArea(object) ? "area" : "zone";
    return QStringLiteral("%1 %2").arg(QLatin1String(kind)).arg(object->property("id").toInt());
}

// "area 2 of zone 7": an object and its zone, the same for its like in the zone loaded again.
QString placeText(QObject* object)
{
    QObject* zone = ModuleHost::zoneOf(object);
    return objectText(object) + (zone && zone != object ? QStringLiteral(" of zone %1").arg(zone->property("id").toInt())
                                                        : QString());
}

QObject* zoneWithId(ModuleHost& host, int id)
{
    QObject* found = nullptr;
    for (QObject* zone : host.zones())
        found = zone->property("id").toInt() == id ? zone : found;
    return found;
}

} // namespace

class TestCommands : public QObject
{
    Q_OBJECT
private slots:
    // One window for every case, its zones closed in between.
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY2(m_workstation.start(), qPrintable(m_workstation.error()));
        m_window = m_workstation.window();
        m_host = &m_workstation.host();
        m_window->resize(1000, 700);
        QVERIFY(m_workstation.show());
        // North's copy under another id, beside it on the map.
        QByteArray near = readFile(northFile);
        near.replace("id=\"7\" name=\"North\"", "id=\"6\" name=\"Near\"")
            .replace("0,0;1000,0;1000,800;0,800", "1100,0;2100,0;2100,800;1100,800")
            .replace("10,10;500,10;500,400", "1110,10;1500,10;1500,400");
        m_near = m_dir.filePath(QStringLiteral("near.xtsc"));
        m_north = m_dir.filePath(QStringLiteral("north.xtsc"));
        QVERIFY(near.contains("Near") && writeFile(m_near, near) && writeFile(m_north, readFile(northFile)));
    }

    void init()
    {
        for (QObject* zone : m_host->zones())
            m_window->closeZone(zone);
    }

    void commandZone_data()
    {
        // Steps: "map N" clicks zone N on the map; "tree N" picks zone N's first area in the tree; "choose N" picks
        // zone N beside the command line; "close N" closes zone N; "disk N" has another program write zone N's file,
        // with the tree scrolled down. After each, the command zone's id.
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QList<int>>("targets");
        // The first zone opened, until chosen otherwise.
        QTest::newRow("chosen in the tree") << QStringList{"map 6", "tree 6", "map 7", "tree 7"} << QList<int>{7, 6, 6, 7};
        QTest::newRow("chosen beside the command line, then closed")
            << QStringList{"choose 6", "map 7", "choose 7", "choose 6", "close 6"} << QList<int>{6, 6, 7, 6, 7};
        // Loaded again, a zone stays the command zone if it was, and no other becomes it.
        QTest::newRow("files changed on disk")
            << QStringList{"tree 7", "choose 6", "disk 7", "disk 6", "choose 7", "disk 7"} << QList<int>{7, 6, 6, 6, 7, 7};
    }

    // Commands go to the zone the operator chose, never to one that a click on the map happened to hit. The tree, the
    // map and the properties show the object chosen in either.
    void commandZone()
    {
        QFETCH(QStringList, steps);
        QFETCH(QList<int>, targets);
        QVERIFY(m_window->openZone(m_north) && m_window->openZone(m_near));
        m_window->fitAll();
        auto* map = m_window->findChild<MapView*>();
        auto* tree = m_window->findChild<ObjectTreeDock*>();
        auto* properties = m_window->findChild<PropertiesDock*>();
        auto* choice = m_window->findChild<QComboBox*>(QStringLiteral("commandZone"));
        QVERIFY(map && tree && properties && choice);
        QCOMPARE(choice->count(), 2);
        for (int i = 0; i < steps.size(); ++i) {
            const QString verb = steps.at(i).section(QLatin1Char(' '), 0, 0);
            QObject* zone = zoneWithId(*m_host, steps.at(i).section(QLatin1Char(' '), 1).toInt());
            QVERIFY(zone);
            if (verb == QLatin1String("map")) {
                // Inside the zone, outside its area.
                const QRectF rect = ModuleHost::graphicsItem(zone)->sceneBoundingRect();
                const QPointF at(rect.left() + 0.8 * rect.width(), rect.top() + 0.8 * rect.height());
                QTest::mouseClick(map->viewport(), Qt::LeftButton, {}, map->mapFromScene(at));
                QCOMPARE(tree->currentObject(), zone);
                QCOMPARE(properties->object(), zone);
            } else if (verb == QLatin1String("tree")) {
                QObject* area = ModuleHost::areasOf(zone).value(0);
                tree->view()->setCurrentIndex(tree->model()->indexOf(area));
                QVERIFY(area->property("selected").toBool());
                QCOMPARE(map->scene()->selectedItems(), QList<QGraphicsItem*>{ModuleHost::graphicsItem(area)});
                QCOMPARE(properties->object(), area);
            } else if (verb == QLatin1String("choose")) {
                const int index = choice->findData(QVariant::fromValue(zone));
                QVERIFY(index >= 0);
                choice->setCurrentIndex(index);
                emit choice->activated(index);
            } else if (verb == QLatin1String("close")) {
                m_window->closeZone(zone);
            } else if (verb == QLatin1String("disk")) {
                // Nothing the user looks at moves: the tree's current and first rows and the properties' object,
                // in the reloaded zone their like.
                tree->view()->scrollToBottom();
                auto shown = [&] {
                    QObject* top = tree->model()->objectAt(tree->view()->indexAt(QPoint(0, 0)));
                    return QStringList{placeText(tree->currentObject()), placeText(top), placeText(properties->object())};
                };
                const QStringList before = shown();
                const QString file = ModuleHost::zoneFile(zone);
                QVERIFY(replaceFile(file, readFile(file) + '\n'));
                QTRY_VERIFY(!m_host->zones().contains(zone));
                QCOMPARE(shown(), before);
            }
            QVERIFY(m_window->commandZone());
            QCOMPARE(m_window->commandZone()->property("id").toInt(), targets.at(i));
            QTRY_COMPARE(choice->currentData().value<QObject*>(), m_window->commandZone());
        }
    }

    // "Check zone" lists the command zone's findings; a row chooses the object of its element in the tree and map.
    void checkZone_data()
    {
        QTest::addColumn<QString>("fixture");
        QTest::addColumn<QString>("kind");   // of the first finding; empty: none
        QTest::addColumn<QString>("chosen"); // the object its row chooses
        QTest::newRow("a program inside a state") << "phase-outside-cycle" << "phase-outside-cycle" << "controller 11";
        QTest::newRow("an area of a strategy") << "repeated-area" << "repeated-area" << "area 1";
        QTest::newRow("the zone's strategies") << "no-default" << "no-default" << "zone 5";
        QTest::newRow("no faults") << "clean" << "" << "";
    }

    void checkZone()
    {
        QFETCH(QString, fixture);
        QFETCH(QString, kind);
        QFETCH(QString, chosen);
        QVERIFY(m_window->openZone(northFile));
        const QString file = QStringLiteral(VELMORA_TEST_DATA "/check/%1.xtsc").arg(fixture);
        QVERIFY(m_window->openZone(file));
        m_window->setCommandZone(zoneWithId(*m_host, 5));
        auto* action = m_window->findChild<QAction*>(QStringLiteral("checkZoneAction"));
        auto* dock = m_window->findChild<FindingsDock*>(QStringLiteral("findingsDock"));
        auto* tree = m_window->findChild<ObjectTreeDock*>();
        QVERIFY(action && dock && tree);
        action->trigger();
        QVERIFY(dock->isVisible());
        QTreeWidgetItem* first = dock->view()->topLevelItem(0);
        QVERIFY(first);
        QCOMPARE(first->text(FindingsDock::KindColumn), kind);
        if (kind.isEmpty()) {
            QCOMPARE(dock->view()->topLevelItemCount(), 1);
            QCOMPARE(first->text(FindingsDock::MessageColumn), QStringLiteral("No faults found."));
            return;
        }
        // North, chosen last, goes back to the zone of the findings' row.
        tree->showObject(zoneWithId(*m_host, 7));
        dock->view()->setCurrentItem(first);
        QCOMPARE(objectText(tree->currentObject()), chosen);
        QCOMPARE(objectText(m_window->commandZone()), QStringLiteral("zone 5"));
        if (chosen.startsWith(QLatin1String("area")))
            QVERIFY(tree->currentObject()->property("selected").toBool());
    }

private:
    QTemporaryDir m_dir;
    QString m_near;  // zone 6, beside zone 7
    QString m_north; // zone 7, to be written over
    WorkstationFixture m_workstation;
    ModuleHost* m_host = nullptr;
    MainWindow* m_window = nullptr;
};

QTEST_MAIN(TestCommands)
#include "tst_workstation_commands.moc"
