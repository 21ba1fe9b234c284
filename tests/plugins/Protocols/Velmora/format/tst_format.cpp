// The file format's own pieces: the configuration checker, the token digest
// behind the configuration hash, the values every reader reads alike, and
// outline numbers as text.
#include "Velmora/format/ConfigChecker.h"
#include "Velmora/format/ConfigReader.h"
#include "DomText.h"
#include "Velmora/format/GeometryText.h"
#include "Velmora/format/OutlineCrossing.h"
#include "Velmora/format/OutlineOverlap.h"
#include "Velmora/format/TokenDigest.h"

#include <QCryptographicHash>
#include <QDomDocument>
#include <QFile>
#include <QTextCodec>
#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <limits>

using Velmora::ConfigChecker;
using Velmora::ConfigFinding;
using Velmora::ConfigFindings;
using Points = QVector<QPointF>;
using Pair = QPair<int, int>;
Q_DECLARE_METATYPE(Points)

namespace {

// The first meeting pair, every pair tested in order: what the outline check
// did before it sorted edges into cells.
Pair crossingByAllPairs(const Points& ring)
{
    for (int i = 0; i < ring.size(); ++i) {
        for (int j = i + 1; j < ring.size(); ++j) {
            if (Velmora::Geometry::edgesMeet(ring, i, j))
                return {i, j};
        }
    }
    return {-1, -1};
}

Pair crossing(const Points& ring)
{
    Pair found;
    return Velmora::Geometry::findSelfCrossing(ring, &found.first, &found.second) ? found : qMakePair(-1, -1);
}

// A circle of n points, scaled and placed like a town in degrees.
Points circle(int n)
{
    Points ring;
    for (int k = 0; k < n; ++k) {
        const double angle = 2 * M_PI * k / n;
        ring << QPointF(37.6 + 0.1 * std::cos(angle), 55.7 + 0.05 * std::sin(angle));
    }
    return ring;
}

QString fixture(const QString& name)
{
    return QStringLiteral(VELMORA_TEST_DATA "/check/%1.xtsc").arg(name);
}

// "LINE severity kind" per finding, in order.
QStringList summary(const ConfigFindings& findings)
{
    QStringList lines;
    for (const ConfigFinding& f : findings)
        lines << QStringLiteral("%1 %2 %3").arg(f.line).arg(f.isError() ? "error" : "warning", f.kind);
    return lines;
}

// A zone without faults but for its one area's outline and week distribution.
QDomDocument zoneWith(const QString& outline, const QString& week)
{
    QDomDocument document;
    document.setContent(QStringLiteral(
        "<Zone id='1'><Geometry>-1,-1;20,-1;20,20;-1,20</Geometry>"
        "<Calendar><DayCards><DayCard id='1'><Time strategy_id='1'>00:00</Time></DayCard></DayCards>"
        "<WeekDistribution>1,1,1,1,1,1,1</WeekDistribution></Calendar>"
        "<Strategies><Strategy id='1' default='1'><Area id='2' control_source='1'/></Strategy></Strategies>"
        "<Areas><Area id='2'><Geometry>%1</Geometry><Controllers/><States><State id='1'/></States>"
        "<Calendar><DayCards><DayCard id='1'><Time state_id='1'>00:00</Time></DayCard></DayCards>"
        "<WeekDistribution>%2</WeekDistribution></Calendar></Area></Areas></Zone>")
                            .arg(outline, week));
    return document;
}

QByteArray md4(const QStringList& tokens)
{
    QCryptographicHash hash(QCryptographicHash::Md4);
    for (const QString& token : tokens)
        hash.addData(token.toUtf8());
    return hash.result();
}

} // namespace

class TestFormat : public QObject
{
    Q_OBJECT

private slots:
    // The checker: one fixture per kind of fault, each a copy of a clean zone
    // with that one fault; edge cases of outlines and week texts.
    void faults_data()
    {
        QTest::addColumn<QString>("name");         // the fixture; its main finding has this kind
        QTest::addColumn<QStringList>("expected"); // every finding: "LINE severity kind"
        QTest::addColumn<QString>("path");         // of the main finding
        QTest::addColumn<QString>("mention");      // a part of the main finding's message

        auto row = [](const char* name, const QStringList& expected, const char* path, const char* mention) {
            QTest::newRow(name) << QString::fromLatin1(name) << expected << QString::fromLatin1(path)
                                << QString::fromLatin1(mention);
        };
        row("clean", {}, "", "");
        row("clean-edges", {}, "", "");
        row("missing-id", {"73 error missing-id"}, "Areas/Area[id=2]/States/State[3]", "State element");
        row("duplicate-id", {"26 error duplicate-id"}, "Strategies/Strategy[id=2]",
            "Strategy 2 repeats the one on line 23");
        row("repeated-controller-in-state", {"35 error duplicate-id"},
            "Areas/Area[id=1]/States/State[id=1]/Controller[id=11]",
            "Controller 11 in state 1 of area 1 repeats the one on line 33");
        row("repeated-controller-id", {"8 error duplicate-id"}, "Controllers/Controller[id=12]",
            "Controller 12 repeats the one on line 6");
        row("repeated-area-id", {"84 error duplicate-id"}, "Areas/Area[id=2]", "Area 2 repeats the one on line 65");
        row("repeated-state-id", {"73 error duplicate-id"}, "Areas/Area[id=2]/States/State[id=5]",
            "State 5 of area 2 repeats the one on line 69");
        row("controller-listed-twice", {"30 error duplicate-id"}, "Areas/Area[id=1]/Controllers",
            "Controller 11 is listed twice in the controllers of area 1");
        row("area-without-id", {"21 error unknown-area", "65 error missing-id"}, "", "");
        row("special-day-bad-id", {"53 error missing-id"}, "Areas/Area[id=1]/Calendar/SpecialDays/SpecialDay[id=x]",
            "SpecialDay element");
        row("bad-id-list", {"67 error bad-id-list"}, "Areas/Area[id=2]/Controllers", "\"2x\"");
        row("unknown-strategy", {"13 error unknown-strategy"}, "Calendar/DayCards/DayCard[id=2]/Time[2]", "strategy 9");
        row("unknown-state", {"45 error unknown-state"}, "Areas/Area[id=1]/Calendar/DayCards/DayCard[id=1]/Time[2]",
            "state 9");
        row("special-day-unknown-state", {"54 error unknown-state"},
            "Areas/Area[id=1]/Calendar/SpecialDays/SpecialDay[day=01.05]/Time", "Special day 01.05 of area 1 names state 9");
        row("unknown-day-card", {"75 error unknown-day-card"}, "Areas/Area[id=2]/Calendar/WeekDistribution",
            "day card 4 for Saturday");
        row("unknown-area", {"25 error unknown-area"}, "Strategies/Strategy[id=2]/Area[id=8]", "area 8");
        row("unknown-controller", {"71 error unknown-controller"},
            "Areas/Area[id=2]/States/State[id=5]/Controller[id=11]", "controller 11");
        row("bad-control-source", {"21 error bad-control-source"}, "Strategies/Strategy[id=1]/Area[id=2]", "\"5\"");
        // Areas without a control source are the service's "no value", never the file's.
        row("control-source-zero", {"21 error bad-control-source"}, "Strategies/Strategy[id=1]/Area[id=2]", "\"0\"");
        row("repeated-area", {"25 error repeated-area"}, "Strategies/Strategy[id=2]/Area[id=1]", "line 24");
        row("controller-in-two-areas", {"67 error controller-in-two-areas"}, "Areas/Area[id=2]/Controllers",
            "Controller 12 is in area 2 and in area 1 (line 30)");
        row("controller-without-area", {"8 warning controller-without-area"}, "Controllers/Controller[id=31]",
            "Controller 31");
        row("unused-area", {"64 warning unused-area"}, "Areas/Area[id=2]", "area 2");
        row("outline-overlap", {"66 warning outline-overlap"}, "Areas/Area[id=2]/Geometry",
            "by 9.1 % of its own area and 16.7 % of area 1's");
        row("outside-zone", {"66 warning outside-zone"}, "Areas/Area[id=2]/Geometry", "16.7 % outside");
        row("phase-outside-cycle", {"36 error phase-outside-cycle"},
            "Areas/Area[id=1]/States/State[id=1]/Controller[id=11]/Program/Phase[2]",
            "The program of controller 11 in state 1 of area 1 starts phase 2 at 60");
        row("phases-over-cycle", {"34 error phases-over-cycle"},
            "Areas/Area[id=1]/States/State[id=1]/Controller[id=11]/Program",
            "program of controller 11 in state 1 of area 1 take 65");
        row("no-intergreen", {"36 warning no-intergreen"},
            "Areas/Area[id=1]/States/State[id=1]/Controller[id=11]/Program/Phase[2]",
            "In the program of controller 11 in state 1 of area 1, phase 2 has no intergreen");
        row("mixed-cycles", {"32 warning mixed-cycles"}, "Areas/Area[id=1]/States/State[id=1]",
            "controller 11 on a cycle of 60 and controller 12 on one of 90");
        row("week-fields", {"16 error week-fields"}, "Calendar/WeekDistribution", "it has 6");
        row("week-bad-field", {"16 error week-bad-field"}, "Calendar/WeekDistribution", "\"one\" for Wednesday");
        row("week-empty-day", {"75 warning week-empty-day"}, "Areas/Area[id=2]/Calendar/WeekDistribution",
            "Saturday, Sunday");
        row("no-week", {"74 warning no-week"}, "Areas/Area[id=2]/Calendar", "area 2");
        row("no-calendar", {"65 warning no-calendar"}, "Areas/Area[id=2]", "area 2");
        row("bad-time", {"12 error bad-time"}, "Calendar/DayCards/DayCard[id=2]/Time[1]", "\"25:00\"");
        row("bad-target", {"79 error bad-target"}, "Areas/Area[id=2]/Calendar/DayCards/DayCard[id=3]/Time[2]",
            "state_id");
        row("bad-date", {"53 error bad-date"}, "Areas/Area[id=1]/Calendar/SpecialDays/SpecialDay[day=30.02]",
            "\"30.02\"");
        row("duplicate-day", {"56 warning duplicate-day"},
            "Areas/Area[id=1]/Calendar/SpecialDays/SpecialDay[day=01.05]", "line 53");
        row("missing-outline", {"65 warning missing-outline"}, "Areas/Area[id=2]", "area 2");
        row("bad-outline", {"66 error bad-outline"}, "Areas/Area[id=2]/Geometry", "area 2");
        row("few-points", {"66 error few-points"}, "Areas/Area[id=2]/Geometry", "it has 2");
        row("zone-few-points", {"3 error few-points"}, "Geometry", "The outline of zone 5 needs");
        row("self-crossing", {"66 error self-crossing"}, "Areas/Area[id=2]/Geometry",
            "point 2 to 3 meets the edge from point 4 to 1");
        // Without strategies every zone calendar entry names a missing one too.
        row("no-strategy",
            {"7 error unknown-strategy", "8 error unknown-strategy", "9 error unknown-strategy",
             "12 error unknown-strategy", "13 error unknown-strategy", "18 error no-strategy"},
            "Strategies", "no strategy");
        row("no-default", {"18 error no-default"}, "Strategies", "strategy 1, the first");
        row("several-defaults", {"18 warning several-defaults"}, "Strategies", "Strategies 1 and 2");
        row("not-xml", {"4 error xml-syntax"}, "", "well-formed");
        row("no-such-file", {"0 error cannot-open"}, "", "Cannot open");
    }

    void faults()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, expected);
        QFETCH(QString, path);
        QFETCH(QString, mention);
        const ConfigFindings findings = ConfigChecker::checkFile(fixture(name));
        QCOMPARE(summary(findings), expected);
        // The counts the workstation's status bar shows.
        QCOMPARE(ConfigChecker::errorCount(findings), expected.filter(" error ").size());
        QCOMPARE(ConfigChecker::warningCount(findings), expected.filter(" warning ").size());
        for (const ConfigFinding& f : findings) {
            QVERIFY(f.message.endsWith(QLatin1Char('.')));
            if (f.kind == name || expected.size() == 1) {
                QCOMPARE(f.path, path);
                QVERIFY2(f.message.contains(mention), qPrintable(f.message));
            }
        }
        // Checking a document leaves it as it was, and finds what the file check found.
        QDomDocument document;
        if (document.setContent(readFile(fixture(name)))) {
            const QString before = document.toString();
            QCOMPARE(summary(ConfigChecker::check(document)), expected);
            QCOMPARE(document.toString(), before);
        }
    }

    // The zone is one line: every finding is on line 1.
    void snippets_data()
    {
        QTest::addColumn<QString>("outline");
        QTest::addColumn<QString>("week");
        QTest::addColumn<QStringList>("expected");
        auto outline = [](const char* name, const QString& text, const QStringList& expected) {
            QTest::newRow(name) << text << "1,1,1,1,1,1,1" << expected;
        };
        outline("closing point repeated", "0,0;10,0;10,10;0,0", {});
        outline("concave, blanks, exponent", " 0,0; 4 ,0;4,4;2,1;0,4e0 ", {});
        outline("trailing separator", "0,0;10,0;10,10;", {"1 error bad-outline"});
        outline("repeats do not count", "0,0;0,0;10,10;10,10;0,0", {"1 error few-points"});
        outline("on a line", "0,0;10,0;20,0", {"1 error self-crossing"});
        outline("touches itself at a point", "0,0;4,0;2,2;4,4;0,4;2,2", {"1 error self-crossing"});
        outline("vertex on an edge", "0,0;4,0;4,4;2,0;0,4", {"1 error self-crossing"});
        QTest::newRow("empty week text of a new calendar")
            << "0,0;10,0;10,10;0,10" << "" << QStringList{"1 warning week-empty-day"};
        const auto week = [](const char* name, const QString& text, const QStringList& expected) {
            QTest::newRow(name) << "0,0;10,0;10,10;0,10" << text << expected;
        };
        week("one day without a card", "1,1,1,1,1,1,", {"1 warning week-empty-day"});
        week("eight fields", "1,1,1,1,1,1,1,1", {"1 error week-fields"});
    }

    void snippets()
    {
        QFETCH(QString, outline);
        QFETCH(QString, week);
        QFETCH(QStringList, expected);
        QCOMPARE(summary(ConfigChecker::check(zoneWith(outline, week))), expected);
    }

    void crossings_data()
    {
        QTest::addColumn<Points>("ring");
        QTest::addColumn<Pair>("expected"); // the first two edges that meet; -1, -1 for none
        auto row = [](const char* name, const Points& ring, int first, int second) {
            QTest::newRow(name) << ring << qMakePair(first, second);
        };
        row("square", {{0, 0}, {4, 0}, {4, 4}, {0, 4}}, -1, -1);
        row("bow tie", {{0, 0}, {4, 4}, {4, 0}, {0, 4}}, 0, 2);
        row("collinear overlap of far edges", {{0, 0}, {6, 0}, {6, 2}, {4, 2}, {4, 0}, {2, 0}, {2, -2}, {0, -2}},
            0, 3);
        row("edge folds back on its neighbour", {{0, 0}, {4, 0}, {2, 0}, {2, 4}}, 0, 1);
        row("first edge folds back into the closing one", {{0, 0}, {2, 0}, {2, 4}, {4, 4}, {4, 0}}, 0, 4);
        row("touching endpoints", {{0, 0}, {4, 0}, {2, 2}, {4, 4}, {0, 4}, {2, 2}}, 1, 4);
        row("vertex repeated apart", {{0, 0}, {2, 2}, {4, 0}, {4, 4}, {2, 2}, {0, 4}}, 0, 3);
        row("vertex on a far edge, decimal coordinates", {{0.1, 0.1}, {0.7, 0.1}, {0.7, 0.7}, {0.4, 0.1}, {0.1, 0.7}},
            0, 2);
        row("vertex on a vertical edge", {{0, 0}, {4, 0}, {4, 4}, {0, 4}, {4, 2}}, 1, 3);
        row("all on one line", {{0, 0}, {1, 0}, {3, 0}, {2, 0}}, 0, 3);
        row("one edge spans the outline",
            {{0, 0}, {100, 0}, {100, 1}, {50, 1}, {50, -1}, {49, -1}, {49, 1}, {0, 1}}, 0, 3);
        Points bigCircle = circle(1500);
        row("long circle", bigCircle, -1, -1);
        // Two far vertices swapped: their edges cross the neighbours'.
        std::swap(bigCircle[1000], bigCircle[1001]);
        row("long circle with a twist", bigCircle, 999, 1001);
        const double nan = std::numeric_limits<double>::quiet_NaN();
        const double inf = std::numeric_limits<double>::infinity();
        // Such a point meets nothing; the edges around it are still looked at.
        row("a coordinate no number", {{0, 0}, {4, 4}, {4, 0}, {0, 4}, {nan, 2}}, 0, 2);
        row("a coordinate infinite", {{0, 0}, {4, 0}, {4, inf}, {2, -1}, {0, 4}}, 0, 3);
    }

    void crossings()
    {
        QFETCH(Points, ring);
        QFETCH(Pair, expected);
        QCOMPARE(crossingByAllPairs(ring), expected);
        QCOMPARE(crossing(ring), expected);
    }

    void sharedAreas_data()
    {
        QTest::addColumn<Points>("a");
        QTest::addColumn<Points>("b");
        QTest::addColumn<double>("shared");

        const Points square{{0, 0}, {2, 0}, {2, 2}, {0, 2}};
        const Points ell{{0, 0}, {4, 0}, {4, 1}, {1, 1}, {1, 4}, {0, 4}};
        QTest::newRow("neighbours sharing a border") << square << Points{{2, 0}, {4, 0}, {4, 2}, {2, 2}} << 0.0;
        QTest::newRow("the same, drawn the other way round")
            << square << Points{{0, 2}, {2, 2}, {2, 0}, {0, 0}} << 4.0;
        QTest::newRow("one inside the other")
            << Points{{0, 0}, {4, 0}, {4, 4}, {0, 4}} << Points{{1, 1}, {2, 1}, {2, 2}} << 0.5;
        // Boxes meet, outlines do not: clipping by the hull would find a share.
        QTest::newRow("in the bend of an L") << ell << Points{{2, 2}, {3, 2}, {3, 3}, {2, 3}} << 0.0;
        QTest::newRow("over the corner of an L") << ell << square << 3.0;
        QTest::newRow("crossing triangles")
            << Points{{0, 0}, {4, 0}, {0, 4}} << Points{{0, 0}, {4, 0}, {4, 4}} << 4.0;
        // Two runs of the C at one x; its inner corners start edges but end none.
        QTest::newRow("a band across both arms of a C")
            << Points{{0, 0}, {3, 0}, {3, 1}, {1, 1}, {1, 2}, {3, 2}, {3, 3}, {0, 3}}
            << Points{{0.5, 0.5}, {4, 0.5}, {4, 2.5}, {0.5, 2.5}} << 3.0;
        // Many strips, each met by a few edges of the long outline.
        const Points town = circle(1500);
        const Points around{{37.4, 55.6}, {37.8, 55.6}, {37.8, 55.8}, {37.4, 55.8}};
        QTest::newRow("a long outline inside a square") << town << around << Velmora::Geometry::ringArea(town);
        QTest::newRow("a long outline and itself") << town << town << Velmora::Geometry::ringArea(town);
        QTest::newRow("blocks of a town in degrees")
            << Points{{37.600, 55.700}, {37.602, 55.700}, {37.602, 55.701}, {37.600, 55.701}}
            << Points{{37.601, 55.7005}, {37.603, 55.7005}, {37.603, 55.702}, {37.601, 55.702}} << 0.5e-6;
    }

    // Either way round, to a millionth of the smaller outline.
    void sharedAreas()
    {
        QFETCH(Points, a);
        QFETCH(Points, b);
        QFETCH(double, shared);
        using namespace Velmora::Geometry;
        const double tolerance = 1e-6 * std::min(ringArea(a), ringArea(b));
        for (const double area : {intersectionArea(a, b), intersectionArea(b, a)})
            QVERIFY2(std::abs(area - shared) <= tolerance, qPrintable(QString::number(area, 'g', 12)));
    }

    // Boxes of all sizes, a few far apart and one not finite: the grid finds the
    // pairs that testing all would.
    void boxPairsAsAllPairs()
    {
        QRandomGenerator random(31);
        for (int round = 0; round < 50; ++round) {
            QVector<Points> rings;
            const int n = 2 + int(random.bounded(200));
            for (int k = 0; k < n; ++k) {
                const double x = random.bounded(100.0) + (k % 17 == 0 ? 1000 : 0);
                const double y = random.bounded(100.0);
                const double w = random.bounded(k % 5 ? 5.0 : 60.0);
                const double h = random.bounded(k % 7 ? 5.0 : 60.0);
                rings << Points{{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}};
            }
            rings[n / 2][1].setX(std::numeric_limits<double>::quiet_NaN());
            QVector<Pair> expected;
            for (int i = 0; i < n; ++i) {
                for (int j = i + 1; j < n; ++j) {
                    const QRectF p(rings[i][0], rings[i][2]);
                    const QRectF q(rings[j][0], rings[j][2]);
                    if (i != n / 2 && j != n / 2 && p.left() <= q.right() && q.left() <= p.right()
                        && p.top() <= q.bottom() && q.top() <= p.bottom())
                        expected.append({i, j});
                }
            }
            QVector<Pair> found;
            for (const Velmora::Geometry::OutlinePair& pair : Velmora::Geometry::boxesMeeting(rings))
                found.append({pair.first, pair.second});
            QCOMPARE(found, expected);
        }
    }

    // Small integer coordinates make touching, overlapping and repeated points
    // common; scaled copies check the tolerance the same way.
    void randomOutlinesAsAllPairs()
    {
        QRandomGenerator random(27);
        for (int round = 0; round < 4000; ++round) {
            const int n = 3 + int(random.bounded(round < 3000 ? 12 : 120));
            const int span = 2 + int(random.bounded(round % 2 ? 6 : 40));
            const double scale = round % 3 == 0 ? 1e-4 : 1.0;
            Points ring;
            for (int k = 0; k < n; ++k)
                ring << QPointF(37.6 + scale * random.bounded(span), 55.7 + scale * random.bounded(span));
            const Pair expected = crossingByAllPairs(ring);
            if (crossing(ring) != expected) {
                QStringList points;
                for (const QPointF& p : ring)
                    points << QStringLiteral("%1,%2").arg(p.x(), 0, 'g', 17).arg(p.y(), 0, 'g', 17);
                qWarning("outline %s", qPrintable(points.join(QLatin1Char(';'))));
                QCOMPARE(crossing(ring), expected);
            }
        }
    }

    // Paths of findings in two long lists of entries, asked in document order.
    void longListPaths()
    {
        const int entries = 300;
        QString cards;
        QStringList expected;
        for (int card = 1; card <= 2; ++card) {
            cards += QStringLiteral("<DayCard id='%1'>").arg(card);
            for (int k = 1; k <= entries; ++k) {
                const bool bad = k % (card + 1) == 0 || k == entries;
                cards += QStringLiteral("<Time strategy_id='1'>%1</Time>").arg(bad ? "25:00" : "10:00");
                if (k % 7 == 0)
                    cards += QStringLiteral("<Note/>");
                if (bad)
                    expected << QStringLiteral("Calendar/DayCards/DayCard[id=%1]/Time[%2]").arg(card).arg(k);
            }
            cards += QStringLiteral("</DayCard>");
        }
        QDomDocument document;
        QVERIFY(document.setContent(
            QStringLiteral("<Zone id='1'><Geometry>0,0;1,0;1,1</Geometry><Calendar><DayCards>%1</DayCards>"
                           "<WeekDistribution>1,1,1,1,1,2,2</WeekDistribution></Calendar>"
                           "<Strategies><Strategy id='1' default='1'/></Strategies><Areas/></Zone>")
                .arg(cards)));
        QStringList paths;
        for (const ConfigFinding& f : ConfigChecker::check(document))
            paths << f.path;
        QCOMPARE(paths, expected);
        // A path asked on its own counts from the list's start.
        const QDomElement last = document.documentElement().firstChildElement("Calendar").firstChildElement("DayCards")
                                     .firstChildElement("DayCard").lastChildElement("Time");
        QCOMPARE(ConfigChecker::elementPath(last),
                 QStringLiteral("Calendar/DayCards/DayCard[id=1]/Time[%1]").arg(entries));
    }

    void oversizedFile_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("finding");
        QTest::newRow("a byte over the limit") << ConfigChecker::MaxFileBytes + 1 << "0 error too-large";
        // Read: the zero bytes after the root are what it finds wrong.
        QTest::newRow("at the limit") << ConfigChecker::MaxFileBytes << "1 error xml-syntax";
    }

    void oversizedFile()
    {
        QFETCH(qint64, size);
        QFETCH(QString, finding);
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("huge.xtsc")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<Zone id='1'/>");
        // Sparse: the size counts, not what is in it.
        QVERIFY(file.resize(size));
        file.close();
        const ConfigFindings findings = ConfigChecker::checkFile(file.fileName());
        QCOMPARE(summary(findings), QStringList{finding});
        if (findings.first().kind == Velmora::CheckKind::TooLarge)
            QVERIFY2(findings.first().message.contains(QDir::toNativeSeparators(file.fileName()))
                         && findings.first().message.contains(QStringLiteral("64 MiB")),
                     qPrintable(findings.first().message));
    }

    // What a user opens first must pass its own check.
    void examplesHaveNoErrors()
    {
        const QDir examples(QStringLiteral(VELMORA_EXAMPLES));
        const QStringList files = examples.entryList({QStringLiteral("*.xtsc")}, QDir::Files);
        QVERIFY(files.size() >= 2);
        for (const QString& name : files) {
            const ConfigFindings findings = ConfigChecker::checkFile(examples.filePath(name));
            QVERIFY2(ConfigChecker::errorCount(findings) == 0,
                     qPrintable(ConfigChecker::formatFindings(findings, name)));
        }
    }

    void formatting()
    {
        const ConfigFindings findings = ConfigChecker::checkFile(fixture(QStringLiteral("no-strategy")));
        const QString text = ConfigChecker::formatFindings(findings, QStringLiteral("z.xtsc"));
        QCOMPARE(text.count(QLatin1Char('\n')), 6);
        QVERIFY(text.startsWith(QStringLiteral("z.xtsc:7: error: Day card 1 of the zone names strategy 2, ")));
        // A finding without a line names only the file.
        ConfigFinding warning;
        warning.severity = ConfigFinding::Warning;
        warning.message = QStringLiteral("Something.");
        QCOMPARE(ConfigChecker::formatFinding(warning, "a.xtsc"), QStringLiteral("a.xtsc: warning: Something."));
    }

    void tokens_data()
    {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<QStringList>("tokens");
        auto row = [](const char* name, const QByteArray& document, const QStringList& tokens) {
            QTest::newRow(name) << document << tokens;
        };
        const QString north = QString::fromUtf8("\xd0\xa1\xd0\xb5\xd0\xb2\xd0\xb5\xd1\x80");

        row("zone with empty list", R"(<Zone id="1" name="A"><Areas/></Zone>)",
            {"Zone", "id", "1", "name", "A", "Areas", "Areas", "Zone"});
        // An empty element counts alike however written; attributes in the file's order.
        row("empty element written long", R"(<Zone name="A" id="1"><Areas></Areas></Zone>)",
            {"Zone", "name", "A", "id", "1", "Areas", "Areas", "Zone"});
        row("declaration, comment, PI and doctype skipped",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE Zone>\n<!-- c -->"
            "<Zone id=\"1\"><?pi data?><!-- inner --><Areas/></Zone>",
            {"Zone", "id", "1", "Areas", "Areas", "Zone"});
        row("text keeps its surrounding blanks", "<Zone>\n  <Geometry>  1,2;3,4 </Geometry>\n</Zone>",
            {"Zone", "Geometry", "  1,2;3,4 ", "Geometry", "Zone"});
        row("entities resolved", R"(<Zone name="A &amp; B">x &lt; y</Zone>)",
            {"Zone", "name", "A & B", "x < y", "Zone"});
        row("cdata included", "<Zone><![CDATA[ a<b ]]></Zone>", {"Zone", " a<b ", "Zone"});
        // The characters count, not the bytes a file's encoding gives them.
        row("windows-1251 file",
            "<?xml version=\"1.0\" encoding=\"windows-1251\"?><Zone name=\""
                + QTextCodec::codecForName("windows-1251")->fromUnicode(north) + "\"/>",
            {"Zone", "name", north, "Zone"});
        row("stops at the first syntax error", "<Zone id=\"1\"><Areas></Zone><Tail/>", {"Zone", "id", "1", "Areas"});
        row("empty input", QByteArray(), {});
    }

    // From bytes, and from a device read from its current position on.
    void tokens()
    {
        QFETCH(QByteArray, document);
        QFETCH(QStringList, tokens);
        QCOMPARE(Velmora::tokenDigest(document), md4(tokens));
        QBuffer buffer;
        buffer.setData("junk" + document);
        QVERIFY(buffer.open(QIODevice::ReadOnly) && buffer.seek(4));
        QCOMPARE(Velmora::tokenDigest(&buffer), md4(tokens));
    }

    // Values: what each rule reads from a text, as "a b c", "-" for nothing
    void values_data()
    {
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("read");
        const auto row = [](const char* rule, const char* text, const char* read) {
            QTest::addRow("%s \"%s\"", rule, text) << rule << QString::fromUtf8(text) << read;
        };
        // Unsigned 32-bit, blanks and a plus sign allowed; written back unsigned.
        row("id", " +7 ", "7");
        row("id", "4294967295", "4294967295");
        row("id", "4294967296", "-");
        row("id", "-1", "-");
        row("id", "1e3", "-");
        row("id list", " 7,,x, 5 ,3000000000", "7 5 3000000000");
        row("week", "1,1,1,1,2,,", "1 1 1 1 2 - -");
        row("week", "1, x ,1,1,1,1,1", "1 - 1 1 1 1 1");
        row("week", "1,1,1,1,1,1", "- - - - - - -");
        row("time", " 07:05 ", "425");
        row("time", "24:00", "-");
        row("time", "7:05", "-");
        // "dd.MM" every year (0), a leap year standing in; else "dd.MM.yyyy".
        row("day", "29.02", "29 2 0");
        row("day", "29.02.2027", "-");
        row("day", "01.05.2027", "1 5 2027");
        row("day", "1.05", "-");
    }

    void values()
    {
        QFETCH(QString, rule);
        QFETCH(QString, text);
        QFETCH(QString, read);
        namespace Config = Velmora::Config;
        const auto ids = [](const QList<int>& list) {
            QStringList words;
            for (int id : list)
                words << (id == Config::NoId ? QStringLiteral("-") : Config::idText(id));
            return words.join(' ');
        };
        QString result = QStringLiteral("-");
        int id = Config::NoId;
        Config::SpecialDate date;
        if (rule == "id" && Config::readId(text, &id))
            result = Config::idText(id);
        else if (rule == "id list")
            result = ids(Config::readIdList(text));
        else if (rule == "week")
            result = ids(Config::readWeek(text).toList());
        else if (rule == "time" && Config::readTime(text) >= 0)
            result = QString::number(Config::readTime(text));
        else if (rule == "day" && Config::readSpecialDay(text, &date))
            result = QStringLiteral("%1 %2 %3").arg(date.day).arg(date.month).arg(date.year);
        QCOMPARE(result, read);
    }

    void numbers_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("zeros left by rounding dropped") << 55.78150000001 << "55.7815";
        QTest::newRow("twelve digits stay fixed") << 123456789012.0 << "123456789012";
        QTest::newRow("thirteen digits go to exponent") << 1234567890123.0 << "1.23456789012e+12";
        QTest::newRow("rounding carries into the exponent") << 999999999999.5 << "1e+12";
        QTest::newRow("exponent -4 stays fixed") << 0.0001 << "0.0001";
        QTest::newRow("exponent -5 is shorter") << -0.000025 << "-2.5e-05";
        QTest::newRow("largest double") << std::numeric_limits<double>::max() << "1.79769313486e+308";
    }

    void numbers()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        // The program's locale has no say in a file format.
        QLocale::setDefault(QLocale(QLocale::German));
        const QString written = Velmora::Geometry::formatNumber(value);
        QLocale::setDefault(QLocale::c());
        QCOMPARE(written, text);
        // Twelve significant digits: read back within 5e-12 relative.
        QVERIFY(std::abs(written.toDouble() - value) <= 5e-12 * std::abs(value));
    }
};

QTEST_GUILESS_MAIN(TestFormat)
#include "tst_format.moc"
