#include "Velmora/format/ConfigEdits.h"

#include <QDomDocument>
#include <QtTest>

#include "DomText.h"

namespace ConfigEdit = Velmora::ConfigEdit;

namespace {

// Strategy 1 drives area 3 alone, strategy 4 areas 3 and 5; zone card 2 only
// switches to strategy 4. Area 3: state 2 has controller 116 alone, card 2 and
// the special day 01.05 only switch to state 2.
const char* const district = R"(<Zone id="12" name="Zarechny">
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
            <Controllers>116,117</Controllers>
            <States>
                <State id="1" name="Day"><Controller id="116" state="1"/><Controller id="117" state="1"/></State>
                <State id="2" name="Night"><Controller id="116" state="3"/></State>
            </States>
            <Calendar>
                <WeekDistribution>1,1,1,1,1,2,2</WeekDistribution>
                <DayCards>
                    <DayCard id="1"><Time state_id="1">00:00</Time><Time state_id="2">22:00</Time></DayCard>
                    <DayCard id="2"><Time state_id="2">00:00</Time></DayCard>
                </DayCards>
                <SpecialDays>
                    <SpecialDay day="01.05"><Time state_id="2">00:00</Time></SpecialDay>
                    <SpecialDay day="09.05"><Time state_id="1">00:00</Time><Time state_id="2">23:00</Time></SpecialDay>
                </SpecialDays>
            </Calendar>
        </Area>
        <Area id="5" name="Mill"><Controllers>120</Controllers><States/></Area>
    </Areas>
</Zone>)";

QList<QDomElement> childrenOf(const QDomElement& parent, const QString& tag = QString())
{
    QList<QDomElement> list;
    for (QDomElement e = parent.firstChildElement(tag); !e.isNull(); e = e.nextSiblingElement(tag))
        list << e;
    return list;
}

QDomElement withId(const QDomElement& parent, const QString& tag, const QString& id)
{
    for (const QDomElement& e : childrenOf(parent, tag))
        if (e.attribute("id") == id)
            return e;
    return QDomElement();
}

// "id:ref,ref" for each child, the refs being `attribute` of its children.
QString listed(const QDomElement& parent, const QString& attribute, const QString& label = "id")
{
    QStringList parts;
    for (const QDomElement& e : childrenOf(parent)) {
        QStringList refs;
        for (const QDomElement& ref : childrenOf(e))
            refs << ref.attribute(attribute);
        parts << e.attribute(label) + ':' + refs.join(',');
    }
    return parts.join(' ');
}

QString weekOf(const QDomElement& owner)
{
    return owner.firstChildElement("Calendar").firstChildElement("WeekDistribution").text();
}

// The references as they stand: what each edit may carry into.
QString summary(const QDomElement& zone)
{
    const QDomElement calendar = zone.firstChildElement("Calendar");
    QStringList lines{"strategies " + listed(zone.firstChildElement("Strategies"), "id"),
                      "cards " + listed(calendar.firstChildElement("DayCards"), "strategy_id"),
                      "week " + weekOf(zone)};
    const QDomElement area = withId(zone.firstChildElement("Areas"), "Area", "3");
    if (!area.isNull()) {
        const QDomElement areaCalendar = area.firstChildElement("Calendar");
        lines << "area states " + listed(area.firstChildElement("States"), "id")
              << "area cards " + listed(areaCalendar.firstChildElement("DayCards"), "state_id")
              << "area special " + listed(areaCalendar.firstChildElement("SpecialDays"), "state_id", "day")
              << "area week " + weekOf(area);
    }
    lines << "areas " + QString::number(childrenOf(zone.firstChildElement("Areas"), "Area").size());
    return lines.join(" | ");
}

QString removedText(const ConfigEdit::Removed& removed)
{
    const auto ids = [](const QList<QDomElement>& list, const char* attribute = "id") {
        QStringList texts;
        for (const QDomElement& e : list)
            texts << e.attribute(attribute);
        return texts.join(',');
    };
    return QStringLiteral("strategies %1; cards %2; states %3; special %4")
        .arg(ids(removed.strategies), ids(removed.dayCards), ids(removed.states), ids(removed.specialDays, "day"));
}

// Runs one edit given as words: "deleteArea 3", "renameController 116 130", ...
// Area-level edits work on area 3. Edits joined by ';' run in turn; what the
// last one removed is returned.
QString apply(QDomElement zone, const QString& edits)
{
    const QStringList steps = edits.split(';');
    for (int i = 0; i + 1 < steps.size(); ++i)
        apply(zone, steps.at(i));
    const QStringList words = steps.last().split(' ');
    const QString& op = words.at(0);
    const QString a = words.value(1);
    const QString b = words.value(2);
    QDomElement area = withId(zone.firstChildElement("Areas"), "Area", "3");
    ConfigEdit::Removed removed;
    if (op == "renumberArea")
        ConfigEdit::renumberArea(zone, a, b);
    else if (op == "renumberStrategy")
        ConfigEdit::renumberStrategy(zone, a, b);
    else if (op == "deleteArea")
        removed = ConfigEdit::deleteArea(zone, withId(zone.firstChildElement("Areas"), "Area", a));
    else if (op == "deleteStrategy")
        removed = ConfigEdit::deleteStrategy(zone, withId(zone.firstChildElement("Strategies"), "Strategy", a));
    else if (op == "deleteZoneCard")
        removed = ConfigEdit::deleteDayCard(zone, withId(zone.firstChildElement("Calendar").firstChildElement("DayCards"), "DayCard", a));
    else if (op == "addController")
        ConfigEdit::addController(area, a);
    else if (op == "renameController")
        ConfigEdit::renameController(area, a, b);
    else if (op == "deleteControllers") {
        const QStringList numbers = a.split(',');
        removed = ConfigEdit::deleteControllers(area, QSet<QString>(numbers.begin(), numbers.end()));
    } else if (op == "renumberState") { // the state first, as an editor renumbers it
        withId(area.firstChildElement("States"), "State", a).setAttribute("id", b);
        ConfigEdit::renumberState(area, a, b);
    } else if (op == "deleteState")
        removed = ConfigEdit::deleteState(area, withId(area.firstChildElement("States"), "State", a));
    else if (op == "copyState") // a second state under the same id, as a file may hold
        area.firstChildElement("States").appendChild(withId(area.firstChildElement("States"), "State", a).cloneNode());
    else if (op == "deleteAreaCard")
        removed = ConfigEdit::deleteDayCard(area, withId(area.firstChildElement("Calendar").firstChildElement("DayCards"), "DayCard", a));
    else
        qFatal("unknown edit %s", qPrintable(op));
    return removedText(removed);
}

// The district's summary with parts changed. A part it does not hold stops the
// test: the row would otherwise expect the district unchanged.
QString changed(QString text, std::initializer_list<std::pair<QString, QString>> parts)
{
    for (const auto& [from, to] : parts) {
        if (!text.contains(from))
            qFatal("the district's summary holds no \"%s\"", qPrintable(from));
        text.replace(from, to);
    }
    return text;
}

} // namespace

class TestConfigEdits : public QObject
{
    Q_OBJECT

private slots:
    // Each edit against the district as it stands: what the references say
    // afterwards and what the edit took along.
    void cascades_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("removed");
        const QString none = "strategies ; cards ; states ; special ";
        const QString as = "strategies 1:3 4:3,5 | cards 1:1,4 2:4 | week 1,1,1,1,1,2,2 | area states 1:116,117 2:116"
                           " | area cards 1:1,2 2:2 | area special 01.05:2 09.05:1,2 | area week 1,1,1,1,1,2,2 | areas 2";
        const QString areaCalendar = "area cards 1:1,2 2:2 | area special 01.05:2 09.05:1,2 | area week 1,1,1,1,1,2,2";

        // Renumbering follows into every reference, and only there.
        QTest::newRow("renumber area: strategies follow")
            << "renumberArea 3 7" << changed(as, {{"1:3 4:3", "1:7 4:7"}}) << none;
        QTest::newRow("renumber strategy: zone cards follow")
            << "renumberStrategy 4 9" << changed(as, {{"1:1,4 2:4", "1:1,9 2:9"}}) << none;
        QTest::newRow("renumber state: area cards and special days follow")
            << "renumberState 2 6"
            << changed(as, {{" 2:116", " 6:116"},
                            {"area cards 1:1,2 2:2 | area special 01.05:2 09.05:1,2",
                             "area cards 1:1,6 2:6 | area special 01.05:6 09.05:1,6"}})
            << none;
        QTest::newRow("renumber one of two states under one id: the switching points stay with the other")
            << "copyState 2;renumberState 2 6" << changed(as, {{" 2:116", " 6:116 2:116"}}) << none;
        QTest::newRow("renumber to itself changes nothing") << "renumberStrategy 4 4" << as << none;

        // Deletions take along what they leave empty, level after level.
        QTest::newRow("delete area: a strategy left without areas goes, with its switching points")
            << "deleteArea 3"
            << "strategies 4:5 | cards 1:4 2:4 | week 1,1,1,1,1,2,2 | areas 1"
            << "strategies 1; cards ; states ; special ";
        QTest::newRow("delete area: a strategy that keeps another area stays")
            << "deleteArea 5" << changed(as, {{"4:3,5", "4:3"}, {"areas 2", "areas 1"}}) << none;
        QTest::newRow("delete the last area of two strategies: both go, then the cards they emptied")
            << "deleteArea 5;deleteArea 3"
            << "strategies  | cards  | week ,,,,,, | areas 0"
            << "strategies 1,4; cards 1,2; states ; special ";
        QTest::newRow("delete strategy: its switching points, the card left empty, its weekdays")
            << "deleteStrategy 4"
            << changed(as, {{"1:3 4:3,5 | cards 1:1,4 2:4 | week 1,1,1,1,1,2,2", "1:3 | cards 1:1 | week 1,1,1,1,1,,"}})
            << "strategies 4; cards 2; states ; special ";
        QTest::newRow("delete zone card: its weekdays empty")
            << "deleteZoneCard 1"
            << changed(as, {{"cards 1:1,4 2:4 | week 1,1,1,1,1,2,2", "cards 2:4 | week ,,,,,2,2"}})
            << "strategies ; cards 1; states ; special ";
        // A state gone takes its switching points, the card and special day it leaves empty, and that card's weekdays.
        const QString withoutState2 = "area cards 1:1 | area special 09.05:1 | area week 1,1,1,1,1,,";
        QTest::newRow("delete state: cards and special days left empty go, the card's weekdays empty")
            << "deleteState 2" << changed(as, {{" 2:116", ""}, {areaCalendar, withoutState2}})
            << "strategies ; cards 2; states 2; special 01.05";
        QTest::newRow("delete one of two states under one id: its switching points stay")
            << "copyState 2;deleteState 2" << as << "strategies ; cards ; states 2; special ";
        QTest::newRow("delete both states under one id: as a single one")
            << "copyState 2;deleteState 2;deleteState 2" << changed(as, {{" 2:116", ""}, {areaCalendar, withoutState2}})
            << "strategies ; cards 2; states 2; special 01.05";
        QTest::newRow("delete area card: the area's weekdays, not the zone's")
            << "deleteAreaCard 2"
            << changed(as, {{"1:1,2 2:2", "1:1,2"}, {"1,1,1,1,1,2,2 | areas", "1,1,1,1,1,, | areas"}})
            << "strategies ; cards 2; states ; special ";
        QTest::newRow("delete a controller a state still has others of: the state stays")
            << "deleteControllers 117" << changed(as, {{"1:116,117", "1:116"}}) << none;
        QTest::newRow("delete a state's last controller: state, card, special day and weekdays go")
            << "deleteControllers 116" << changed(as, {{"1:116,117 2:116", "1:117"}, {areaCalendar, withoutState2}})
            << "strategies ; cards 2; states 2; special 01.05";
        QTest::newRow("delete every controller: all states go, then every card and special day")
            << "deleteControllers 116,117"
            << changed(as, {{"1:116,117 2:116", ""}, {areaCalendar, "area cards  | area special  | area week ,,,,,,"}})
            << "strategies ; cards 1,2; states 1,2; special 01.05,09.05";
        QTest::newRow("delete a controller no state names: nothing") << "deleteControllers 999" << as << none;

        // Controllers are added to, renamed in and merged within every state.
        QTest::newRow("add controller: every state lacking it")
            << "addController 117" << changed(as, {{"2:116 |", "2:116,117 |"}}) << none;
        QTest::newRow("rename controller: in every state")
            << "renameController 116 130" << changed(as, {{"1:116,117 2:116", "1:130,117 2:130"}}) << none;
        QTest::newRow("rename onto a controller a state has: that state keeps one")
            << "renameController 116 117" << changed(as, {{"1:116,117 2:116", "1:117 2:117"}}) << none;
        QTest::newRow("rename a controller a state lacks: that state left as it was")
            << "renameController 117 130" << changed(as, {{"1:116,117 2:116", "1:116,130 2:116"}}) << none;
        QTest::newRow("rename from nothing: a new controller in every state")
            << "renameController  140" << changed(as, {{"1:116,117 2:116", "1:116,117,140 2:116,140"}}) << none;
    }

    // A hand-written week may carry blanks around its ids; the card's days still empty, the others stay as written.
    void cardDeletedFromABlankedWeek()
    {
        QDomDocument document;
        const QDomElement zone = parseXml(&document, district);
        const QDomElement week = zone.firstChildElement("Calendar").firstChildElement("WeekDistribution");
        week.firstChild().setNodeValue(" 1, 1,1,1,1, 2 ,2");
        apply(zone, "deleteZoneCard 2");
        QCOMPARE(week.text(), QStringLiteral(" 1, 1,1,1,1,,"));
    }

    void cascades()
    {
        QFETCH(QString, edit);
        QFETCH(QString, after);
        QFETCH(QString, removed);
        QDomDocument document;
        const QDomElement zone = parseXml(&document, district);
        QCOMPARE(apply(zone, edit), removed);
        QCOMPARE(summary(zone), after);
    }

    // A new controller enters at state 1 (it runs what its own control says);
    // one renamed keeps what it ran.
    void controllerStates()
    {
        QDomDocument document;
        const QDomElement zone = parseXml(&document, district);
        apply(zone, "addController 140");
        apply(zone, "renameController 116 130");
        const QDomElement states = zone.firstChildElement("Areas").firstChildElement("Area").firstChildElement("States");
        QCOMPARE(describe(states),
                 describe(parseXml(&document, R"(<States>
                     <State id="1" name="Day"><Controller id="130" state="1"/><Controller id="117" state="1"/>
                         <Controller id="140" state="1"/></State>
                     <State id="2" name="Night"><Controller id="130" state="3"/><Controller id="140" state="1"/></State>
                 </States>)")));
    }

    // A card that holds something besides switching points (a comment) is
    // still empty of them, and goes; a strategy or card that was empty
    // before, without naming what went, stays.
    void emptiedMeansNoElements()
    {
        QDomDocument document;
        const QDomElement zone = parseXml(&document, R"(<Zone><Calendar>
            <DayCards><DayCard id="3"><!-- rush hour --><Time strategy_id="2">07:00</Time></DayCard>
            <DayCard id="4"/></DayCards>
            <WeekDistribution>3,3,3,3,3,3,3</WeekDistribution></Calendar>
            <Strategies><Strategy id="2"><!-- peak --><Area id="1"/></Strategy><Strategy id="6"/></Strategies>
            <Areas><Area id="1"/></Areas></Zone>)");
        QCOMPARE(removedText(ConfigEdit::deleteArea(zone, zone.firstChildElement("Areas").firstChildElement("Area"))),
                 "strategies 2; cards 3; states ; special ");
        QCOMPARE(weekOf(zone), ",,,,,,");
    }
};

QTEST_GUILESS_MAIN(TestConfigEdits)
#include "tst_configedits.moc"
