// The map without the module: the host's traffic lights read from their
// files, what the module finds of them on the scene, and a fit that settles.
#include "Light.h"
#include "LightLayer.h"
#include "MapView.h"
#include "QtOwnLeaks.h"

#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QStyle>
#include <QtTest>

#include <memory>

#include "DomText.h"

using namespace Velmora;

namespace {

const QByteArray twoLights = "{\"lights\":[{\"id\":1,\"x\":1,\"y\":2},{\"id\":2,\"x\":3,\"y\":4}]}";

// Counts the resizes a widget goes through. Past a hundred it swallows them: that ends a view's loop of refits, so a
// fit that never settles fails the test instead of holding the event loop for ever.
class ResizeCounter : public QObject
{
public:
    explicit ResizeCounter(QWidget* widget) { widget->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        return event->type() == QEvent::Resize && ++count > 100;
    }
};

// Runs the event loop until a few rounds in a row resize nothing, or a hundred rounds have gone. A view that refits
// into its own scroll bars never gets there: each round resizes its viewport again, and the count shows it.
void settle(const ResizeCounter& resizes)
{
    for (int round = 0, quiet = 0; round < 100 && quiet < 5; ++round) {
        const int before = resizes.count;
        QCoreApplication::processEvents();
        quiet = resizes.count == before ? quiet + 1 : 0;
    }
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

} // namespace

class TestMapLayers : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void badLightFiles_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("loads");
        QTest::addColumn<int>("lights");
        QTest::newRow("not json") << QByteArray("lights: 101 49.1 55.7") << false << 0;
        QTest::newRow("list is not a list") << QByteArray("{\"lights\":{}}") << false << 0;
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
    }

    // Whichever goes first, nothing is deleted twice or left behind (the sanitizers watch;
    // a zone's lights cleared first are reloadReplaces' case).
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
            layer.reset();
            QVERIFY(scene->items().isEmpty());
        }
        scene.reset();
        layer.reset();
        for (const QPointer<Semtra::Light>& light : qAsConst(lights))
            QVERIFY(!light);
    }

    // A scene whose extent lies between what the fitted view shows with a scroll bar and without one: a view that
    // showed bars as needed would refit into its own bar and out again for ever.
    void fitSettles()
    {
        const QSize size(800, 600);
        QGraphicsScene scene;
        MapView view(&scene);
        const int frame = view.frameWidth();
        const int bar = view.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &view);
        // The viewport without scroll bars, along (wide) and across the bottom edge.
        const qreal along = size.width() - 2 * frame;
        const qreal across = size.height() - 2 * frame;
        // A plane-unit rectangle fitted by its height: 100 units, half as wide as would fill the viewport.
        const qreal fitAcross = 100;
        const qreal fitAlong = 0.5 * fitAcross * (along - bar) / across;
        // With a bar along the bottom the viewport loses `bar` pixels of height and the fitted zoom drops from high
        // to low; the scene's width needs the bar only while the bar is not there. Its height is ten times the fit.
        const qreal usable = 1.0 - 2 * MapView::FitMargin;
        const qreal high = usable * across / fitAcross;
        const qreal low = usable * (across - bar) / fitAcross;
        const qreal sceneAlong = (along - bar) / qSqrt(high * low);
        const QRectF fitted(-fitAlong / 2, -fitAcross / 2, fitAlong, fitAcross);
        scene.setSceneRect(-sceneAlong / 2, -5 * fitAcross, sceneAlong, 10 * fitAcross);

        view.resize(size);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        ResizeCounter resizes(view.viewport());
        view.fitRect(fitted);
        // Fitted and settled, and still so after the window changes size.
        for (const int allowed : {1, 2}) {
            if (allowed == 2) {
                resizes.count = 0;
                view.resize(size + QSize(37, -23));
            }
            settle(resizes);
            QVERIFY2(resizes.count <= allowed, qPrintable(QStringLiteral("%1 resizes").arg(resizes.count)));
            const QString problem = fitProblem(view, fitted);
            QVERIFY2(problem.isEmpty(), qPrintable(problem));
        }
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
