#include "Velmora/format/DocumentWriter.h"
#include "Velmora/format/TokenDigest.h"

#include <QDomDocument>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QtTest>

#include <csignal>
#include <functional>
#include <sys/resource.h>

#include "DomText.h"

using Velmora::DocumentWriter;

namespace {

// A hand-written configuration whose attributes are in no single order: the
// same tag with its id first and last, a special day with its id first.
const char* const mixedOrder = R"(<Zone name="Mixed" id="12">
    <Geometry>0,0;1,0;1,1</Geometry>
    <Strategies>
        <Strategy default="1" name="Day" id="1">
            <Area control_source="1" id="3"/>
        </Strategy>
        <Strategy id="2" name="Night">
            <Area id="3" control_source="3"/>
        </Strategy>
        <Strategy name="Evening" id="4"/>
    </Strategies>
    <Areas>
        <Area id="3" name="Centre &amp; &lt;old> &quot;town&quot;">
            <States>
                <State name="Peak" id="1">
                    <Controller program_id="2" state="0" id="101"/>
                    <Controller id="102" state="1" program_id="3"/>
                </State>
            </States>
            <Calendar>
                <SpecialDays>
                    <SpecialDay id="5" day="01.05"/>
                    <SpecialDay day="09.05" id="6"/>
                    <SpecialDay id="7" day="31.12"/>
                </SpecialDays>
            </Calendar>
        </Area>
    </Areas>
</Zone>
)";

QByteArray rewrite(const QByteArray& file, const std::function<void(QDomElement)>& edit = {})
{
    QDomDocument document;
    if (!document.setContent(file))
        return "(not XML)";
    if (edit)
        edit(document.documentElement());
    DocumentWriter writer;
    writer.learnOrder(file);
    QByteArray out;
    QString error;
    return writer.serialize(document, &out, &error) ? out : error.toUtf8();
}

QDomElement pathTo(QDomElement element, const QString& path)
{
    for (const QString& step : path.split('/', Qt::SkipEmptyParts)) {
        const QStringList parts = step.split('#');
        element = element.firstChildElement(parts.first());
        for (int i = 1; i < parts.value(1, "1").toInt(); ++i)
            element = element.nextSiblingElement(parts.first());
    }
    return element;
}

// The lines of `after` that are not in `before`, in order.
QStringList changedLines(const QByteArray& before, const QByteArray& after)
{
    const QList<QByteArray> old = before.split('\n');
    QStringList changed;
    for (const QByteArray& line : after.split('\n'))
        if (!old.contains(line))
            changed << QString::fromUtf8(line.trimmed());
    return changed;
}

} // namespace

class TestDocumentWriter : public QObject
{
    Q_OBJECT

private slots:
    // Documents with at most one attribute an element are written exactly as
    // the document class writes them, so files saved before keep their bytes.
    void likeDocumentSave_data()
    {
        QTest::addColumn<QString>("xml");
        QTest::newRow("nested and empty") << "<Zone id=\"1\"><Areas/><Calendar><DayCards><DayCard id=\"2\"/></DayCards>"
                                              "<WeekDistribution></WeekDistribution></Calendar></Zone>";
        QTest::newRow("text") << "<Zone><Geometry>0,0;1,1</Geometry><T>a &lt; b &amp; c &gt; d \"q\" ]]&gt; 'x'</T></Zone>";
        QTest::newRow("line breaks and tabs") << "<Zone a=\"x&#10;y&#9;z&#13;w &quot;&lt;&gt;&amp;\"><T>x&#13;y\n\tz</T></Zone>";
        QTest::newRow("mixed content") << "<Zone>text<A/>more<B>in</B><!-- c --><C/>tail</Zone>";
        QTest::newRow("comments and instructions") << "<!-- head --><Zone><!--a-->\n<A/><!--ends-->\n<?pi data?><B/></Zone>";
        QTest::newRow("CDATA") << "<Zone><G><![CDATA[0,0;<1>,1]]></G><H>x<![CDATA[y]]></H></Zone>";
        QTest::newRow("doctype") << "<!DOCTYPE Zone><Zone id=\"1\"/>";
    }
    void likeDocumentSave()
    {
        QFETCH(QString, xml);
        QDomDocument document;
        QVERIFY(document.setContent(xml));
        QByteArray written;
        QString error;
        QVERIFY2(DocumentWriter().serialize(document, &written, &error), qPrintable(error));
        QCOMPARE(written, document.toByteArray(4));
    }

    // Whatever order the hash seed gives the document's attributes, a file
    // comes back byte for byte: the hand-written one and one written before.
    void keepsTheFilesOrder_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("mixed order") << QByteArray(mixedOrder);
        QTest::newRow("shipped example") << readFile(VELMORA_EXAMPLES "/zarechny.xtsc");
        QTest::newRow("two elements of one id, each its own order")
            << QByteArray("<Zone id=\"1\">\n    <Strategies>\n        <Strategy id=\"1\" name=\"Day\"/>\n"
                          "        <Strategy name=\"Night\" id=\"1\"/>\n    </Strategies>\n</Zone>\n");
        QTest::newRow("windows-1251 declaration")
            << "<?xml version='1.0' encoding='windows-1251'?>\n"
                + QTextCodec::codecForName("windows-1251")->fromUnicode(QString::fromUtf8(mixedOrder));
    }
    void keepsTheFilesOrder()
    {
        QFETCH(QByteArray, file);
        QVERIFY(!file.isEmpty());
        const QByteArray once = rewrite(file);
        QCOMPARE(Velmora::tokenDigest(once), Velmora::tokenDigest(file));
        if (!file.startsWith("<?xml"))
            QCOMPARE(once, file);
        for (int seed : {0, -1, -1, -1}) {
            qSetGlobalQHashSeed(seed);
            QCOMPARE(rewrite(once), once);
        }
        qSetGlobalQHashSeed(-1);
    }

    // An edit changes the lines it touched and no other.
    void onlyTheEditDiffers_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("edit"); // "attr=value", "-attr", "+Tag a=1 b=2" (appended child), "delete"
        QTest::addColumn<QStringList>("changed");
        QTest::addColumn<int>("removed"); // lines of the file no longer there
        QTest::newRow("value") << "Strategies/Strategy#2" << "name=Late night"
                               << QStringList{"<Strategy id=\"2\" name=\"Late night\">"} << 1;
        QTest::newRow("default moved") << "Strategies/Strategy#3" << "default=1"
                                       << QStringList{"<Strategy name=\"Evening\" id=\"4\" default=\"1\"/>"} << 1;
        QTest::newRow("attribute dropped") << "Strategies/Strategy" << "-default"
                                           << QStringList{"<Strategy name=\"Day\" id=\"1\">"} << 1;
        QTest::newRow("new strategy") << "Strategies" << "+Strategy name=New default=1 id=9"
                                      << QStringList{"<Strategy id=\"9\" name=\"New\" default=\"1\"/>"} << 0;
        QTest::newRow("new special day") << "Areas/Area/Calendar/SpecialDays" << "+SpecialDay id=8 day=24.12"
                                         << QStringList{"<SpecialDay day=\"24.12\" id=\"8\"/>"} << 0;
        QTest::newRow("entry deleted before others") << "Areas/Area/Calendar/SpecialDays/SpecialDay" << "delete"
                                                     << QStringList{} << 1;
        QTest::newRow("controller state") << "Areas/Area/States/State/Controller#2" << "state=2"
                                          << QStringList{"<Controller id=\"102\" state=\"2\" program_id=\"3\"/>"} << 1;
    }
    void onlyTheEditDiffers()
    {
        QFETCH(QString, path);
        QFETCH(QString, edit);
        QFETCH(QStringList, changed);
        QFETCH(int, removed);
        const QByteArray edited = rewrite(mixedOrder, [&](QDomElement zone) {
            QDomElement target = pathTo(zone, path);
            QVERIFY(!target.isNull());
            if (edit == "delete") {
                target.parentNode().removeChild(target);
            } else if (edit.startsWith('-')) {
                target.removeAttribute(edit.mid(1));
            } else if (edit.startsWith('+')) {
                const QStringList words = edit.mid(1).split(' ');
                QDomElement added = zone.ownerDocument().createElement(words.first());
                for (const QString& word : words.mid(1))
                    added.setAttribute(word.section('=', 0, 0), word.section('=', 1));
                target.appendChild(added);
            } else {
                target.setAttribute(edit.section('=', 0, 0), edit.section('=', 1));
            }
        });
        QCOMPARE(changedLines(mixedOrder, edited), changed);
        // What was not touched is still there, line for line.
        QCOMPARE(changedLines(edited, mixedOrder).size(), removed);
    }

    // The order learned ahead is the replaced file's only while the file
    // still holds what it was learned from; else the file on disk decides.
    void ordersFromTheReplacedFile_data()
    {
        QTest::addColumn<QByteArray>("learned"); // "-": nothing learned ahead
        QTest::addColumn<QByteArray>("onDisk");  // "-": no file
        QTest::addColumn<QByteArray>("expected");
        const QByteArray idFirst = "<Zone id=\"1\" name=\"A\" default=\"0\"/>\n";
        const QByteArray nameFirst = "<Zone name=\"A\" default=\"0\" id=\"1\"/>\n";
        const QByteArray defaultFirst = "<Zone default=\"0\" id=\"1\" name=\"A\"/>\n";
        QTest::newRow("learned from the file as it is") << nameFirst << nameFirst << nameFirst;
        QTest::newRow("changed since, same size") << nameFirst << defaultFirst << defaultFirst;
        QTest::newRow("changed since, longer")
            << nameFirst << QByteArray("<Zone default=\"0\" id=\"1\" name=\"Old\"/>\n") << defaultFirst;
        QTest::newRow("nothing learned") << QByteArray("-") << nameFirst << nameFirst;
        QTest::newRow("new file") << nameFirst << QByteArray("-") << idFirst;
        QTest::newRow("file emptied") << nameFirst << QByteArray() << idFirst;
        QTest::newRow("learned from nothing") << QByteArray() << defaultFirst << defaultFirst;
    }
    void ordersFromTheReplacedFile()
    {
        QFETCH(QByteArray, learned);
        QFETCH(QByteArray, onDisk);
        QFETCH(QByteArray, expected);
        QTemporaryDir dir;
        const QString path = dir.filePath("zone.xtsc");
        if (onDisk != "-")
            QVERIFY(writeFile(path, onDisk));
        DocumentWriter writer;
        if (learned != "-")
            writer.learnOrder(learned);
        QDomDocument document;
        QVERIFY(document.setContent(QByteArray("<Zone id=\"1\" name=\"A\" default=\"0\"/>")));
        for (int seed : {0, -1, -1}) {
            qSetGlobalQHashSeed(seed);
            QDomDocument copy = document.cloneNode(true).toDocument();
            QString error;
            QVERIFY2(writer.save(copy, path, &error), qPrintable(error));
            QCOMPARE(readFile(path), expected);
            if (onDisk != "-")
                QVERIFY(writeFile(path, onDisk));
        }
        qSetGlobalQHashSeed(-1);
    }

    // A character XML cannot carry fails the write; the old file stays.
    void refusesWhatXmlCannotCarry_data()
    {
        QTest::addColumn<QString>("attribute");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("error");
        QTest::newRow("control character in a name")
            << QString("Old\x01town") << QString() << "Area name holds the character U+0001, which an XML file cannot carry";
        QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << QString() << "Area name holds the character U+D800, which an XML file cannot carry";
        QTest::newRow("U+FFFF in a text") << QString("ok") << QString(QChar(0xFFFF))
                                          << "Geometry text holds the character U+FFFF, which an XML file cannot carry";
        QTest::newRow("astral character is fine") << QString::fromUtf8("\xF0\x9F\x9A\xA6") << QString("1,1") << QString();
    }
    void refusesWhatXmlCannotCarry()
    {
        QFETCH(QString, attribute);
        QFETCH(QString, text);
        QFETCH(QString, error);
        QTemporaryDir dir;
        const QString path = dir.filePath("zone.xtsc");
        QVERIFY(writeFile(path, mixedOrder));
        QDomDocument document;
        QVERIFY(document.setContent(QByteArray(mixedOrder)));
        QDomElement area = pathTo(document.documentElement(), "Areas/Area");
        area.setAttribute("name", attribute);
        if (!text.isNull())
            area.appendChild(document.createElement("Geometry")).appendChild(document.createTextNode(text));
        QString reason;
        QCOMPARE(DocumentWriter().save(document, path, &reason), error.isEmpty());
        QCOMPARE(reason, error);
        if (!error.isEmpty())
            QCOMPARE(readFile(path), QByteArray(mixedOrder));
        else
            QVERIFY(readFile(path).contains(attribute.toUtf8()));
    }

    // One generation of backup beside the file; a failed save changes neither.
    void keepsThePreviousVersion_data()
    {
        QTest::addColumn<QByteArray>("file");   // before the save; "-" none
        QTest::addColumn<QByteArray>("backup"); // before the save; "-" none, "/" a folder
        QTest::addColumn<QString>("failure");   // "", "full"
        QTest::addColumn<QByteArray>("fileAfter");
        QTest::addColumn<QByteArray>("backupAfter");
        const QByteArray saved = "<Zone id=\"1\"/>\n";
        const QByteArray older = "<Zone id=\"2\"/>\n";
        const QByteArray oldest = "<Zone id=\"3\"/>\n";
        const QByteArray big = "<Zone id=\"4\">" + QByteArray(300, ' ') + "</Zone>";
        QTest::newRow("new file") << QByteArray("-") << QByteArray("-") << "" << saved << QByteArray("-");
        QTest::newRow("edit") << older << QByteArray("-") << "" << saved << older;
        QTest::newRow("next edit") << older << oldest << "" << saved << older;
        QTest::newRow("save without change") << saved << older << "" << saved << older;
        QTest::newRow("disk full") << big << oldest << "full" << big << oldest;
        QTest::newRow("backup cannot be written") << older << QByteArray("/") << "" << older << QByteArray("/");
    }
    void keepsThePreviousVersion()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, backup);
        QFETCH(QString, failure);
        QFETCH(QByteArray, fileAfter);
        QFETCH(QByteArray, backupAfter);
        QTemporaryDir dir;
        const QString path = dir.filePath("zone.xtsc");
        const QString backupPath = DocumentWriter::backupPath(path);
        QCOMPARE(backupPath, dir.filePath("zone.xtsc.bak"));
        if (file != "-")
            QVERIFY(writeFile(path, file));
        if (backup == "/")
            QVERIFY(QDir(dir.path()).mkdir("zone.xtsc.bak"));
        else if (backup != "-")
            QVERIFY(writeFile(backupPath, backup));
        QDomDocument document;
        QVERIFY(document.setContent(QByteArray("<Zone id=\"1\"/>")));
        rlimit usual{};
        getrlimit(RLIMIT_FSIZE, &usual);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        if (failure == "full") {
            const rlimit full{64, usual.rlim_max};
            setrlimit(RLIMIT_FSIZE, &full);
            QVERIFY(document.setContent("<Zone id=\"1\">" + QByteArray(200, 'x') + "</Zone>"));
        }
        QString error;
        const bool saved = DocumentWriter().save(document, path, &error);
        setrlimit(RLIMIT_FSIZE, &usual);
        std::signal(SIGXFSZ, oldHandler);
        QCOMPARE(saved, failure.isEmpty() && backup != "/");
        QCOMPARE(error.isEmpty(), saved);
        QCOMPARE(readFile(path), fileAfter);
        if (backupAfter == "/")
            QVERIFY(QFileInfo(backupPath).isDir());
        else
            QCOMPARE(QFileInfo::exists(backupPath) ? readFile(backupPath) : QByteArray("-"), backupAfter);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot).size(),
                 1 + (backupAfter != "-"));
    }
};

QTEST_GUILESS_MAIN(TestDocumentWriter)
#include "tst_documentwriter.moc"
