// An area made on the map from traffic lights picked one at a time.
#include <QApplication>
#include <QGraphicsEllipseItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QPointer>
#include <QtTest>

#include <cmath>

#include "OffscreenLeaks.h"
#include "Velmora/format/GeometryText.h"
#include "Velmora/graphics/AreaGraphicsItem.h"

// The host's traffic light as the module sees it: an object of this class name
// with the properties "id" and "basePoint", behind a selectable map item.
namespace Semtra {
class Light : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QVariant id MEMBER m_id)
    Q_PROPERTY(QVariant basePoint MEMBER m_basePoint)
public:
    Light(const QVariant& id, const QVariant& basePoint, QObject* parent)
        : QObject(parent), m_id(id), m_basePoint(basePoint)
    {
    }
    QVariant m_id;
    QVariant m_basePoint;
};
} // namespace Semtra

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

private slots:
    void init();
    void cleanup();
    void corridor_data();
    void corridor();
    void selections_data();
    void selections();
    void stopCreation_data();
    void stopCreation();
    void basePoints_data();
    void basePoints();
    void lifetime();

private:
    QGraphicsEllipseItem* addLight(const QVariant& id, const QPointF& position);
    void pick(QGraphicsItem* item);

    QGraphicsScene* m_scene = nullptr;
    QGraphicsView* m_view = nullptr;
    QObject* m_owner = nullptr;
};

void AreaCreationTest::init()
{
    m_scene = new QGraphicsScene;
    m_scene->setSceneRect(QRectF(49.0, 55.7, 0.2, 0.2));
    m_owner = new QObject;
    debugMessages.clear();
    previousHandler = qInstallMessageHandler(captureDebug);
}

void AreaCreationTest::cleanup()
{
    qInstallMessageHandler(previousHandler);
    delete m_owner;
    delete m_view;
    m_view = nullptr;
    delete m_scene;
}

QGraphicsEllipseItem* AreaCreationTest::addLight(const QVariant& id, const QPointF& position)
{
    auto* item = m_scene->addEllipse(-4.5, -4.5, 9, 9);
    item->setPos(position);
    item->setFlags(QGraphicsItem::ItemIsSelectable | QGraphicsItem::ItemIgnoresTransformations);
    item->setZValue(10);
    const QString basePoint = QStringLiteral("%1 %2").arg(position.x(), 0, 'g', 15).arg(position.y(), 0, 'g', 15);
    item->setData(0, QVariant::fromValue<QObject*>(new Semtra::Light(id, basePoint, m_owner)));
    return item;
}

// A click on the light where there is a view, else a selection of it alone.
void AreaCreationTest::pick(QGraphicsItem* item)
{
    if (m_view) {
        QTest::mouseClick(m_view->viewport(), Qt::LeftButton, {}, m_view->mapFromScene(item->scenePos()));
    } else {
        m_scene->clearSelection();
        item->setSelected(true);
    }
    QVERIFY(item->isSelected());
}

void AreaCreationTest::corridor_data()
{
    QTest::addColumn<qreal>("m11"); // 0: no view
    QTest::addColumn<qreal>("m22");
    QTest::addColumn<Points>("lights");
    QTest::addColumn<QList<int>>("picks");
    QTest::addColumn<QStringList>("ids");
    QTest::addColumn<Points>("polyline");
    const QPointF a(49.10, 55.78), b(49.11, 55.78), c(49.12, 55.78), up(49.11, 55.79);
    // Ends, joins and a lone light are round in whatever view the picks were made.
    QTest::newRow("right angle, north up") << 1e4 << -1e4 << Points{a, b, up} << QList<int>{0, 1, 2}
                                           << QStringList{"11", "12", "13"} << Points{a, b, up};
    QTest::newRow("right angle, at 53 degrees north") << 0.6e4 << -1e4 << Points{a, b, up} << QList<int>{0, 1, 2}
                                                      << QStringList{"11", "12", "13"} << Points{a, b, up};
    QTest::newRow("right angle, no view") << 0.0 << 0.0 << Points{a, b, up} << QList<int>{0, 1, 2}
                                          << QStringList{"11", "12", "13"} << Points{a, b, up};
    QTest::newRow("single light") << 0.6e4 << -1e4 << Points{b} << QList<int>{0} << QStringList{"11"} << Points{b};
    QTest::newRow("out of order, a light twice") << 1e4 << -1e4 << Points{a, b, c} << QList<int>{2, 0, 2, 1}
                                                 << QStringList{"13", "11", "12"} << Points{c, a, b};
}

void AreaCreationTest::corridor()
{
    QFETCH(qreal, m11);
    QFETCH(qreal, m22);
    QFETCH(Points, lights);
    QFETCH(QList<int>, picks);
    QFETCH(QStringList, ids);
    QFETCH(Points, polyline);
    if (m11 != 0) {
        m_view = new QGraphicsView(m_scene);
        m_view->resize(400, 400);
        m_view->setTransform(QTransform::fromScale(m11, m22));
        m_view->centerOn(49.11, 55.785);
        m_view->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_view));
    }
    QList<QGraphicsEllipseItem*> items;
    for (int i = 0; i < lights.size(); ++i)
        items << addLight(11 + i, lights.at(i));
    auto* area = new AreaGraphicsItem(m_owner, m_scene, true);
    QSignalSpy changed(area, &AreaGraphicsItem::outlineChanged);
    for (const int i : picks)
        pick(items.at(i));

    QCOMPARE(area->lightIds(), ids);
    QCOMPARE(changed.size(), ids.size());
    const QPainterPath path = area->polyline();
    QCOMPARE(path.elementCount(), polyline.size());
    for (int i = 0; i < polyline.size(); ++i)
        QCOMPARE(QPointF(path.elementAt(i)), polyline.at(i));

    // Every corner of the outline lies half a corridor from the polyline.
    const double squash = m11 != 0 ? qAbs(m22 / m11) : 2.0;
    const QPolygonF boundary = area->outlinePolygon();
    QVERIFY(boundary.size() > 8);
    for (const QPointF& p : boundary) {
        const double d = roundDistance(p, polyline, squash) / halfWidth;
        QVERIFY2(qAbs(d - 1) < 0.01, qPrintable(QString::number(d)));
    }
    // Inside where the round corridor is; arcs are polygons whose chords fall
    // short of the circle by 8 % at most.
    const QRectF around = QPolygonF(polyline).boundingRect().adjusted(-0.005, -0.005, 0.005, 0.005);
    for (int i = 0; i <= 24; ++i) {
        for (int j = 0; j <= 24; ++j) {
            const QPointF p(around.left() + around.width() * i / 24, around.top() + around.height() * j / 24);
            const double d = roundDistance(p, polyline, squash) / halfWidth;
            if (d < 0.92 || d > 1.01)
                QVERIFY2(area->contains(p) == (d < 1), qPrintable(QStringLiteral("%1 %2: %3").arg(i).arg(j).arg(d)));
        }
    }
    // The text an area takes: the closed corridor, first point repeated last.
    QVector<QPointF> written;
    QVERIFY(Velmora::Geometry::parsePoints(area->outlineText(), &written));
    QCOMPARE(written.size(), boundary.size());
    QCOMPARE(written.first(), written.last());
    QVERIFY(debugMessages.isEmpty());
}

void AreaCreationTest::selections_data()
{
    QTest::addColumn<QString>("selection");
    QTest::addColumn<QStringList>("ids");
    QTest::addColumn<QStringList>("messages");
    const QStringList invalid{"Invalid selection"};
    QTest::newRow("plain object") << "object" << QStringList{"1"} << invalid;
    QTest::newRow("no object") << "nothing" << QStringList{"1"} << invalid;
    QTest::newRow("the corridor itself") << "corridor" << QStringList{"1"} << invalid;
    // Light markers keep their pixel size: bands are drawn on a map view.
    QTest::newRow("two lights at once") << "band 0.03" << QStringList{"1"} << QStringList();
    QTest::newRow("rubber band over one light") << "band 0.015" << QStringList{"1", "2"} << QStringList();
}

void AreaCreationTest::selections()
{
    QFETCH(QString, selection);
    QFETCH(QStringList, ids);
    QFETCH(QStringList, messages);
    QGraphicsItem* first = addLight(1, QPointF(49.1, 55.78));
    addLight(2, QPointF(49.15, 55.78));
    addLight(3, QPointF(49.16, 55.78));
    auto* area = new AreaGraphicsItem(m_owner, m_scene, true);
    pick(first);
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
    } else if (selection == QLatin1String("corridor")) {
        area->setFlag(QGraphicsItem::ItemIsSelectable);
        area->setSelected(true);
    } else {
        other->setSelected(true);
    }
    QCOMPARE(area->lightIds(), ids);
    QCOMPARE(debugMessages, messages);
}

void AreaCreationTest::stopCreation_data()
{
    QTest::addColumn<int>("lights");
    QTest::addColumn<bool>("kept");
    // A lone light is a path of one element: nothing to keep either.
    QTest::newRow("no light") << 0 << false;
    QTest::newRow("one light") << 1 << false;
    QTest::newRow("two lights") << 2 << true;
}

void AreaCreationTest::stopCreation()
{
    QFETCH(int, lights);
    QFETCH(bool, kept);
    QList<QGraphicsItem*> items;
    for (int i = 0; i < 3; ++i)
        items << addLight(i + 1, QPointF(49.1 + i * 0.01, 55.78));
    QPointer<AreaGraphicsItem> area = new AreaGraphicsItem(m_owner, m_scene, true);
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

void AreaCreationTest::basePoints_data()
{
    QTest::addColumn<QVariant>("id");
    QTest::addColumn<QVariant>("basePoint");
    QTest::addColumn<bool>("added");
    QTest::addColumn<QPointF>("point");
    QTest::newRow("point value, text id") << QVariant("L7") << QVariant(QPointF(49.1, 55.78)) << true
                                          << QPointF(49.1, 55.78);
    // Lands on the origin, which a path compares equal to no path at all.
    QTest::newRow("words count as zero") << QVariant(7) << QVariant("x y") << true << QPointF(0, 0);
    QTest::newRow("huge") << QVariant(7) << QVariant("1e100 -1e100") << true << QPointF(1e100, -1e100);
    QTest::newRow("beyond what a path holds") << QVariant(7) << QVariant("1e300 0") << false << QPointF();
    QTest::newRow("one part") << QVariant(7) << QVariant("49.1") << false << QPointF();
    QTest::newRow("not a number") << QVariant(7) << QVariant("nan 1") << false << QPointF();
    QTest::newRow("no id") << QVariant() << QVariant("49.1 55.78") << false << QPointF();
}

void AreaCreationTest::basePoints()
{
    QFETCH(QVariant, id);
    QFETCH(QVariant, basePoint);
    QFETCH(bool, added);
    QFETCH(QPointF, point);
    m_view = new QGraphicsView(m_scene);
    m_view->setTransform(QTransform::fromScale(1e4, -1e4));
    auto* area = new AreaGraphicsItem(m_owner, m_scene, true);
    area->addLight(new Semtra::Light(id, basePoint, m_owner));
    area->addLight(new Semtra::Light(8, QStringLiteral("49.2 55.8"), m_owner));
    m_view->viewport()->grab();
    QCOMPARE(area->lightIds().size(), added ? 2 : 1);
    QCOMPARE(debugMessages.size(), added ? 0 : 1);
    if (added) {
        QCOMPARE(area->lightIds().first(), id.toString());
        QCOMPARE(QPointF(area->polyline().elementAt(0)), point);
    }
}

void AreaCreationTest::lifetime()
{
    QGraphicsItem* light = addLight(1, QPointF(49.1, 55.78));
    QPointer<AreaGraphicsItem> area = new AreaGraphicsItem(m_owner, m_scene, true);
    pick(light);
    area->setFlag(QGraphicsItem::ItemIsSelectable);
    area->setSelected(true);
    // Its editor takes it off the map, selected as it is.
    delete area;
    QCOMPARE(m_scene->items().size(), 1);
    m_scene->clearSelection();
    light->setSelected(true);

    // A scene that goes first takes the item with it.
    area = new AreaGraphicsItem(m_owner, m_scene, true);
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

QTEST_MAIN(AreaCreationTest)
#include "tst_areacreation.moc"
