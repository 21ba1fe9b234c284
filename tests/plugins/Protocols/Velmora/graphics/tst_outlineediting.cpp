// Editing an outline on the map with the mouse, on a north-up view.
#include <QApplication>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QMouseEvent>
#include <QtTest>

#include "QtOwnLeaks.h"
#include "Velmora/format/GeometryText.h"
#include "Velmora/graphics/EditMarker.h"
#include "Velmora/graphics/GraphicsArea.h"
#include "WidgetDriver.h"

namespace {

// A 0.002-degree square on the map, corners A to D as stored in a configuration; I is `below`,
// 50 pixels under the square at the starting zoom, on no handle.
const QString A = "49.1,55.78", B = "49.102,55.78", C = "49.102,55.782", D = "49.1,55.782", I = "49.1015,55.7795";
const QPointF squareCentre(49.101, 55.781), below(49.1015, 55.7795);
QString points(const QStringList& list) { return list.join(QLatin1Char(';')); }
const QString square = points({A, B, C, D});

} // namespace

class OutlineEditingTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
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

    void cleanup()
    {
        delete m_area;
        delete m_view;
        delete m_scene;
        // A failed test must not leave its cursors to the next one.
        while (QGuiApplication::overrideCursor())
            QGuiApplication::restoreOverrideCursor();
    }

    void dragHandle_data()
    {
        QTest::addColumn<qreal>("zoom");
        QTest::addColumn<int>("vertex");
        QTest::addColumn<int>("modifier");
        QTest::addColumn<QPoint>("delta");
        QTest::addColumn<QString>("written");
        QTest::newRow("1e4, onto the next vertex") << 1e4 << 0 << 0 << QPoint(20, 0) << points({B, B, C, D});
        // Two pixels apart, the handles overlap; vertex 0's is on top. North up: dragging down lowers the latitude.
        QTest::newRow("1e3, overlapping handles, left and down")
            << 1e3 << 0 << 0 << QPoint(-150, 150) << points({"48.95,55.63", B, C, D});
        // Vertex 2 Ctrl+clicked first: every selected handle moves.
        QTest::newRow("Ctrl") << 1e5 << 0 << int(Qt::ControlModifier) << QPoint(10, 10)
                              << points({"49.1001,55.7799", B, "49.1021,55.7819", D});
        // Written where it is shown: the whole outline 0.001 east and 0.0005 south.
        QTest::newRow("Shift") << 1e5 << 1 << int(Qt::ShiftModifier) << QPoint(100, 50)
                               << "49.101,55.7795;49.103,55.7795;49.103,55.7815;49.101,55.7815";
    }
    void dragHandle()
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
        } else if (modifiers == Qt::ShiftModifier) {
            QTest::keyPress(m_view, Qt::Key_Shift);
            QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::SizeAllCursor);
        }
        QSignalSpy changed(m_area.data(), &GraphicsArea::outlineChanged);
        EditMarker* handle = handleOf(vertex);
        const QPoint from = handlePixel(vertex);
        Drive::drag(m_view->viewport(), from, from + delta, modifiers);
        if (modifiers == Qt::ShiftModifier)
            QTest::keyRelease(m_view, Qt::Key_Shift);

        QCOMPARE(m_area->outlineText(), written);
        QCOMPARE(pixel(handle->scenePos()), from + delta);
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::CrossCursor);
        QVERIFY(!changed.isEmpty() && !(m_area->flags() & QGraphicsItem::ItemIsMovable));
        checkHandlesMatchText();
    }

    void clicks_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("written");
        QTest::addColumn<int>("current");
        // i: click below the square; pK: click handle K; cK: Ctrl+click it; rK: right-click it.
        QTest::newRow("after the pressed handle") << square << "p1 i" << points({A, B, I, C, D}) << 2;
        QTest::newRow("only vertex deleted, then one added") << A << "r0 i" << I << 0;
        QTest::newRow("Delete removes the selected") << square << "p1 c2 del" << points({A, D}) << 0;
        QTest::newRow("Ctrl+click deselects") << square << "p1 c2 c1 del" << points({A, B, D}) << 1;
        // Odd stored outlines take a click like any other: nothing is "repaired".
        QTest::newRow("closing point dropped") << points({A, B, C, D, A}) << "i" << points({A, B, C, D, I}) << 4;
        const QString huge = QStringLiteral("1.79769313486e+308,-1.79769313486e+308");
        QTest::newRow("largest doubles") << points({A, huge}) << "i" << points({A, huge, I}) << 2;
        // Numbers that are none read as 0; a lone coordinate goes, a third one is dropped.
        QTest::newRow("lenient reading") << A + ";nan,inf;7;a,55.78;49.102,55.78,1;" << "i"
                                         << points({A, "0,0", "0,55.78", B, I}) << 4;
    }
    void clicks()
    {
        QFETCH(QString, stored);
        QFETCH(QString, steps);
        QFETCH(QString, written);
        QFETCH(int, current);
        m_area->setOutlineText(stored);
        m_view->viewport()->grab(); // drawn, whatever the numbers
        m_area->setEditMode(true);
        for (const QString& step : steps.split(QLatin1Char(' '))) {
            if (step == QLatin1String("i"))
                click(pixel(below));
            else if (step == QLatin1String("del"))
                QTest::keyClick(m_view, Qt::Key_Delete);
            else
                click(handlePixel(step.mid(1).toInt()), step.startsWith('r') ? Qt::RightButton : Qt::LeftButton,
                      step.startsWith('c') ? Qt::ControlModifier : Qt::NoModifier);
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
        m_area->setEditMode(false);
        QCOMPARE(m_area->outlineText(), written);
    }

    void handleAtZoom_data()
    {
        QTest::addColumn<qreal>("zoom");
        QTest::addColumn<QPoint>("offset");
        QTest::addColumn<bool>("onHandle");
        // Far in, where the corners of the square are far apart.
        QTest::newRow("1e7, corner of the square") << 1e7 << QPoint(3, -3) << true;
        QTest::newRow("1e7, just beside") << 1e7 << QPoint(5, 0) << false;
    }
    void handleAtZoom()
    {
        QFETCH(qreal, zoom);
        QFETCH(QPoint, offset);
        QFETCH(bool, onHandle);
        setZoom(zoom, m_area->polygon().at(1));
        m_area->setEditMode(true);
        // Handles keep their pixel size at any zoom: a press on one makes its vertex current, beside it adds one.
        const QPoint centre = handlePixel(1);
        click(centre + offset);
        QCOMPARE(m_area->currentIndex(), onHandle ? 1 : 4);
        QCOMPARE(m_area->polygon().size(), onHandle ? 4 : 5);
        QCOMPARE(handlePixel(m_area->currentIndex()), onHandle ? centre : centre + offset);
    }

    void endingEdit_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("edit mode off with Shift held") << "shift";
        QTest::newRow("overlay deleted by its editor") << "delete";
        QTest::newRow("scene deleted under the overlay") << "scene";
    }
    void endingEdit()
    {
        QFETCH(QString, how);
        m_area->setEditMode(true);
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::CrossCursor);
        click(handlePixel(2), Qt::RightButton);
        click(pixel(below));
        if (how == QLatin1String("shift"))
            QTest::keyPress(m_view, Qt::Key_Shift);
        if (how == QLatin1String("delete")) {
            delete m_area;
        } else if (how == QLatin1String("scene")) {
            delete m_view;
            delete m_scene;
            QVERIFY(m_area.isNull());
        } else {
            m_area->setEditMode(false);
            QVERIFY(!m_area->isShiftMode() && !(m_area->flags() & QGraphicsItem::ItemIsMovable));
        }
        QVERIFY(!QGuiApplication::overrideCursor());
        QCoreApplication::processEvents();
        if (m_area) {
            QVERIFY(m_area->childItems().isEmpty() && m_area->currentIndex() == -1);
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

private:
    void setZoom(qreal pixelsPerDegree, const QPointF& centre)
    {
        m_view->setTransform(QTransform::fromScale(pixelsPerDegree, -pixelsPerDegree));
        m_view->centerOn(centre);
    }
    QPoint pixel(const QPointF& scenePoint) const { return m_view->mapFromScene(scenePoint); }
    QPoint handlePixel(int vertex) const { return pixel(m_area->mapToScene(m_area->polygon().value(vertex))); }
    EditMarker* handleOf(int vertex) const
    {
        for (EditMarker* marker : m_area->markers())
            if (marker->pos() == m_area->polygon().value(vertex))
                return marker;
        return nullptr;
    }
    void click(const QPoint& pos, Qt::MouseButton button = Qt::LeftButton, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::mouseClick(m_view->viewport(), button, modifiers, pos);
    }

    // What the handles show and what the outline text says are the same points.
    void checkHandlesMatchText()
    {
        QStringList shown, written = m_area->outlineText().split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (const EditMarker* marker : m_area->markers())
            shown << Velmora::Geometry::formatPoints({marker->scenePos()});
        shown.sort();
        written.sort();
        QCOMPARE(shown, written);
        QVERIFY(m_area->currentIndex() < written.size() && (m_area->currentIndex() >= 0 || written.isEmpty()));
    }

    QPointer<QGraphicsScene> m_scene;
    QPointer<QGraphicsView> m_view;
    QPointer<GraphicsArea> m_area;
};

QTEST_MAIN(OutlineEditingTest)
#include "tst_outlineediting.moc"
