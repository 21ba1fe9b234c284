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

#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QPointer>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

#include <memory>

#include "DomText.h"

namespace {

namespace Protocol = Velmora::Protocol;

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
    void cleanupTestCase() { m_window.reset(); }

    void swatches_data();
    void swatches();
    void mismatchOutline();
    void toolTips_data();
    void toolTips();
    void labels_data();
    void labels();
    void lightsAndControllers_data();
    void lightsAndControllers();

private:
    QTemporaryDir m_dir;
    ModuleHost m_host;
    std::unique_ptr<MainWindow> m_window;
    QPointer<QObject> m_zone;
    QObject* m_area = nullptr;
    MapView* m_map = nullptr;
};

void TestMapReading::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.filePath(QStringLiteral("settings")));
    QVERIFY(writeFile(m_dir.filePath(QStringLiteral("north.xtsc")), zoneXml));
    QVERIFY(writeFile(m_dir.filePath(QStringLiteral("north.lights.json")), lightsJson));
    QString error;
    QVERIFY2(m_host.loadPlugin(QStringLiteral(VELMORA_PLUGIN_DIR "/libVelmora.so"), &error), qPrintable(error));
    m_window = std::make_unique<MainWindow>(&m_host);
    m_window->setPersistSettings(false);
    m_window->resize(1000, 700);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    m_map = m_window->findChild<MapView*>();
    QVERIFY(m_map);
}

// Each case starts from the zone as just opened, fitted on the map.
void TestMapReading::init()
{
    if (m_zone)
        m_window->closeZone(m_zone);
    QVERIFY(m_window->openZone(m_dir.filePath(QStringLiteral("north.xtsc"))));
    m_zone = m_host.zones().value(0);
    m_area = ModuleHost::areaById(m_zone, 3);
    QVERIFY(m_zone && m_area);
    m_map->fitRect(QRectF(0, 0, 44, 28));
}

void TestMapReading::swatches_data()
{
    QTest::addColumn<QString>("entry");   // the legend's text
    QTest::addColumn<bool>("area");       // else the zone
    QTest::addColumn<bool>("linked");     // the zone's link
    QTest::addColumn<int>("source");      // -1: none reported
    QTest::addColumn<int>("special");     // the area's
    QTest::addColumn<bool>("selected");

    QTest::newRow("area: calendar") << "Calendar (1)" << true << false << 1 << 0 << false;
    QTest::newRow("area: adaptive") << "Adaptive (2)" << true << false << 2 << 0 << false;
    QTest::newRow("area: local") << "Local (3)" << true << false << 3 << 0 << false;
    QTest::newRow("area: operator") << "Operator (4)" << true << false << 4 << 0 << false;
    QTest::newRow("area: local mode") << "Local mode (1)" << true << false << 1 << 1 << false;
    QTest::newRow("area: yellow flashing") << "Yellow flashing (2)" << true << false << 1 << 2 << false;
    QTest::newRow("area: off") << "Off (3)" << true << false << 1 << 3 << false;
    QTest::newRow("area: selected") << "Selected area" << true << false << 1 << 0 << true;
    QTest::newRow("area: not controlled") << "Not drawn" << true << false << 0 << 0 << false;
    QTest::newRow("zone: not linked") << "Not linked" << false << false << -1 << 0 << false;
    QTest::newRow("zone: calendar") << "Linked: Calendar (1)" << false << true << 1 << 0 << false;
    QTest::newRow("zone: adaptive") << "Linked: Adaptive (2)" << false << true << 2 << 0 << false;
    QTest::newRow("zone: operator") << "Linked: Operator (4)" << false << true << 4 << 0 << false;
    QTest::newRow("zone: local") << "Linked: Local (3)" << false << true << 3 << 0 << false;
    QTest::newRow("zone: not controlled") << "Linked: Not controlled (0)" << false << true << 0 << 0 << false;
    QTest::newRow("zone: selected") << "Selected zone" << false << false << -1 << 0 << true;
}

// Whatever state an area or zone is put in, its item paints exactly the
// legend's swatch for that state; an area not drawn paints nothing.
void TestMapReading::swatches()
{
    QFETCH(QString, entry);
    QFETCH(bool, area);
    QFETCH(bool, linked);
    QFETCH(int, source);
    QFETCH(int, special);
    QFETCH(bool, selected);

    const MapLegend::Entry* row = m_window->findChild<MapLegend*>()->entry(entry);
    QVERIFY2(row, qPrintable(entry));
    QCOMPARE(row->section, area ? QStringLiteral("Control area") : QStringLiteral("Zone"));
    if (linked)
        QVERIFY(deliver(m_zone, Semtra::Command::Connected, QByteArray(8, '\0')));
    if (area) {
        QVERIFY(sendEvent(m_zone, Protocol::AreaControlSourceEvent, {3u, uint(source)}));
        QVERIFY(sendEvent(m_zone, Protocol::AreaStateEvent, {3u, 1u, uint(special)}));
    } else if (source >= 0) {
        QVERIFY(sendEvent(m_zone, Protocol::ZoneControlSourceEvent, {uint(source)}));
    }
    QObject* object = area ? m_area : m_zone.data();
    QVERIFY(object->setProperty("selected", selected));
    const QImage painted = MapLegend::paintItem(ModuleHost::graphicsItem(object));
    QVERIFY2(painted == row->swatch, qPrintable(imageText(painted) + " / " + imageText(row->swatch)));

    QImage blank(MapLegend::SwatchSize, QImage::Format_ARGB32_Premultiplied);
    blank.fill(MapLegend::mapBackground());
    QCOMPARE(row->swatch == blank, entry == QLatin1String("Not drawn"));
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
    QTest::addColumn<QPointF>("at"); // on the map
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("area") << QPointF(18, 15)
                          << QStringList{"Area 3 \"Centre\"", "Control source: Adaptive (2)", "State: 1 \"Peak\"",
                                         "Special state: Yellow flashing (2)", "Current strategy: 2 \"Night\""};
    QTest::newRow("zone") << QPointF(5, 24)
                          << QStringList{"Zone 7 \"North\"", "Control source: Calendar (1)",
                                         "Current strategy: 2 \"Night\""};
    QTest::newRow("light") << QPointF(32, 24) << QStringList{"Traffic light of controller 101 \"Main St / First Ave\""};
}

// Hovering shows what an object is and its state in words.
void TestMapReading::toolTips()
{
    QFETCH(QPointF, at);
    QFETCH(QStringList, lines);

    QVERIFY(sendEvent(m_zone, Protocol::ZoneControlSourceEvent, {1u}));
    QVERIFY(sendEvent(m_zone, Protocol::StrategyEvent, {2u}));
    QVERIFY(sendEvent(m_zone, Protocol::AreaControlSourceEvent, {3u, 2u}));
    QVERIFY(sendEvent(m_zone, Protocol::AreaStateEvent, {3u, 1u, 2u}));
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
    QTest::addColumn<bool>("fromMap"); // the light is clicked; else the controller's row is chosen
    QTest::newRow("a light selects its controller") << true;
    QTest::newRow("a controller highlights its light") << false;
}

void TestMapReading::lightsAndControllers()
{
    QFETCH(bool, fromMap);

    auto* tree = m_window->findChild<ObjectTreeDock*>();
    QObject* controller = nullptr;
    for (QObject* candidate : ModuleHost::controllersOf(m_zone))
        controller = candidate->property("id").toInt() == 101 ? candidate : controller;
    QGraphicsItem* light = nullptr;
    for (QGraphicsItem* item : m_map->scene()->items()) {
        const auto* owner = qobject_cast<const Semtra::Light*>(item->data(0).value<QObject*>());
        light = owner && owner->id() == 101 ? item : light;
    }
    QVERIFY(controller && light);
    if (fromMap) {
        QTest::mouseClick(m_map->viewport(), Qt::LeftButton, {}, m_map->mapFromScene(light->scenePos()));
        QCOMPARE(tree->currentObject(), controller);
        QCOMPARE(m_window->findChild<PropertiesDock*>()->object(), controller);
    } else {
        tree->view()->setCurrentIndex(tree->model()->indexOf(controller));
        QVERIFY(light->isSelected());
        QCOMPARE(m_map->scene()->selectedItems().size(), 1);
    }
}

QTEST_MAIN(TestMapReading)
#include "tst_workstation_mapreading.moc"
