#include <QtTest>

#include "DomText.h"

namespace {

const QString Storage = QStringLiteral(VELMORA_EXAMPLES "/storage");

const char* const HandedOver = "<Program type=\"2\" cycle_length=\"60\" cycle_shift=\"7\">2,1"
                               "<Phase start=\"0\" length=\"20\" full_length=\"30\">2</Phase>"
                               "<Phase start=\"30\" length=\"25\" full_length=\"30\">1</Phase></Program>";

// A saved program as describeXml() shows it, its phases given as {id, start, length, full length}.
QString program(int cycle, int shift, const QVector<QVector<int>>& phases)
{
    QStringList ids, texts;
    for (const QVector<int>& p : phases) {
        ids << QString::number(p[0]);
        texts << QStringLiteral(" [Phase full_length=%1 length=%2 start=%3 '%4']")
                     .arg(p[3]).arg(p[2]).arg(p[1]).arg(p[0]);
    }
    return QStringLiteral("Program cycle_length=%1 cycle_shift=%2 type=2 '%3'").arg(cycle).arg(shift).arg(ids.join(',')) +
           texts.join(QString());
}

} // namespace

class TestMorvix : public QObject
{
    Q_OBJECT

    QString path(const char* name) const { return m_dir.filePath(QLatin1String(name)); }
    QTemporaryDir m_dir;

private slots:
    void runs_data()
    {
        QTest::addColumn<QStringList>("arguments"); // CFG, LIST and PROG stand for files
        QTest::addColumn<QByteArray>("config");
        QTest::addColumn<QByteArray>("programFile");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("saved"); // the list, or the program file described; refused: both untouched

        const QStringList list{"--controller-config", "CFG", "--get-prog-list", "LIST"};
        const QStringList edit{"--controller-config", "CFG", "--object-id", "101", "--edit-prog", "PROG"};
        const QByteArray storage101 = readFile(Storage + "/101.cfg");
        const QByteArray config("program 1 cycle 60 greens 25 25\nprogram 3 cycle 0 flash yellow\n");
        auto row = [](const char* name, const QStringList& arguments, const QByteArray& config, int exitCode,
                      const QString& saved = {}, const QByteArray& programFile = {}) {
            QTest::newRow(name) << arguments << config << programFile << exitCode << saved;
        };

        row("list in the order of the text", list,
            "program 7 cycle 60 greens 30 20\n# program 8 cycle 60\nprogram 2 cycle 0 flash yellow\n", 0, "7\n2\n");
        // intergreen 4 3 4 3; the last phase runs to the end of the cycle.
        row("signal program 2", edit + QStringList{"--prog-id", "2"}, storage101, 0,
            program(105, 0, {{1, 0, 19, 23}, {2, 23, 22, 25}, {3, 48, 25, 29}, {4, 77, 21, 28}}));
        // Kept as it came, even rooted at Controller, whatever the program id.
        row("handed-over program", edit + QStringList{"--prog-id", "2"}, storage101, 0,
            program(60, 7, {{2, 0, 20, 30}, {1, 30, 25, 30}}),
            QByteArray(HandedOver).replace("Program", "Controller"));

        row("no arguments", {}, config, 2);
        row("program file not XML", edit, config, 1, {}, "<Program type=");
    }

    // morvix as the zone editor runs it, saving without a window.
    void runs()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, config);
        QFETCH(QByteArray, programFile);
        QFETCH(int, exitCode);
        QFETCH(QString, saved);
        const QString list = path("list.txt");
        QVERIFY(writeFile(path("controller.cfg"), config) && writeFile(path("program.xml"), programFile));
        QFile::remove(list);
        const QMap<QString, QString> files{
            {"CFG", path("controller.cfg")}, {"PROG", path("program.xml")}, {"LIST", list}};
        for (QString& argument : arguments)
            argument = files.value(argument, argument);
        qputenv("MORVIX_AUTOSAVE", "1");
        QProcess morvix;
        morvix.start(QStringLiteral(MORVIX), arguments);
        QVERIFY(morvix.waitForFinished(30000));
        const QByteArray errors = morvix.readAllStandardError();
        QVERIFY2(morvix.exitStatus() == QProcess::NormalExit && morvix.exitCode() == exitCode, errors.constData());
        if (exitCode != 0) {
            QVERIFY(errors.startsWith("morvix: ") && !QFile::exists(list));
            QCOMPARE(readFile(path("program.xml")), programFile);
        } else if (arguments.contains(list)) {
            QCOMPARE(QFile::exists(list) ? QString::fromUtf8(readFile(list)) : QStringLiteral("(no list)"), saved);
        } else {
            QCOMPARE(describeXml(readFile(path("program.xml"))), saved);
        }
    }
};

QTEST_GUILESS_MAIN(TestMorvix)
#include "tst_morvix.moc"
