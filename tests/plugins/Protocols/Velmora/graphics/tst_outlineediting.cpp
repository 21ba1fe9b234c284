#include <QApplication>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QMouseEvent>
#include <QPointer>
#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>

#include "OffscreenLeaks.h"
#include "Velmora/format/GeometryText.h"
#include "Velmora/graphics/EditMarker.h"
#include "Velmora/graphics/GraphicsArea.h"

namespace {

// A 0.002-degree square on the map, as stored in a configuration.
const QString square = QStringLiteral("49.1,55.78;49.102,55.78;49.102,55.782;49.1,55.782");
const QPointF squareCentre(49.101, 55.781);
// 50 pixels below the square at the starting zoom, on no handle.
const QPointF below(49.1015, 55.7795);

// Points as the outline text gives them back, in a fixed order.
QList<QPointF> asWritten(const QList<QPointF>& points)
{
    QList<QPointF> rounded;
    for (const QPointF& p : points)
        rounded.append(QPointF(QString::number(p.x(), 'g', 12).toDouble(), QString::number(p.y(), 'g', 12).toDouble()));
    std::sort(rounded.begin(), rounded.end(), [](const QPointF& a, const QPointF& b) {
        return a.x() < b.x() || (a.x() == b.x() && a.y() < b.y());
    });
    return rounded;
}

} // namespace

class OutlineEditingTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void dragHandle_data();
    void dragHandle();
    void clicks_data();
    void clicks();
    void handleAtZoom_data();
    void handleAtZoom();
    void endingEdit_data();
    void endingEdit();
    void handlesAndTextStayInStep();

private:
    void setZoom(qreal pixelsPerDegree, const QPointF& centre);
    QPoint pixel(const QPointF& scenePoint) const { return m_view->mapFromScene(scenePoint); }
    QPoint handlePixel(int vertex) const { return pixel(m_area->mapToScene(m_area->polygon().at(vertex))); }
    EditMarker* handleOf(int vertex) const;
    void click(const QPoint& pos, Qt::MouseButton button = Qt::LeftButton, Qt::KeyboardModifiers modifiers = {});
    void drag(const QPoint& from, const QPoint& to, Qt::KeyboardModifiers modifiers = {});
    void checkHandlesMatchText();

    QGraphicsScene* m_scene = nullptr;
    QGraphicsView* m_view = nullptr;
    QPointer<GraphicsArea> m_area;
};

void OutlineEditingTest::init()
{
    m_scene = new QGraphicsScene;
    m_scene->setSceneRect(QRectF(48.9, 55.6, 0.4, 0.4));
    m_view = new QGraphicsView(m_scene);
    m_view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_view->setFrameShape(QFrame::NoFrame);
    m_view->resize(400, 400);
    setZoom(1e5, squareCentre);
    m_view->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_view));
    m_area = new GraphicsArea(m_scene, square);
}

void OutlineEditingTest::cleanup()
{
    delete m_area;
    delete m_view;
    delete m_scene;
    // A failed test must not leave its cursors to the next one.
    while (QGuiApplication::overrideCursor())
        QGuiApplication::restoreOverrideCursor();
}

void OutlineEditingTest::setZoom(qreal pixelsPerDegree, const QPointF& centre)
{
    // North up, as on the host's map.
    m_view->setTransform(QTransform::fromScale(pixelsPerDegree, -pixelsPerDegree));
    m_view->centerOn(centre);
}

EditMarker* OutlineEditingTest::handleOf(int vertex) const
{
    const QList<EditMarker*> markers = m_area->markers();
    for (EditMarker* marker : markers) {
        if (marker->pos() == m_area->polygon().value(vertex))
            return marker;
    }
    return nullptr;
}

void OutlineEditingTest::click(const QPoint& pos, Qt::MouseButton button, Qt::KeyboardModifiers modifiers)
{
    QTest::mousePress(m_view->viewport(), button, modifiers, pos);
    QTest::mouseRelease(m_view->viewport(), button, modifiers, pos);
}

void OutlineEditingTest::drag(const QPoint& from, const QPoint& to, Qt::KeyboardModifiers modifiers)
{
    QWidget* viewport = m_view->viewport();
    QTest::mousePress(viewport, Qt::LeftButton, modifiers, from);
    // QTest's own moves carry no buttons; a drag needs them.
    for (int step = 1; step <= 3; ++step) {
        const QPoint pos = from + (to - from) * step / 3;
        QMouseEvent move(QEvent::MouseMove, pos, viewport->mapToGlobal(pos), Qt::NoButton, Qt::LeftButton, modifiers);
        QApplication::sendEvent(viewport, &move);
    }
    QTest::mouseRelease(viewport, Qt::LeftButton, modifiers, to);
}

// What the handles show and what the outline text says are the same points.
void OutlineEditingTest::checkHandlesMatchText()
{
    QList<QPointF> shown;
    const QList<EditMarker*> markers = m_area->markers();
    for (const EditMarker* marker : markers)
        shown.append(marker->scenePos());
    QVector<QPointF> written;
    const QString text = m_area->outlineText();
    QVERIFY2(text.isEmpty() || Velmora::Geometry::parsePoints(text, &written), qPrintable(text));
    QVERIFY2(asWritten(shown) == asWritten(written.toList()), qPrintable(text));
    const int current = m_area->currentIndex();
    QVERIFY(current < written.size() && (current >= 0 || written.isEmpty()));
}

void OutlineEditingTest::dragHandle_data()
{
    QTest::addColumn<qreal>("zoom");
    QTest::addColumn<int>("vertex");
    QTest::addColumn<int>("modifier");
    QTest::addColumn<QPoint>("delta");
    QTest::addColumn<QString>("written");
    // North up: dragging down lowers the latitude.
    QTest::newRow("1e5, right and up") << 1e5 << 1 << 0 << QPoint(30, -20)
                                      << "49.1,55.78;49.1023,55.7802;49.102,55.782;49.1,55.782";
    QTest::newRow("1e6, left and down") << 1e6 << 3 << 0 << QPoint(-50, 40)
                                       << "49.1,55.78;49.102,55.78;49.102,55.782;49.09995,55.78196";
    QTest::newRow("1e4, onto the next vertex") << 1e4 << 0 << 0 << QPoint(20, 0)
                                              << "49.102,55.78;49.102,55.78;49.102,55.782;49.1,55.782";
    // Two pixels apart, the handles overlap; vertex 0's is on top.
    QTest::newRow("1e3, overlapping handles") << 1e3 << 0 << 0 << QPoint(-150, 150)
                                             << "48.95,55.63;49.102,55.78;49.102,55.782;49.1,55.782";
    // Vertex 2 Ctrl+clicked first: every selected handle moves.
    QTest::newRow("Ctrl") << 1e5 << 0 << int(Qt::ControlModifier) << QPoint(10, 10)
                          << "49.1001,55.7799;49.102,55.78;49.1021,55.7819;49.1,55.782";
    // Written where it is shown: the whole outline 0.001 east and 0.0005 south.
    QTest::newRow("Shift") << 1e5 << 1 << int(Qt::ShiftModifier) << QPoint(100, 50)
                           << "49.101,55.7795;49.103,55.7795;49.103,55.7815;49.101,55.7815";
}

void OutlineEditingTest::dragHandle()
{
    QFETCH(qreal, zoom);
    QFETCH(int, vertex);
    QFETCH(int, modifier);
    QFETCH(QPoint, delta);
    QFETCH(QString, written);
    const auto modifiers = Qt::KeyboardModifiers(modifier);
    m_area->setEditMode(true);
    setZoom(zoom, m_area->polygon().at(vertex));
    if (modifiers == Qt::ControlModifier) {
        click(handlePixel(vertex));
        click(handlePixel(2), Qt::LeftButton, Qt::ControlModifier);
    }
    if (modifiers == Qt::ShiftModifier) {
        QTest::keyPress(m_view, Qt::Key_Shift);
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::SizeAllCursor);
    }
    QSignalSpy changed(m_area.data(), &GraphicsArea::outlineChanged);
    EditMarker* handle = handleOf(vertex);
    const QPoint from = handlePixel(vertex);
    drag(from, from + delta, modifiers);
    if (modifiers == Qt::ShiftModifier)
        QTest::keyRelease(m_view, Qt::Key_Shift);

    QCOMPARE(m_area->outlineText(), written);
    QCOMPARE(pixel(handle->scenePos()), from + delta);
    QVERIFY(!changed.isEmpty());
    QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::CrossCursor);
    QVERIFY(!(m_area->flags() & QGraphicsItem::ItemIsMovable));
    checkHandlesMatchText();
}

void OutlineEditingTest::clicks_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("written");
    QTest::addColumn<int>("current");
    // i: click below the square; pK: click handle K; cK: Ctrl+click it; rK: right-click it.
    QTest::newRow("first click appends") << square << "i"
                                         << "49.1,55.78;49.102,55.78;49.102,55.782;49.1,55.782;49.1015,55.7795" << 4;
    QTest::newRow("after the pressed handle") << square << "p1 i"
                                              << "49.1,55.78;49.102,55.78;49.1015,55.7795;49.102,55.782;49.1,55.782" << 2;
    QTest::newRow("right click on the first") << square << "r0" << "49.102,55.78;49.102,55.782;49.1,55.782" << 2;
    QTest::newRow("right click on the third") << square << "r2" << "49.1,55.78;49.102,55.78;49.1,55.782" << 1;
    QTest::newRow("after a deleted first, at the end") << square << "r0 i"
                                                       << "49.102,55.78;49.102,55.782;49.1,55.782;49.1015,55.7795" << 3;
    QTest::newRow("after a deleted third, before the fourth") << square << "r2 i"
                                                              << "49.1,55.78;49.102,55.78;49.1015,55.7795;49.1,55.782" << 2;
    QTest::newRow("only vertex deleted, then one added") << "49.1,55.78" << "r0 i" << "49.1015,55.7795" << 0;
    QTest::newRow("into an empty outline") << "" << "i" << "49.1015,55.7795" << 0;
    QTest::newRow("Delete removes the selected") << square << "p1 c2 del" << "49.1,55.78;49.1,55.782" << 0;
    QTest::newRow("Ctrl+click deselects") << square << "p1 c2 c1 del" << "49.1,55.78;49.102,55.78;49.1,55.782" << 1;
    // Odd stored outlines take a click like any other: nothing is "repaired".
    QTest::newRow("one point") << "49.1,55.78" << "i" << "49.1,55.78;49.1015,55.7795" << 1;
    QTest::newRow("closing point dropped") << square + ";49.1,55.78" << "i" << square + ";49.1015,55.7795" << 4;
    QTest::newRow("duplicate points") << "49.1,55.78;49.102,55.78;49.102,55.78" << "i"
                                      << "49.1,55.78;49.102,55.78;49.102,55.78;49.1015,55.7795" << 3;
    QTest::newRow("self-intersecting") << "49.1,55.78;49.102,55.782;49.102,55.78;49.1,55.782" << "i"
                                       << "49.1,55.78;49.102,55.782;49.102,55.78;49.1,55.782;49.1015,55.7795" << 4;
    QTest::newRow("largest doubles") << "49.1,55.78;1.79769313486e+308,-1.79769313486e+308" << "i"
                                     << "49.1,55.78;1.79769313486e+308,-1.79769313486e+308;49.1015,55.7795" << 2;
    QTest::newRow("not numbers") << "49.1,55.78;nan,inf" << "i" << "49.1,55.78;0,0;49.1015,55.7795" << 2;
    QTest::newRow("lone coordinate and trailing ;") << "49.1,55.78;7;49.102,55.78;" << "i"
                                                   << "49.1,55.78;49.102,55.78;49.1015,55.7795" << 2;
    QTest::newRow("words and a third coordinate") << "a,55.78;49.102,55.78,1" << "i"
                                                  << "0,55.78;49.102,55.78;49.1015,55.7795" << 2;
}

void OutlineEditingTest::clicks()
{
    QFETCH(QString, stored);
    QFETCH(QString, steps);
    QFETCH(QString, written);
    QFETCH(int, current);
    m_area->setOutlineText(stored);
    m_view->viewport()->grab(); // drawn, whatever the numbers
    m_area->setEditMode(true);
    const QStringList list = steps.split(QLatin1Char(' '));
    for (const QString& step : list) {
        const int vertex = step.mid(1).toInt();
        if (step == QLatin1String("i"))
            click(pixel(below));
        else if (step == QLatin1String("del"))
            QTest::keyClick(m_view, Qt::Key_Delete);
        else if (step.startsWith(QLatin1Char('p')))
            click(handlePixel(vertex));
        else if (step.startsWith(QLatin1Char('c')))
            click(handlePixel(vertex), Qt::LeftButton, Qt::ControlModifier);
        else if (step.startsWith(QLatin1Char('r')))
            click(handlePixel(vertex), Qt::RightButton);
    }
    QCOMPARE(m_area->outlineText(), written);
    QCOMPARE(m_area->currentIndex(), current);
    // The new handle is the only one selected; after a removal the next one is selected too.
    if (steps.endsWith(QLatin1Char('i')))
        QCOMPARE(m_scene->selectedItems(), QList<QGraphicsItem*>{handleOf(current)});
    else
        QVERIFY(handleOf(current)->isSelected());
    checkHandlesMatchText();
    // Removed handles leave the scene once their click is over.
    QTRY_COMPARE(m_scene->items().size(), 1 + m_area->polygon().size());
    m_view->viewport()->grab();
    m_area->setEditMode(false);
    QCOMPARE(m_area->outlineText(), written);
}

void OutlineEditingTest::handleAtZoom_data()
{
    QTest::addColumn<qreal>("zoom");
    QTest::addColumn<QPoint>("offset");
    QTest::addColumn<bool>("onHandle");
    for (const qreal zoom : {1e4, 1e7}) {
        const QByteArray at = QByteArray::number(zoom, 'g', 1);
        QTest::newRow(at + ", corner of the square") << zoom << QPoint(3, -3) << true;
        QTest::newRow(at + ", just beside") << zoom << QPoint(5, 0) << false;
    }
}

void OutlineEditingTest::handleAtZoom()
{
    QFETCH(qreal, zoom);
    QFETCH(QPoint, offset);
    QFETCH(bool, onHandle);
    setZoom(zoom, m_area->polygon().at(1));
    const QImage plain = m_view->viewport()->grab().toImage();
    m_area->setEditMode(true);
    const QImage edited = m_view->viewport()->grab().toImage();
    // What editing adds around a vertex is its handle: 7 pixels square at any zoom.
    const QPoint centre = handlePixel(1);
    QRect drawn;
    for (int y = centre.y() - 12; y <= centre.y() + 12; ++y) {
        for (int x = centre.x() - 12; x <= centre.x() + 12; ++x) {
            if (plain.pixel(x, y) != edited.pixel(x, y))
                drawn |= QRect(x, y, 1, 1);
        }
    }
    QVERIFY2(drawn.width() >= 7 && drawn.width() <= 8 && drawn.height() == drawn.width(),
             qPrintable(QStringLiteral("%1 x %2").arg(drawn.width()).arg(drawn.height())));

    // A press on the square makes its vertex current; elsewhere it adds one.
    const QString stored = m_area->outlineText();
    click(centre + offset);
    if (onHandle) {
        QCOMPARE(m_area->outlineText(), stored);
        QCOMPARE(m_area->currentIndex(), 1);
    } else {
        QCOMPARE(m_area->currentIndex(), 4);
        QCOMPARE(handlePixel(4), centre + offset);
    }
}

void OutlineEditingTest::endingEdit_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("edit mode off") << "off";
    QTest::newRow("edit mode off with Shift held") << "shift";
    QTest::newRow("overlay deleted by its editor") << "delete";
    QTest::newRow("scene deleted under the overlay") << "scene";
}

void OutlineEditingTest::endingEdit()
{
    QFETCH(QString, how);
    m_area->setEditMode(true);
    QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::CrossCursor);
    click(handlePixel(2), Qt::RightButton);
    click(pixel(below));
    if (how == QLatin1String("off")) {
        m_area->setEditMode(false);
    } else if (how == QLatin1String("shift")) {
        QTest::keyPress(m_view, Qt::Key_Shift);
        m_area->setEditMode(false);
        QVERIFY(!m_area->isShiftMode() && !(m_area->flags() & QGraphicsItem::ItemIsMovable));
    } else if (how == QLatin1String("delete")) {
        delete m_area;
    } else if (how == QLatin1String("scene")) {
        delete m_view;
        delete m_scene;
        m_view = nullptr;
        m_scene = nullptr;
        QVERIFY(m_area.isNull());
    }
    QVERIFY(!QGuiApplication::overrideCursor());
    QCoreApplication::processEvents();
    if (m_area) {
        QVERIFY(m_area->childItems().isEmpty());
        QCOMPARE(m_area->currentIndex(), -1);
        // Without the editing filter nothing takes a click, and it changes nothing.
        const QPoint pos = pixel(squareCentre);
        QMouseEvent press(QEvent::MouseButtonPress, pos, m_view->viewport()->mapToGlobal(pos), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QVERIFY(!QApplication::sendEvent(m_view->viewport(), &press));
        QCOMPARE(m_area->polygon().size(), 4);
    }
    if (m_scene)
        QCOMPARE(m_scene->items().size(), m_area ? 1 : 0);
}

void OutlineEditingTest::handlesAndTextStayInStep()
{
    // A long mixed edit, with a fixed seed so that a failure replays.
    QRandomGenerator random(20240611);
    m_area->setEditMode(true);
    const QRect area(50, 50, 300, 300);
    const auto anyPixel = [&] { return area.topLeft() + QPoint(random.bounded(300), random.bounded(300)); };
    for (int step = 0; step < 120 && !QTest::currentTestFailed(); ++step) {
        const int count = m_area->polygon().size();
        const int vertex = count > 0 ? random.bounded(count) : -1;
        const int action = random.bounded(5);
        if (action < 2)
            click(anyPixel());
        else if (vertex < 0 || !area.contains(handlePixel(vertex)))
            continue;
        else if (action == 2)
            click(handlePixel(vertex), Qt::RightButton);
        else if (action == 3)
            drag(handlePixel(vertex), anyPixel());
        else if (action == 4)
            click(handlePixel(vertex), Qt::LeftButton, Qt::ControlModifier);
        if (random.bounded(8) == 0)
            QTest::keyClick(m_view, Qt::Key_Delete);
        checkHandlesMatchText();
    }
    QTRY_COMPARE(m_scene->items().size(), 1 + m_area->polygon().size());
}

QTEST_MAIN(OutlineEditingTest)
#include "tst_outlineediting.moc"
