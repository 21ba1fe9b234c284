// The builder that makes the model from a zone description, and files read ahead on a worker thread.
#include <QDomDocument>
#include <QGraphicsItem>
#include <QtTest>

#include <memory>

#include "DomText.h"
#include "MessageCapture.h"
#include "QtOwnLeaks.h"
#include "Until.h"
#include "Velmora/Area.h"
#include "Velmora/Controller.h"
#include "Velmora/Plugin.h"
#include "Velmora/PreparedLoads.h"
#include "Velmora/Strategy.h"
#include "Velmora/Zone.h"
#include "Velmora/ZoneBuilder.h"
#include "Velmora/ZoneReading.h"
#include "Velmora/graphics/AbstractItem.h"

using namespace Velmora;

namespace {

// Calls back as a host does when a file it asked for was read.
class Receiver : public QObject
{
    Q_OBJECT
public:
    QStringList heard; // "file ok"

public slots:
    void read(QString fileName, bool ok) { heard << fileName + (ok ? " ok" : " failed"); }
};

// What a load left: the zone's name and hash, which tell one reading from another (what a reading holds is
// tst_model's), or nothing; and what it logged.
QString outcome(QObject* zone, const QStringList& messages)
{
    if (!zone)
        return QStringLiteral("no zone\n") + messages.join('\n');
    const QByteArray hash = zone->property("localHash").toByteArray().toHex();
    return zone->property("name").toString() + " hash " + QString::fromLatin1(hash) + '\n' + messages.join('\n');
}

} // namespace

class ZoneReadingTest : public QObject
{
    Q_OBJECT

private slots:
    void builder();
    void preparedAsLoaded_data();
    void preparedAsLoaded();
    void preparedOnce();
    void preparesOverlapping();
    void settledFileStamp_data();
    void settledFileStamp();

private:
    QString write(const QByteArray& content);

    QTemporaryDir m_dir;
    int m_files = 0;
};

QString ZoneReadingTest::write(const QByteArray& content)
{
    const QString path = m_dir.filePath(QStringLiteral("zone%1.xtsc").arg(++m_files));
    if (!writeFile(path, content))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// Later duplicates are what lookups find; earlier ones stay children, with
// their map items, but do not relay their state changes.
void ZoneReadingTest::builder()
{
    QDomDocument document;
    const ZoneDescription description = ZoneReading::describe(parseXml(&document, R"(<Zone id="7" name="North">
        <Geometry>0,0;9,0;9,9</Geometry><Controllers><Controller id="1" name="a"/><Controller id="1" name="b"/>
        <Controller id="2"/></Controllers><Areas><Area id="3" name="first"><Geometry>0,0;4,0;4,4</Geometry>
        <Controllers>2,1,2</Controllers><States><State id="1" name="x"/><State id="5"/><State id="1" name="y"/></States>
        </Area><Area id="3" name="second"><Controllers>2,1,2</Controllers></Area></Areas>
        <Strategies><Strategy id="4294967295" name="last"/></Strategies></Zone>)"), QStringLiteral("file.xtsc"));
    Zone zone;
    QString error = QStringLiteral("stale");
    QVERIFY(ZoneBuilder::build(&zone, description, &error));
    QCOMPARE(error, QString());
    QCOMPARE(zone.controller(1)->name(), QStringLiteral("b"));
    QCOMPARE(zone.controllers().size(), 2);
    Area* found = zone.area(3);
    QCOMPARE(found->name(), QStringLiteral("second"));
    QCOMPARE(found->objects(), (QList<int>{2, 1, 2}));
    QVERIFY(found->states().isEmpty());
    QCOMPARE(zone.strategy(4294967295u)->property("name").toString(), QStringLiteral("last"));

    // Both areas are children, in file order, and so are their items.
    const QList<Area*> children = zone.findChildren<Area*>();
    QCOMPARE(children.size(), 2);
    Area* shadowed = children.first();
    QCOMPARE(shadowed->name(), QStringLiteral("first"));
    QCOMPARE(shadowed->state(1)->name(), QStringLiteral("y"));
    QCOMPARE(shadowed->states().size(), 2);
    QCOMPARE(zone.graphicsItem()->childItems(), (QList<QGraphicsItem*>{shadowed->graphicsItem(), found->graphicsItem()}));

    // Outlines as the map items read a Geometry text; none read, none drawn.
    const auto path = [](const QString& text) {
        QPainterPath read;
        Rare::Graphics::AbstractItem::readOutline(text, &read);
        read.closeSubpath();
        return read;
    };
    const auto shown = [](QGraphicsItem* item) { return dynamic_cast<Rare::Graphics::AbstractItem*>(item)->path(); };
    QCOMPARE(shown(zone.graphicsItem()), path(QStringLiteral("0,0;9,0;9,9")));
    QCOMPARE(shown(shadowed->graphicsItem()), path(QStringLiteral("0,0;4,0;4,4")));
    QVERIFY(shown(found->graphicsItem()).isEmpty());

    QList<const QObject*> relayed;
    connect(&zone, &Zone::areaStateChanged, [&relayed](const QObject* area) { relayed << area; });
    emit shadowed->stateChanged(shadowed);
    emit found->stateChanged(found);
    QCOMPARE(relayed, (QList<const QObject*>{found}));
}

void ZoneReadingTest::preparedAsLoaded_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("changed"); // written once the file was read ahead
    QTest::newRow("example") << QStringLiteral(VELMORA_EXAMPLES "/north.xtsc") << QByteArray();
    QTest::newRow("missing file") << QStringLiteral(VELMORA_TEST_DATA "/model/none.xtsc") << QByteArray();
    QTest::newRow("warnings and a hash of a part")
        << write("<Zone id=\"1\">\n<Areas>\n<Area id=\"2\">&nope;<States><State id=\"1\"/><State/></States>"
                 "</Area>\n<Area id=\"2\"/></Areas>\n</Zone>") << QByteArray();
    QTest::newRow("fails in the model")
        << write("<Zone id=\"1\"><Strategies><Strategy/></Strategies></Zone>") << QByteArray();
    // Rewritten, however quickly, the file is read again; its first reading is not used.
    const QByteArray before = "<Zone id=\"1\" name=\"Befor\"/>";
    QTest::newRow("same size since") << write(before) << QByteArray("<Zone id=\"1\" name=\"After\"/>");
}

// A host that has the file read ahead gets the zone, the messages and the
// reason for a refusal that a plain load of the file as it is now gives.
void ZoneReadingTest::preparedAsLoaded()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, changed);
    Plugin root;
    Receiver receiver;
    root.prepareLoad(path, &receiver, QStringLiteral("read"));
    QVERIFY(until([&] { return !receiver.heard.isEmpty(); }));
    if (!changed.isEmpty())
        QVERIFY(writeFile(path, changed));
    QString plain;
    {
        Plugin other;
        MessageCapture capture;
        std::unique_ptr<QObject> zone(other.load(path));
        plain = outcome(zone.get(), capture.messages());
    }
    MessageCapture capture;
    std::unique_ptr<QObject> zone(root.load(path));
    QCOMPARE(outcome(zone.get(), capture.messages()), plain);
    QCOMPARE(receiver.heard, QStringList{path + (zone || !changed.isEmpty() ? " ok" : " failed")});
}

// A reading serves as many loads of its file as readings were asked for,
// and only those of its own file; one that comes after its loads is dropped.
void ZoneReadingTest::preparedOnce()
{
    const QString path = write("<Zone id=\"1\"><Areas><Area id=\"2\"/></Areas></Zone>");
    QObject context;
    PreparedLoads loads(&context);
    Receiver receiver;
    loads.prepare(path, &receiver, "read");
    loads.prepare(path, &receiver, "read");
    QVERIFY(until([&] { return receiver.heard.size() == 2; }));
    ZoneFile file;
    QVERIFY(!loads.take(path + QStringLiteral(".other"), &file));
    QVERIFY(loads.take(path, &file));
    QCOMPARE(file.zone.areas.size(), 1);
    QVERIFY(loads.take(path, &file));
    QVERIFY(!loads.take(path, &file));

    loads.prepare(path, &receiver, "read");
    QVERIFY(!loads.take(path, &file)); // not read yet: the load reads the file itself
    QVERIFY(until([&] { return receiver.heard.size() == 3; }));
    QVERIFY(!loads.take(path, &file));
}

// Readings that overlap: of one file twice, a receiver gone before its answer, a zone of the file unloaded meanwhile,
// and the root deleted while its workers still read. None of it may crash or leak (the sanitizers watch); the loads
// that follow give the file's zone.
void ZoneReadingTest::preparesOverlapping()
{
    QByteArray areas;
    for (int id = 1; id <= 300; ++id)
        areas += QStringLiteral("<Area id=\"%1\"><Geometry>0,0;1,0;1,1</Geometry><Controllers>%1</Controllers>"
                                "<States><State id=\"1\"/></States></Area>").arg(id).toUtf8();
    const QString path = write("<Zone id=\"1\"><Areas>" + areas + "</Areas></Zone>");

    auto root = std::make_unique<Plugin>();
    std::unique_ptr<QObject> earlier(root->load(path));
    Receiver first, second;
    auto gone = std::make_unique<Receiver>();
    for (Receiver* receiver : {&first, gone.get(), &second})
        root->prepareLoad(path, receiver, QStringLiteral("read"));
    gone.reset();
    earlier.reset();
    QVERIFY(until([&] { return !first.heard.isEmpty() && !second.heard.isEmpty(); }));
    std::unique_ptr<QObject> zone(root->load(path));
    QVERIFY(zone);
    QCOMPARE(zone->property("id").toInt(), 1);
    QCOMPARE(qobject_cast<Zone*>(zone.get())->areas().size(), 300);

    Receiver never;
    root->prepareLoad(path, &never, QStringLiteral("read"));
    root->prepareLoad(path, &never, QStringLiteral("read"));
    zone.reset();
    root.reset();
    QCoreApplication::processEvents();
    QVERIFY(never.heard.isEmpty());
}

void ZoneReadingTest::settledFileStamp_data()
{
    QTest::addColumn<QString>("change"); // empty: none, and the stamp still matches
    QTest::newRow("unchanged") << QString();
    QTest::newRow("rewritten, same size, time set back") << "set back";
    QTest::newRow("deleted") << "deleted";
}

// A file left alone for a while before it was stamped is compared without
// reading it again; a write since must still show, however it was disguised.
void ZoneReadingTest::settledFileStamp()
{
    QFETCH(QString, change);
    const QString path = write("<Zone id=\"1\" name=\"Befor\"/>");
    FileStamp stamp = FileStamp::of(path);
    QVERIFY(stamp.valid);
    // As though stamped long after the file's last change.
    stamp.taken = stamp.taken.addSecs(60);
    // The file system's clock moves on, so that a change shows in the times.
    const QDateTime written = stamp.metadataChanged;
    QVERIFY(until([&] { return written.msecsTo(QDateTime::currentDateTimeUtc()) > 50; }));
    if (change == "set back") {
        QVERIFY(writeFile(path, "<Zone id=\"1\" name=\"After\"/>"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite) && file.setFileTime(stamp.modified, QFileDevice::FileModificationTime));
    } else if (change == "deleted") {
        QVERIFY(QFile::remove(path));
    }
    QCOMPARE(stamp.stillMatches(path), change.isEmpty());
}

QTEST_MAIN(ZoneReadingTest)
#include "tst_zonereading.moc"
