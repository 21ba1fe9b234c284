// What the workstation logs after a save: the comparison that leaves out the areas both versions hold alike must say
// what the whole comparison says, and the comparisons that run off the GUI thread answer in the order of the saves
// and end with their owner.
#include "ZoneChanges.h"
#include "ZoneVersions.h"

#include "Velmora/format/ConfigDiff.h"

#include <QtTest>

#include <memory>

#include "DomText.h"
#include "Until.h"

using namespace Velmora;

namespace {

QByteArray area(int id, const QByteArray& name, const QByteArray& controllers = "101,102")
{
    return "        <Area id=\"" + QByteArray::number(id) + "\" name=\"" + name + "\">\n"
           "            <Controllers>" + controllers + "</Controllers>\n"
           "            <States>\n"
           "                <State id=\"1\" name=\"Peak\"><Controller id=\"101\" state=\"2\"/></State>\n"
           "            </States>\n"
           "        </Area>\n";
}

QByteArray zone(const QByteArray& areas)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<Zone id=\"7\" name=\"North\">\n"
           "    <Strategies>\n"
           "        <Strategy id=\"1\" name=\"Day\" default=\"1\"><Area id=\"3\" control_source=\"1\"/></Strategy>\n"
           "    </Strategies>\n"
           "    <Areas>\n"
        + areas + "    </Areas>\n</Zone>\n";
}

QByteArray threeAreas()
{
    return area(3, "Centre") + area(4, "Mill") + area(5, "Old Town");
}

// A district large enough that its comparison is still under way when the test goes on.
QByteArray district(int areas, const QByteArray& firstName)
{
    QByteArray text = area(1, firstName);
    for (int id = 2; id <= areas; ++id)
        text += area(id, "Area " + QByteArray::number(id));
    return zone(text);
}

} // namespace

class TestZoneVersions : public QObject
{
    Q_OBJECT
private slots:
    void sameLinesAsTheWholeComparison_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        // Layouts, comments, encodings and texts the cut declines show nothing here: the whole comparison reads
        // them alike whatever the cut does, so only what the cut keeps or leaves out can differ.
        const QByteArray base = zone(threeAreas());
        QTest::newRow("nothing changed") << base << base;
        QTest::newRow("controllers of the last area")
            << base << zone(area(3, "Centre") + area(4, "Mill") + area(5, "Old Town", "101,102,103"));
        // One area in each file only.
        QTest::newRow("area renumbered") << base << zone(area(3, "Centre") + area(9, "Mill") + area(5, "Old Town"));
        QTest::newRow("an id twice, the later one differs")
            << zone(threeAreas() + area(4, "Mill")) << zone(threeAreas() + area(4, "Weir"));
        QTest::newRow("areas without an id")
            << zone("        <Area name=\"A\"/>\n        <Area name=\"B\"/>\n")
            << zone("        <Area name=\"A\"/>\n        <Area name=\"C\"/>\n");
        // Characters of two and three bytes before an area cut from both files, with the next area right after it.
        QTest::newRow("names of other characters")
            << zone("<Area id=\"3\" name=\"\xD0\xA6\xD0\xB5\xD0\xBD\xD1\x82\xD1\x80\"/><Area id=\"4\"/><Area id=\"5\"/>")
            << zone("<Area id=\"3\" name=\"\xE2\x80\x94\"/><Area id=\"4\"/><Area id=\"5\" name=\"\xE2\x80\x94\"/>");
        // Cut where the characters end, not a byte further.
        QTest::newRow("characters beyond 16 bits")
            << zone("<Area id=\"3\" name=\"\xF0\x9F\x9A\xA6\xF0\x9F\x9A\xA6\"/><Area id=\"4\" name=\"Mill\"/>")
            << zone("<Area id=\"3\" name=\"\xF0\x9F\x9A\xA6\xF0\x9F\x9A\xA6\"/><Area id=\"4\" name=\"Weir\"/>");
        // Plain ASCII to the UTF-8 check, two bytes a character to the reader.
        const auto utf16 = [](const QByteArray& text) {
            const QString declared = QString::fromUtf8(text).replace("UTF-8", "UTF-16");
            return QByteArray(reinterpret_cast<const char*>(declared.utf16()), declared.size() * 2);
        };
        QTest::newRow("UTF-16 without a byte order mark")
            << utf16(base) << utf16(zone(area(3, "Centre") + area(4, "Weir") + area(5, "Old Town")));
        QTest::newRow("after cut short") << base << base.left(base.indexOf("<Area id=\"4\""));
    }
    void sameLinesAsTheWholeComparison()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        QStringList expected;
        QString expectedError;
        const bool expectedDone = Velmora::ConfigDiff::compareTexts(before, after, &expected, &expectedError);
        QStringList changes;
        QString error;
        QCOMPARE(Velmora::ZoneChanges::compare(before, after, &changes, &error), expectedDone);
        QCOMPARE(changes, expected);
        QCOMPARE(error, expectedError);
    }

    // A second save while the first one's comparison runs: each answer carries its own save's lines, in order.
    void savesAnsweredInOrder()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("district.xtsc"));
        QVERIFY(writeFile(file, district(2000, "First")));
        ZoneVersions versions;
        QSignalSpy answers(&versions, &ZoneVersions::changesSaved);
        for (const QByteArray name : {"Second", "Third"}) {
            versions.editorOpened(file);
            QVERIFY(writeFile(file, district(2000, name)));
            versions.compareSaved(file);
        }
        QVERIFY(until([&] { return answers.size() == 2; }, 60000));
        QCOMPARE(answers.at(0).at(0).toString(), file);
        QCOMPARE(answers.at(0).at(1).toStringList(), QStringList{"Area 1 \"Second\": name \"First\" → \"Second\""});
        QCOMPARE(answers.at(1).at(1).toStringList(), QStringList{"Area 1 \"Third\": name \"Second\" → \"Third\""});
        // What the editor opened on is forgotten with the save.
        versions.compareSaved(file);
        QCOMPARE(answers.size(), 2);
    }

    void fileGoneAfterTheSave()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("north.xtsc"));
        QVERIFY(writeFile(file, zone(threeAreas())));
        ZoneVersions versions;
        QSignalSpy answers(&versions, &ZoneVersions::changesSaved);
        versions.editorOpened(file);
        QVERIFY(QFile::remove(file));
        versions.compareSaved(file);
        QCOMPARE(answers.size(), 1);
        const QStringList lines = answers.at(0).at(1).toStringList();
        QVERIFY2(lines.size() == 1 && lines.first().startsWith(file), qPrintable(lines.join('\n')));
    }

    // Closing the window ends its comparisons: the one under way is waited for, the queued ones dropped, none answers.
    void endsWithItsOwner()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("district.xtsc"));
        QVERIFY(writeFile(file, district(2000, "First")));
        auto versions = std::make_unique<ZoneVersions>();
        int answers = 0;
        connect(versions.get(), &ZoneVersions::changesSaved, this, [&answers] { ++answers; });
        for (const QByteArray name : {"Second", "Third", "Fourth"}) {
            versions->editorOpened(file);
            QVERIFY(writeFile(file, district(2000, name)));
            versions->compareSaved(file);
        }
        versions.reset();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QCOMPARE(answers, 0);
    }
};

QTEST_GUILESS_MAIN(TestZoneVersions)
#include "tst_zoneversions.moc"
