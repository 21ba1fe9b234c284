#include "Velmora/format/ConfigDiff.h"
#include "Velmora/format/ConfigEdits.h"

#include <QDomDocument>
#include <QtTest>

#include "DomText.h"

using Velmora::ConfigDiff;

namespace {

const char* const district = R"(<Zone id="12" name="Zarechny">
    <Geometry>30,60;30.01,60;30.01,60.01</Geometry>
    <Calendar>
        <DayCards>
            <DayCard id="1"><Time strategy_id="1">00:00</Time><Time strategy_id="4">06:30</Time></DayCard>
            <DayCard id="2"><Time strategy_id="4">00:00</Time></DayCard>
        </DayCards>
        <WeekDistribution>1,1,1,1,1,2,2</WeekDistribution>
    </Calendar>
    <Strategies>
        <Strategy id="1" name="Night" default="1"><Area id="3" control_source="1"/></Strategy>
        <Strategy id="4" name="Weekend"><Area id="3" control_source="2"/><Area id="5" control_source="1"/></Strategy>
    </Strategies>
    <Areas>
        <Area id="3" name="Old Town">
            <Geometry>30,60;30.001,60;30.001,60.001</Geometry>
            <Controllers>116,117,118</Controllers>
            <States>
                <State id="1" name="Day"><Controller id="116" program_id="2"/><Controller id="117" state="1"/></State>
                <State id="2" name="Night"><Controller id="116" program_id="4"/></State>
            </States>
            <Calendar>
                <WeekDistribution>2,2,2,2,2,,</WeekDistribution>
                <DayCards><DayCard id="2"><Time state_id="2">00:00</Time><Time state_id="1">16:30</Time></DayCard></DayCards>
                <SpecialDays><SpecialDay day="01.05"><Time state_id="2">00:00</Time></SpecialDay></SpecialDays>
            </Calendar>
        </Area>
        <Area id="5" name="Mill"><Geometry>30,60;30.001,60;30.001,60.001</Geometry><Controllers>120</Controllers></Area>
    </Areas>
</Zone>)";

QDomElement at(const QDomElement& root, const QString& path)
{
    QDomElement element = root;
    for (const QString& step : path.split('/', Qt::SkipEmptyParts)) {
        const QString tag = step.section('[', 0, 0);
        const QString id = step.section('[', 1).chopped(step.contains('[') ? 1 : 0);
        element = element.firstChildElement(tag);
        while (!id.isEmpty() && !element.isNull() && element.attribute(step.startsWith("SpecialDay") ? "day" : "id") != id)
            element = element.nextSiblingElement(tag);
    }
    return element;
}

} // namespace

class TestConfigDiff : public QObject
{
    Q_OBJECT

private slots:
    // Each kind of change once, as an engineer reads it before saving.
    void describesEachChange_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("edit"); // attr=value, text=value, delete, +<xml> appended
        QTest::addColumn<QStringList>("lines");
        const QString area3 = "Area 3 \"Old Town\": ";
        QTest::newRow("layout only") << "" << "" << QStringList();
        QTest::newRow("zone name") << "" << "name=Zarechnyi"
                                   << QStringList{"Zone 12 \"Zarechnyi\": name \"Zarechny\" → \"Zarechnyi\""};
        QTest::newRow("week day") << "Calendar/WeekDistribution" << "text=1,1,1,1,2,2,"
                                  << QStringList{"Zone 12 \"Zarechny\": Friday: day card 1 → 2; Sunday: day card 2 → none"};
        QTest::newRow("entry strategy") << "Calendar/DayCards/DayCard[1]/Time" << "strategy_id=4"
                                        << QStringList{"Zone 12 \"Zarechny\": day card 1: 00:00 strategy 1 → 4"};
        QTest::newRow("strategy deleted with its entries") << "Strategies/Strategy[4]" << "delete+entries"
            << QStringList{"Zone 12 \"Zarechny\": day card 1: 06:30 strategy 4 removed; day card 2: 00:00 strategy 4 removed",
                           "Strategy 4 \"Weekend\" deleted; its entries removed from day cards 1 and 2"};
        QTest::newRow("default moved") << "Strategies/Strategy[4]" << "default=1"
                                       << QStringList{"Strategy 4 \"Weekend\": made default"};
        QTest::newRow("control source") << "Strategies/Strategy[4]/Area[5]" << "control_source=3"
                                        << QStringList{"Strategy 4 \"Weekend\": area 5: calendar → local"};
        QTest::newRow("area no longer used") << "Strategies/Strategy[4]/Area[5]" << "delete"
                                             << QStringList{"Strategy 4 \"Weekend\": area 5 no longer used"};
        QTest::newRow("area used") << "Strategies/Strategy[1]" << "+<Area id=\"5\" control_source=\"2\"/>"
                                   << QStringList{"Strategy 1 \"Night\": area 5 used (adaptive)"};
        QTest::newRow("zone id") << "" << "id=13" << QStringList{"Zone 13 \"Zarechny\": id 12 → 13"};
        QTest::newRow("area added") << "Areas" << "+<Area id=\"9\" name=\"Port\"/>" << QStringList{"Area 9 \"Port\" added"};
        QTest::newRow("controllers") << "Areas/Area[3]/Controllers" << "text=116,119"
                                     << QStringList{area3 + "controller 119 added; controllers 117 and 118 removed"};
        QTest::newRow("outline point moved") << "Areas/Area[5]/Geometry" << "text=30,60;30.001,60.0001;30.001,60.001"
                                             << QStringList{"Area 5 \"Mill\": outline: 1 point moved by 11.1 m"};
        QTest::newRow("outline points moved") << "Areas/Area[5]/Geometry" << "text=30.0001,60;30.0011,60;30.001,60.001"
                                              << QStringList{"Area 5 \"Mill\": outline: 2 points moved, the largest by 5.6 m"};
        QTest::newRow("outline point added") << "Areas/Area[5]/Geometry" << "text=30,60;30.001,60;30.001,60.001;30,60.001"
                                             << QStringList{"Area 5 \"Mill\": outline: 3 → 4 points"};
        QTest::newRow("outline removed") << "Areas/Area[5]/Geometry" << "text=" << QStringList{"Area 5 \"Mill\": outline: removed"};
        QTest::newRow("state program") << "Areas/Area[3]/States/State[1]/Controller[116]" << "program_id=3"
                                       << QStringList{area3 + "state 1 \"Day\": controller 116 program 2 → 3"};
        QTest::newRow("last controller removed") << "Areas/Area[5]/Controllers" << "text="
                                                 << QStringList{"Area 5 \"Mill\": controller 120 removed"};
        QTest::newRow("controller added to a state") << "Areas/Area[3]/States/State[2]" << "+<Controller id=\"117\"/>"
                                                     << QStringList{area3 + "state 2 \"Night\": controller 117 added"};
        QTest::newRow("special state") << "Areas/Area[3]/States/State[1]/Controller[117]" << "state=2"
                                       << QStringList{area3 + "state 1 \"Day\": controller 117 special state 1 → 2"};
        QTest::newRow("special program") << "Areas/Area[3]/States/State[1]/Controller[116]"
                                         << "+<Program cycle_length=\"60\"/>"
                                         << QStringList{area3 + "state 1 \"Day\": controller 116 special program changed"};
        QTest::newRow("state deleted") << "Areas/Area[3]/States/State[2]" << "delete+entries"
            << QStringList{area3 + "state 2 \"Night\" deleted; its entries removed from day card 2, special day 01.05; "
                                   "day card 2: 00:00 state 2 removed; special day 01.05: 00:00 state 2 removed"};
        QTest::newRow("card time") << "Areas/Area[3]/Calendar/DayCards/DayCard[2]" << "times=00:00,16:00"
                                   << QStringList{area3 + "day card 2: 16:30 → 16:00"};
        QTest::newRow("special day added") << "Areas/Area[3]/Calendar/SpecialDays"
                                           << "+<SpecialDay day=\"04.11\"><Time state_id=\"1\">00:00</Time></SpecialDay>"
                                           << QStringList{area3 + "special day 04.11 added"};
    }
    void describesEachChange()
    {
        QFETCH(QString, path);
        QFETCH(QString, edit);
        QFETCH(QStringList, lines);
        QDomDocument before;
        QDomDocument after;
        QVERIFY(before.setContent(QByteArray(district)));
        // The same configuration written otherwise: no line for layout.
        QVERIFY(after.setContent(QByteArray(district).replace("\n", "").replace("    ", "")));
        QDomElement target = at(after.documentElement(), path);
        QVERIFY(!target.isNull() || edit.isEmpty());
        if (edit.startsWith("delete")) {
            const QString id = target.attribute("id");
            const QString attribute = target.tagName() == "Strategy" ? "strategy_id" : "state_id";
            QDomElement owner = target.tagName() == "Strategy" ? after.documentElement() : target.parentNode().parentNode().toElement();
            target.parentNode().removeChild(target);
            // The editors take the entries that named it along.
            QDomNodeList times = owner.elementsByTagName("Time");
            for (int i = times.size() - 1; i >= 0; --i)
                if (times.at(i).toElement().attribute(attribute) == id)
                    times.at(i).parentNode().removeChild(times.at(i));
        } else if (edit.startsWith('+')) {
            QDomDocument part;
            QVERIFY(part.setContent(edit.mid(1)));
            target.appendChild(after.importNode(part.documentElement(), true));
        } else if (edit.startsWith("times=")) {
            const QStringList times = edit.mid(6).split(',');
            QDomElement time = target.firstChildElement("Time");
            for (const QString& t : times) {
                time.firstChild().setNodeValue(t);
                time = time.nextSiblingElement("Time");
            }
        } else if (edit.startsWith("text=")) {
            if (target.firstChild().isNull())
                target.appendChild(after.createTextNode(""));
            target.firstChild().setNodeValue(edit.mid(5));
        } else if (!edit.isEmpty()) {
            target.setAttribute(edit.section('=', 0, 0), edit.section('=', 1));
        }
        QCOMPARE(ConfigDiff::compare(before.documentElement(), after.documentElement()), lines);
        // What a deletion took along, without the zone's own line.
        QCOMPARE(ConfigDiff::compareParts(before.documentElement(), after.documentElement()),
                 lines.filter(QRegularExpression("^(Strategy|Area) ")));
        // One area, as its own editor compares it.
        if (path.startsWith("Areas/Area[")) {
            const QString area = path.section('/', 0, 1);
            QCOMPARE(ConfigDiff::compareArea(at(before.documentElement(), area), at(after.documentElement(), area)), lines);
        }
    }

    // The area editor compares the area it was given with the area it returns: a new id is a change of that area.
    void oneArea()
    {
        QDomDocument document;
        QVERIFY(document.setContent(QByteArray(district)));
        const QDomElement before = at(document.documentElement(), "Areas/Area[5]");
        QDomElement after = before.cloneNode(true).toElement();
        QCOMPARE(ConfigDiff::compareArea(before, after), QStringList());
        after.setAttribute("id", "6");
        after.setAttribute("name", "Weir");
        QCOMPARE(ConfigDiff::compareArea(before, after), QStringList{"Area 6 \"Weir\": id 5 → 6; name \"Mill\" → \"Weir\""});
    }

    // What an import over an area throws away, told before the user agrees.
    void replacementSummary_data()
    {
        QTest::addColumn<QString>("replaced");
        QTest::addColumn<QString>("summary");
        QTest::newRow("one state") << "<Area id=\"7\"><States><State id=\"1\"/></States></Area>"
                                   << "replaces 1 state; the outline is kept";
        QTest::newRow("two day cards and two special days")
            << "<Area id=\"7\"><Calendar><DayCards><DayCard id=\"1\"/><DayCard id=\"2\"/></DayCards><SpecialDays>"
               "<SpecialDay day=\"01.05\"/><SpecialDay day=\"09.05\"/></SpecialDays></Calendar></Area>"
            << "replaces 2 day cards, 2 special days; the outline is kept";
    }
    void replacementSummary()
    {
        QFETCH(QString, replaced);
        QFETCH(QString, summary);
        QDomDocument old;
        QDomDocument fresh;
        QVERIFY(old.setContent(replaced));
        QVERIFY(fresh.setContent(QStringLiteral("<Area id=\"7\"/>")));
        QCOMPARE(ConfigDiff::replacementSummary(old.documentElement(), fresh.documentElement()), summary);
    }

    // The zone editor tells what a deletion took along from copies of the
    // parts it can take: they must tell it as copies of the whole zone would.
    void partsSnapshotTellsDeletions_data()
    {
        QTest::addColumn<QString>("deleted"); // path of an area or a strategy
        QTest::newRow("area used alone by a strategy") << "Areas/Area[3]";
        QTest::newRow("area used beside another") << "Areas/Area[5]";
        QTest::newRow("strategy with day card entries") << "Strategies/Strategy[4]";
        QTest::newRow("default strategy") << "Strategies/Strategy[1]";
    }
    void partsSnapshotTellsDeletions()
    {
        QFETCH(QString, deleted);
        QDomDocument document;
        QVERIFY(document.setContent(QByteArray(district)));
        QDomElement zone = document.documentElement();
        const QDomDocument before = document.cloneNode(true).toDocument();
        const QDomDocument beforeParts = ConfigDiff::partsSnapshot(zone);
        QDomElement target = at(zone, deleted);
        QVERIFY(!target.isNull());
        if (deleted.startsWith("Areas"))
            Velmora::ConfigEdit::deleteArea(zone, target);
        else
            Velmora::ConfigEdit::deleteStrategy(zone, target);
        const QStringList whole = ConfigDiff::compareParts(before.documentElement(), zone);
        QVERIFY(!whole.isEmpty());
        QCOMPARE(ConfigDiff::compareParts(beforeParts.documentElement(), ConfigDiff::partsSnapshot(zone).documentElement()),
                 whole);
        // The areas' own contents are what makes a copy of a large zone dear.
        QVERIFY(at(beforeParts.documentElement(), "Areas/Area[3]").firstChild().isNull());
    }
};

QTEST_GUILESS_MAIN(TestConfigDiff)
#include "tst_configdiff.moc"
