#include <QApplication>
#include <QDomDocument>
#include <QGraphicsScene>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>

#include "Velmora/Area.h"
#include "Velmora/format/Protocol.h"
#include "Velmora/Zone.h"
#include "OffscreenLeaks.h"
#include "Velmora/graphics/Area.h"
#include "Velmora/graphics/Zone.h"

using namespace Velmora::Protocol;
using Velmora::Area;
using Velmora::Zone;

namespace {

// A zone of one area covering (0,0)-(100,100) inside a larger zone outline.
const char* const zoneXml = R"(<Zone id="1"><Geometry>-50,-50;150,-50;150,150;-50,150</Geometry>
    <Areas><Area id="2"><Geometry>0,0;100,0;100,100;0,100</Geometry></Area></Areas></Zone>)";

QDomElement parse(QDomDocument* document, const QString& xml)
{
    if (!document->setContent(xml))
        qFatal("bad test document");
    return document->documentElement();
}

// Renders the area's square (the zone item drawn empty).
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
    void init();
    void cleanup();
    void outlines_data();
    void outlines();
    void missingGeometry();
    void brokenOutlineKeepsOldOne();
    void areaPainting_data();
    void areaPainting();
    void specialStateOverlay();
    void zoneColours_data();
    void zoneColours();
    void showAndHide();
    void icons();

private:
    QTemporaryDir m_dir;
    Zone* m_zone = nullptr;
    Area* m_area = nullptr;
    QGraphicsScene* m_scene = nullptr;
};

void MapItemsTest::init()
{
    const QString path = m_dir.filePath(QStringLiteral("zone.xtsc"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(zoneXml) > 0);
    file.close();
    m_zone = new Zone;
    QVERIFY(m_zone->load(path));
    m_area = m_zone->area(2);
    m_scene = new QGraphicsScene;
    m_zone->setScene(m_scene);
    // Only the area paints in the colour checks.
    qobject_cast<Rare::Graphics::Zone*>(m_zone->graphicsObject())->setShown(false);
}

void MapItemsTest::cleanup()
{
    delete m_zone;
    delete m_scene;
}

void MapItemsTest::outlines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("points");
    QTest::addColumn<QRectF>("bounds");
    QTest::newRow("triangle") << "1,2;3,4;5,6" << 3 << QRectF(QPointF(1, 2), QPointF(5, 6));
    QTest::newRow("blanks around numbers") << " 1 , 2 ;\n 3,4 ;\t5,6 " << 3 << QRectF(QPointF(1, 2), QPointF(5, 6));
    QTest::newRow("degrees") << "49.1035,55.7815;49.1545,55.7815;49.1545,55.7975" << 3
                             << QRectF(QPointF(49.1035, 55.7815), QPointF(49.1545, 55.7975));
    QTest::newRow("exponent") << "1e2,0;0,-2.5e1;0,0" << 3 << QRectF(QPointF(0, -25), QPointF(100, 0));
    // The text is the first text child: what follows a comment is not part of it.
    QTest::newRow("comment inside") << "0,0;10,0<!--x-->;10,10" << 2 << QRectF(0, 0, 10, 0);
    QTest::newRow("comment first") << "<!--x-->0,0;10,0;10,10" << 3 << QRectF(0, 0, 10, 10);
    QTest::newRow("CDATA") << "<![CDATA[0,0;4,0;4,4]]>" << 3 << QRectF(0, 0, 4, 4);
    QTest::newRow("trailing semicolon") << "1,2;3,4;" << 0 << QRectF();
    QTest::newRow("three fields") << "1,2,3;4,5" << 0 << QRectF();
    QTest::newRow("one coordinate") << "0,0;10" << 0 << QRectF();
    QTest::newRow("empty") << "" << 0 << QRectF();
    QTest::newRow("word") << "0,0;a,1;2,2" << 0 << QRectF();
}

void MapItemsTest::outlines()
{
    QFETCH(QString, text);
    QFETCH(int, points);
    QFETCH(QRectF, bounds);
    QDomDocument document;
    const QDomElement area = parse(&document, QStringLiteral("<Area id=\"1\">\n<Geometry>%1</Geometry></Area>").arg(text));
    Rare::Graphics::Area item(nullptr, nullptr);
    QString error;
    QVERIFY(item.loadGeometry(area, &error));
    if (points == 0) {
        QCOMPARE(error, QStringLiteral("Line 2 element:Area. Invalid geometry"));
        QVERIFY(item.path().isEmpty());
        return;
    }
    QVERIFY(error.isEmpty());
    const QPolygonF polygon = item.path().toFillPolygon();
    // The closed outline repeats its first point.
    QCOMPARE(polygon.size(), points + 1);
    QCOMPARE(polygon.first(), polygon.last());
    QCOMPARE(item.boundingRect(), bounds);
}

void MapItemsTest::missingGeometry()
{
    QDomDocument document;
    const QDomElement zone = parse(&document, QStringLiteral("<Zone id=\"1\">\n<Outline/>\n</Zone>"));
    Rare::Graphics::Zone item(nullptr, nullptr);
    QString error;
    QVERIFY(item.loadGeometry(zone, &error));
    QCOMPARE(error, QStringLiteral("Line 1 element:Zone. Missing tag 'Geometry'"));
    QVERIFY(item.boundingRect().isEmpty());
}

void MapItemsTest::brokenOutlineKeepsOldOne()
{
    QDomDocument good;
    QDomDocument bad;
    Rare::Graphics::Area item(nullptr, nullptr);
    QString error;
    item.loadGeometry(parse(&good, QStringLiteral("<A><Geometry>0,0;4,0;4,4</Geometry></A>")), &error);
    item.loadGeometry(parse(&bad, QStringLiteral("<A><Geometry>0,0;4</Geometry></A>")), &error);
    QCOMPARE(item.boundingRect(), QRectF(0, 0, 4, 4));
}

void MapItemsTest::areaPainting_data()
{
    QTest::addColumn<int>("controlSource");
    QTest::addColumn<bool>("selected");
    QTest::addColumn<QColor>("colour"); // invalid: nothing painted, and no hits either
    QTest::newRow("calendar") << int(Calendar) << false << QColor(Qt::green);
    QTest::newRow("calendar, selected") << int(Calendar) << true << QColor(Qt::green);
    // Local control looks like the calendar on an area, unlike on a zone.
    QTest::newRow("local") << int(LocalControl) << false << QColor(Qt::green);
    QTest::newRow("unknown") << 9 << false << QColor(Qt::red);
    // Areas the strategy does not control show only while selected.
    QTest::newRow("no value") << int(NoControlSource) << false << QColor();
    QTest::newRow("no value, selected") << int(NoControlSource) << true << QColor(Qt::gray);
    QTest::newRow("not controlled") << int(NotControlled) << false << QColor();
    QTest::newRow("not controlled, selected") << int(NotControlled) << true << QColor(Qt::white);
}

void MapItemsTest::areaPainting()
{
    QFETCH(int, controlSource);
    QFETCH(bool, selected);
    QFETCH(QColor, colour);
    m_area->setControlSource(controlSource);
    m_area->setProperty("selected", selected);
    const QColor pixel = render(m_scene).pixelColor(50, 50);
    // Unselected areas are drawn at 70% opacity.
    const int alpha = !colour.isValid() ? 0 : selected ? 255 : 178;
    QVERIFY2(qAbs(pixel.alpha() - alpha) <= 2, qPrintable(QString::number(pixel.alpha())));
    if (colour.isValid())
        QCOMPARE(pixel.rgb(), colour.rgb());
    QCOMPARE(m_scene->items(QPointF(50, 50)).contains(m_area->graphicsItem()), colour.isValid());
}

void MapItemsTest::specialStateOverlay()
{
    m_area->setControlSource(Calendar);
    m_area->setSpecialState(Off);
    const QImage image = render(m_scene);
    int black = 0;
    int green = 0;
    for (int y = 10; y < 90; ++y) {
        for (int x = 10; x < 90; ++x) {
            const QRgb rgb = image.pixel(x, y) & 0xffffff;
            black += rgb == 0;
            green += rgb == (QColor(Qt::green).rgb() & 0xffffff);
        }
    }
    QVERIFY2(black > 100 && green > 100, qPrintable(QStringLiteral("%1 %2").arg(black).arg(green)));
}

void MapItemsTest::zoneColours_data()
{
    QTest::addColumn<bool>("connected");
    QTest::addColumn<int>("controlSource");
    QTest::addColumn<QColor>("colour");
    // A zone without its link is grey whatever was reported; local control and
    // no value at all mean the zone is out of the centre's hands.
    QTest::newRow("down, calendar") << false << int(Calendar) << QColor(Qt::gray);
    QTest::newRow("up, calendar") << true << int(Calendar) << QColor(Qt::green);
    QTest::newRow("up, local") << true << int(LocalControl) << QColor(Qt::red);
    QTest::newRow("up, no value") << true << int(NoControlSource) << QColor(Qt::red);
}

void MapItemsTest::zoneColours()
{
    QFETCH(bool, connected);
    QFETCH(int, controlSource);
    QFETCH(QColor, colour);
    QCOMPARE(Rare::Graphics::Zone::fillColor(connected, controlSource), colour);
}

void MapItemsTest::showAndHide()
{
    auto* item = qobject_cast<Rare::Graphics::Area*>(m_area->graphicsObject());
    const QRectF bounds = item->boundingRect();
    QVERIFY(!bounds.isEmpty());
    // Hidden by an empty outline, not by QGraphicsItem: child items stay.
    m_area->setProperty("visible", false);
    QVERIFY(!m_area->property("visible").toBool());
    QVERIFY(item->boundingRect().isEmpty() && item->shape().isEmpty());
    QVERIFY(item->isVisible());
    m_area->setProperty("visible", true);
    QCOMPARE(item->boundingRect(), bounds);
    m_area->setControlSource(Calendar);
    QCOMPARE(render(m_scene).pixelColor(50, 50).rgb(), QColor(Qt::green).rgb());
}

void MapItemsTest::icons()
{
    // A regular polygon around the icon's centre, its first corner to the right.
    const QPainterPath diamond = Rare::Graphics::AbstractItem::polygonShape(32, 32, 4);
    QCOMPARE(diamond.elementCount(), 5);
    QCOMPARE(QPointF(diamond.elementAt(0)), QPointF(31, 15.5));
    QVERIFY(qAbs(diamond.elementAt(1).x - 15.5) < 1e-4 && qAbs(diamond.elementAt(1).y - 31) < 1e-4);
    QCOMPARE(Rare::Graphics::AbstractItem::polygonShape(32, 32, 3).elementCount(), 4);

    m_area->setControlSource(Adaptive);
    const QImage shown = m_area->modelData(0, Qt::DecorationRole).value<QIcon>().pixmap(32, 32).toImage();
    QCOMPARE(shown.size(), QSize(32, 32));
    QCOMPARE(shown.pixelColor(0, 0).alpha(), 0);
    QCOMPARE(shown.pixelColor(16, 16).rgb(), QColor(Qt::darkGreen).rgb());
    // A hidden area's icon says so with a yellow ground.
    m_area->setProperty("visible", false);
    const QImage hidden = m_area->modelData(0, Qt::DecorationRole).value<QIcon>().pixmap(32, 32).toImage();
    QCOMPARE(hidden.pixelColor(0, 0).rgb(), QColor(Qt::yellow).rgb());
    QVERIFY(!m_zone->modelData(0, Qt::DecorationRole).value<QIcon>().isNull());
}

QTEST_MAIN(MapItemsTest)
#include "tst_mapitems.moc"
