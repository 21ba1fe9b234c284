#include <QDialogButtonBox>
#include <QDomDocument>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "DomText.h"
#include "OffscreenLeaks.h"
#include "ProgramWindow.h"

namespace {

const QString Storage = QStringLiteral(VELMORA_EXAMPLES "/storage");

const char* const HandedOver = "<Program type=\"2\" cycle_length=\"60\" cycle_shift=\"7\">2,1"
                               "<Phase start=\"0\" length=\"20\" full_length=\"30\">2</Phase>"
                               "<Phase start=\"30\" length=\"25\" full_length=\"30\">1</Phase></Program>";

QString describeFile(const QString& name)
{
    return describeXml(readFile(name));
}

QString phase(int id, int start, int length, int full)
{
    return QStringLiteral("[Phase full_length=%1 length=%2 start=%3 '%4']").arg(full).arg(length).arg(start).arg(id);
}

struct Run
{
    int exitCode = -1;
    QByteArray errors;
};

// morvix as the zone editor runs it, saving without a window.
Run morvix(const QStringList& arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("MORVIX_AUTOSAVE"), QStringLiteral("1"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(MORVIX), arguments);
    Run run;
    if (process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit)
        run.exitCode = process.exitCode();
    run.errors = process.readAllStandardError();
    return run;
}

// Controller ids of every area of a zone file, with the program ids its
// states give them.
QMap<QString, QSet<QString>> controllersOf(const QString& zoneFile)
{
    QMap<QString, QSet<QString>> controllers;
    QFile file(zoneFile);
    QDomDocument doc;
    if (!file.open(QIODevice::ReadOnly) || !doc.setContent(&file))
        return controllers;
    const QDomNodeList areas = doc.elementsByTagName(QStringLiteral("Area"));
    for (int i = 0; i < areas.count(); ++i) {
        const QDomElement list = areas.at(i).firstChildElement(QStringLiteral("Controllers"));
        for (const QString& id : list.text().split(',', Qt::SkipEmptyParts))
            controllers[id];
    }
    const QDomNodeList states = doc.elementsByTagName(QStringLiteral("State"));
    for (int i = 0; i < states.count(); ++i) {
        for (QDomElement c = states.at(i).firstChildElement(QStringLiteral("Controller")); !c.isNull();
             c = c.nextSiblingElement(QStringLiteral("Controller"))) {
            const QString program = c.attribute(QStringLiteral("program_id"));
            if (!program.isEmpty() && program != QLatin1String("0"))
                controllers[c.attribute(QStringLiteral("id"))].insert(program);
        }
    }
    return controllers;
}

} // namespace

class TestMorvix : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void listsSignalPrograms_data();
    void listsSignalPrograms();
    void everyExampleControllerHasItsPrograms();
    void savesProgram_data();
    void savesProgram();
    void refuses_data();
    void refuses();
    void windowSaves_data();
    void windowSaves();

private:
    QString path(const char* name) const { return m_dir->filePath(QLatin1String(name)); }
    QTemporaryDir* m_dir = nullptr;
};

void TestMorvix::init()
{
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
}

void TestMorvix::cleanup()
{
    delete m_dir;
    m_dir = nullptr;
}

void TestMorvix::listsSignalPrograms_data()
{
    QTest::addColumn<QByteArray>("config");
    QTest::addColumn<QByteArray>("list");

    QTest::newRow("storage 101") << readFile(Storage + "/101.cfg") << QByteArray("1\n2\n3\n4\n");
    QTest::newRow("order of the text")
        << QByteArray("program 7 cycle 60 greens 30 20\n# program 8 cycle 60\nprogram 2 cycle 0 flash yellow\n")
        << QByteArray("7\n2\n");
    QTest::newRow("no programs") << QByteArray("controller 5\nmodel X\n") << QByteArray();
}

void TestMorvix::listsSignalPrograms()
{
    QFETCH(QByteArray, config);
    QFETCH(QByteArray, list);

    QVERIFY(writeFile(path("controller.cfg"), config));
    const Run run = morvix({"--controller-config", path("controller.cfg"), "--get-prog-list", path("list.txt")});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(QFile::exists(path("list.txt"))); // written even when empty
    QCOMPARE(readFile(path("list.txt")), list);
}

void TestMorvix::everyExampleControllerHasItsPrograms()
{
    for (const char* zone : {"north.xtsc", "zarechny.xtsc"}) {
        const QMap<QString, QSet<QString>> controllers = controllersOf(QStringLiteral(VELMORA_EXAMPLES "/") + zone);
        QVERIFY(!controllers.isEmpty());
        for (auto it = controllers.cbegin(); it != controllers.cend(); ++it) {
            const QString config = Storage + '/' + it.key() + ".cfg";
            const Run run = morvix({"--controller-config", config, "--get-prog-list", path("list.txt")});
            QVERIFY2(run.exitCode == 0, qPrintable(config + ": " + run.errors));
            const QStringList listed = QString::fromUtf8(readFile(path("list.txt"))).split('\n', Qt::SkipEmptyParts);
            for (const QString& program : it.value())
                QVERIFY2(listed.contains(program), qPrintable(config + " lacks program " + program));
            QVERIFY(readFile(config).contains("controller " + it.key().toUtf8() + '\n'));
        }
    }
}

void TestMorvix::savesProgram_data()
{
    QTest::addColumn<QByteArray>("config");
    QTest::addColumn<QStringList>("programId"); // the --prog-id arguments, if any
    QTest::addColumn<QByteArray>("programFile");
    QTest::addColumn<QString>("saved");

    const QByteArray storage101 = readFile(Storage + "/101.cfg");
    // intergreen 4 3 4 3; the last phase runs to the end of the cycle.
    const QString program2 = "Program cycle_length=105 cycle_shift=0 type=2 '1,2,3,4' " + phase(1, 0, 19, 23) + ' ' +
        phase(2, 23, 22, 25) + ' ' + phase(3, 48, 25, 29) + ' ' + phase(4, 77, 21, 28);
    const QString program1 = "Program cycle_length=75 cycle_shift=0 type=2 '1,2,3,4' " + phase(1, 0, 12, 16) + ' ' +
        phase(2, 16, 15, 18) + ' ' + phase(3, 34, 18, 22) + ' ' + phase(4, 56, 14, 19);
    const QString handedOver = "Program cycle_length=60 cycle_shift=7 type=2 '2,1' " + phase(2, 0, 20, 30) + ' ' +
        phase(1, 30, 25, 30);

    QTest::newRow("signal program 2") << storage101 << QStringList{"--prog-id", "2"} << QByteArray() << program2;
    QTest::newRow("no program id: first signal program") << storage101 << QStringList() << QByteArray() << program1;
    QTest::newRow("program id 0: first signal program")
        << storage101 << QStringList{"--prog-id", "0"} << QByteArray() << program1;
    QTest::newRow("flashing programs skipped")
        << QByteArray("program 3 cycle 0 flash yellow\nprogram 5 cycle 40 greens 15 15 offset 12\n") << QStringList()
        << QByteArray() << "Program cycle_length=40 cycle_shift=12 type=2 '1,2' " + phase(1, 0, 15, 15) + ' ' +
               phase(2, 15, 15, 25);
    QTest::newRow("handed-over program kept")
        << storage101 << QStringList() << QByteArray(HandedOver) << handedOver;
    QTest::newRow("handed-over program wins over the id")
        << storage101 << QStringList{"--prog-id", "2"} << QByteArray(HandedOver) << handedOver;
    QTest::newRow("program rooted at Controller")
        << storage101 << QStringList() << QByteArray(HandedOver).replace("Program", "Controller") << handedOver;
}

void TestMorvix::savesProgram()
{
    QFETCH(QByteArray, config);
    QFETCH(QStringList, programId);
    QFETCH(QByteArray, programFile);
    QFETCH(QString, saved);

    QVERIFY(writeFile(path("controller.cfg"), config));
    QVERIFY(writeFile(path("program.xml"), programFile));
    const Run run = morvix(QStringList{"--controller-config", path("controller.cfg"), "--object-id", "101",
                                       "--edit-prog", path("program.xml")} + programId);
    QVERIFY2(run.exitCode == 0, run.errors.constData());
    QCOMPARE(describeFile(path("program.xml")), saved);
}

void TestMorvix::refuses_data()
{
    QTest::addColumn<QStringList>("arguments"); // CFG, LIST and PROG stand for the files
    QTest::addColumn<QByteArray>("config");
    QTest::addColumn<QByteArray>("programFile");
    QTest::addColumn<int>("exitCode");

    const QByteArray config("program 1 cycle 60 greens 25 25\nprogram 3 cycle 0 flash yellow\n");
    const QStringList edit{"--controller-config", "CFG", "--object-id", "7", "--edit-prog", "PROG"};
    const QStringList list{"--controller-config", "CFG", "--get-prog-list", "LIST"};
    QTest::newRow("no arguments") << QStringList() << config << QByteArray() << 2;
    QTest::newRow("unknown option") << QStringList(list + QStringList{"--verbose", "1"}) << config << QByteArray() << 2;
    QTest::newRow("list with an object id") << QStringList(list + QStringList{"--object-id", "7"}) << config
                                            << QByteArray() << 2;
    QTest::newRow("edit without object id") << QStringList{"--controller-config", "CFG", "--edit-prog", "PROG"}
                                            << config << QByteArray() << 2;
    QTest::newRow("object id not a number") << QStringList{"--controller-config", "CFG", "--object-id", "x",
                                                           "--edit-prog", "PROG"}
                                            << config << QByteArray() << 2;
    QTest::newRow("no configuration file") << QStringList{"--controller-config", "NONE", "--get-prog-list", "LIST"}
                                           << config << QByteArray() << 1;
    QTest::newRow("malformed program line") << list << QByteArray("program 1 cycle 60 greens 25 x\n") << QByteArray()
                                            << 1;
    QTest::newRow("unknown signal program") << QStringList(edit + QStringList{"--prog-id", "9"}) << config
                                            << QByteArray() << 1;
    QTest::newRow("flashing signal program") << QStringList(edit + QStringList{"--prog-id", "3"}) << config
                                             << QByteArray() << 1;
    QTest::newRow("program file not XML") << edit << config << QByteArray("<Program type=") << 1;
}

void TestMorvix::refuses()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, config);
    QFETCH(QByteArray, programFile);
    QFETCH(int, exitCode);

    QVERIFY(writeFile(path("controller.cfg"), config));
    QVERIFY(writeFile(path("program.xml"), programFile));
    arguments.replaceInStrings(QRegularExpression("^CFG$"), path("controller.cfg"));
    arguments.replaceInStrings(QRegularExpression("^PROG$"), path("program.xml"));
    arguments.replaceInStrings(QRegularExpression("^LIST$"), path("list.txt"));
    arguments.replaceInStrings(QRegularExpression("^NONE$"), path("none.cfg"));

    const Run run = morvix(arguments);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY(run.errors.startsWith("morvix: "));
    QCOMPARE(readFile(path("program.xml")), programFile);
    QVERIFY(!QFile::exists(path("list.txt")));
}

void TestMorvix::windowSaves_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("saved"); // empty: refused, the file keeps its program

    QTest::newRow("longer green") << 1 << 2 << 28 << "Program cycle_length=60 cycle_shift=7 type=2 '2,1' " +
        phase(2, 0, 20, 30) + ' ' + phase(1, 30, 28, 30);
    QTest::newRow("later start: full lengths follow") << 1 << 1 << 35 << "Program cycle_length=60 cycle_shift=7 "
        "type=2 '2,1' " + phase(2, 0, 20, 35) + ' ' + phase(1, 35, 25, 25);
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
    const QModelIndex index = phases->model()->index(row, column);
    phases->setCurrentIndex(index);
    phases->edit(index);
    auto* editor = qobject_cast<QSpinBox*>(phases->indexWidget(index));
    QVERIFY(editor);
    editor->setValue(value);
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_COMPARE(phases->item(row, column)->data(Qt::EditRole).toInt(), value);

    QTest::mouseClick(window.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Save), Qt::LeftButton);
    if (saved.isEmpty()) {
        QVERIFY(window.isVisible());
        QVERIFY(!window.findChild<QLabel*>(QStringLiteral("fault"))->text().isEmpty());
        QCOMPARE(readFile(path("program.xml")), QByteArray(HandedOver));
    } else {
        QCOMPARE(window.result(), int(QDialog::Accepted));
        QCOMPARE(describeFile(path("program.xml")), saved);
    }
}

QTEST_MAIN(TestMorvix)
#include "tst_morvix.moc"
