// The map without the module: the host's traffic lights read from their
// files, and the view that fits, zooms, pans and draws them.
#include "Light.h"
#include "LightLayer.h"
#include "MapView.h"
#include "OffscreenLeaks.h"

#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QMouseEvent>
#include <QPointer>
#include <QStyle>
#include <QTemporaryDir>
#include <QtMath>
#include <QtTest>

#include <memory>

#include "DomText.h"

namespace {

const QByteArray twoLights = "{\"lights\":[{\"id\":1,\"x\":1,\"y\":2},{\"id\":2,\"x\":3,\"y\":4}]}";

// Counts the resizes a widget goes through.
class ResizeCounter : public QObject
{
public:
    explicit ResizeCounter(QWidget* widget) { widget->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        count += event->type() == QEvent::Resize ? 1 : 0;
        return false;
    }
};

// A moment of the event loop: a view that refits into its own scroll bars
// resizes its viewport thousands of times in it.
void settle()
{
    QTest::qWait(20);
}

// Whole, north up, and filling the viewport in one direction; else why not.
QString fitProblem(const MapView& view, const QRectF& rect)
{
    const QRectF shown(view.mapFromScene(QPointF(rect.left(), rect.bottom())),
                       view.mapFromScene(QPointF(rect.right(), rect.top())));
    const QRectF viewport(QPointF(0, 0), QSizeF(view.viewport()->size()));
    const qreal filled = qMax(shown.width() / viewport.width(), shown.height() / viewport.height());
    if (shown.isValid() && viewport.adjusted(-1, -1, 1, 1).contains(shown) && filled > 0.85)
        return QString();
    QString problem;
    QDebug(&problem) << shown << "in" << viewport;
    return problem;
}

// A shown map view fitted on `rect`, with room around it to zoom and pan.
struct FittedMap
{
    explicit FittedMap(const QRectF& rect = QRectF(QPointF(49.1035, 55.7815), QPointF(49.1545, 55.7975)))
    {
        const qreal room = 4 * qMax(rect.width(), rect.height());
        scene.setSceneRect(rect.adjusted(-room, -room, room, room));
        view.resize(800, 600);
        view.show();
        shown = QTest::qWaitForWindowExposed(&view);
        view.fitRect(rect);
    }
    QGraphicsScene scene;
    MapView view{&scene};
    bool shown = false;
};

} // namespace

class TestMapLayers : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void lightsFileFor_data()
    {
        QTest::addColumn<QString>("zoneFile");
        QTest::addColumn<QString>("lightsFile");
        QTest::newRow("dots in the name") << "/data/north.v2.xtsc" << "/data/north.v2.lights.json";
        QTest::newRow("dotted folder") << "/data.d/north" << "/data.d/north.lights.json";
        QTest::newRow("hidden file") << "/data/.zone" << "/data/.zone.lights.json";
    }

    void lightsFileFor()
    {
        QFETCH(QString, zoneFile);
        QFETCH(QString, lightsFile);
        QCOMPARE(LightLayer::lightsFileFor(zoneFile), lightsFile);
    }

    void badLightFiles_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("loads");
        QTest::addColumn<int>("lights");
        QTest::newRow("not json") << QByteArray("lights: 101 49.1 55.7") << false << 0;
        QTest::newRow("no list") << QByteArray("{\"points\":[]}") << false << 0;
        QTest::newRow("list is not a list") << QByteArray("{\"lights\":{}}") << false << 0;
        QTest::newRow("empty list") << QByteArray("{\"lights\":[]}") << true << 0;
        QTest::newRow("incomplete entries skipped")
            << QByteArray("{\"lights\":[{\"id\":1,\"x\":1.5,\"y\":2.5},{\"id\":2,\"x\":1},"
                          "{\"id\":\"3\",\"x\":1,\"y\":2},{\"x\":1,\"y\":2},{\"id\":5,\"x\":3,\"y\":4}]}")
            << true << 2;
    }

    void badLightFiles()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, loads);
        QFETCH(int, lights);
        QGraphicsScene scene;
        LightLayer layer(&scene);
        QString error;
        QCOMPARE(layer.load(QStringLiteral("zone"), file(QStringLiteral("bad.lights.json"), content), &error), loads);
        QCOMPARE(error.isEmpty(), loads);
        QCOMPARE(layer.count(), lights);
        QCOMPARE(scene.items().size(), lights);
    }

    void reloadReplaces()
    {
        const QString good = file(QStringLiteral("good.lights.json"), twoLights);
        QGraphicsScene scene;
        LightLayer layer(&scene);
        QString error;
        QVERIFY(layer.load(QStringLiteral("a"), good, &error));
        // What the module relies on to recognise a host light on the scene.
        for (Semtra::Light* light : layer.lights(QStringLiteral("a"))) {
            const QGraphicsItem* item = light->item();
            QVERIFY(item && item->scene() == &scene);
            QCOMPARE(item->data(0).value<QObject*>(), static_cast<QObject*>(light));
            QCOMPARE(QByteArray(light->metaObject()->className()), QByteArray("Semtra::Light"));
            QCOMPARE(item->pos(), light->property("basePoint").toPointF());
            QVERIFY(item->flags() & QGraphicsItem::ItemIgnoresTransformations);
        }
        QCOMPARE(layer.lights(QStringLiteral("a")).last()->basePoint(), QPointF(3, 4));
        QVERIFY(layer.load(QStringLiteral("b"), good, &error));
        QVERIFY(layer.load(QStringLiteral("a"), good, &error));
        QCOMPARE(scene.items().size(), 4);
        // A file that no longer reads leaves the lights that were there.
        QVERIFY(!layer.load(QStringLiteral("a"), file(QStringLiteral("broken.lights.json"), "{"), &error));
        QCOMPARE(layer.lights(QStringLiteral("a")).size(), 2);
        layer.clear(QStringLiteral("a"));
        QCOMPARE(scene.items().size(), 2);
        QCOMPARE(layer.boundingRect(), QRectF(QPointF(1, 2), QPointF(3, 4)));
    }

    void markerOwnership_data()
    {
        QTest::addColumn<QString>("first"); // what goes first
        QTest::newRow("the scene") << "scene";
        QTest::newRow("the layer") << "layer";
        QTest::newRow("the zone's lights") << "lights";
    }

    // Whichever goes first, nothing is deleted twice or left behind (the sanitizers watch).
    void markerOwnership()
    {
        QFETCH(QString, first);
        const QString path = file(QStringLiteral("two.lights.json"), twoLights);
        auto scene = std::make_unique<QGraphicsScene>();
        auto layer = std::make_unique<LightLayer>(scene.get());
        QString error;
        QVERIFY2(layer->load(QStringLiteral("zone"), path, &error), qPrintable(error));
        QList<QPointer<Semtra::Light>> lights;
        for (Semtra::Light* light : layer->lights(QStringLiteral("zone")))
            lights << light;
        QCOMPARE(lights.size(), 2);

        if (first == QLatin1String("scene")) {
            scene.reset();
            for (const QPointer<Semtra::Light>& light : qAsConst(lights))
                QVERIFY(light && !light->item());
            // Lights read after the scene went stay off any map.
            QVERIFY(layer->load(QStringLiteral("later"), path, &error));
            for (Semtra::Light* light : layer->lights(QStringLiteral("later")))
                QVERIFY(!light->item());
        } else {
            if (first == QLatin1String("layer"))
                layer.reset();
            else
                layer->clear(QStringLiteral("zone"));
            QVERIFY(scene->items().isEmpty());
        }
        scene.reset();
        layer.reset();
        for (const QPointer<Semtra::Light>& light : qAsConst(lights))
            QVERIFY(!light);
    }

    void fitNorthUp_data()
    {
        QTest::addColumn<QRectF>("rect");
        QTest::addColumn<qreal>("aspect");
        // On maps in degrees a degree of longitude is cos(latitude) of one of latitude.
        const QRectF zarechny(QPointF(49.1035, 55.7815), QPointF(49.1545, 55.7975));
        QTest::newRow("degrees, mid latitude") << zarechny << qCos(qDegreesToRadians(zarechny.center().y()));
        QTest::newRow("degrees, southern") << QRectF(151.20, -33.88, 0.02, 0.02) << qCos(qDegreesToRadians(-33.87));
        QTest::newRow("plain plane units") << QRectF(0, 0, 1000, 800) << 1.0;
    }

    void fitNorthUp()
    {
        QFETCH(QRectF, rect);
        QFETCH(qreal, aspect);
        FittedMap map(rect);
        QVERIFY(map.shown);
        const QString problem = fitProblem(map.view, rect);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        const QTransform t = map.view.transform();
        QVERIFY(qAbs(qAbs(t.m11() / t.m22()) - aspect) < 1e-9);
        // The read-out is in scene units, whatever the zoom.
        const QPointF centre = map.view.mapToScene(map.view.mapFromScene(rect.center()));
        QVERIFY(qAbs(centre.x() - rect.center().x()) < rect.width() / 50);
        QVERIFY(qAbs(centre.y() - rect.center().y()) < rect.height() / 50);
    }

    void zoomKeepsCursorPoint_data()
    {
        QTest::addColumn<qreal>("factor");
        QTest::newRow("in") << 2.0;
        QTest::newRow("out") << 0.5;
    }

    void zoomKeepsCursorPoint()
    {
        QFETCH(qreal, factor);
        FittedMap map;
        QVERIFY(map.shown);
        const QPoint cursor(230, 170);
        const QPointF under = map.view.mapToScene(cursor);
        const qreal before = map.view.zoom();
        map.view.zoomBy(factor, cursor);
        QVERIFY(qAbs(map.view.zoom() / before - factor) < 1e-9);
        const QPointF after = map.view.mapFromScene(under);
        QVERIFY2((after - QPointF(cursor)).manhattanLength() <= 2.0,
                 qPrintable(QStringLiteral("%1,%2").arg(after.x()).arg(after.y())));
        QVERIFY(map.view.transform().m22() < 0); // still north up
    }

    void fitSettles_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("wide"); // the scene's width on the edge, else its height
        QTest::newRow("wide window, scene width on the edge") << QSize(800, 600) << true;
        QTest::newRow("tall window, scene height on the edge") << QSize(500, 700) << false;
    }

    // A scene whose extent lies between what the fitted view shows with a scroll
    // bar and without one: a view that showed bars as needed would refit into its
    // own bar and out again for ever.
    void fitSettles()
    {
        QFETCH(QSize, size);
        QFETCH(bool, wide);
        QGraphicsScene scene;
        MapView view(&scene);
        const int frame = view.frameWidth();
        const int bar = view.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &view);
        // The viewport without scroll bars, along and across the edge direction.
        const qreal along = (wide ? size.width() : size.height()) - 2 * frame;
        const qreal across = (wide ? size.height() : size.width()) - 2 * frame;
        // A plane-unit rectangle fitted by its extent across: 100 units there,
        // half of what would fill the viewport along.
        const qreal fitAcross = 100;
        const qreal fitAlong = 0.5 * fitAcross * (along - bar) / across;
        // With a bar along the edge the viewport loses `bar` pixels across and
        // the fitted zoom drops from high to low; the scene's extent along needs
        // the bar only while the bar is not there. Across, it is ten times the fit.
        const qreal usable = 1.0 - 2 * MapView::FitMargin;
        const qreal high = usable * across / fitAcross;
        const qreal low = usable * (across - bar) / fitAcross;
        const qreal sceneAlong = (along - bar) / qSqrt(high * low);
        const qreal sceneAcross = 10 * fitAcross;
        const QRectF fitted = wide ? QRectF(-fitAlong / 2, -fitAcross / 2, fitAlong, fitAcross)
                                   : QRectF(-fitAcross / 2, -fitAlong / 2, fitAcross, fitAlong);
        scene.setSceneRect(wide ? QRectF(-sceneAlong / 2, -sceneAcross / 2, sceneAlong, sceneAcross)
                                : QRectF(-sceneAcross / 2, -sceneAlong / 2, sceneAcross, sceneAlong));

        view.resize(size);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        ResizeCounter resizes(view.viewport());
        view.fitRect(fitted);
        settle();
        QVERIFY2(resizes.count <= 1, qPrintable(QStringLiteral("%1 resizes").arg(resizes.count)));
        QString problem = fitProblem(view, fitted);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));

        // Still fitted, and settled, after the window changes size.
        resizes.count = 0;
        view.resize(size + QSize(37, -23));
        settle();
        QVERIFY2(resizes.count <= 2, qPrintable(QStringLiteral("%1 resizes").arg(resizes.count)));
        problem = fitProblem(view, fitted);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }

    void dragPans_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("overItem");
        QTest::addColumn<bool>("pans");
        QTest::newRow("left on empty map") << int(Qt::LeftButton) << false << true;
        QTest::newRow("middle on empty map") << int(Qt::MiddleButton) << false << true;
        QTest::newRow("middle over an item") << int(Qt::MiddleButton) << true << true;
        // The left button over an item is for the item: a click selects it.
        QTest::newRow("left over an item") << int(Qt::LeftButton) << true << false;
    }

    // Without scroll bars, dragging is how the map is moved.
    void dragPans()
    {
        QFETCH(int, button);
        QFETCH(bool, overItem);
        QFETCH(bool, pans);
        FittedMap map;
        QVERIFY(map.shown);
        MapView& view = map.view;
        const QPoint from(400, 300);
        const QPoint to(330, 360);
        const QPointF grabbed = view.mapToScene(from);
        if (overItem) {
            auto* item = map.scene.addRect(QRectF(grabbed - QPointF(0.002, 0.002), QSizeF(0.004, 0.004)));
            item->setFlag(QGraphicsItem::ItemIsSelectable);
        }
        const auto pressed = Qt::MouseButton(button);
        auto send = [&view, pressed](QEvent::Type type, const QPoint& pos, Qt::MouseButtons buttons) {
            QMouseEvent event(type, pos, view.viewport()->mapToGlobal(pos), pressed, buttons, Qt::NoModifier);
            QApplication::sendEvent(view.viewport(), &event);
        };
        send(QEvent::MouseButtonPress, from, pressed);
        send(QEvent::MouseMove, (from + to) / 2, pressed);
        send(QEvent::MouseMove, to, pressed);
        send(QEvent::MouseButtonRelease, to, Qt::NoButton);

        const QPointF under = view.mapFromScene(grabbed);
        QVERIFY2((under - QPointF(pans ? to : from)).manhattanLength() <= 2.0,
                 qPrintable(QStringLiteral("%1,%2").arg(under.x()).arg(under.y())));
        if (!pans)
            return;
        // A dragged map is the user's: a resize keeps the zoom.
        const qreal zoom = view.zoom();
        view.resize(700, 500);
        settle();
        QCOMPARE(view.zoom(), zoom);
    }

    void scaleBar_data()
    {
        QTest::addColumn<qreal>("pixelsPerUnit");
        QTest::addColumn<bool>("geographic");
        QTest::addColumn<qreal>("width");
        QTest::addColumn<QString>("text");
        QTest::newRow("plain units, zoomed out") << 0.3 << false << 150.0 << "500 units";
        QTest::newRow("metres") << 111320.0 << true << 100.0 << "100 m";
        QTest::newRow("five hundred metres") << 111320.0 / 4 << true << 125.0 << "500 m";
        QTest::newRow("two kilometres") << 111320.0 / 15 << true << 133.0 << "2 km";
    }

    // A round length of about 120 pixels, in metres on maps in degrees.
    void scaleBar()
    {
        QFETCH(qreal, pixelsPerUnit);
        QFETCH(bool, geographic);
        QFETCH(qreal, width);
        QFETCH(QString, text);
        qreal shownWidth = 0;
        QString shownText;
        MapView::scaleBar(pixelsPerUnit, geographic, 120, &shownWidth, &shownText);
        QCOMPARE(shownText, text);
        QVERIFY2(qAbs(shownWidth - width) < 1.0, qPrintable(QString::number(shownWidth)));
    }

    void labelPoint_data()
    {
        QTest::addColumn<QPolygonF>("outline");
        QTest::addColumn<QPointF>("point");
        QTest::newRow("triangle") << QPolygonF({{0, 0}, {6, 0}, {0, 6}}) << QPointF(2, 2);
        QTest::newRow("clockwise triangle") << QPolygonF({{0, 0}, {0, 6}, {6, 0}}) << QPointF(2, 2);
        // A U whose centroid lies in its gap: the middle of its bounds instead.
        QTest::newRow("centroid outside")
            << QPolygonF({{0, 0}, {10, 0}, {10, 10}, {9, 10}, {9, 1}, {1, 1}, {1, 10}, {0, 10}}) << QPointF(5, 5);
        QTest::newRow("no area") << QPolygonF(QVector<QPointF>{{0, 0}, {4, 4}}) << QPointF(2, 2);
    }

    void labelPoint()
    {
        QFETCH(QPolygonF, outline);
        QFETCH(QPointF, point);
        const QPointF found = MapView::labelPoint(outline);
        QVERIFY2((found - point).manhattanLength() < 1e-9,
                 qPrintable(QStringLiteral("%1,%2").arg(found.x()).arg(found.y())));
    }

    void frameRate_data()
    {
        QTest::addColumn<int>("changes");  // item changes, one per turn of the event loop
        QTest::addColumn<int>("interval"); // ms between them
        QTest::newRow("a storm of changes") << 100 << 0;
        QTest::newRow("changes now and then") << 2 << MapView::MinFrameInterval + 10;
        QTest::newRow("a single change") << 1 << 0;
    }

    // However fast the scene changes, the map is drawn at most every
    // MinFrameInterval ms, and always once more after the last change.
    void frameRate()
    {
        QFETCH(int, changes);
        QFETCH(int, interval);
        QGraphicsScene scene(0, 0, 100, 100);
        QList<QGraphicsRectItem*> items;
        for (int i = 0; i < 50; ++i)
            items << scene.addRect(QRectF(i * 2, 0, 1, 1), QPen(), Qt::green);
        MapView view(&scene);
        view.resize(400, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const qint64 fitted = QDateTime::currentMSecsSinceEpoch();
        view.fitRect(scene.sceneRect());
        QVERIFY(QTest::qWaitFor([&] { return view.lastFrameTime() >= fitted; }));
        // The clock past that frame: a frame stamped after a change is one drawn for it.
        QVERIFY(QTest::qWaitFor([&] { return QDateTime::currentMSecsSinceEpoch() > view.lastFrameTime(); }));

        const int before = view.frameCount();
        QElapsedTimer clock;
        clock.start();
        qint64 lastChange = 0;
        for (int i = 0; i < changes; ++i) {
            lastChange = QDateTime::currentMSecsSinceEpoch();
            // Each change a real one: the items start green.
            items.at(i % items.size())->setBrush((i / items.size()) % 2 ? Qt::green : Qt::red);
            if (interval)
                QTest::qWait(interval);
            else
                QCoreApplication::processEvents();
        }
        const qint64 elapsed = clock.elapsed();
        QVERIFY(QTest::qWaitFor([&] { return view.lastFrameTime() >= lastChange; }));
        const int frames = view.frameCount() - before;
        // One frame may come at the start, the rest a frame interval apart, one after the end.
        const int most = int(elapsed / MapView::MinFrameInterval) + 2;
        QVERIFY2(frames <= most, qPrintable(QStringLiteral("%1 frames in %2 ms").arg(frames).arg(elapsed)));
        // Spread-out changes are each drawn.
        QVERIFY2(frames >= (interval ? changes : 1), qPrintable(QStringLiteral("%1 frames").arg(frames)));
    }

private:
    QString file(const QString& name, const QByteArray& content)
    {
        return writeFile(m_dir.filePath(name), content) ? m_dir.filePath(name) : QString();
    }

    QTemporaryDir m_dir;
};

QTEST_MAIN(TestMapLayers)
#include "tst_maplayers.moc"
