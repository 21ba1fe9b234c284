#include <QApplication>
#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QIcon>
#include <QTemporaryDir>
#include <QtTest>

#include "MessageCapture.h"
#include "OffscreenLeaks.h"
#include "Velmora/Area.h"
#include "Velmora/Controller.h"
#include "Velmora/Strategy.h"
#include "Velmora/Zone.h"

using Velmora::Area;
using Velmora::BaseObject;
using Velmora::Zone;

namespace {

const QString North = QStringLiteral(VELMORA_EXAMPLES "/north.xtsc");

QString named(const BaseObject* object)
{
    const QString id = QString::number(uint(object->id()));
    return object->name().isEmpty() ? id : id + QLatin1Char('=') + object->name();
}

// "id[=name]" of each object in id order, with what `more` adds.
template<typename T, typename More>
QString list(const QList<T*>& objects, More more)
{
    QMap<uint, QString> parts;
    for (T* object : objects)
        parts.insert(uint(object->id()), named(object) + more(object));
    return parts.values().join(QLatin1Char(' '));
}

// The tree a file gave: "zone | controllers | areas[controllers]{states} | strategies".
QString tree(Zone& zone)
{
    const auto nothing = [](const BaseObject*) { return QString(); };
    const auto area = [&](Area* a) {
        QStringList ids;
        for (int id : a->objects())
            ids << QString::number(id);
        return QStringLiteral("[%1]{%2}").arg(ids.join(','), list(a->states(), nothing));
    };
    return QStringList{named(&zone), list(zone.controllers(), nothing), list(zone.areas(), area),
                       list(zone.strategies(), nothing)}.join(QStringLiteral(" | ")).simplified();
}

// The titles of an object's children as a host's tree shows them.
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
    void trees_data();
    void trees();
    void unsignedIds();
    void missingIds_data();
    void missingIds();
    void partialDigestIsReported_data();
    void partialDigestIsReported();
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
    QVERIFY(zone.load(North));
    QCOMPARE(tree(zone), QStringLiteral("7=North | 101 102 | 3=Centre[101,102]{1=Peak} | 1=Day 2=Night"));
    QCOMPARE(zone.fileName(), North);
    Area* area = zone.area(3);
    QCOMPARE(area->zone(), &zone);
    QCOMPARE(area->graphicsItem()->parentItem(), zone.graphicsItem());
    QCOMPARE(zone.strategy(2)->property("name").toString(), QStringLiteral("Night"));
    QCOMPARE(area->state(2), nullptr);
    QCOMPARE(zone.controller(999), nullptr);
    QCOMPARE(zone.area(uint(-1)), nullptr);

    // The host sees three titled containers, in this order, under the zone.
    QCOMPARE(childTexts(&zone), QStringLiteral("Controllers(2) Control areas(1) Strategys(2)"));
    QCOMPARE(childTexts(area), QStringLiteral("States(1)"));
    // Nothing reported yet.
    QCOMPARE(QList<int>({zone.controlSource(), zone.currentStrategy(), area->controlSource(),
                         area->currentState(), area->specialState()}),
             QList<int>({-1, -1, -1, -1, -1}));
    QVERIFY(!zone.isConnected());
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
    QTest::newRow("zone file") << "zone" << 2 << int(Qt::DisplayRole) << QVariant(North);
    QTest::newRow("zone column 3") << "zone" << 3 << int(Qt::DisplayRole) << none;
    QTest::newRow("area column 2") << "area" << 2 << int(Qt::DisplayRole) << none;
    QTest::newRow("area tip") << "area" << 5 << int(Qt::ToolTipRole) << QVariant("TIP");
    QTest::newRow("area status tip") << "area" << 0 << int(Qt::StatusTipRole) << QVariant("TIP");
    QTest::newRow("area font role") << "area" << 0 << int(Qt::FontRole) << none;
    QTest::newRow("controller id") << "controller" << 0 << int(Qt::EditRole) << QVariant(101);
    QTest::newRow("controller icon") << "controller" << 0 << int(Qt::DecorationRole) << none;
    QTest::newRow("controller tip") << "controller" << 0 << int(Qt::ToolTipRole) << none;
    QTest::newRow("state name") << "state" << 1 << int(Qt::DisplayRole) << QVariant("Peak");
    QTest::newRow("strategy name") << "strategy" << 1 << int(Qt::DisplayRole) << QVariant("Night");
    QTest::newRow("container title") << "container" << 0 << int(Qt::DisplayRole) << QVariant("Strategys(2)");
    QTest::newRow("container column 1") << "container" << 1 << int(Qt::DisplayRole) << none;
}

void ModelTest::modelData()
{
    QFETCH(QString, object);
    QFETCH(int, column);
    QFETCH(int, role);
    QFETCH(QVariant, expected);

    Zone zone;
    QVERIFY(zone.load(North));
    zone.area(3)->setToolTip(QStringLiteral("TIP"));
    const QHash<QString, QObject*> objects = {
        {"zone", &zone}, {"area", zone.area(3)}, {"controller", zone.controller(101)},
        {"state", zone.area(3)->state(1)}, {"strategy", zone.strategy(2)}, {"container", zone.children().at(2)},
    };
    QVariant actual;
    QVERIFY(QMetaObject::invokeMethod(objects.value(object), "modelData", Q_RETURN_ARG(QVariant, actual),
                                      Q_ARG(int, column), Q_ARG(int, role)));
    QCOMPARE(actual, expected);
}

void ModelTest::controllerLists_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("ids");
    QTest::newRow("file order") << QByteArray("7,3,5") << "7,3,5";
    QTest::newRow("empty") << QByteArray("") << "";
    QTest::newRow("holes and words") << QByteArray("7,,x,5,") << "7,5";
    QTest::newRow("blanks around") << QByteArray(" 8 , 9") << "8,9";
    // The list is the element's first text node, wherever it stands.
    QTest::newRow("comment first") << QByteArray("<!--c-->1,2") << "1,2";
    QTest::newRow("comment inside") << QByteArray("1,2<!--c-->,3") << "1,2";
    QTest::newRow("CDATA") << QByteArray("<![CDATA[4,5]]>") << "4,5";
}

void ModelTest::controllerLists()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, ids);
    Zone zone;
    QVERIFY(zone.load(write("<Zone id=\"1\"><Areas><Area id=\"2\"><Controllers>" + text
                            + "</Controllers></Area></Areas></Zone>")));
    // Without a Controllers list the zone's controllers come from the same text.
    QStringList sorted = ids.split(',', Qt::SkipEmptyParts);
    std::sort(sorted.begin(), sorted.end());
    QCOMPARE(tree(zone), QStringLiteral("1 | %1 | 2[%2]{} |").arg(sorted.join(' '), ids).simplified());
}

void ModelTest::trees_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("tree");
    QTest::addColumn<QString>("message"); // FILE stands for the file's path

    QTest::newRow("controllers from all areas") << QByteArray(R"(<Zone id="1"><Areas>
        <Area id="2"><Controllers>5,6,x</Controllers></Area><Area id="3"><Controllers>6,7</Controllers></Area>
        <Area id="4"/></Areas></Zone>)") << "1 | 5 6 7 | 2[5,6]{} 3[6,7]{} 4[]{} |" << "";
    QTest::newRow("listed controllers win") << QByteArray(R"(<Zone id="1">
        <Controllers><Controller id="9" name="Main / Park"/></Controllers>
        <Areas><Area id="2"><Controllers>5,6</Controllers></Area></Areas></Zone>)")
                                            << "1 | 9=Main / Park | 2[5,6]{} |" << "";
    QTest::newRow("comments and strangers in lists") << QByteArray(R"(<Zone id="1"><Areas>
            <Area id="1"/><!-- added later --><Area id="2"/><Note id="77">not an area</Note><Area id="3"/>
        </Areas><Strategies><Strategy id="1"/><!-- x --><Strategy id="2"/></Strategies></Zone>)")
                                                     << "1 | | 1[]{} 2[]{} 3[]{} | 1 2" << "";
    QTest::newRow("bad state cuts the list short") << QByteArray(R"(<Zone id="1"><Areas><Area id="3"><States>
        <State id="1" name="First"/><State name="Broken"/><State id="3" name="Third"/>
        </States></Area><Area id="4"/></Areas></Zone>)")
                                                   << "1 | | 3[]{1=First} 4[]{} |"
                                                   << "Object: Velmora::Area: id:3. Invalid states.";
    QTest::newRow("duplicate id") << QByteArray("<Zone id=\"1\">\n<Strategies>\n<Strategy id=\"5\" name=\"first\"/>\n"
                                                "<Strategy id=\"5\" name=\"second\"/>\n</Strategies>\n</Zone>")
                                  << "1 | | | 5=second"
                                  << "FILE: line 4 element:Strategy. Duplicate id 5; the later element is used";
    QTest::newRow("root of another name") << QByteArray(R"(<Configuration id="3" name="Other"/>)")
                                          << "3=Other | | |" << "";
}

void ModelTest::trees()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, tree);
    QFETCH(QString, message);
    const QString path = write(content);
    MessageCapture capture;
    Zone zone;
    QVERIFY(zone.load(path));
    QCOMPARE(::tree(zone), tree);
    const QStringList messages = message.isEmpty() ? QStringList() : QStringList(message.replace("FILE", path));
    QCOMPARE(capture.messages(), messages);
}

void ModelTest::unsignedIds()
{
    Zone zone;
    QVERIFY(zone.load(write(R"(<Zone id="3000000000"><Areas>
        <Area id="4294967295"><States><State id="3000000001"/></States></Area>
    </Areas><Strategies><Strategy id="2147483648"/></Strategies></Zone>)")));
    QCOMPARE(tree(zone), QStringLiteral("3000000000 | | 4294967295[]{3000000001} | 2147483648"));
    QVERIFY(zone.area(4294967295u));
    QVERIFY(zone.strategy(2147483648u));
}

void ModelTest::missingIds_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("reason");
    QTest::newRow("root") << QByteArray("<Zone name=\"x\">\n</Zone>") << "Line 1 element:Zone. Missing attribute id";
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

void ModelTest::partialDigestIsReported_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("entity in text")
        << QByteArray("<Zone id=\"1\">\n<Areas>\n<Area id=\"2\" name=\"a\">&nope;</Area>\n</Areas>\n</Zone>");
    QTest::newRow("entity in attribute")
        << QByteArray("<Zone id=\"1\">\n\n<Areas><Area id=\"2\" name=\"x&nope;y\"/></Areas>\n</Zone>");
}

void ModelTest::partialDigestIsReported()
{
    QFETCH(QByteArray, content);
    const QString path = write(content);
    MessageCapture capture;
    Zone zone;
    // The document parser accepts the file, so it loads; but its hash cannot
    // tell it from other files that share the part before the entity (line 3).
    QVERIFY(zone.load(path));
    QVERIFY(zone.area(2));
    QCOMPARE(capture.messages().size(), 1);
    const QString message = capture.messages().first();
    QVERIFY2(message.contains(path) && message.contains(QStringLiteral(" 3:")), qPrintable(message));
}

void ModelTest::sceneDiesFirst()
{
    Zone zone;
    QVERIFY(zone.load(North));
    Area* area = zone.area(3);
    QGraphicsScene* scene = new QGraphicsScene;
    zone.setScene(scene);
    QCOMPARE(zone.property("graphicsScene").value<QObject*>(), scene);
    QCOMPARE(area->scene(), scene);
    // The model's properties reach the map items.
    area->setProperty("selected", true);
    QCOMPARE(scene->selectedItems(), QList<QGraphicsItem*>{area->graphicsItem()});
    area->setProperty("toolTip", QStringLiteral("Riverside"));
    QCOMPARE(area->graphicsItem()->toolTip(), QStringLiteral("Riverside"));
    QCOMPARE(area->property("position").toPointF(), area->graphicsItem()->boundingRect().center());
    zone.setScene(nullptr);
    QVERIFY(scene->items().isEmpty());
    QCOMPARE(area->scene(), nullptr);

    zone.setScene(scene);
    delete scene;
    // The scene took the map items along; the model carries on without them.
    QCOMPARE(zone.graphicsItem(), nullptr);
    QCOMPARE(area->graphicsItem(), nullptr);
    zone.setProperty("visible", false);
    area->setProperty("selected", true);
    QVERIFY(!area->modelData(0, Qt::DecorationRole).isValid());
    QCOMPARE(area->modelData(1, Qt::DisplayRole), QVariant("Centre"));

    // A new scene shows the zone again, outlines and all.
    QGraphicsScene other;
    zone.setScene(&other);
    QCOMPARE(other.items().size(), 2);
    QCOMPARE(area->scene(), &other);
    QCOMPARE(area->graphicsItem()->parentItem(), zone.graphicsItem());
    QCOMPARE(area->graphicsItem()->data(0).value<QObject*>(), area);
    QCOMPARE(zone.graphicsItem()->boundingRect(), QRectF(0, 0, 1000, 800));
    QCOMPARE(area->graphicsItem()->boundingRect(), QRectF(10, 10, 490, 390));
    QVERIFY(area->modelData(0, Qt::DecorationRole).isValid());
}

QTEST_MAIN(ModelTest)
#include "tst_model.moc"
