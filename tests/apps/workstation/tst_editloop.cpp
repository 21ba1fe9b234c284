// The editing loop as the operator goes through it: File → Edit zone…, the zone and one area changed in the
// module's dialogs and on the map, then the reloaded zone shown, and linked again once the service has the new
// file. The module is reached as the workstation reaches it: by object names and the meta-object system.
#include "LinkMonitor.h"
#include "LogDock.h"
#include "MapView.h"
#include "PropertiesDock.h"
#include "QtOwnLeaks.h"
#include "ServiceProcess.h"
#include "Until.h"
#include "WidgetDriver.h"
#include "WorkstationFixture.h"

#include "Velmora/format/TokenDigest.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QGraphicsItem>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include "DomText.h"

using namespace Velmora;

namespace {

QRectF areaRect(QObject* zone)
{
    const QGraphicsItem* item = ModuleHost::graphicsItem(ModuleHost::areaById(zone, 3));
    return item ? item->mapRectToScene(item->boundingRect()) : QRectF();
}

} // namespace

class TestEditLoop : public QObject
{
    Q_OBJECT
private slots:
    void editNameAndOutline()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString example = QStringLiteral(VELMORA_EXAMPLES "/north.xtsc");
        const QString file = dir.filePath(QStringLiteral("north.xtsc"));
        QVERIFY(writeFile(file, readFile(example)));
        QVERIFY(writeFile(dir.filePath(QStringLiteral("north.lights.json")),
                          readFile(QStringLiteral(VELMORA_EXAMPLES "/north.lights.json"))));

        WorkstationFixture workstation;
        QVERIFY2(workstation.start(file), qPrintable(workstation.error()));
        QVERIFY(workstation.show());
        // The service reads its own copy, so the test decides when it takes the edit.
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("served")));
        const QString served = dir.filePath(QStringLiteral("served/north.xtsc"));
        QVERIFY(writeFile(served, readFile(example)));
        ServiceProcess simulator;
        QVERIFY2(simulator.start({served}), qPrintable(simulator.errors()));
        workstation.connectTo(simulator.port());
        ModuleHost& host = workstation.host();
        MainWindow* window = workstation.window();
        window->fitAll();
        QPointer<QObject> before = host.zones().value(0);
        QVERIFY(before);
        const QRectF oldOutline = areaRect(before);
        QVERIFY(!oldOutline.isEmpty());
        LinkMonitor* links = window->linkMonitor();
        QVERIFY(QTest::qWaitFor([&] { return links->status(before) == LinkMonitor::Linked; }, 10000));

        // Every status of the reloaded zone, what the dump said then, and any area
        // state it showed before the zone was linked on the new file.
        QList<int> seen;
        QStringList remoteHashes, stale;
        auto look = [&] {
            QObject* zone = host.zones().value(0);
            if (!zone || zone == before)
                return;
            const QJsonObject dumped = window->stateJson().value("zones").toArray().first().toObject();
            const LinkMonitor::Status status = links->status(zone);
            if (seen.isEmpty() || seen.last() != status) {
                seen << status;
                remoteHashes << dumped.value("remoteHash").toString();
            }
            for (const QJsonValue& area : dumped.value("areas").toArray())
                if (status != LinkMonitor::Linked && area.toObject().value("currentState").toInt() != -1)
                    stale << QJsonDocument(area.toObject()).toJson(QJsonDocument::Compact);
        };
        const auto statusSeen = connect(links, &LinkMonitor::statusChanged, this, look);
        const auto stateSeen = connect(&host, &ModuleHost::objectStateChanged, this, look);

        QAction* edit = Drive::menuAction(window, QStringLiteral("&Edit zone…"));
        QVERIFY(edit);
        edit->trigger();
        QPointer<QDialog> zoneEditor = Drive::shownDialog(QStringLiteral("ZoneEditDlg"));
        QVERIFY2(zoneEditor, "no zone editor");
        QCOMPARE(zoneEditor->parentWidget(), window);
        auto* name = zoneEditor->findChild<QLineEdit*>(QStringLiteral("zoneName"));
        QVERIFY(name);
        QCOMPARE(name->text(), QStringLiteral("North"));
        Drive::retype(name, QStringLiteral("North edited"));

        // The area, opened from the editor's list as the user does.
        auto* areas = zoneEditor->findChild<QListWidget*>(QStringLiteral("areas"));
        QVERIFY(areas && areas->count() == 1);
        Drive::clickRow(areas, 0, true);
        QPointer<QDialog> areaEditor = Drive::shownDialog(QStringLiteral("AreaEditDlg"));
        QVERIFY2(areaEditor, "no area editor");
        // The example leaves the weekend of the area empty; the editor refuses that.
        auto* week = areaEditor->findChild<QTableWidget*>(QStringLiteral("weekDistrib"));
        for (int day = 0; day < week->columnCount(); ++day) {
            if (week->item(0, day) && week->item(0, day)->text().isEmpty()) {
                auto* editor = qobject_cast<QComboBox*>(Drive::openCellEditor(week, 0, day));
                QVERIFY2(editor && editor->count() > 0, qPrintable(QStringLiteral("day %1").arg(day)));
                editor->setCurrentIndex(0);
            }
        }

        // Outline editing on the workstation's own map: a click on empty map adds a vertex there.
        QTest::mouseClick(areaEditor->findChild<QPushButton*>(QStringLiteral("editGeometry")), Qt::LeftButton);
        QVERIFY(!areaEditor->isVisible() && !zoneEditor->isVisible());
        QDialog* tool = nullptr;
        for (QDialog* dialog : areaEditor->findChildren<QDialog*>())
            tool = dialog->isVisible() && dialog->windowFlags().testFlag(Qt::Tool) ? dialog : tool;
        QVERIFY2(tool, "no tool window for the outline");
        auto* map = window->findChild<MapView*>();
        const QPointF added(700, 600);
        QVERIFY(!oldOutline.contains(added));
        QTest::mouseClick(map->viewport(), Qt::LeftButton, {}, map->mapFromScene(added));
        QTest::mouseClick(tool->findChild<QPushButton*>(), Qt::LeftButton);
        QVERIFY(areaEditor->isVisible() && zoneEditor->isVisible());
        Drive::clickButton(areaEditor);
        QTRY_VERIFY(!areaEditor || !areaEditor->isVisible());
        Drive::clickButton(zoneEditor);

        // The module writes the file and says so; the workstation reloads it.
        QTRY_VERIFY(!before);
        QCOMPARE(host.zones().size(), 1);
        QObject* after = host.zones().first();
        QCOMPARE(after->property("name").toString(), QStringLiteral("North edited"));
        QVERIFY(ModuleHost::sameFile(ModuleHost::zoneFile(after), file));
        // The click's point is a vertex now, within the map's pixel precision: the map's coordinates are the zone's.
        const QRectF newOutline = areaRect(after);
        const qreal pixel = 2.0 / map->zoom();
        QVERIFY(qAbs(newOutline.right() - added.x()) <= pixel && qAbs(newOutline.bottom() - added.y()) <= pixel);

        // The properties follow the new zone.
        QCOMPARE(window->findChild<PropertiesDock*>()->object(), after);

        // The log says what the save changed, in words, once the comparison is done.
        const auto log = [&window] { return window->findChild<LogDock*>()->model()->text(); };
        QVERIFY2(until([&] { return log().contains(QRegularExpression("Area 3 \"[^\"]*\": outline: 3 → 4 points")); }),
                 qPrintable(log()));
        QVERIFY2(log().contains("Zone 7 \"North edited\": name \"North\" → \"North edited\""), qPrintable(log()));

        // The reloaded zone shows the mismatch until the service takes the new file and drops its clients once; then
        // it links again on the new hash by itself, and never shows the old service's states.
        QVERIFY(QTest::qWaitFor([&] { return links->status(after) == LinkMonitor::HashMismatch; }, 10000));
        QVERIFY(writeFile(served, readFile(file)));
        QVERIFY(QTest::qWaitFor([&] {
            return links->status(after) == LinkMonitor::Linked && ModuleHost::areaById(after, 3)
                && ModuleHost::areaById(after, 3)->property("currentState").toInt() != -1;
        }, 10000));
        disconnect(statusSeen);
        disconnect(stateSeen);
        const QString oldHash = QString::fromLatin1(tokenDigest(readFile(example)).toHex());
        const QString newHash = QString::fromLatin1(tokenDigest(readFile(file)).toHex());
        const int mismatch = seen.indexOf(LinkMonitor::HashMismatch);
        QVERIFY2(mismatch >= 0 && seen.last() == LinkMonitor::Linked, qPrintable(QVariant::fromValue(seen).toString()));
        QCOMPARE(remoteHashes.at(mismatch), oldHash);
        const QJsonObject dumped = window->stateJson().value("zones").toArray().first().toObject();
        QCOMPARE((QStringList{dumped.value("localHash").toString(), dumped.value("remoteHash").toString(),
                              dumped.value("link").toString()}),
                 (QStringList{newHash, newHash, "linked"}));
        QCOMPARE(stale, QStringList());
        QVERIFY(simulator.isRunning());

        // The old plan is one step away: the question lists what reverting changes, and once confirmed the files
        // are swapped and the zone reloaded.
        const QByteArray edited = readFile(file);
        QCOMPARE(readFile(file + ".bak"), readFile(example));
        PopupAnswerer answerer(QString(), QStringLiteral("Revert"));
        QPointer<QObject> editedZone = after;
        Drive::menuAction(window, QStringLiteral("Re&vert to previous version…"))->trigger();
        const QString question = answerer.boxes.join(" / ");
        QVERIFY2(question.startsWith("revertQuestion: ")
                     && question.contains("Zone 7 \"North\": name \"North edited\" → \"North\""),
                 qPrintable(question));
        QTRY_VERIFY(!editedZone);
        QCOMPARE(host.zones().size(), 1);
        QCOMPARE(host.zones().first()->property("name").toString(), QStringLiteral("North"));
        QCOMPARE(readFile(file), readFile(example));
        QCOMPARE(readFile(file + ".bak"), edited);
        workstation.closeWindow();
        QCOMPARE(host.zones().size(), 0);
    }
};

QTEST_MAIN(TestEditLoop)
#include "tst_editloop.moc"
