#include <QDomDocument>
#include <QLabel>
#include <QProcess>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "ControllerConfig.h"
#include "DomText.h"
#include "OffscreenLeaks.h"
#include "ProgramWindow.h"
#include "WidgetDriver.h"

namespace {

const QString Storage = QStringLiteral(VELMORA_EXAMPLES "/storage");

const char* const HandedOver = "<Program type=\"2\" cycle_length=\"60\" cycle_shift=\"7\">2,1"
                               "<Phase start=\"0\" length=\"20\" full_length=\"30\">2</Phase>"
                               "<Phase start=\"30\" length=\"25\" full_length=\"30\">1</Phase></Program>";

// A saved program as describeXml() shows it: "program(...) + phase(...) + ...".
QString program(int cycle, int shift, const QString& ids)
{
    return QStringLiteral("Program cycle_length=%1 cycle_shift=%2 type=2 '%3'").arg(cycle).arg(shift).arg(ids);
}

QString phase(int id, int start, int length, int full)
{
    return QStringLiteral(" [Phase full_length=%1 length=%2 start=%3 '%4']").arg(full).arg(length).arg(start).arg(id);
}

} // namespace

class TestMorvix : public QObject
{
    Q_OBJECT

private slots:
    void runs_data();
    void runs();
    void exampleControllersHaveTheirPrograms();
    void windowSaves_data();
    void windowSaves();

private:
    QString path(const char* name) const { return m_dir.filePath(QLatin1String(name)); }
    QTemporaryDir m_dir;
};

void TestMorvix::runs_data()
{
    QTest::addColumn<QStringList>("arguments"); // CFG, LIST, PROG and NONE stand for files
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
    row("empty list, still written", list, "controller 5\nmodel X\n", 0, "");
    // intergreen 4 3 4 3; the last phase runs to the end of the cycle.
    row("signal program 2", edit + QStringList{"--prog-id", "2"}, storage101, 0,
        program(105, 0, "1,2,3,4") + phase(1, 0, 19, 23) + phase(2, 23, 22, 25) + phase(3, 48, 25, 29) +
            phase(4, 77, 21, 28));
    // Program id 0 is none: the first signal program that has phases.
    row("program id 0", edit + QStringList{"--prog-id", "0"},
        "program 3 cycle 0 flash yellow\nprogram 5 cycle 40 greens 15 15 offset 12\n", 0,
        program(40, 12, "1,2") + phase(1, 0, 15, 15) + phase(2, 15, 15, 25));
    // Kept as it came, even rooted at Controller, whatever the program id.
    row("handed-over program", edit + QStringList{"--prog-id", "2"}, storage101, 0,
        program(60, 7, "2,1") + phase(2, 0, 20, 30) + phase(1, 30, 25, 30),
        QByteArray(HandedOver).replace("Program", "Controller"));

    row("no arguments", {}, config, 2);
    row("unknown option", list + QStringList{"--verbose", "1"}, config, 2);
    row("list with an object id", list + QStringList{"--object-id", "7"}, config, 2);
    row("edit without object id", {"--controller-config", "CFG", "--edit-prog", "PROG"}, config, 2);
    row("object id not a number", {"--controller-config", "CFG", "--object-id", "x", "--edit-prog", "PROG"}, config, 2);
    row("no configuration file", {"--controller-config", "NONE", "--get-prog-list", "LIST"}, config, 1);
    row("malformed program line", list, "program 1 cycle 60 greens 25 x\n", 1);
    row("unknown signal program", edit + QStringList{"--prog-id", "9"}, config, 1);
    row("flashing signal program", edit + QStringList{"--prog-id", "3"}, config, 1);
    row("program file not XML", edit, config, 1, {}, "<Program type=");
}

// morvix as the zone editor runs it, saving without a window.
void TestMorvix::runs()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, config);
    QFETCH(QByteArray, programFile);
    QFETCH(int, exitCode);
    QFETCH(QString, saved);

    QVERIFY(writeFile(path("controller.cfg"), config));
    QVERIFY(writeFile(path("program.xml"), programFile));
    QFile::remove(path("list.txt"));
    const QMap<QString, QString> files{
        {"CFG", path("controller.cfg")}, {"PROG", path("program.xml")}, {"LIST", path("list.txt")}, {"NONE", path("none")}};
    for (QString& argument : arguments)
        argument = files.value(argument, argument);

    qputenv("MORVIX_AUTOSAVE", "1");
    QProcess morvix;
    morvix.start(QStringLiteral(MORVIX), arguments);
    QVERIFY(morvix.waitForFinished(30000));
    const QByteArray errors = morvix.readAllStandardError();
    QCOMPARE(morvix.exitStatus(), QProcess::NormalExit);
    QVERIFY2(morvix.exitCode() == exitCode, errors.constData());
    if (exitCode != 0) {
        QVERIFY(errors.startsWith("morvix: "));
        QCOMPARE(readFile(path("program.xml")), programFile);
        QVERIFY(!QFile::exists(path("list.txt")));
    } else if (arguments.contains(path("list.txt"))) {
        QVERIFY(QFile::exists(path("list.txt")));
        QCOMPARE(QString::fromUtf8(readFile(path("list.txt"))), saved);
    } else {
        QCOMPARE(describeXml(readFile(path("program.xml"))), saved);
    }
}

// The storage configuration of every controller in the example zones names
// that controller and has every program the zone's states give it.
void TestMorvix::exampleControllersHaveTheirPrograms()
{
    for (const char* zone : {"north.xtsc", "zarechny.xtsc"}) {
        QDomDocument doc;
        QVERIFY(doc.setContent(readFile(QStringLiteral(VELMORA_EXAMPLES "/") + zone)));
        QMap<int, QSet<QString>> controllers;
        const QDomNodeList lists = doc.elementsByTagName(QStringLiteral("Controllers"));
        for (int i = 0; i < lists.count(); ++i) {
            for (const QString& id : lists.at(i).toElement().text().split(',')) {
                bool listed = false; // the zone's own list has elements, not text
                if (const int n = id.toInt(&listed); listed)
                    controllers[n];
            }
        }
        const QDomNodeList inStates = doc.elementsByTagName(QStringLiteral("Controller"));
        for (int i = 0; i < inStates.count(); ++i) {
            const QDomElement c = inStates.at(i).toElement();
            if (c.attribute(QStringLiteral("program_id"), QStringLiteral("0")) != QLatin1String("0"))
                controllers[c.attribute(QStringLiteral("id")).toInt()].insert(c.attribute(QStringLiteral("program_id")));
        }
        QVERIFY(!controllers.isEmpty());
        for (auto it = controllers.cbegin(); it != controllers.cend(); ++it) {
            const QString file = QStringLiteral("%1/%2.cfg").arg(Storage).arg(it.key());
            ControllerConfig config;
            QString error;
            QVERIFY2(ControllerConfig::parse(readFile(file), &config, &error), qPrintable(file + ": " + error));
            QCOMPARE(config.controllerId, it.key());
            for (const QString& program : it.value())
                QVERIFY2(config.programIds().contains(program), qPrintable(file + " lacks program " + program));
        }
    }
}

void TestMorvix::windowSaves_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("saved"); // empty: refused, the file keeps its program

    QTest::newRow("longer green") << 1 << 2 << 28 << program(60, 7, "2,1") + phase(2, 0, 20, 30) + phase(1, 30, 28, 30);
    QTest::newRow("later start: full lengths follow")
        << 1 << 1 << 35 << program(60, 7, "2,1") + phase(2, 0, 20, 35) + phase(1, 35, 25, 25);
    QTest::newRow("green beyond the next phase") << 0 << 2 << 31 << "";
}

void TestMorvix::windowSaves()
{
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(int, value);
    QFETCH(QString, saved);

    SpecialProgram program;
    QString error;
    QVERIFY(SpecialProgram::fromXml(HandedOver, &program, &error));
    QVERIFY(writeFile(path("program.xml"), HandedOver));
    ProgramWindow window(program, 101, path("program.xml"));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    auto* phases = window.findChild<QTableWidget*>(QStringLiteral("phases"));
    auto* editor = qobject_cast<QSpinBox*>(Drive::openCellEditor(phases, row, column));
    QVERIFY(editor);
    editor->setValue(value);
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_COMPARE(phases->item(row, column)->data(Qt::EditRole).toInt(), value);

    Drive::clickButton(&window, QDialogButtonBox::Save);
    if (saved.isEmpty()) {
        QVERIFY(window.isVisible());
        QVERIFY(!window.findChild<QLabel*>(QStringLiteral("fault"))->text().isEmpty());
        QCOMPARE(readFile(path("program.xml")), QByteArray(HandedOver));
    } else {
        QCOMPARE(window.result(), int(QDialog::Accepted));
        QCOMPARE(describeXml(readFile(path("program.xml"))), saved);
    }
}

QTEST_MAIN(TestMorvix)
#include "tst_morvix.moc"
