#include <QApplication>
#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QIcon>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "Velmora/Area.h"
#include "Velmora/Controller.h"
#include "MessageCapture.h"
#include "OffscreenLeaks.h"
#include "Velmora/Strategy.h"
#include "Velmora/Zone.h"

using Velmora::Area;
using Velmora::Zone;

namespace {

QList<int> sorted(QList<int> ids)
{
    std::sort(ids.begin(), ids.end());
    return ids;
}

template<typename T>
QList<int> idsOf(const QList<T*>& objects)
{
    QList<int> ids;
    for (const T* object : objects)
        ids << object->id();
    return sorted(ids);
}

QString childTexts(const QObject* object)
{
    QStringList texts;
    for (QObject* child : object->children()) {
        QVariant text;
        QMetaObject::invokeMethod(child, "modelData", Q_RETURN_ARG(QVariant, text), Q_ARG(int, 0),
                                  Q_ARG(int, Qt::DisplayRole));
        texts << text.toString();
    }
    return texts.join(QLatin1Char(' '));
}

} // namespace

class ModelTest : public QObject
{
    Q_OBJECT

private slots:
    void workedExample();
    void modelData_data();
    void modelData();
    void controllerLists_data();
    void controllerLists();
    void derivedControllers();
    void listedControllersWin();
    void unsignedIds();
    void missingIds_data();
    void missingIds();
    void badStateCutsListShort();
    void listsSurviveCommentsAndStrangers();
    void duplicateIdsAreReported();
    void rootWithOtherName();
    void partialDigestIsReported_data();
    void partialDigestIsReported();
    void areaStateRelay();
    void mapItemsFollowModel();
    void sceneDiesFirst();

private:
    QString write(const QByteArray& content);
    QTemporaryDir m_dir;
    int m_files = 0;
};

QString ModelTest::write(const QByteArray& content)
{
    const QString path = m_dir.filePath(QStringLiteral("zone%1.xtsc").arg(++m_files));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void ModelTest::workedExample()
{
    Zone zone;
    const QString path = QStringLiteral(VELMORA_EXAMPLES "/north.xtsc");
    QVERIFY(zone.load(path));
    QCOMPARE(zone.id(), 7);
    QCOMPARE(zone.name(), QStringLiteral("North"));
    QCOMPARE(zone.fileName(), path);
    QCOMPARE(idsOf(zone.controllers()), (QList<int>{101, 102}));
    for (auto* controller : zone.controllers())
        QVERIFY(controller->name().isEmpty());
    QCOMPARE(idsOf(zone.areas()), QList<int>{3});
    QCOMPARE(idsOf(zone.strategies()), (QList<int>{1, 2}));

    Area* area = zone.area(3);
    QVERIFY(area);
    QCOMPARE(area->name(), QStringLiteral("Centre"));
    QCOMPARE(area->objects(), (QList<int>{101, 102}));
    QCOMPARE(area->states().size(), 1);
    QCOMPARE(area->state(1)->name(), QStringLiteral("Peak"));
    QCOMPARE(area->state(2), nullptr);
    QCOMPARE(area->zone(), &zone);
    QCOMPARE(area->graphicsItem()->parentItem(), zone.graphicsItem());

    // The host sees three titled containers, in this order, under the zone.
    QCOMPARE(childTexts(&zone), QStringLiteral("Controllers(2) Control areas(1) Strategys(2)"));
    QCOMPARE(childTexts(area), QStringLiteral("States(1)"));
    QCOMPARE(zone.strategy(2)->property("name").toString(), QStringLiteral("Night"));
    QCOMPARE(zone.controller(999), nullptr);
    QCOMPARE(zone.area(uint(-1)), nullptr);

    QCOMPARE(zone.controlSource(), -1);
    QCOMPARE(zone.currentStrategy(), -1);
    QVERIFY(!zone.isConnected());
    QCOMPARE(area->controlSource(), -1);
    QCOMPARE(area->currentState(), -1);
    QCOMPARE(area->specialState(), -1);
    QCOMPARE(zone.property("localHash").toByteArray().size(), 16);
}

void ModelTest::modelData_data()
{
    QTest::addColumn<QString>("object");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("role");
    QTest::addColumn<QVariant>("expected");

    const QVariant none;
    QTest::newRow("zone id") << "zone" << 0 << int(Qt::DisplayRole) << QVariant(7);
    QTest::newRow("zone name edit") << "zone" << 1 << int(Qt::EditRole) << QVariant("North");
    QTest::newRow("zone file") << "zone" << 2 << int(Qt::DisplayRole) << QVariant("FILE");
    QTest::newRow("zone column 3") << "zone" << 3 << int(Qt::DisplayRole) << none;
    QTest::newRow("area id") << "area" << 0 << int(Qt::DisplayRole) << QVariant(3);
    QTest::newRow("area column 2") << "area" << 2 << int(Qt::DisplayRole) << none;
    QTest::newRow("area tip") << "area" << 5 << int(Qt::ToolTipRole) << QVariant("TIP");
    QTest::newRow("area status tip") << "area" << 0 << int(Qt::StatusTipRole) << QVariant("TIP");
    QTest::newRow("area font role") << "area" << 0 << int(Qt::FontRole) << none;
    QTest::newRow("controller id") << "controller" << 0 << int(Qt::EditRole) << QVariant(101);
    QTest::newRow("controller icon") << "controller" << 0 << int(Qt::DecorationRole) << none;
    QTest::newRow("controller tip") << "controller" << 0 << int(Qt::ToolTipRole) << none;
    QTest::newRow("state name") << "state" << 1 << int(Qt::DisplayRole) << QVariant("Peak");
    QTest::newRow("strategy name") << "strategy" << 1 << int(Qt::DisplayRole) << QVariant("Night");
    QTest::newRow("container title") << "container" << 0 << int(Qt::DisplayRole)
                                     << QVariant("Strategys(2)");
    QTest::newRow("container column 1") << "container" << 1 << int(Qt::DisplayRole) << none;
}

void ModelTest::modelData()
{
    QFETCH(QString, object);
    QFETCH(int, column);
    QFETCH(int, role);
    QFETCH(QVariant, expected);

    Zone zone;
    const QString path = QStringLiteral(VELMORA_EXAMPLES "/north.xtsc");
    QVERIFY(zone.load(path));
    zone.area(3)->setToolTip(QStringLiteral("TIP"));
    const QHash<QString, QObject*> objects = {
        {"zone", &zone},
        {"area", zone.area(3)},
        {"controller", zone.controller(101)},
        {"state", zone.area(3)->state(1)},
        {"strategy", zone.strategy(2)},
        {"container", zone.children().at(2)},
    };
    QVariant actual;
    QVERIFY(QMetaObject::invokeMethod(objects.value(object), "modelData", Q_RETURN_ARG(QVariant, actual),
                                      Q_ARG(int, column), Q_ARG(int, role)));
    if (expected == QVariant("FILE"))
        expected = path;
    QCOMPARE(actual, expected);
}

void ModelTest::controllerLists_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QList<int>>("ids");
    QTest::newRow("file order") << QByteArray("7,3,5") << QList<int>{7, 3, 5};
    QTest::newRow("empty") << QByteArray("") << QList<int>{};
    QTest::newRow("holes and words") << QByteArray("7,,x,5,") << QList<int>{7, 5};
    QTest::newRow("blanks around") << QByteArray(" 8 , 9") << QList<int>{8, 9};
    // The list is the element's first text node, wherever it stands.
    QTest::newRow("comment first") << QByteArray("<!--c-->1,2") << QList<int>{1, 2};
    QTest::newRow("comment inside") << QByteArray("1,2<!--c-->,3") << QList<int>{1, 2};
    QTest::newRow("CDATA") << QByteArray("<![CDATA[4,5]]>") << QList<int>{4, 5};
}

void ModelTest::controllerLists()
{
    QFETCH(QByteArray, text);
    QFETCH(QList<int>, ids);
    Zone zone;
    QVERIFY(zone.load(write("<Zone id=\"1\"><Areas><Area id=\"2\"><Controllers>" + text
                            + "</Controllers></Area></Areas></Zone>")));
    QCOMPARE(zone.area(2)->objects(), ids);
    // Without a Controllers list the zone's controllers come from the same text.
    QCOMPARE(idsOf(zone.controllers()), sorted(ids));
}

void ModelTest::unsignedIds()
{
    Zone zone;
    QVERIFY(zone.load(write(R"(<Zone id="3000000000"><Areas>
        <Area id="4294967295"><States><State id="3000000001"/></States></Area>
    </Areas><Strategies><Strategy id="2147483648"/></Strategies></Zone>)")));
    QCOMPARE(uint(zone.id()), 3000000000u);
    Area* area = zone.area(4294967295u);
    QVERIFY(area);
    QCOMPARE(uint(area->id()), 4294967295u);
    QCOMPARE(area->states().size(), 1);
    QVERIFY(zone.strategy(2147483648u));
}

void ModelTest::derivedControllers()
{
    Zone zone;
    QVERIFY(zone.load(write(R"(<Zone id="1"><Areas>
        <Area id="2"><Controllers>5,6,x</Controllers></Area>
        <Area id="3"><Controllers>6,7</Controllers></Area>
        <Area id="4"/>
    </Areas></Zone>)")));
    QCOMPARE(idsOf(zone.controllers()), (QList<int>{5, 6, 7}));
    QCOMPARE(childTexts(&zone).section(' ', 0, 0), QStringLiteral("Controllers(3)"));
}

void ModelTest::listedControllersWin()
{
    Zone zone;
    QVERIFY(zone.load(write(R"(<Zone id="1">
        <Controllers><Controller id="9" name="Main / Park"/></Controllers>
        <Areas><Area id="2"><Controllers>5,6</Controllers></Area></Areas></Zone>)")));
    QCOMPARE(idsOf(zone.controllers()), QList<int>{9});
    QCOMPARE(zone.controller(9)->name(), QStringLiteral("Main / Park"));
    QCOMPARE(zone.area(2)->objects(), (QList<int>{5, 6}));
}

void ModelTest::missingIds_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("reason");
    QTest::newRow("root") << QByteArray("<Zone name=\"x\">\n</Zone>")
                          << "Line 1 element:Zone. Missing attribute id";
    QTest::newRow("controller") << QByteArray("<Zone id=\"1\">\n<Controllers>\n<Controller id=\"1\"/>\n"
                                              "<Controller name=\"no id\"/>\n</Controllers>\n</Zone>")
                                << "Line 4 element:Controller. Missing attribute id";
    QTest::newRow("area") << QByteArray("<Zone id=\"1\">\n<Areas>\n\n<Area id=\"x\"/>\n</Areas>\n</Zone>")
                          << "Line 4 element:Area. Missing attribute id";
    QTest::newRow("strategy") << QByteArray("<Zone id=\"1\">\n<Strategies>\n<Strategy id=\"-2\"/>\n"
                                            "</Strategies>\n</Zone>")
                              << "Line 3 element:Strategy. Missing attribute id";
    QTest::newRow("id beyond 32 bits") << QByteArray("<Zone id=\"4294967296\"/>")
                                   << "Line 1 element:Zone. Missing attribute id";
}

void ModelTest::missingIds()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    const QString path = write(content);
    MessageCapture capture;
    Zone zone;
    QVERIFY(!zone.load(path));
    QCOMPARE(capture.messages(), QStringList{QStringLiteral("Error processing file %1: %2").arg(path, reason)});
    QVERIFY(!zone.property("localHash").isValid());
}

void ModelTest::badStateCutsListShort()
{
    MessageCapture capture;
    Zone zone;
    QVERIFY(zone.load(write(R"(<Zone id="1"><Areas><Area id="3"><States>
        <State id="1" name="First"/><State name="Broken"/><State id="3" name="Third"/>
    </States></Area><Area id="4"/></Areas></Zone>)")));
    Area* area = zone.area(3);
    QCOMPARE(area->states().size(), 1);
    QVERIFY(area->state(1));
    QVERIFY(!area->state(3));
    QVERIFY(zone.area(4));
    QCOMPARE(capture.messages(), QStringList{"Object: Velmora::Area: id:3. Invalid states."});
}

void ModelTest::listsSurviveCommentsAndStrangers()
{
    Zone zone;
    QVERIFY(zone.load(write(R"(<Zone id="1">
        <Areas>
            <Area id="1"/>
            <!-- the second area was added later -->
            <Area id="2"/>
            <Note id="77">not an area</Note>
            <Area id="3"/>
        </Areas>
        <Strategies><Strategy id="1"/><!-- x --><Strategy id="2"/></Strategies>
    </Zone>)")));
    QCOMPARE(idsOf(zone.areas()), (QList<int>{1, 2, 3}));
    QCOMPARE(idsOf(zone.strategies()), (QList<int>{1, 2}));
}

void ModelTest::duplicateIdsAreReported()
{
    const QString path = write("<Zone id=\"1\">\n<Strategies>\n<Strategy id=\"5\" name=\"first\"/>\n"
                               "<Strategy id=\"5\" name=\"second\"/>\n</Strategies>\n</Zone>");
    MessageCapture capture;
    Zone zone;
    QVERIFY(zone.load(path));
    QCOMPARE(zone.strategy(5)->property("name").toString(), QStringLiteral("second"));
    QCOMPARE(capture.messages().size(), 1);
    const QString message = capture.messages().first();
    QVERIFY2(message.contains(path) && message.contains("line 4") && message.contains("Strategy")
                 && message.contains("5"),
             qPrintable(message));
}

void ModelTest::rootWithOtherName()
{
    Zone zone;
    QVERIFY(zone.load(write(R"(<Configuration id="3" name="Other"/>)")));
    QCOMPARE(zone.id(), 3);
}

void ModelTest::partialDigestIsReported_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("where");
    QTest::newRow("entity in text") << QByteArray("<Zone id=\"1\">\n<Areas>\n<Area id=\"2\" name=\"a\">"
                                                  "&nope;</Area>\n</Areas>\n</Zone>")
                                    << "3:";
    QTest::newRow("entity in attribute") << QByteArray("<Zone id=\"1\">\n\n<Areas><Area id=\"2\" "
                                                       "name=\"x&nope;y\"/></Areas>\n</Zone>")
                                         << "3:";
}

void ModelTest::partialDigestIsReported()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, where);
    const QString path = write(content);
    MessageCapture capture;
    Zone zone;
    // The document parser accepts the file, so it loads; but its hash cannot
    // tell it from other files that share the part before the entity.
    QVERIFY(zone.load(path));
    QVERIFY(zone.area(2));
    QCOMPARE(capture.messages().size(), 1);
    const QString message = capture.messages().first();
    QVERIFY2(message.contains(path) && message.contains(QStringLiteral(" ") + where),
             qPrintable(message));
}

void ModelTest::areaStateRelay()
{
    Zone zone;
    QVERIFY(zone.load(QStringLiteral(VELMORA_EXAMPLES "/zarechny.xtsc")));
    QList<const QObject*> relayed;
    connect(&zone, &Zone::areaStateChanged, this, [&](const QObject* area) { relayed << area; });
    Area* area = zone.area(5);
    emit area->stateChanged(area);
    QCOMPARE(relayed, QList<const QObject*>{area});
}

void ModelTest::mapItemsFollowModel()
{
    Zone zone;
    QVERIFY(zone.load(QStringLiteral(VELMORA_EXAMPLES "/zarechny.xtsc")));
    QGraphicsScene scene;
    zone.setScene(&scene);
    QCOMPARE(zone.scene(), &scene);
    QCOMPARE(zone.property("graphicsScene").value<QObject*>(), &scene);
    for (Area* area : zone.areas()) {
        QCOMPARE(area->scene(), &scene);
        QCOMPARE(area->graphicsItem()->data(0).value<QObject*>(), area);
        QVERIFY(!area->graphicsItem()->boundingRect().isEmpty());
    }
    QCOMPARE(scene.items().size(), 1 + zone.areas().size());

    Area* area = zone.area(2);
    area->setProperty("selected", true);
    QVERIFY(area->graphicsItem()->isSelected());
    QCOMPARE(scene.selectedItems(), QList<QGraphicsItem*>{area->graphicsItem()});
    area->setProperty("toolTip", QStringLiteral("Riverside"));
    QCOMPARE(area->graphicsItem()->toolTip(), QStringLiteral("Riverside"));
    QCOMPARE(area->property("position").toPointF(), area->graphicsItem()->boundingRect().center());

    zone.setScene(nullptr);
    QVERIFY(scene.items().isEmpty());
    QCOMPARE(area->scene(), nullptr);
}

void ModelTest::sceneDiesFirst()
{
    Zone zone;
    QVERIFY(zone.load(QStringLiteral(VELMORA_EXAMPLES "/north.xtsc")));
    {
        QGraphicsScene scene;
        zone.setScene(&scene);
    }
    // The scene took the map items along; the model carries on without them.
    QCOMPARE(zone.graphicsItem(), nullptr);
    QCOMPARE(zone.area(3)->graphicsItem(), nullptr);
    zone.setProperty("visible", false);
    zone.area(3)->setProperty("selected", true);
    QVERIFY(!zone.area(3)->modelData(0, Qt::DecorationRole).isValid());
    QCOMPARE(zone.area(3)->modelData(1, Qt::DisplayRole), QVariant("Centre"));

    // A new scene shows the zone again, outlines and all.
    QGraphicsScene other;
    zone.setScene(&other);
    QCOMPARE(other.items().size(), 2);
    QCOMPARE(zone.area(3)->scene(), &other);
    QCOMPARE(zone.area(3)->graphicsItem()->parentItem(), zone.graphicsItem());
    QCOMPARE(zone.area(3)->graphicsItem()->data(0).value<QObject*>(), zone.area(3));
    QCOMPARE(zone.graphicsItem()->boundingRect(), QRectF(0, 0, 1000, 800));
    QCOMPARE(zone.area(3)->graphicsItem()->boundingRect(), QRectF(10, 10, 490, 390));
    QVERIFY(zone.area(3)->modelData(0, Qt::DecorationRole).isValid());
}

QTEST_MAIN(ModelTest)
#include "tst_model.moc"
