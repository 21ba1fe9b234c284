// The zone's and areas' items on the host's map: outlines and colours.
#include <QApplication>
#include <QDomDocument>
#include <QGraphicsScene>
#include <QImage>
#include <QPainter>
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

    void outlines_data()
    {
        QTest::addColumn<QString>("geometry"); // "-": no Geometry element
        QTest::addColumn<int>("points");       // 0: refused, the item keeps its outline of 3
        QTest::addColumn<QRectF>("bounds");
        QTest::addColumn<QString>("error");
        const QRectF kept(0, 0, 4, 4);
        const QString invalid = QStringLiteral("Line 2 element:Area. Invalid geometry");
        QTest::newRow("blanks around numbers") << " 1 , 2 ;\n 3,4 ;\t5,-6e1 " << 3 << QRectF(1, -60, 4, 64) << "";
        // The text is the first text child: what follows a comment is not part of it.
        QTest::newRow("comment inside") << "0,0;10,0<!--x-->;10,10" << 2 << QRectF(0, 0, 10, 0) << "";
        QTest::newRow("three fields") << "1,2,3;4,5" << 0 << kept << invalid;
        QTest::newRow("word") << "0,0;a,1;2,2" << 0 << kept << invalid;
        QTest::newRow("no Geometry") << "-" << 0 << kept << "Line 1 element:Area. Missing tag 'Geometry'";
    }
    void outlines()
    {
        QFETCH(QString, geometry);
        QFETCH(int, points);
        QFETCH(QRectF, bounds);
        QFETCH(QString, error);
        Rare::Graphics::Area item(nullptr, nullptr);
        QDomDocument first, document;
        QVERIFY(item.loadGeometry(parseXml(&first, "<Area><Geometry>0,0;4,0;4,4</Geometry></Area>"), nullptr));
        const QString element = geometry == QLatin1String("-") ? "<Outline/>" : "<Geometry>" + geometry + "</Geometry>";
        QString message;
        QVERIFY(item.loadGeometry(parseXml(&document, "<Area id=\"1\">\n" + element + "</Area>"), &message));
        QCOMPARE(message, error);
        QCOMPARE(item.boundingRect(), bounds);
        // The closed outline repeats its first point.
        const QPolygonF polygon = item.path().toFillPolygon();
        QCOMPARE(polygon.size(), (points > 0 ? points : 3) + 1);
        QCOMPARE(polygon.first(), polygon.last());
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
