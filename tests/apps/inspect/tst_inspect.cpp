#include <QtTest>

namespace {

const QString program = QStringLiteral(VELMORA_BIN_DIR "/velmora-inspect");
const QString northFile = QStringLiteral(VELMORA_EXAMPLES "/north.xtsc");

} // namespace

class TestInspect : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(QFile::exists(program), qPrintable(program)); }
    void pluginOption_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        // Expected in what the program wrote, stdout and stderr together.
        QTest::addColumn<QStringList>("said");
        const auto row = [](const char* name, const QStringList& arguments, int exitCode, const QStringList& said) {
            QTest::newRow(name) << arguments << exitCode << said;
        };
        const QString missing = QDir::tempPath() + QStringLiteral("/nowhere/libVelmora.so");
        const QString refused = QStringLiteral(VELMORA_TEST_DATA "/model/syntax-error.xtsc");

        // QApplication would take both words for one of Qt's own plug-ins and the
        // default module would load instead. Why a module is refused is the
        // loader's test; here the refusal ends the program.
        row("missing module", {"--plugin", missing, northFile}, 2, {missing});
        row("no path", {northFile, "--plugin"}, 2, {"--plugin needs a value"});
        // What loads is printed; a file the module refuses fails the run.
        row("the default module, a refused file", {northFile, refused}, 1,
            {"Velmora::Plugin moduleVersion=", "== " + northFile, "Velmora::Zone: 7 | North", "Container: Strategys(2)",
             "localHash ", "== " + refused, "load failed", "message: Error processing file"});

        // Checking and previewing read the files themselves, without the module.
        const QString dangling = QStringLiteral(VELMORA_TEST_DATA "/check/unknown-state.xtsc");
        row("check: warnings only", {"--check", northFile}, 0, {northFile + ":31: warning: "});
        row("check: an error", {"--check", northFile, dangling}, 1, {dangling + ":", ": error: "});
        row("check: an unknown format", {"--check", "--format", "xml", northFile}, 2,
            {"--format is text or json here, not \"xml\""});
        row("schedule: a day", {"--schedule", "2026-12-07", northFile}, 0,
            {"  06:00  22:00  1 Day", "Area 3 Centre", "07:00  22:00  1 Peak"});
        row("schedule: backwards", {"--schedule", "2027-05-09..2027-05-03", northFile}, 2,
            {"--schedule needs yyyy-MM-dd"});
        const QString edited = QStringLiteral(VELMORA_TEST_DATA "/link/zone-edited.xtsc");
        const QString linked = QStringLiteral(VELMORA_TEST_DATA "/link/zone.xtsc");
        row("diff: the same", {"--diff", northFile, northFile}, 0, {});
        row("diff: changed", {"--diff", linked, edited}, 1,
            {"Strategy 2 \"Evening shift\": name \"Evening\" → \"Evening shift\"\n"});
        row("diff: one file", {"--diff", northFile}, 2, {"--diff needs two files"});
        // The checker's size limit is its own test; the preview is read here, so its limit is this program's.
        // Sparse: the size counts, not what is in it.
        const QString huge = m_dir.filePath(QStringLiteral("huge.xtsc"));
        QFile file(huge);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("<Zone id='1'/>") > 0 && file.resize(64 * 1024 * 1024 + 1));
        row("schedule: a file too large", {"--schedule", "2027-05-03", huge}, 1, {huge + ": larger than 64 MiB"});
        row("schedule: too long", {"--schedule", "2020-01-01..2035-01-01", northFile}, 1,
            {"A preview covers at most 3660 days."});
        row("schedule: one day too long", {"--schedule", "2027-01-01..2037-01-08", northFile}, 1,
            {"A preview covers at most 3660 days."});
    }

    void pluginOption()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QStringList, said);
        QProcess inspect;
        inspect.setProcessChannelMode(QProcess::MergedChannels);
        inspect.start(program, arguments);
        QVERIFY2(inspect.waitForFinished(60000), qPrintable(inspect.errorString()));
        const QString output = QString::fromLocal8Bit(inspect.readAll());
        QVERIFY2(inspect.exitStatus() == QProcess::NormalExit && inspect.exitCode() == exitCode,
                 qPrintable(QStringLiteral("exit code %1:\n%2").arg(inspect.exitCode()).arg(output)));
        for (const QString& text : said)
            QVERIFY2(output.contains(text), qPrintable(output));
        // A module refused is a module not used: nothing of one is printed.
        if (exitCode == 2)
            QVERIFY2(!output.contains(QLatin1String("moduleVersion=")), qPrintable(output));
    }

    // Each line an object; read back, the findings are those the text gives.
    void jsonFindings()
    {
        const QString noStrategy = QStringLiteral(VELMORA_TEST_DATA "/check/no-strategy.xtsc");
        const QString quoted = QStringLiteral(VELMORA_TEST_DATA "/check/bad-control-source.xtsc");
        const QString missing = m_dir.filePath(QStringLiteral("missing.xtsc"));
        QProcess inspect;
        inspect.start(program, {"--check", "--format", "json", noStrategy, quoted, missing});
        QVERIFY2(inspect.waitForFinished(60000), qPrintable(inspect.errorString()));
        QCOMPARE(inspect.exitCode(), 1);
        const QList<QByteArray> lines = inspect.readAllStandardOutput().split('\n');
        QCOMPARE(lines.last(), QByteArray());
        QStringList read;
        for (const QByteArray& line : lines.mid(0, lines.size() - 1)) {
            QJsonParseError error;
            const QJsonDocument document = QJsonDocument::fromJson(line, &error);
            QVERIFY2(error.error == QJsonParseError::NoError && document.isObject(), line.constData());
            const QJsonObject f = document.object();
            QCOMPARE(f.keys(), QStringList({"file", "kind", "line", "message", "path", "severity"}));
            QVERIFY2(f.value("message").toString().endsWith('.'), line.constData());
            read << QStringLiteral("%1:%2 %3 %4 %5")
                        .arg(QFileInfo(f.value("file").toString()).fileName())
                        .arg(f.value("line").toInt())
                        .arg(f.value("severity").toString(), f.value("kind").toString(), f.value("path").toString());
        }
        // Which findings a file has is the checker's test; here each field lands under its key.
        QCOMPARE(read.size(), 8);
        QCOMPARE(read.at(6), "bad-control-source.xtsc:21 error bad-control-source Strategies/Strategy[id=1]/Area[id=2]");
        QCOMPARE(read.at(7), "missing.xtsc:0 error cannot-open ");
        // Quotes in a message survive the escaping.
        const QJsonObject quotedFinding = QJsonDocument::fromJson(lines.at(6)).object();
        QVERIFY(quotedFinding.value("message").toString().contains(QLatin1String("control source \"5\";")));
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestInspect)
#include "tst_inspect.moc"
