#include <QApplication>
#include <QGraphicsItem>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include "Area.h"
#include "MessageCapture.h"
#include "OffscreenLeaks.h"
#include "Zone.h"

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

private:
    // Loads bytes through a file; returns whether it loaded, and checks that a
    // failure was explained.
    bool loadChecked(const QByteArray& content, const QByteArray& label);
    static QByteArray mutate(QByteArray data, QRandomGenerator* random);

    QTemporaryDir m_dir;
    QByteArray m_original;
};

void LoadFuzzTest::initTestCase()
{
    QFile file(QStringLiteral(VELMORA_EXAMPLES "/north.xtsc"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    m_original = file.readAll();
    QVERIFY(m_original.size() > 500);
}

bool LoadFuzzTest::loadChecked(const QByteArray& content, const QByteArray& label)
{
    const QString path = m_dir.filePath(QStringLiteral("fuzz.xtsc"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(path));
    file.close();

    MessageCapture capture;
    Zone zone;
    const bool loaded = zone.load(path);
    if (!loaded && capture.messages().isEmpty())
        qFatal("load failed without a reason: %s", label.constData());
    if (loaded) {
        // Whatever loaded is a consistent tree: every area hangs in the zone's item.
        for (Velmora::Area* area : zone.areas()) {
            if (area->graphicsItem()->parentItem() != zone.graphicsItem())
                qFatal("area item outside its zone: %s", label.constData());
        }
        for (int column = 0; column < 3; ++column)
            zone.modelData(column, Qt::DecorationRole);
    }
    return loaded;
}

void LoadFuzzTest::everyPrefix()
{
    int loaded = 0;
    for (int size = 0; size <= m_original.size(); ++size)
        loaded += loadChecked(m_original.left(size), "prefix " + QByteArray::number(size));
    // Only the whole file (and it with some trailing bytes cut) parses.
    QVERIFY(loaded >= 1);
    QVERIFY(loaded < 10);
}

void LoadFuzzTest::randomMutations_data()
{
    QTest::addColumn<quint32>("seed");
    for (quint32 seed = 1; seed <= 8; ++seed)
        QTest::newRow(qPrintable(QStringLiteral("seed %1").arg(seed))) << seed;
}

QByteArray LoadFuzzTest::mutate(QByteArray data, QRandomGenerator* random)
{
    static const QByteArray interesting[] = {"<", ">", "\"", ";", ",", "&amp;", "&#0;", "-1",
                                             "99999999999", "<!--", "-->", "<Area id=\"3\">", "\xff\xfe",
                                             "<![CDATA[", "\0"};
    const int edits = 1 + random->bounded(4);
    for (int i = 0; i < edits && !data.isEmpty(); ++i) {
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
    const int cases = 400;
    for (int i = 0; i < cases; ++i) {
        const QByteArray label = QByteArray::number(seed) + '/' + QByteArray::number(i);
        loaded += loadChecked(mutate(m_original, &random), label);
    }
    // Some mutations hit only text or values and still load.
    QVERIFY(loaded > 0);
    QVERIFY(loaded < cases);
}

QTEST_MAIN(LoadFuzzTest)
#include "tst_load_fuzz.moc"
