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
    void initTestCase()
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
    void init()
    {
        if (m_zone)
            m_window->closeZone(m_zone);
        QVERIFY(m_window->openZone(m_dir.filePath(QStringLiteral("north.xtsc"))));
        m_zone = m_host.zones().value(0);
        m_area = ModuleHost::areaById(m_zone, 3);
        QVERIFY(m_zone && m_area);
        m_map->fitRect(QRectF(0, 0, 44, 28));
    }

    void cleanupTestCase() { m_window.reset(); }

    void swatches_data()
    {
        QTest::addColumn<QString>("entry"); // the legend's text; "Selected …" rows are selected
        QTest::addColumn<bool>("area");     // else the zone, linked when a source is given
        QTest::addColumn<int>("source");    // -1: none reported
        QTest::addColumn<int>("special");   // the area's
        const QStringList sources{"Not controlled (0)", "Calendar (1)", "Adaptive (2)", "Local (3)", "Operator (4)"};
        for (int source = 1; source <= 4; ++source) {
            QTest::addRow("area: %d", source) << sources.at(source) << true << source << 0;
            QTest::addRow("zone: %d", source) << "Linked: " + sources.at(source) << false << source << 0;
        }
        QTest::newRow("area: local mode") << "Local mode (1)" << true << 1 << 1;
        QTest::newRow("area: yellow flashing") << "Yellow flashing (2)" << true << 1 << 2;
        QTest::newRow("area: off") << "Off (3)" << true << 1 << 3;
        QTest::newRow("area: selected") << "Selected area" << true << 1 << 0;
        QTest::newRow("area: not controlled") << "Not drawn" << true << 0 << 0;
        QTest::newRow("zone: not linked") << "Not linked" << false << -1 << 0;
        QTest::newRow("zone: not controlled") << "Linked: Not controlled (0)" << false << 0 << 0;
        QTest::newRow("zone: selected") << "Selected zone" << false << -1 << 0;
    }

    // Whatever state an area or zone is put in, its item paints exactly the
    // legend's swatch for that state; an area not drawn paints nothing.
    void swatches()
    {
        QFETCH(QString, entry);
        QFETCH(bool, area);
        QFETCH(int, source);
        QFETCH(int, special);
        const MapLegend::Entry* row = m_window->findChild<MapLegend*>()->entry(entry);
        QVERIFY2(row, qPrintable(entry));
        QCOMPARE(row->section, area ? QStringLiteral("Control area") : QStringLiteral("Zone"));
        if (!area && source >= 0)
            QVERIFY(deliver(m_zone, Semtra::Command::Connected, QByteArray(8, '\0')));
        if (area) {
            QVERIFY(sendEvent(m_zone, Protocol::AreaControlSourceEvent, {3u, uint(source)}));
            QVERIFY(sendEvent(m_zone, Protocol::AreaStateEvent, {3u, 1u, uint(special)}));
        } else if (source >= 0) {
            QVERIFY(sendEvent(m_zone, Protocol::ZoneControlSourceEvent, {uint(source)}));
        }
        QObject* object = area ? m_area : m_zone.data();
        QVERIFY(object->setProperty("selected", entry.startsWith(QLatin1String("Selected"))));
        const QImage painted = MapLegend::paintItem(ModuleHost::graphicsItem(object));
        QVERIFY2(painted == row->swatch, qPrintable(imageText(painted) + " / " + imageText(row->swatch)));

        QImage blank(MapLegend::SwatchSize, QImage::Format_ARGB32_Premultiplied);
        blank.fill(MapLegend::mapBackground());
        QCOMPARE(row->swatch == blank, entry == QLatin1String("Not drawn"));
    }

    // A zone whose configuration differs from its service's gets the legend's
    // dashed outline on the map; the others do not.
    void mismatchOutline()
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

    void toolTips_data()
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
    void toolTips()
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

    void labels_data()
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
    void labels()
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

    void lightsAndControllers_data()
    {
        QTest::addColumn<bool>("fromMap"); // the light is clicked; else the controller's row is chosen
        QTest::newRow("a light selects its controller") << true;
        QTest::newRow("a controller highlights its light") << false;
    }

    void lightsAndControllers()
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

private:
    QTemporaryDir m_dir;
    ModuleHost m_host;
    std::unique_ptr<MainWindow> m_window;
    QPointer<QObject> m_zone;
    QObject* m_area = nullptr;
    MapView* m_map = nullptr;
};

QTEST_MAIN(TestMapReading)
#include "tst_workstation_mapreading.moc"
