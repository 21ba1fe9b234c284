// Reading the map without a manual, against the real plug-in: the legend's
// swatches are what the module's own items paint in each state, areas carry
// their names and tool tips in words, and lights and controllers point at
// each other.
#include "Light.h"
#include "MainWindow.h"
#include "MapLegend.h"
#include "MapView.h"
#include "ModuleHost.h"
#include "ObjectTreeDock.h"
#include "ObjectTreeModel.h"
#include "OffscreenLeaks.h"
#include "PropertiesDock.h"

#include "Velmora/format/Protocol.h"
#include "semtra/Message.h"
#include "semtra/Wire.h"

#include <QFile>
#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

#include <memory>

namespace {

namespace Protocol = Velmora::Protocol;

const QString pluginPath = QStringLiteral(VELMORA_BIN_DIR "/../plugins/libVelmora.so");

// The zone has a swatch's proportions, and its one area those of the
// legend's areas, so that the same state must give the same pixels.
const char zoneXml[] = R"(<Zone id="7" name="North">
    <Geometry>0,0;44,0;44,28;0,28</Geometry>
    <Controllers>
        <Controller id="101" name="Main St / First Ave"/>
        <Controller id="102" name="Main St / Second Ave"/>
    </Controllers>
    <Calendar>
        <DayCards><DayCard id="1"><Time strategy_id="1">06:00</Time><Time strategy_id="2">22:00</Time></DayCard></DayCards>
        <WeekDistribution>1,1,1,1,1,1,1</WeekDistribution>
    </Calendar>
    <Strategies>
        <Strategy id="1" name="Day" default="1"><Area id="3" control_source="1"/></Strategy>
        <Strategy id="2" name="Night"><Area id="3" control_source="3"/></Strategy>
    </Strategies>
    <Areas>
        <Area id="3" name="Centre">
            <Geometry>10,10;26,10;26,20;10,20</Geometry>
            <Controllers>101,102</Controllers>
            <States>
                <State id="1" name="Peak"><Controller id="101" state="2"/><Controller id="102" state="1"/></State>
            </States>
            <Calendar>
                <WeekDistribution>1,1,1,1,1,1,1</WeekDistribution>
                <DayCards><DayCard id="1"><Time state_id="1">07:00</Time></DayCard></DayCards>
            </Calendar>
        </Area>
    </Areas>
</Zone>
)";
const char lightsJson[] = R"({"lights":[{"id":101,"x":32,"y":24},{"id":102,"x":40,"y":4}]})";

bool deliver(QObject* zone, int kind, const QByteArray& data)
{
    const Semtra::Command::Message message{0, 7, kind, Protocol::Tag, data};
    bool taken = false;
    return QMetaObject::invokeMethod(zone, "message", Q_RETURN_ARG(bool, taken),
                                     Q_ARG(Semtra::Command::Message, message))
        && taken;
}

bool sendEvent(QObject* zone, int id, const QVariantList& values)
{
    return deliver(zone, Semtra::Command::Event, Semtra::Wire::encodeEvent(quint32(id), 45000.5, values));
}

QString imageText(const QImage& image)
{
    QStringList colours;
    for (int x = 0; x < image.width(); x += 4)
        colours << image.pixelColor(x, image.height() / 2).name();
    return colours.join(QLatin1Char(' '));
}

} // namespace

class TestMapReading : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void areaSwatches_data();
    void areaSwatches();
    void zoneSwatches_data();
    void zoneSwatches();
    void mismatchOutline();
    void toolTips_data();
    void toolTips();
    void labels_data();
    void labels();
    void lightsAndControllers_data();
    void lightsAndControllers();

private:
    QTemporaryDir m_dir;
    ModuleHost* m_host = nullptr;
    std::unique_ptr<MainWindow> m_window;
    QObject* m_zone = nullptr;
    QObject* m_area = nullptr;
    MapView* m_map = nullptr;
};

void TestMapReading::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.filePath(QStringLiteral("settings")));
    QFile zone(m_dir.filePath(QStringLiteral("north.xtsc")));
    QVERIFY(zone.open(QIODevice::WriteOnly) && zone.write(zoneXml) > 0);
    QFile lights(m_dir.filePath(QStringLiteral("north.lights.json")));
    QVERIFY(lights.open(QIODevice::WriteOnly) && lights.write(lightsJson) > 0);
}

void TestMapReading::init()
{
    m_host = new ModuleHost;
    QString error;
    QVERIFY2(m_host->loadPlugin(pluginPath, &error), qPrintable(error));
    m_window = std::make_unique<MainWindow>(m_host);
    m_window->setPersistSettings(false);
    QVERIFY(m_window->openZone(m_dir.filePath(QStringLiteral("north.xtsc"))));
    m_window->resize(1000, 700);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    m_zone = m_host->zones().value(0);
    m_area = ModuleHost::areaById(m_zone, 3);
    m_map = m_window->findChild<MapView*>();
    QVERIFY(m_zone && m_area && m_map);
    m_map->fitRect(QRectF(0, 0, 44, 28));
}

void TestMapReading::cleanup()
{
    m_window.reset();
    delete m_host;
    m_host = nullptr;
}

void TestMapReading::areaSwatches_data()
{
    QTest::addColumn<QString>("entry"); // how the legend's text starts
    QTest::addColumn<int>("source");
    QTest::addColumn<int>("special");
    QTest::addColumn<bool>("selected");
    QTest::addColumn<bool>("drawn");

    QTest::newRow("calendar") << "Calendar (1)" << 1 << 0 << false << true;
    QTest::newRow("adaptive") << "Adaptive (2)" << 2 << 0 << false << true;
    QTest::newRow("local") << "Local (3)" << 3 << 0 << false << true;
    QTest::newRow("operator") << "Operator (4)" << 4 << 0 << false << true;
    QTest::newRow("local mode") << "Local mode (1)" << 1 << 1 << false << true;
    QTest::newRow("yellow flashing") << "Yellow flashing (2)" << 1 << 2 << false << true;
    QTest::newRow("off") << "Off (3)" << 1 << 3 << false << true;
    QTest::newRow("selected") << "Selected area" << 1 << 0 << true << true;
    QTest::newRow("not controlled") << "Not drawn" << 0 << 0 << false << false;
}

// Whatever state an area of a real zone is put in, its item paints exactly
// the legend's swatch for that state.
void TestMapReading::areaSwatches()
{
    QFETCH(QString, entry);
    QFETCH(int, source);
    QFETCH(int, special);
    QFETCH(bool, selected);
    QFETCH(bool, drawn);

    auto* legend = m_window->findChild<MapLegend*>();
    QVERIFY(legend);
    const MapLegend::Entry* row = legend->entry(entry);
    QVERIFY2(row, qPrintable(entry));
    QCOMPARE(row->section, QStringLiteral("Control area"));

    QVERIFY(sendEvent(m_zone, Protocol::AreaControlSourceEvent, {3u, uint(source)}));
    QVERIFY(sendEvent(m_zone, Protocol::AreaStateEvent, {3u, 1u, uint(special)}));
    if (selected)
        QVERIFY(m_area->setProperty("selected", true));
    const QImage painted = MapLegend::paintItem(ModuleHost::graphicsItem(m_area));
    QVERIFY2(painted == row->swatch, qPrintable(imageText(painted) + " / " + imageText(row->swatch)));

    QImage blank(MapLegend::SwatchSize, QImage::Format_ARGB32_Premultiplied);
    blank.fill(MapLegend::mapBackground());
    QCOMPARE(row->swatch != blank, drawn);
}

void TestMapReading::zoneSwatches_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("linked");
    QTest::addColumn<int>("source"); // -1: none reported
    QTest::addColumn<bool>("selected");

    QTest::newRow("not linked") << "Not linked" << false << -1 << false;
    QTest::newRow("calendar") << "Linked: Calendar (1)" << true << 1 << false;
    QTest::newRow("adaptive") << "Linked: Adaptive (2)" << true << 2 << false;
    QTest::newRow("operator") << "Linked: Operator (4)" << true << 4 << false;
    QTest::newRow("local") << "Linked: Local (3)" << true << 3 << false;
    QTest::newRow("not controlled") << "Linked: Not controlled (0)" << true << 0 << false;
    QTest::newRow("selected") << "Selected zone" << false << -1 << true;
}

void TestMapReading::zoneSwatches()
{
    QFETCH(QString, entry);
    QFETCH(bool, linked);
    QFETCH(int, source);
    QFETCH(bool, selected);

    const MapLegend::Entry* row = m_window->findChild<MapLegend*>()->entry(entry);
    QVERIFY2(row, qPrintable(entry));
    QCOMPARE(row->section, QStringLiteral("Zone"));
    if (linked)
        QVERIFY(deliver(m_zone, Semtra::Command::Connected, QByteArray(8, '\0')));
    if (source >= 0)
        QVERIFY(sendEvent(m_zone, Protocol::ZoneControlSourceEvent, {uint(source)}));
    if (selected)
        QVERIFY(m_zone->setProperty("selected", true));
    const QImage painted = MapLegend::paintItem(ModuleHost::graphicsItem(m_zone));
    QVERIFY2(painted == row->swatch, qPrintable(imageText(painted) + " / " + imageText(row->swatch)));
}

// A zone whose configuration differs from its service's gets the legend's
// dashed outline on the map; the others do not.
void TestMapReading::mismatchOutline()
{
    const QPen pen = MapLegend::mismatchPen();
    const QPoint edge = m_map->mapFromScene(QPointF(22, 28));
    auto outlined = [&] {
        m_map->viewport()->repaint();
        const QImage shot = m_map->viewport()->grab().toImage();
        for (int dy = -2; dy <= 2; ++dy) {
            for (int dx = -6; dx <= 6; ++dx) {
                if (shot.pixelColor(edge + QPoint(dx, dy)) == pen.color())
                    return true;
            }
        }
        return false;
    };
    QVERIFY(!outlined());
    m_zone->setProperty("hashInvalid", true);
    QVERIFY(outlined());
    QVERIFY(m_window->findChild<MapLegend*>()->entry(QStringLiteral("Hash mismatch")));
}

void TestMapReading::toolTips_data()
{
    QTest::addColumn<QString>("target"); // "area", "zone" or "light"
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("area") << "area"
                          << QStringList{"Area 3 \"Centre\"", "Control source: Adaptive (2)", "State: 1 \"Peak\"",
                                         "Special state: Yellow flashing (2)", "Current strategy: 2 \"Night\""};
    QTest::newRow("zone") << "zone"
                          << QStringList{"Zone 7 \"North\"", "Control source: Calendar (1)",
                                         "Current strategy: 2 \"Night\""};
    QTest::newRow("light") << "light" << QStringList{"Traffic light of controller 101 \"Main St / First Ave\""};
}

// Hovering shows what an object is and its state in words.
void TestMapReading::toolTips()
{
    QFETCH(QString, target);
    QFETCH(QStringList, lines);

    QVERIFY(sendEvent(m_zone, Protocol::ZoneControlSourceEvent, {1u}));
    QVERIFY(sendEvent(m_zone, Protocol::StrategyEvent, {2u}));
    QVERIFY(sendEvent(m_zone, Protocol::AreaControlSourceEvent, {3u, 2u}));
    QVERIFY(sendEvent(m_zone, Protocol::AreaStateEvent, {3u, 1u, 2u}));
    const QPointF at = target == QLatin1String("area") ? QPointF(18, 15)
        : target == QLatin1String("zone")              ? QPointF(5, 24)
                                                       : QPointF(32, 24);
    QObject* object = nullptr;
    const QString text = m_map->toolTipAt(m_map->mapFromScene(at), &object);
    QVERIFY(object);
    for (const QString& line : lines)
        QVERIFY2(text.split(QLatin1Char('\n')).contains(line), qPrintable(text));
}

void TestMapReading::labels_data()
{
    QTest::addColumn<qreal>("zoom"); // against the fitted zone
    QTest::addColumn<int>("source");
    QTest::addColumn<bool>("shown");

    QTest::newRow("fitted") << 1.0 << 1 << true;
    QTest::newRow("zoomed in") << 4.0 << 1 << true;
    QTest::newRow("too small to hold the name") << 0.05 << 1 << false;
    QTest::newRow("not drawn, not named") << 1.0 << 0 << false;
}

// The area's name sits at its centre while it fits; a tiny or undrawn area has none.
void TestMapReading::labels()
{
    QFETCH(qreal, zoom);
    QFETCH(int, source);
    QFETCH(bool, shown);

    QVERIFY(sendEvent(m_zone, Protocol::AreaControlSourceEvent, {3u, uint(source)}));
    m_map->zoomBy(zoom, m_map->mapFromScene(QPointF(18, 15)));
    m_map->viewport()->repaint();
    const QList<QPair<QString, QRect>> labels = m_map->labels();
    QCOMPARE(labels.size(), shown ? 1 : 0);
    if (!shown)
        return;
    QCOMPARE(labels.first().first, QStringLiteral("Centre"));
    const QPointF centre = m_map->mapFromScene(QPointF(18, 15));
    QVERIFY((QPointF(labels.first().second.center()) - centre).manhattanLength() <= 3);
}

void TestMapReading::lightsAndControllers_data()
{
    QTest::addColumn<QString>("from"); // "map": the light is clicked; "tree": the controller's row is chosen
    QTest::newRow("a light selects its controller") << "map";
    QTest::newRow("a controller highlights its light") << "tree";
}

void TestMapReading::lightsAndControllers()
{
    QFETCH(QString, from);

    auto* tree = m_window->findChild<ObjectTreeDock*>();
    auto* properties = m_window->findChild<PropertiesDock*>();
    QObject* controller = nullptr;
    for (QObject* candidate : ModuleHost::controllersOf(m_zone)) {
        if (candidate->property("id").toInt() == 101)
            controller = candidate;
    }
    QVERIFY(controller);
    QGraphicsItem* light = nullptr;
    for (QGraphicsItem* item : m_map->scene()->items()) {
        const auto* owner = qobject_cast<const Semtra::Light*>(item->data(0).value<QObject*>());
        if (owner && owner->id() == 101)
            light = item;
    }
    QVERIFY(light);

    if (from == QLatin1String("map")) {
        QTest::mouseClick(m_map->viewport(), Qt::LeftButton, {}, m_map->mapFromScene(light->scenePos()));
        QCOMPARE(tree->currentObject(), controller);
        QCOMPARE(properties->object(), controller);
    } else {
        tree->view()->setCurrentIndex(tree->model()->indexOf(controller));
        QVERIFY(light->isSelected());
        QCOMPARE(m_map->scene()->selectedItems().size(), 1);
    }
}

QTEST_MAIN(TestMapReading)
#include "tst_workstation_mapreading.moc"
