// Every reader of configuration files: given what no tool writes, each refuses it with a reason or reads it, and none
// crashes (this runs under the sanitizers; a document parser let loose on deep nesting exhausts the stack); and the
// schedule preview, the service and the checker read ids, duplicates and the default flag alike (the model reads no
// default flag; its ids and duplicates are tst_model's).
#include <functional>

#include <QtTest>

#include "DomText.h"
#include "MessageCapture.h"
#include "QtOwnLeaks.h"
#include "Velmora/Zone.h"
#include "Velmora/editors/ZoneEditDlg.h"
#include "Velmora/format/ConfigChecker.h"
#include "Velmora/format/SchedulePreview.h"
#include "Velmora/format/XmlDocument.h"
#include "Velmora/import/KmlImport.h"
#include "ZoneConfig.h"

namespace {

// "line:column: message" out of "... (line:column): message", the loader's form.
QString position(const QString& text)
{
    static const QRegularExpression form(QStringLiteral("\\((\\d+):(\\d+)\\): (.*)$"));
    const QRegularExpressionMatch match = form.match(text);
    return match.hasMatch() ? QStringLiteral("%1:%2: %3").arg(match.captured(1), match.captured(2), match.captured(3))
                            : text;
}

QString logged(const MessageCapture& capture)
{
    return capture.messages().isEmpty() ? QString() : position(capture.messages().first());
}

// Each reader as "line:column: message" when it refuses the file, empty when it reads it.
const QList<QPair<const char*, std::function<QString(const QString&)>>> Readers = {
    {"loader", [](const QString& path) {
         MessageCapture capture;
         Velmora::Zone zone;
         return zone.load(path) ? QString() : logged(capture);
     }},
    {"KML import", [](const QString& path) {
         QList<Velmora::Kml::Placemark> placemarks;
         QString error;
         return Velmora::Kml::readPlacemarks(path, &placemarks, &error) ? QString() : position(error);
     }},
    {"checker", [](const QString& path) {
         const Velmora::ConfigFindings findings = Velmora::ConfigChecker::checkFile(path);
         const bool refused = !findings.isEmpty() && findings.first().kind == Velmora::CheckKind::XmlSyntax;
         return refused ? QStringLiteral("%1:%2: %3").arg(findings.first().line).arg(findings.first().column)
                              .arg(findings.first().message)
                        : QString();
     }},
    {"schedule preview", [](const QString& path) {
         QDomDocument document;
         Velmora::Xml::ReadError error;
         if (!Velmora::Xml::readDocument(path, &document, &error))
             return QStringLiteral("%1:%2: %3").arg(error.line).arg(error.column).arg(error.message);
         const QDate day(2027, 5, 3);
         Velmora::SchedulePreview(document.documentElement(), day, day).renderTable();
         return QString();
     }},
    {"zone editor", [](const QString& path) {
         MessageCapture capture;
         ZoneEditDlg editor(path);
         return logged(capture);
     }},
    {"service", [](const QString& path) {
         Service::ZoneConfig config;
         QString error;
         return config.load(path, &error) ? QString() : error.mid(path.size() + 1);
     }},
};

// "zone ID, strategy 5 NAME, default ID" as a reader read it.
QString reading(int zone, const QString& strategy5, int defaultStrategy)
{
    return QStringLiteral("zone %1, strategy 5 %2, default %3")
        .arg(Velmora::Config::idText(zone), strategy5,
             defaultStrategy == Velmora::Config::NoId ? QStringLiteral("-") : Velmora::Config::idText(defaultStrategy));
}

QByteArray nested(int depth, const QByteArray& inRoot = {})
{
    return "<Zone id=\"1\">" + inRoot + "\n" + QByteArray("<x>\n").repeated(depth - 1)
        + QByteArray("</x>").repeated(depth - 1) + "</Zone>";
}

} // namespace

class ReadersTest : public QObject
{
    Q_OBJECT

private slots:
    void deepAndHostileInputIsRefusedNotCrashed_data();
    void deepAndHostileInputIsRefusedNotCrashed();
    void readersAgree_data();
    void readersAgree();

private:
    QTemporaryDir m_dir;
};

void ReadersTest::deepAndHostileInputIsRefusedNotCrashed_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("refusal"); // empty: read; "*": refused for any reason
    const QString tooDeep = QStringLiteral("257:4: Elements nested deeper than 256 levels");
    QTest::newRow("256 levels") << nested(256) << QString();
    // The streaming pass stops at the first fault, the document parser reads on to the depth.
    QTest::newRow("undeclared entity, then 30,000 levels") << nested(30000, "&nope;") << tooDeep;
    QTest::newRow("broken UTF-8, then 30,000 levels") << nested(30000, "\xff\xfe") << tooDeep;
    QTest::newRow("truncated") << nested(256).left(600) << "*";
    QByteArray junk(4096, Qt::Uninitialized);
    QRandomGenerator random(7);
    for (char& byte : junk)
        byte = char(random.bounded(256));
    QTest::newRow("binary junk") << junk << "*";
    QTest::newRow("huge attribute") << "<Zone id=\"1\" name=\"" + QByteArray(4 << 20, 'x') + "\"/>" << QString();
}

void ReadersTest::deepAndHostileInputIsRefusedNotCrashed()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, refusal);
    const QString path = m_dir.filePath(QStringLiteral("hostile.xtsc"));
    QVERIFY(writeFile(path, content));
    for (const auto& reader : Readers) {
        const QString outcome = reader.second(path);
        const QString why = QStringLiteral("%1: %2").arg(reader.first, outcome);
        if (refusal == QLatin1String("*"))
            QVERIFY2(!outcome.isEmpty(), qPrintable(why));
        else if (refusal.isEmpty())
            QVERIFY2(outcome.isEmpty(), qPrintable(why));
        else
            QVERIFY2(outcome.startsWith(refusal), qPrintable(why));
    }
}

void ReadersTest::readersAgree_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("read");
    QTest::addColumn<QStringList>("findings"); // the checker's, of the kinds these rows are about
    const auto row = [](const char* name, const char* zoneId, const char* strategies, const char* read,
                        const QStringList& findings) {
        QTest::newRow(name) << "<Zone id=\"" + QByteArray(zoneId) + "\">\n<Strategies>\n" + strategies
                + "\n</Strategies></Zone>"
                            << QString::fromLatin1(read) << findings;
    };
    row("zone id beyond 31 bits", "3000000000", R"(<Strategy id="5" name="only" default="1"/>)",
        "zone 3000000000, strategy 5 only, default 5", {});
    // The later element counts, and its missing flag too.
    row("duplicate ids", "1", R"(<Strategy id="4"/><Strategy id="5" name="first" default="1"/>
        <Strategy id="5" name="second"/>)", "zone 1, strategy 5 second, default 4",
        {"2 no-default strategy 4", "4 duplicate-id line 3"});
    row("default flag in capitals", "1", R"(<Strategy id="4"/><Strategy id="5" name="x" default="TRUE"/>)",
        "zone 1, strategy 5 x, default 5", {});
    row("default flag yes is none", "1", R"(<Strategy id="4"/><Strategy id="5" name="x" default="yes"/>)",
        "zone 1, strategy 5 x, default 4", {"2 no-default strategy 4"});
}

void ReadersTest::readersAgree()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, read);
    QFETCH(QStringList, findings);
    const QString path = m_dir.filePath(QStringLiteral("agree.xtsc"));
    QVERIFY(writeFile(path, content));

    QDomDocument document;
    Velmora::Xml::ReadError error;
    QVERIFY(Velmora::Xml::readDocument(path, &document, &error));
    const QDate day(2027, 5, 3);
    const Velmora::SchedulePreview preview(document.documentElement(), day, day);
    QCOMPARE(reading(preview.zoneId(), preview.strategy(5)->name, preview.defaultStrategy()), read);
    Service::ZoneConfig config;
    QString reason;
    QVERIFY2(config.load(path, &reason), qPrintable(reason));
    QCOMPARE(reading(config.id(), config.strategy(5)->name, config.defaultStrategy()), read);

    // The checker reads the same, and says what counts.
    QStringList said;
    for (const Velmora::ConfigFinding& f : Velmora::ConfigChecker::checkFile(path)) {
        static const QRegularExpression what(QStringLiteral("line \\d+|strategy \\d+"));
        if (f.kind == "missing-id" || f.kind == "duplicate-id" || f.kind.endsWith("default"))
            said << QStringLiteral("%1 %2 %3").arg(f.line).arg(f.kind, what.match(f.message).captured());
    }
    QCOMPARE(said, findings);
}

QTEST_MAIN(ReadersTest)
#include "tst_readers.moc"
