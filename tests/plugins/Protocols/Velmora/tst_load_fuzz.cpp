#include <QApplication>
#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include "MessageCapture.h"
#include "OffscreenLeaks.h"
#include "Velmora/Area.h"
#include "Velmora/Zone.h"

using Velmora::Zone;

// Damaged configuration files must load or fail with a logged reason; never
// crash or read out of bounds (this runs under the sanitizers).
class LoadFuzzTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void everyPrefix();
    void randomMutations_data();
    void randomMutations();
    void deepNesting_data();
    void deepNesting();
    void failedReloadOnScene_data();
    void failedReloadOnScene();

private:
    QString write(const QByteArray& content);
    // Loads bytes through a file into the zone (a fresh one when none is
    // given) and returns whether it loaded. What must not happen either way
    // (a failure without a reason, an item outside its zone) goes to *fault.
    bool loadChecked(const QByteArray& content, QString* fault, Zone* into = nullptr);
    static QByteArray mutate(QByteArray data, QRandomGenerator* random);

    QTemporaryDir m_dir;
    int m_files = 0;
    QByteArray m_original;
};

void LoadFuzzTest::initTestCase()
{
    QFile file(QStringLiteral(VELMORA_EXAMPLES "/north.xtsc"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    m_original = file.readAll();
    QVERIFY(m_original.size() > 500);
}

// A new file each time: rewriting one file from empty makes the file system
// flush it on close, which only slows the run.
QString LoadFuzzTest::write(const QByteArray& content)
{
    const QString path = m_dir.filePath(QStringLiteral("fuzz%1.xtsc").arg(++m_files));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

bool LoadFuzzTest::loadChecked(const QByteArray& content, QString* fault, Zone* into)
{
    const QString path = write(content);
    MessageCapture capture;
    Zone own;
    Zone& zone = into ? *into : own;
    const bool loaded = zone.load(path);
    QFile::remove(path);
    if (!loaded && capture.messages().isEmpty())
        *fault = QStringLiteral("load failed without a reason");
    if (loaded) {
        // Whatever loaded is a consistent tree: every area hangs in the zone's item.
        for (Velmora::Area* area : zone.areas()) {
            if (area->graphicsItem()->parentItem() != zone.graphicsItem())
                *fault = QStringLiteral("area %1's item outside its zone").arg(area->id());
        }
        for (int column = 0; column < 3; ++column)
            zone.modelData(column, Qt::DecorationRole);
    }
    return loaded;
}

void LoadFuzzTest::everyPrefix()
{
    int loaded = 0;
    for (int size = 0; size <= m_original.size(); ++size) {
        QString fault;
        loaded += loadChecked(m_original.left(size), &fault);
        QVERIFY2(fault.isEmpty(), qPrintable(QStringLiteral("prefix %1: %2").arg(size).arg(fault)));
    }
    // Only the whole file (and it with some trailing bytes cut) parses.
    QVERIFY(loaded >= 1);
    QVERIFY(loaded < 10);
}

void LoadFuzzTest::randomMutations_data()
{
    QTest::addColumn<quint32>("seed");
    for (quint32 seed = 1; seed <= 6; ++seed)
        QTest::addRow("seed %u", seed) << seed;
}

QByteArray LoadFuzzTest::mutate(QByteArray data, QRandomGenerator* random)
{
    static const QByteArray interesting[] = {"<", ">", "\"", ";", ",", "&amp;", "&#0;", "-1",
                                             "99999999999", "<!--", "-->", "<Area id=\"3\">", "\xff\xfe",
                                             "<![CDATA[", QByteArray("\0", 1)};
    for (int i = 1 + random->bounded(4); i > 0 && !data.isEmpty(); --i) {
        const int at = random->bounded(data.size());
        switch (random->bounded(5)) {
        case 0:
            data[at] = char(random->bounded(256));
            break;
        case 1:
            data.remove(at, 1 + random->bounded(16));
            break;
        case 2:
            data.insert(at, interesting[random->bounded(int(std::size(interesting)))]);
            break;
        case 3:
            data.insert(at, data.mid(random->bounded(data.size()), random->bounded(64)));
            break;
        default:
            data.truncate(at);
            break;
        }
    }
    return data;
}

void LoadFuzzTest::randomMutations()
{
    QFETCH(quint32, seed);
    QRandomGenerator random(seed);
    int loaded = 0;
    const int cases = 300;
    for (int i = 0; i < cases; ++i) {
        const QByteArray mutated = mutate(m_original, &random);
        QString fault;
        loaded += loadChecked(mutated, &fault);
        QVERIFY2(fault.isEmpty(),
                 qPrintable(QStringLiteral("case %1 (%2): %3").arg(i).arg(QString::fromLatin1(mutated.toBase64()), fault)));
    }
    // Some mutations hit only text or values and still load.
    QVERIFY(loaded > 0);
    QVERIFY(loaded < cases);
}

void LoadFuzzTest::deepNesting_data()
{
    QTest::addColumn<int>("depth");
    QTest::addColumn<bool>("loads");
    QTest::newRow("at the bound") << 256 << true;
    QTest::newRow("one past") << 257 << false;
    // Deep enough to exhaust the stack of a recursive parser.
    QTest::newRow("40,000 levels") << 40000 << false;
}

void LoadFuzzTest::deepNesting()
{
    QFETCH(int, depth);
    QFETCH(bool, loads);
    // The zone is the first level; each further level on a line of its own.
    const QString path = write("<Zone id=\"1\">\n" + QByteArray("<x>\n").repeated(depth - 1)
                               + QByteArray("</x>").repeated(depth - 1) + "</Zone>");
    MessageCapture capture;
    Zone zone;
    QCOMPARE(zone.load(path), loads);
    // Refused where the 257th level opens: line 257, just after its tag.
    const QString refusal = QStringLiteral("Error processing file %1 (257:4): Elements nested deeper than 256 levels");
    QCOMPARE(capture.messages(), loads ? QStringList() : QStringList{refusal.arg(path)});
    QCOMPARE(zone.property("localHash").isValid(), loads);
}

void LoadFuzzTest::failedReloadOnScene_data()
{
    QTest::addColumn<QByteArray>("reload");
    QTest::addColumn<int>("areasLeft");
    // The second area fails its id check after the first was built: a load
    // that fails part-way leaves no objects; a file that does not parse keeps
    // what an earlier load built.
    QTest::newRow("bad area id") << QByteArray(R"(<Zone id="1"><Areas>
        <Area id="1"><Geometry>0,0;50,0;50,50</Geometry></Area>
        <Area id="x"><Geometry>0,0;90,0;90,90</Geometry></Area>
        <Area id="3"><Geometry>10,10;20,10;20,20</Geometry></Area></Areas></Zone>)") << 0;
    QTest::newRow("bad strategy id") << QByteArray(R"(<Zone id="1"><Areas>
        <Area id="1"><Geometry>0,0;50,0;50,50</Geometry></Area></Areas>
        <Strategies><Strategy/></Strategies></Zone>)") << 0;
    QTest::newRow("syntax error") << QByteArray("<Zone id=\"1\"><Areas>") << 2;
}

void LoadFuzzTest::failedReloadOnScene()
{
    QFETCH(QByteArray, reload);
    QFETCH(int, areasLeft);
    QGraphicsScene scene;
    QGraphicsView view(&scene);
    view.resize(200, 200);
    view.show();
    Zone zone;
    QString fault;
    QVERIFY(loadChecked(R"(<Zone id="1"><Geometry>-10,-10;110,-10;110,110</Geometry><Areas>
        <Area id="1"><Geometry>0,0;100,0;100,100</Geometry></Area>
        <Area id="2"><Geometry>0,0;60,0;60,60</Geometry></Area></Areas></Zone>)",
                        &fault, &zone));
    zone.setScene(&scene);
    for (Velmora::Area* area : zone.areas())
        area->setProperty("selected", true); // selected areas paint and take hits
    view.fitInView(scene.itemsBoundingRect());

    QVERIFY(!loadChecked(reload, &fault, &zone));
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
    QCOMPARE(zone.areas().size(), areasLeft);
    // Every item left on the scene belongs to a live object of the zone.
    QSet<QObject*> live{&zone};
    for (Velmora::Area* area : zone.areas())
        live << area;
    const QList<QGraphicsItem*> items = scene.items();
    QCOMPARE(items.size(), 1 + areasLeft);
    for (QGraphicsItem* item : items)
        QVERIFY(live.contains(item->data(0).value<QObject*>()));
    // Painting and hit-testing touch every item (the sanitizer watches).
    view.viewport()->repaint();
    scene.items(QPointF(30, 30));
    QVERIFY(!view.grab().isNull());
    for (int y = 0; y < 200; y += 10)
        view.itemAt(QPoint(y, y));
}

QTEST_MAIN(LoadFuzzTest)
#include "tst_load_fuzz.moc"
