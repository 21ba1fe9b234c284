// The areas' items on the host's map: what they draw and where they take hits (outlines read: tst_zonereading).
#include <QApplication>
#include <QGraphicsScene>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>

#include "DomText.h"
#include "QtOwnLeaks.h"
#include "Velmora/Area.h"
#include "Velmora/Zone.h"
#include "Velmora/format/Protocol.h"
#include "Velmora/graphics/MapArea.h"
#include "Velmora/graphics/MapZone.h"

using namespace Velmora::Protocol;

namespace {

// Renders the area's square, (0,0)-(100,100); the zone item is not shown.
QImage render(QGraphicsScene* scene)
{
    QImage image(100, 100, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    scene->render(&painter, QRectF(0, 0, 100, 100), QRectF(0, 0, 100, 100));
    return image;
}

} // namespace

class MapItemsTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        const QString path = m_dir.filePath(QStringLiteral("zone.xtsc"));
        QVERIFY(writeFile(path, R"(<Zone id="1"><Geometry>-50,-50;150,-50;150,150;-50,150</Geometry>
            <Areas><Area id="2"><Geometry>0,0;100,0;100,100;0,100</Geometry></Area></Areas></Zone>)"));
        m_zone = new Velmora::Zone;
        QVERIFY(m_zone->load(path));
        m_area = m_zone->area(2);
        m_scene = new QGraphicsScene;
        m_zone->setScene(m_scene);
        qobject_cast<Rare::Graphics::Zone*>(m_zone->graphicsObject())->setShown(false);
    }

    void cleanup()
    {
        delete m_zone;
        delete m_scene;
    }

    void notControlledArea_data()
    {
        QTest::addColumn<bool>("selected");
        QTest::newRow("not selected") << false;
        QTest::newRow("selected") << true;
    }
    // Areas the strategy does not control show, in white, only while selected; unshown, they take no hits.
    void notControlledArea()
    {
        QFETCH(bool, selected);
        m_area->setControlSource(NotControlled);
        m_area->setProperty("selected", selected);
        const QColor pixel = render(m_scene).pixelColor(50, 50);
        QVERIFY2(selected ? pixel.alpha() > 252 : pixel.alpha() < 3, qPrintable(QString::number(pixel.alpha())));
        QVERIFY(!selected || pixel.rgb() == QColor(Qt::white).rgb());
        QCOMPARE(m_scene->items(QPointF(50, 50)).contains(m_area->graphicsItem()), selected);
    }

    void hiddenArea()
    {
        auto* item = qobject_cast<Rare::Graphics::Area*>(m_area->graphicsObject());
        const QRectF bounds = item->boundingRect();
        m_area->setControlSource(Calendar);
        // Hidden by an empty outline, not by QGraphicsItem: child items stay.
        m_area->setProperty("visible", false);
        QVERIFY(item->boundingRect().isEmpty() && item->shape().isEmpty());
        QVERIFY(item->isVisible());
        m_area->setProperty("visible", true);
        QCOMPARE(item->boundingRect(), bounds);
        QCOMPARE(render(m_scene).pixelColor(50, 50).rgb(), QColor(Qt::green).rgb());
    }

private:
    QTemporaryDir m_dir;
    Velmora::Zone* m_zone = nullptr;
    Velmora::Area* m_area = nullptr;
    QGraphicsScene* m_scene = nullptr;
};

QTEST_MAIN(MapItemsTest)
#include "tst_mapitems.moc"
