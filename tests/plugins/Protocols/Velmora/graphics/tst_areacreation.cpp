// An area made on the map from traffic lights picked one at a time.
#include <QApplication>
#include <QGraphicsEllipseItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QtTest>

#include "FakeLight.h"
#include "QtOwnLeaks.h"
#include "Velmora/format/GeometryText.h"
#include "Velmora/graphics/AreaGraphicsItem.h"

using Points = QVector<QPointF>;
Q_DECLARE_METATYPE(Points)

namespace {

// Half the corridor, in degrees of longitude.
constexpr double halfWidth = 0.0025;

QStringList debugMessages;
QtMessageHandler previousHandler = nullptr;

void captureDebug(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtDebugMsg && QByteArray(context.category) == "velmora.edit")
        debugMessages << message;
    else
        previousHandler(type, context, message);
}

// Distance from p to the polyline where the corridor is round: latitude
// stretched by `squash` (the view's |m22 / m11|, 2 without a view).
double roundDistance(const QPointF& p, const Points& line, double squash)
{
    const auto round = [&](const QPointF& q) { return QPointF(q.x(), q.y() * squash); };
    const QPointF s = round(p);
    double best = QLineF(s, round(line.first())).length();
    for (int i = 0; i + 1 < line.size(); ++i) {
        const QPointF a = round(line.at(i));
        const QPointF ab = round(line.at(i + 1)) - a;
        const double t = qBound(0.0, QPointF::dotProduct(s - a, ab) / QPointF::dotProduct(ab, ab), 1.0);
        best = qMin(best, QLineF(s, a + t * ab).length());
    }
    return best;
}

} // namespace

class AreaCreationTest : public QObject
{
    Q_OBJECT

    QGraphicsScene* m_scene = nullptr;
    QGraphicsView* m_view = nullptr;
    QObject* m_owner = nullptr;

    QGraphicsEllipseItem* addLight(const QVariant& id, const QPointF& position)
    {
        auto* item = m_scene->addEllipse(-4.5, -4.5, 9, 9);
        item->setPos(position);
        item->setFlags(QGraphicsItem::ItemIsSelectable | QGraphicsItem::ItemIgnoresTransformations);
        item->setZValue(10);
        const QString basePoint = QStringLiteral("%1 %2").arg(position.x(), 0, 'g', 15).arg(position.y(), 0, 'g', 15);
        item->setData(0, QVariant::fromValue<QObject*>(new Semtra::Light(id, basePoint, m_owner)));
        return item;
    }
    // Lights with ids first, first + 1, ...; by default three along one parallel.
    QList<QGraphicsItem*> addLights(const Points& at = {{49.1, 55.78}, {49.11, 55.78}, {49.12, 55.78}}, int first = 1)
    {
        QList<QGraphicsItem*> items;
        for (const QPointF& position : at)
            items << addLight(first + items.size(), position);
        return items;
    }
    AreaGraphicsItem* newArea() { return new AreaGraphicsItem(m_owner, m_scene, true); }
    // A click on the light where there is a view, else a selection of it alone.
    void pick(QGraphicsItem* item)
    {
        if (m_view) {
            QTest::mouseClick(m_view->viewport(), Qt::LeftButton, {}, m_view->mapFromScene(item->scenePos()));
        } else {
            m_scene->clearSelection();
            item->setSelected(true);
        }
        QVERIFY(item->isSelected());
    }

private slots:
    void init()
    {
        m_scene = new QGraphicsScene;
        m_scene->setSceneRect(QRectF(49.0, 55.7, 0.2, 0.2));
        m_owner = new QObject;
        debugMessages.clear();
        previousHandler = qInstallMessageHandler(captureDebug);
    }

    void cleanup()
    {
        qInstallMessageHandler(previousHandler);
        delete m_owner;
        delete m_view;
        m_view = nullptr;
        delete m_scene;
    }

    void corridor_data()
    {
        QTest::addColumn<QPointF>("scale"); // the view's m11 and m22; null: no view
        QTest::addColumn<Points>("lights"); // ids 11, 12, ...
        QTest::addColumn<QString>("picks");  // which lights are clicked, in turn
        QTest::addColumn<QString>("taken");  // which the area takes, in its order
        const QPointF a(49.10, 55.78), b(49.11, 55.78), c(49.11, 55.79);
        // Ends, joins and a lone light are round in whatever view the picks were made.
        QTest::newRow("right angle picked out of order, a light twice, at 53 degrees north")
            << QPointF(0.6e4, -1e4) << Points{a, c, b} << "0212" << "021";
        QTest::newRow("right angle, no view") << QPointF() << Points{a, b, c} << "012" << "012";
        QTest::newRow("single light") << QPointF(0.6e4, -1e4) << Points{b} << "0" << "0";
    }
    void corridor()
    {
        QFETCH(QPointF, scale);
        QFETCH(Points, lights);
        QFETCH(QString, picks);
        QFETCH(QString, taken);
        if (!scale.isNull()) {
            m_view = new QGraphicsView(m_scene);
            m_view->resize(400, 400);
            m_view->setTransform(QTransform::fromScale(scale.x(), scale.y()));
            m_view->centerOn(49.11, 55.785);
            m_view->show();
            QVERIFY(QTest::qWaitForWindowExposed(m_view));
        }
        const QList<QGraphicsItem*> items = addLights(lights, 11);
        auto* area = newArea();
        QSignalSpy changed(area, &AreaGraphicsItem::outlineChanged);
        for (const QChar i : picks)
            pick(items.at(i.digitValue()));
        QStringList ids;
        Points polyline, drawn;
        for (const QChar i : taken) {
            ids << QString::number(11 + i.digitValue());
            polyline << lights.at(i.digitValue());
        }
        for (int i = 0; i < area->polyline().elementCount(); ++i)
            drawn << area->polyline().elementAt(i);
        QCOMPARE(area->lightIds(), ids);
        QCOMPARE(drawn, polyline);
        QCOMPARE(changed.size(), ids.size());
        // Every corner of the outline lies half a corridor from the polyline.
        const double squash = scale.isNull() ? 2.0 : qAbs(scale.y() / scale.x());
        const QPolygonF boundary = area->outlinePolygon();
        QVERIFY(boundary.size() > 8);
        for (const QPointF& p : boundary) {
            const double d = roundDistance(p, polyline, squash) / halfWidth;
            QVERIFY2(qAbs(d - 1) < 0.01, qPrintable(QString::number(d)));
        }
        // Inside where the round corridor is; arcs are polygons whose chords fall short of the circle by 8 % at most.
        const QRectF around = QPolygonF(polyline).boundingRect().adjusted(-0.005, -0.005, 0.005, 0.005);
        for (int i = 0; i < 25 * 25; ++i) {
            const QPointF p = around.topLeft() + QPointF(around.width() * (i % 25), around.height() * (i / 25)) / 24;
            const double d = roundDistance(p, polyline, squash) / halfWidth;
            if (d < 0.92 || d > 1.01)
                QVERIFY2(area->contains(p) == (d < 1), qPrintable(QStringLiteral("point %1: %2").arg(i).arg(d)));
        }
        // The text an area takes: the closed corridor, first point repeated last.
        Points written;
        QVERIFY(Velmora::Geometry::parsePoints(area->outlineText(), &written));
        QCOMPARE(written.size(), boundary.size());
        QCOMPARE(written.first(), written.last());
        QVERIFY(debugMessages.isEmpty());
    }

    void selections_data()
    {
        QTest::addColumn<QString>("selection");
        QTest::addColumn<QStringList>("ids");
        QTest::addColumn<QStringList>("messages");
        const QStringList invalid{"Invalid selection"};
        QTest::newRow("plain object") << "object" << QStringList{"1"} << invalid;
        QTest::newRow("no object") << "nothing" << QStringList{"1"} << invalid;
        // Light markers keep their pixel size: bands are drawn on a map view.
        QTest::newRow("two lights at once") << "band 0.03" << QStringList{"1"} << QStringList();
        QTest::newRow("rubber band over one light") << "band 0.015" << QStringList{"1", "2"} << QStringList();
    }
    void selections()
    {
        QFETCH(QString, selection);
        QFETCH(QStringList, ids);
        QFETCH(QStringList, messages);
        const QList<QGraphicsItem*> lights = addLights({{49.1, 55.78}, {49.15, 55.78}, {49.16, 55.78}});
        auto* area = newArea();
        pick(lights.first());
        QObject plain;
        // A pen one scene unit wide would reach a degree beyond the rectangle.
        QGraphicsRectItem* other = m_scene->addRect(49.0, 55.7, 0.01, 0.01, QPen(Qt::black, 0));
        other->setFlag(QGraphicsItem::ItemIsSelectable);
        m_scene->clearSelection();
        if (selection == QLatin1String("object"))
            other->setData(0, QVariant::fromValue<QObject*>(&plain));
        if (selection.startsWith(QLatin1String("band"))) {
            QPainterPath band;
            band.addRect(QRectF(49.14, 55.77, selection.mid(5).toDouble(), 0.02));
            m_scene->setSelectionArea(band, Qt::IntersectsItemShape, QTransform::fromScale(1e4, -1e4));
            QCOMPARE(m_scene->selectedItems().size(), 3 - ids.size());
        } else {
            other->setSelected(true);
        }
        QCOMPARE(area->lightIds(), ids);
        QCOMPARE(debugMessages, messages);
    }

    void stopCreation_data()
    {
        QTest::addColumn<int>("lights");
        QTest::addColumn<bool>("kept");
        // A lone light is a path of one element: nothing to keep either.
        QTest::newRow("no light") << 0 << false;
        QTest::newRow("one light") << 1 << false;
        QTest::newRow("two lights") << 2 << true;
    }
    void stopCreation()
    {
        QFETCH(int, lights);
        QFETCH(bool, kept);
        const QList<QGraphicsItem*> items = addLights();
        QPointer<AreaGraphicsItem> area = newArea();
        for (int i = 0; i < lights; ++i)
            pick(items.at(i));
        const QString text = area->outlineText();
        QCOMPARE(text.isEmpty(), lights == 0);
        area->stopInteractiveCreation();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(!area.isNull(), kept);
        QCOMPARE(m_scene->items().size(), kept ? 4 : 3);
        if (!kept)
            return;
        QCOMPARE(area->flags(), QGraphicsItem::ItemIsSelectable | QGraphicsItem::ItemIsFocusable);
        // No more picks once stopped.
        pick(items.at(2));
        QCOMPARE(area->lightIds(), (QStringList{"1", "2"}));
        QCOMPARE(area->outlineText(), text);
    }

    void basePoints_data()
    {
        QTest::addColumn<QVariant>("id");
        QTest::addColumn<QVariant>("basePoint");
        QTest::addColumn<QPointF>("point"); // where the path starts; x NaN: the light is refused
        const QPointF at(49.1, 55.78);
        QTest::newRow("point value, text id") << QVariant("L7") << QVariant(at) << at;
        // Lands on the origin, which a path compares equal to no path at all.
        QTest::newRow("words count as zero") << QVariant(7) << QVariant("x y") << QPointF(0, 0);
        QTest::newRow("huge") << QVariant(7) << QVariant("1e100 -1e100") << QPointF(1e100, -1e100);
        QTest::newRow("beyond what a path holds") << QVariant(7) << QVariant("1e300 0") << QPointF(qQNaN(), 0);
        QTest::newRow("one part") << QVariant(7) << QVariant("49.1") << QPointF(qQNaN(), 0);
        QTest::newRow("not a number") << QVariant(7) << QVariant("nan 1") << QPointF(qQNaN(), 0);
        QTest::newRow("no id") << QVariant() << QVariant("49.1 55.78") << QPointF(qQNaN(), 0);
        QTest::newRow("empty id") << QVariant("") << QVariant("49.1 55.78") << QPointF(qQNaN(), 0);
        QTest::newRow("blank id") << QVariant(" \t") << QVariant("49.1 55.78") << QPointF(qQNaN(), 0);
    }
    void basePoints()
    {
        QFETCH(QVariant, id);
        QFETCH(QVariant, basePoint);
        QFETCH(QPointF, point);
        const bool added = !qIsNaN(point.x());
        m_view = new QGraphicsView(m_scene);
        m_view->setTransform(QTransform::fromScale(1e4, -1e4));
        auto* area = newArea();
        area->addLight(new Semtra::Light(id, basePoint, m_owner));
        area->addLight(new Semtra::Light(8, QStringLiteral("49.2 55.8"), m_owner));
        m_view->viewport()->grab();
        QCOMPARE(area->lightIds(), (added ? QStringList{id.toString(), "8"} : QStringList{"8"}));
        QCOMPARE(debugMessages.size(), added ? 0 : 1);
        if (added)
            QCOMPARE(QPointF(area->polyline().elementAt(0)), point);
    }

    void lifetime()
    {
        QGraphicsItem* light = addLights({{49.1, 55.78}}).first();
        QPointer<AreaGraphicsItem> area = newArea();
        pick(light);
        area->setFlag(QGraphicsItem::ItemIsSelectable);
        area->setSelected(true);
        // Its editor takes it off the map, selected as it is.
        delete area;
        QCOMPARE(m_scene->items().size(), 1);
        m_scene->clearSelection();
        light->setSelected(true);
        // A scene that goes first takes the item with it.
        area = newArea();
        delete m_scene;
        m_scene = nullptr;
        QVERIFY(area.isNull());
        QVERIFY(m_owner->findChildren<AreaGraphicsItem*>().isEmpty());
        // Without a scene there are no picks to follow.
        debugMessages.clear();
        delete new AreaGraphicsItem(m_owner, nullptr, false);
        new AreaGraphicsItem(m_owner, nullptr, true);
        QCOMPARE(debugMessages, QStringList{"Scene is not set"});
    }
};

QTEST_MAIN(AreaCreationTest)
#include "tst_areacreation.moc"