// The editing loop as the operator goes through it: File → Edit zone… opens
// the module's zone editor on the open file, the zone and one area are changed
// in the editor's own dialogs and on the map, and once accepted the
// workstation shows the reloaded zone. Everything is reached the way the
// workstation reaches the module: by object names and the meta-object system.
#include "MainWindow.h"
#include "MapView.h"
#include "ModuleHost.h"
#include "ObjectTreeDock.h"
#include "ObjectTreeModel.h"
#include "OffscreenLeaks.h"
#include "PropertiesDock.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QGraphicsItem>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const QString pluginPath = QStringLiteral(VELMORA_BIN_DIR "/../plugins/libVelmora.so");
const QString northFile = QStringLiteral(VELMORA_EXAMPLES "/north.xtsc");
const QString northLights = QStringLiteral(VELMORA_EXAMPLES "/north.lights.json");

QAction* menuAction(QMainWindow* window, const QString& text)
{
    for (QAction* action : window->menuBar()->findChildren<QAction*>()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

// A visible dialog of that object name, wherever it was parented.
QDialog* shownDialog(const QString& name)
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(widget);
        if (dialog && dialog->isVisible()
            && (dialog->objectName() == name || QLatin1String(dialog->metaObject()->className()) == name))
            return dialog;
    }
    return nullptr;
}

void clickOk(QDialog* dialog)
{
    auto* box = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
    QVERIFY(box && box->button(QDialogButtonBox::Ok));
    QTest::mouseClick(box->button(QDialogButtonBox::Ok), Qt::LeftButton);
}

// Empty days of a week table get the first day card, through the cell's own
// editor as the user picks it.
void fillEmptyDays(QTableWidget* week)
{
    for (int day = 0; day < week->columnCount(); ++day) {
        QTableWidgetItem* cell = week->item(0, day);
        if (!cell || !cell->text().isEmpty())
            continue;
        const QRect rect = week->visualItemRect(cell);
        QTest::mouseClick(week->viewport(), Qt::LeftButton, {}, rect.center());
        QTest::mouseDClick(week->viewport(), Qt::LeftButton, {}, rect.center());
        auto* editor = qobject_cast<QComboBox*>(week->cellWidget(0, day));
        QVERIFY2(editor && editor->count() > 0, qPrintable(QStringLiteral("day %1").arg(day)));
        editor->setCurrentIndex(0);
        QVERIFY(!cell->text().isEmpty());
    }
}

QRectF areaRect(QObject* zone, int id)
{
    for (QObject* area : ModuleHost::areasOf(zone)) {
        if (area->property("id").toInt() == id) {
            const QGraphicsItem* item = ModuleHost::graphicsItem(area);
            return item ? item->mapRectToScene(item->boundingRect()) : QRectF();
        }
    }
    return QRectF();
}

} // namespace

class TestEditLoop : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void editNameAndOutline();

private:
    QTemporaryDir m_dir;
};

void TestEditLoop::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.filePath(QStringLiteral("settings")));
    QVERIFY2(QFile::exists(pluginPath), qPrintable(pluginPath));
}

void TestEditLoop::editNameAndOutline()
{
    const QString file = m_dir.filePath(QStringLiteral("north.xtsc"));
    QVERIFY(QFile::copy(northFile, file));
    QVERIFY(QFile::copy(northLights, m_dir.filePath(QStringLiteral("north.lights.json"))));

    ModuleHost host;
    QString error;
    QVERIFY2(host.loadPlugin(pluginPath, &error), qPrintable(error));
    auto window = std::make_unique<MainWindow>(&host);
    window->setPersistSettings(false);
    QVERIFY(window->openZone(file));
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    window->fitAll();
    QPointer<QObject> before = host.zones().value(0);
    QVERIFY(before);
    const QRectF oldOutline = areaRect(before, 3);
    QVERIFY(!oldOutline.isEmpty());

    QAction* edit = menuAction(window.get(), QStringLiteral("&Edit zone…"));
    QVERIFY(edit);
    edit->trigger();
    QPointer<QDialog> zoneEditor = shownDialog(QStringLiteral("ZoneEditDlg"));
    QVERIFY2(zoneEditor, "no zone editor");
    QCOMPARE(zoneEditor->parentWidget(), window.get());

    auto* name = zoneEditor->findChild<QLineEdit*>(QStringLiteral("zoneName"));
    QVERIFY(name);
    QCOMPARE(name->text(), QStringLiteral("North"));
    name->selectAll();
    QTest::keyClicks(name, QStringLiteral("North edited"));
    QCOMPARE(name->text(), QStringLiteral("North edited"));

    // The area, opened from the editor's list as the user does.
    auto* areas = zoneEditor->findChild<QListWidget*>(QStringLiteral("areas"));
    QVERIFY(areas && areas->count() == 1);
    const QRect row = areas->visualItemRect(areas->item(0));
    QTest::mouseClick(areas->viewport(), Qt::LeftButton, {}, row.center());
    QTest::mouseDClick(areas->viewport(), Qt::LeftButton, {}, row.center());
    QPointer<QDialog> areaEditor = shownDialog(QStringLiteral("AreaEditDlg"));
    QVERIFY2(areaEditor, "no area editor");
    // The example leaves the weekend of the area empty; the editor refuses that.
    fillEmptyDays(areaEditor->findChild<QTableWidget*>(QStringLiteral("weekDistrib")));

    // Outline editing on the workstation's own map: a click on empty map adds
    // a vertex there.
    auto* editGeometry = areaEditor->findChild<QPushButton*>(QStringLiteral("editGeometry"));
    QVERIFY(editGeometry);
    QTest::mouseClick(editGeometry, Qt::LeftButton);
    QVERIFY(!areaEditor->isVisible() && !zoneEditor->isVisible());
    QDialog* tool = nullptr;
    for (QDialog* dialog : areaEditor->findChildren<QDialog*>()) {
        if (dialog->isVisible() && dialog->windowFlags().testFlag(Qt::Tool))
            tool = dialog;
    }
    QVERIFY2(tool, "no tool window for the outline");
    auto* map = window->findChild<MapView*>();
    QVERIFY(map);
    const QPointF added(700, 600);
    QVERIFY(!oldOutline.contains(added));
    QTest::mouseClick(map->viewport(), Qt::LeftButton, {}, map->mapFromScene(added));
    QTest::mouseClick(tool->findChild<QPushButton*>(), Qt::LeftButton);
    QVERIFY(areaEditor->isVisible() && zoneEditor->isVisible());

    clickOk(areaEditor);
    QTRY_VERIFY(!areaEditor || !areaEditor->isVisible());
    clickOk(zoneEditor);

    // The module writes the file and says so; the workstation reloads it.
    QTRY_VERIFY(!before);
    QCOMPARE(host.zones().size(), 1);
    QObject* after = host.zones().first();
    QCOMPARE(after->property("name").toString(), QStringLiteral("North edited"));
    QVERIFY(ModuleHost::sameFile(ModuleHost::zoneFile(after), file));
    const QRectF newOutline = areaRect(after, 3);
    QVERIFY2(newOutline.contains(oldOutline), "the old outline's vertices stay");
    // The click's point is a vertex now, within the map's pixel precision.
    const qreal pixel = 2.0 / map->zoom();
    QVERIFY2(qAbs(newOutline.right() - added.x()) <= pixel && qAbs(newOutline.bottom() - added.y()) <= pixel,
             qPrintable(QStringLiteral("%1,%2 %3x%4")
                            .arg(newOutline.x())
                            .arg(newOutline.y())
                            .arg(newOutline.width())
                            .arg(newOutline.height())));
    // The zone's map item now reaches around the new vertex too.
    const QGraphicsItem* zoneItem = ModuleHost::graphicsItem(after);
    QVERIFY(zoneItem);
    QVERIFY(zoneItem->mapRectToScene(zoneItem->childrenBoundingRect()).contains(newOutline));
    QCOMPARE(zoneItem->scene(), map->scene());

    // The tree and the properties follow the new zone.
    auto* tree = window->findChild<ObjectTreeDock*>();
    QCOMPARE(tree->model()->data(tree->model()->indexOf(after).siblingAtColumn(1)).toString(),
             QStringLiteral("North edited"));
    QCOMPARE(window->findChild<PropertiesDock*>()->object(), after);
    QFile written(file);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QVERIFY(written.readAll().contains("name=\"North edited\""));

    window.reset();
    QCOMPARE(host.zones().size(), 0);
}

QTEST_MAIN(TestEditLoop)
#include "tst_editloop.moc"
