#include "CommandDispatcher.h"
#include "Commands.h"

#include <QtEndian>
#include <QtTest>

using namespace Service;

namespace {

// Monday 09:00: strategy 1 by the zone calendar, area 3 in state 1 by its own.
const QDateTime Start(QDate(2026, 12, 7), QTime(9, 0));
const QString Initial = QStringLiteral("3 1 1 0 4 2 1 0");

// Request data from "name|code value... [#hex]": the code, each value in 4
// bytes, then raw bytes; "#hex" alone is all of it.
QByteArray request(const QStringList& words)
{
    static const QHash<QString, quint32> codes{{"strat", SetStrat},    {"local", SetLocal},      {"default", SetDefault},
                                               {"astate", SetAState},  {"apstate", SetAPState}, {"adefault", SetADefault},
                                               {"dprog", SetDProg}};
    QByteArray data;
    for (const QString& word : words) {
        const quint32 value = qToLittleEndian(codes.value(word, word.toUInt()));
        data += word.startsWith('#') ? QByteArray::fromHex(word.mid(1).toLatin1())
                                     : QByteArray(reinterpret_cast<const char*>(&value), 4);
    }
    return data;
}

} // namespace

// The simulator's rules without a socket: requests decoded and run on a zone,
// what each answers, which events it causes, and where timeouts and the
// calendars take the zone.
class TestZoneModel : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void commands_data();
    void commands();

private:
    ZoneConfig m_config;
};

void TestZoneModel::initTestCase()
{
    QString error;
    QVERIFY2(m_config.load(QStringLiteral(VELMORA_TEST_DATA "/service/zone.xtsc"), &error), qPrintable(error));
}

void TestZoneModel::commands_data()
{
    QTest::addColumn<QString>("steps");   // "[@seconds] request" or "[@seconds] tick", separated by '|'
    QTest::addColumn<QString>("results"); // result symbols of the requests
    QTest::addColumn<QString>("events");  // "id:values" of every step, in order
    QTest::addColumn<QString>("zone");    // control source and strategy afterwards
    QTest::addColumn<QString>("areas");   // the areas-state string afterwards

    auto row = [](const char* name, const char* steps, const char* results, const char* events,
                  const char* zone = "1 1", const QString& areas = Initial) {
        QTest::newRow(name) << steps << results << events << zone << areas;
    };
    row("operator strategy", "strat 2 0", ">OK", "0:4 1:2 2:4,0", "4 2", "3 1 1 0 4 0 1 0");
    row("the running strategy again", "strat 1 0", ">OK", "0:4", "4 1");
    row("unknown strategy", "strat 9 0", ">INV_STRAT", "");
    row("local control", "local 0", ">OK", "0:3", "3 1");
    row("default, nothing to change", "default", ">OK", "");
    row("back to default", "strat 3 0|default", ">OK >OK", "0:4 1:3 2:3,3 2:4,3 0:1 1:1 2:3,1 2:4,2");
    row("area state", "astate 3 3 0", ">OK", "2:3,4 3:3,3,0", "1 1", "3 4 3 0 4 2 1 0");
    // State 3 is area 3's, not area 4's.
    row("another area's state", "astate 4 3 0", ">INV_STATE", "");
    row("unknown area", "astate 8 1 0|apstate 5 1 0|adefault 8", ">INV_AREA >INV_AREA >INV_AREA", "");
    row("special state", "apstate 4 2 0", ">OK", "2:4,4 3:4,1,2", "1 1", "3 1 1 0 4 4 1 2");
    row("special state out of range", "apstate 4 4 0|apstate 4 0 0", ">INV_PSTATE >INV_PSTATE", "");
    row("area back to default", "astate 3 3 0|adefault 3", ">OK >OK", "2:3,4 3:3,3,0 2:3,1 3:3,1,0");
    row("a strategy ends an area command", "apstate 4 3 0|strat 2 0", ">OK >OK",
        "2:4,4 3:4,1,3 0:4 1:2 2:4,0 3:4,1,0", "4 2", "3 1 1 0 4 0 1 0");
    row("strategy times out", "strat 2 60|@59 tick|@61 tick", ">OK", "0:4 1:2 2:4,0 0:1 1:1 2:4,2");
    row("area hold times out", "astate 3 3 30|@31 tick", ">OK", "2:3,4 3:3,3,0 2:3,1 3:3,1,0");
    row("no timeout holds", "astate 3 3 0|@86400 tick", ">OK", "2:3,4 3:3,3,0", "1 1", "3 4 3 0 4 2 1 0");
    row("calendar moves an area", "@3600 tick", "", "3:3,3,0", "1 1", "3 1 3 0 4 2 1 0");
    row("calendar moves the zone", "@46800 tick", "", "1:2 3:3,2,0 2:4,0", "1 2", "3 1 2 0 4 0 1 0");
    row("local control stops the calendars", "local 0|@46800 tick", ">OK", "0:3", "3 1");

    // Requests that do not decode change nothing.
    row("code after SET_EVENT", "4104 1", ">UNIDENT", "");
    row("no room for a code", "#0110", ">UNIDENT", "");
    row("one value short", "strat 3", ">INV_ARG_COUNT", "");
    row("bytes left over", "strat 3 0 #7879", ">INV_ARG_COUNT", "");
    row("content longer than the data", "dprog 101 0 100 #616263", ">INV_ARG_COUNT", "");
    row("program of an unknown controller", "dprog 999 0 1 #70", ">INV_CONT", "");
}

void TestZoneModel::commands()
{
    QFETCH(QString, steps);
    QFETCH(QString, results);
    QFETCH(QString, events);
    QFETCH(QString, zone);
    QFETCH(QString, areas);

    ZoneModel model(&m_config, true);
    model.start(Start);
    QCOMPARE(model.areasState(), Initial);
    quint32 mask = 0xFF;
    ZoneEvents caused;
    QStringList symbols;
    for (const QString& step : steps.split('|')) {
        QStringList words = step.split(' ');
        const QDateTime now = words.first().startsWith('@') ? Start.addSecs(words.takeFirst().mid(1).toInt()) : Start;
        if (words.first() == QLatin1String("tick")) {
            model.tick(now, &caused);
            continue;
        }
        const QByteArray data = request(words);
        const Outcome outcome = CommandDispatcher().dispatch(model, &mask, data, now);
        // The reply names the command it answers, 0 when there was none.
        QCOMPARE(outcome.code, data.size() < 4 ? 0u : qFromLittleEndian<quint32>(data.constData()));
        symbols << resultSymbol(outcome.result);
        caused += outcome.events;
    }
    QStringList texts;
    for (const ZoneEvent& event : qAsConst(caused)) {
        QStringList values;
        for (const QVariant& value : event.values)
            values << value.toString();
        texts << QStringLiteral("%1:%2").arg(event.id).arg(values.join(','));
    }
    QCOMPARE(symbols.join(' '), results);
    QCOMPARE(texts.join(' '), events);
    QCOMPARE(QStringLiteral("%1 %2").arg(model.controlSource()).arg(model.strategy()), zone);
    QCOMPARE(model.areasState(), areas);
}

QTEST_GUILESS_MAIN(TestZoneModel)
#include "tst_zonemodel.moc"
