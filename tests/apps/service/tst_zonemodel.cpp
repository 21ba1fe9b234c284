#include "ZoneModel.h"

#include "Commands.h"

#include <QtTest>

using Service::ZoneEvents;
using Service::ZoneModel;

namespace {

// Monday 09:00: strategy 1 by the zone calendar, area 3 in state 1 by its own.
const QDateTime Start(QDate(2026, 12, 7), QTime(9, 0));

QString describe(const ZoneEvents& events)
{
    QStringList texts;
    for (const Service::ZoneEvent& event : events) {
        QStringList values;
        for (const QVariant& value : event.values)
            values << QString::number(value.toInt());
        texts << QStringLiteral("%1:%2").arg(event.id).arg(values.join(QLatin1Char(',')));
    }
    return texts.join(QLatin1Char(' '));
}

} // namespace

// The simulator's rules, driven directly: what each command answers, which
// events it causes, and where timeouts and the calendars take the zone.
class TestZoneModel : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void commands_data();
    void commands();

private:
    Service::ZoneConfig m_config;
};

void TestZoneModel::initTestCase()
{
    QString error;
    QVERIFY2(m_config.load(QStringLiteral(VELMORA_TEST_DATA "/service/zone.xtsc"), &error),
             qPrintable(error));
}

void TestZoneModel::commands_data()
{
    QTest::addColumn<QString>("steps");   // "[@seconds] command args", separated by '|'
    QTest::addColumn<QString>("results"); // result symbols of the commands
    QTest::addColumn<QString>("events");  // "id:values" of every step, in order
    QTest::addColumn<QString>("zone");    // control source and strategy afterwards
    QTest::addColumn<QString>("areas");   // the areas-state string afterwards

    const QString initial = QStringLiteral("3 1 1 0 4 2 1 0");
    QTest::newRow("operator strategy") << "strat 2 0" << ">OK" << "0:4 1:2 2:4,0" << "4 2"
                                       << "3 1 1 0 4 0 1 0";
    QTest::newRow("unknown strategy") << "strat 9 0" << ">INV_STRAT" << "" << "1 1" << initial;
    QTest::newRow("local control") << "local 0" << ">OK" << "0:3" << "3 1" << initial;
    QTest::newRow("back to default") << "local 0|default" << ">OK >OK" << "0:3 0:1" << "1 1" << initial;
    QTest::newRow("area state") << "astate 3 3 0" << ">OK" << "2:3,4 3:3,3,0" << "1 1"
                                << "3 4 3 0 4 2 1 0";
    QTest::newRow("unknown state") << "astate 3 9 0" << ">INV_STATE" << "" << "1 1" << initial;
    QTest::newRow("unknown area") << "astate 8 1 0" << ">INV_AREA" << "" << "1 1" << initial;
    QTest::newRow("special state") << "apstate 4 2 0" << ">OK" << "2:4,4 3:4,1,2" << "1 1"
                                   << "3 1 1 0 4 4 1 2";
    QTest::newRow("special state out of range") << "apstate 4 4 0|apstate 4 0 0"
                                                << ">INV_PSTATE >INV_PSTATE" << "" << "1 1" << initial;
    QTest::newRow("area back to default") << "astate 3 3 0|adefault 3" << ">OK >OK"
                                          << "2:3,4 3:3,3,0 2:3,1 3:3,1,0" << "1 1" << initial;
    QTest::newRow("strategy times out") << "strat 2 60|@59 tick|@61 tick" << ">OK"
                                        << "0:4 1:2 2:4,0 0:1 1:1 2:4,2" << "1 1" << initial;
    QTest::newRow("area hold times out") << "astate 3 3 30|@31 tick" << ">OK"
                                         << "2:3,4 3:3,3,0 2:3,1 3:3,1,0" << "1 1" << initial;
    QTest::newRow("no timeout holds") << "astate 3 3 0|@86400 tick" << ">OK" << "2:3,4 3:3,3,0"
                                      << "1 1" << "3 4 3 0 4 2 1 0";
    QTest::newRow("calendar moves an area") << "@3600 tick" << "" << "3:3,3,0" << "1 1"
                                            << "3 1 3 0 4 2 1 0";
    QTest::newRow("calendar moves the zone") << "@46800 tick" << "" << "1:2 3:3,2,0 2:4,0" << "1 2"
                                             << "3 1 2 0 4 0 1 0";
    QTest::newRow("local control stops the calendars") << "local 0|@46800 tick" << ">OK" << "0:3"
                                                       << "3 1" << initial;
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
    QCOMPARE(model.areasState(), QStringLiteral("3 1 1 0 4 2 1 0"));
    ZoneEvents caused;
    QStringList symbols;
    for (QString step : steps.split(QLatin1Char('|'))) {
        QDateTime now = Start;
        if (step.startsWith(QLatin1Char('@'))) {
            now = Start.addSecs(step.section(QLatin1Char(' '), 0, 0).mid(1).toInt());
            step = step.section(QLatin1Char(' '), 1);
        }
        const QStringList words = step.split(QLatin1Char(' '));
        auto arg = [&](int i) { return words.value(i).toInt(); };
        const QString command = words.first();
        quint32 result = 0;
        if (command == QLatin1String("tick")) {
            model.tick(now, &caused);
            continue;
        }
        if (command == QLatin1String("strat"))
            result = model.setStrategy(arg(1), arg(2), now, &caused);
        else if (command == QLatin1String("local"))
            result = model.setLocal(arg(1), now, &caused);
        else if (command == QLatin1String("default"))
            result = model.setDefault(now, &caused);
        else if (command == QLatin1String("astate"))
            result = model.setAreaState(arg(1), arg(2), arg(3), now, &caused);
        else if (command == QLatin1String("apstate"))
            result = model.setAreaSpecialState(arg(1), arg(2), arg(3), now, &caused);
        else if (command == QLatin1String("adefault"))
            result = model.setAreaDefault(arg(1), now, &caused);
        else
            QFAIL(qPrintable(QStringLiteral("unknown step ") + step));
        symbols << Service::resultSymbol(result);
    }
    QCOMPARE(symbols.join(QLatin1Char(' ')), results);
    QCOMPARE(describe(caused), events);
    QCOMPARE(QStringLiteral("%1 %2").arg(model.controlSource()).arg(model.strategy()), zone);
    QCOMPARE(model.areasState(), areas);
}

QTEST_GUILESS_MAIN(TestZoneModel)
#include "tst_zonemodel.moc"
