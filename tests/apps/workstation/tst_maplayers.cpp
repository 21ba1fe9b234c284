#include "Light.h"
#include "LightLayer.h"
#include "MapView.h"
#include "OffscreenLeaks.h"

#include <QFile>
#include <QGraphicsEllipseItem>
#include <QGraphicsScene>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtMath>
#include <QtTest>

class TestMapLayers : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();

    void lightsFileFor_data();
    void lightsFileFor();
    void exampleLights_data();
    void exampleLights();
    void badLightFiles_data();
    void badLightFiles();
    void reloadReplaces();

    void fitNorthUp_data();
    void fitNorthUp();
    void zoomKeepsCursorPoint_data();
    void zoomKeepsCursorPoint();

private:
    QString writeFile(const QString& name, const QByteArray& content);
    QTemporaryDir m_dir;
};

void TestMapLayers::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

QString TestMapLayers::writeFile(const QString& name, const QByteArray& content)
{
    const QString path = m_dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QString();
    file.write(content);
    return path;
}

void TestMapLayers::lightsFileFor_data()
{
    QTest::addColumn<QString>("zoneFile");
    QTest::addColumn<QString>("lightsFile");

    QTest::newRow("example") << "/data/zarechny.xtsc" << "/data/zarechny.lights.json";
    QTest::newRow("dots in the name") << "/data/north.v2.xtsc" << "/data/north.v2.lights.json";
    QTest::newRow("dotted folder") << "/data.d/north" << "/data.d/north.lights.json";
    QTest::newRow("hidden file") << "/data/.zone" << "/data/.zone.lights.json";
}

void TestMapLayers::lightsFileFor()
{
    QFETCH(QString, zoneFile);
    QFETCH(QString, lightsFile);
    QCOMPARE(LightLayer::lightsFileFor(zoneFile), lightsFile);
}

void TestMapLayers::exampleLights_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("zarechny") << QStringLiteral(VELMORA_EXAMPLES "/zarechny.lights.json");
    QTest::newRow("north") << QStringLiteral(VELMORA_EXAMPLES "/north.lights.json");
}

void TestMapLayers::exampleLights()
{
    QFETCH(QString, file);
    QFile json(file);
    QVERIFY(json.open(QIODevice::ReadOnly));
    const QJsonArray entries = QJsonDocument::fromJson(json.readAll()).object().value("lights").toArray();
    QVERIFY(!entries.isEmpty());

    QGraphicsScene scene;
    LightLayer layer(&scene);
    QString error;
    QVERIFY2(layer.load(file, file, &error), qPrintable(error));
    const QList<Semtra::Light*> lights = layer.lights(file);
    QCOMPARE(lights.size(), entries.size());
    QCOMPARE(layer.count(), entries.size());

    // What the module relies on to recognise a host light on the scene.
    int found = 0;
    for (QGraphicsItem* item : scene.items()) {
        QObject* object = item->data(0).value<QObject*>();
        QVERIFY(object);
        QCOMPARE(object->metaObject()->className(), "Semtra::Light");
        QCOMPARE(item->pos(), object->property("basePoint").toPointF());
        QVERIFY(item->flags() & QGraphicsItem::ItemIgnoresTransformations);
        ++found;
    }
    QCOMPARE(found, entries.size());
    for (int i = 0; i < entries.size(); ++i) {
        const QJsonObject entry = entries.at(i).toObject();
        QCOMPARE(lights.at(i)->property("id").toInt(), entry.value("id").toInt());
        QCOMPARE(lights.at(i)->basePoint(), QPointF(entry.value("x").toDouble(), entry.value("y").toDouble()));
        QVERIFY(layer.boundingRect().contains(lights.at(i)->basePoint()));
    }
}

void TestMapLayers::badLightFiles_data()
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

void TestMapLayers::badLightFiles()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, loads);
    QFETCH(int, lights);

    const QString path = writeFile(QStringLiteral("bad.lights.json"), content);
    QVERIFY(!path.isEmpty());
    QGraphicsScene scene;
    LightLayer layer(&scene);
    QString error;
    QCOMPARE(layer.load(QStringLiteral("zone"), path, &error), loads);
    QCOMPARE(error.isEmpty(), loads);
    QCOMPARE(layer.count(), lights);
    QCOMPARE(scene.items().size(), lights);
}

void TestMapLayers::reloadReplaces()
{
    const QString good = writeFile(QStringLiteral("good.lights.json"),
                                   "{\"lights\":[{\"id\":1,\"x\":1,\"y\":2},{\"id\":2,\"x\":3,\"y\":4}]}");
    const QString broken = writeFile(QStringLiteral("broken.lights.json"), "{");
    QGraphicsScene scene;
    LightLayer layer(&scene);
    QString error;
    QVERIFY(layer.load(QStringLiteral("a"), good, &error));
    QVERIFY(layer.load(QStringLiteral("b"), good, &error));
    QVERIFY(layer.load(QStringLiteral("a"), good, &error));
    QCOMPARE(layer.count(), 4);
    QCOMPARE(scene.items().size(), 4);
    // A file that no longer reads leaves the lights that were there.
    QVERIFY(!layer.load(QStringLiteral("a"), broken, &error));
    QCOMPARE(layer.lights(QStringLiteral("a")).size(), 2);
    layer.clear(QStringLiteral("a"));
    QCOMPARE(scene.items().size(), 2);
    QCOMPARE(layer.boundingRect(), QRectF(QPointF(1, 2), QPointF(3, 4)));
}

void TestMapLayers::fitNorthUp_data()
{
    QTest::addColumn<QRectF>("rect");
    QTest::addColumn<qreal>("aspect");

    const QRectF zarechny(QPointF(49.1035, 55.7815), QPointF(49.1545, 55.7975));
    QTest::newRow("degrees, mid latitude") << zarechny << qCos(qDegreesToRadians(zarechny.center().y()));
    QTest::newRow("degrees, equator") << QRectF(10.0, -0.01, 0.04, 0.02) << 1.0;
    QTest::newRow("degrees, southern") << QRectF(151.20, -33.88, 0.02, 0.02) << qCos(qDegreesToRadians(-33.87));
    QTest::newRow("plain plane units") << QRectF(0, 0, 1000, 800) << 1.0;
}

void TestMapLayers::fitNorthUp()
{
    QFETCH(QRectF, rect);
    QFETCH(qreal, aspect);

    QGraphicsScene scene;
    scene.setSceneRect(rect.adjusted(-rect.width(), -rect.height(), rect.width(), rect.height()));
    MapView view(&scene);
    view.resize(800, 600);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.fitRect(rect);

    QCOMPARE(view.aspect(), aspect);
    const QSize viewport = view.viewport()->size();
    const QPointF northWest = view.mapFromScene(QPointF(rect.left(), rect.bottom()));
    const QPointF southEast = view.mapFromScene(QPointF(rect.right(), rect.top()));
    // North is up, east is right.
    QVERIFY(northWest.y() < southEast.y());
    QVERIFY(northWest.x() < southEast.x());
    // Whole, with a margin, and filling the view in one direction.
    QVERIFY(northWest.x() >= 0 && northWest.y() >= 0);
    QVERIFY(southEast.x() <= viewport.width() && southEast.y() <= viewport.height());
    const qreal filledX = (southEast.x() - northWest.x()) / viewport.width();
    const qreal filledY = (southEast.y() - northWest.y()) / viewport.height();
    QVERIFY2(qMax(filledX, filledY) > 0.85, qPrintable(QStringLiteral("%1 %2").arg(filledX).arg(filledY)));
    // Ground proportions: a degree of longitude is cos(latitude) of one of latitude.
    const QTransform t = view.transform();
    QVERIFY(qAbs(qAbs(t.m11() / t.m22()) - aspect) < 1e-9);
    // The read-out is in scene units, whatever the zoom.
    const QPointF centre = view.mapToScene(view.mapFromScene(rect.center()));
    QVERIFY(qAbs(centre.x() - rect.center().x()) < rect.width() / 50);
    QVERIFY(qAbs(centre.y() - rect.center().y()) < rect.height() / 50);
}

void TestMapLayers::zoomKeepsCursorPoint_data()
{
    QTest::addColumn<qreal>("factor");
    QTest::newRow("in") << 2.0;
    QTest::newRow("out") << 0.5;
    QTest::newRow("one wheel step") << 1.25;
}

void TestMapLayers::zoomKeepsCursorPoint()
{
    QFETCH(qreal, factor);

    const QRectF rect(QPointF(49.1035, 55.7815), QPointF(49.1545, 55.7975));
    QGraphicsScene scene;
    scene.setSceneRect(rect.adjusted(-0.2, -0.2, 0.2, 0.2));
    MapView view(&scene);
    view.resize(800, 600);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.fitRect(rect);

    const QPoint cursor(230, 170);
    const QPointF under = view.mapToScene(cursor);
    const qreal before = view.zoom();
    view.zoomBy(factor, cursor);
    QVERIFY(qAbs(view.zoom() / before - factor) < 1e-9);
    const QPointF after = view.mapFromScene(under);
    QVERIFY2((after - QPointF(cursor)).manhattanLength() <= 2.0,
             qPrintable(QStringLiteral("%1,%2").arg(after.x()).arg(after.y())));
    // Still north up after zooming.
    QVERIFY(view.transform().m22() < 0);
}

QTEST_MAIN(TestMapLayers)
#include "tst_maplayers.moc"
