#include <QApplication>
#include <QComboBox>
#include <QDomDocument>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "DomText.h"
#include "FakeStorage.h"
#include "MessageCapture.h"
#include "OffscreenLeaks.h"
#include "Velmora/editors/ControllersStateEditdlg.h"
#include "WidgetDriver.h"

#ifndef FAKE_MORVIX
#error "FAKE_MORVIX names the scripted program editor (fake_morvix/)"
#endif

namespace {

enum Column { ControllerColumn, SpecialStateColumn, ProgramColumn, SpecialProgramColumn };

const char* const NewProgram = "<Program type=\"2\" cycle_length=\"90\" cycle_shift=\"5\">1,2"
                               "<Phase start=\"0\" length=\"40\" full_length=\"45\">1</Phase>"
                               "<Phase start=\"45\" length=\"40\" full_length=\"45\">2</Phase></Program>";
const char* const OldProgram = "<Program type=\"2\" cycle_length=\"60\" cycle_shift=\"0\">1"
                               "<Phase start=\"0\" length=\"55\" full_length=\"60\">1</Phase></Program>";
const char* const Config = "controller 7\nprogram 2 cycle 60 greens 25 25\n";
const QString Special = QString("<Controller id=\"7\">%1</Controller>").arg(OldProgram);

QTableWidget* table(QWidget* dialog)
{
    return dialog->findChild<QTableWidget*>(QStringLiteral("states"));
}

// Columns 1 to 3 of a row joined by '|'.
QString choices(QWidget* dialog, int row)
{
    QStringList texts;
    for (int column = SpecialStateColumn; column <= SpecialProgramColumn; ++column)
        texts << (table(dialog)->item(row, column) ? table(dialog)->item(row, column)->text() : QString());
    return texts.join('|');
}

} // namespace

class TestControllersStateEditdlg : public QObject
{
    Q_OBJECT

private:
    // A dialog on state 9 (the controllers given as XML) of an area that also
    // has states 2, 5 and 3. Shown, with `storage` set.
    std::unique_ptr<ControllersStateEditdlg> open(const QString& controllers, QObject* storage);
    // PATH becomes these folders, each holding the named files: "morvix.exe"
    // and "morvix" run the fake; "name:plain" is a non-executable file.
    QStringList setToolFolders(const QStringList& folders);
    // The fake's runs: program, args, and what its config and program files held.
    QList<QJsonObject> runs() const;
    QStringList leftInTemp() const;

    QTemporaryDir* m_scratch = nullptr;
    int m_folders = 0;
    QDomDocument m_doc;
    QByteArray m_path;

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void newStateId_data();
    void newStateId();
    void stateElement_data();
    void stateElement();
    void acceptance_data();
    void acceptance();
    void exclusiveColumns_data();
    void exclusiveColumns();
    void programChoices_data();
    void programChoices();
    void contextMenu_data();
    void contextMenu();
    void programEdit_data();
    void programEdit();
    void toolOutcome_data();
    void toolOutcome();
    void storageSignals();
};

std::unique_ptr<ControllersStateEditdlg> TestControllersStateEditdlg::open(const QString& controllers, QObject* storage)
{
    parseXml(&m_doc, "<States><State id=\"2\"/><State id=\"5\"/><State id=\"3\"/><State id=\"9\" name=\"Event\">" +
                         controllers + "</State></States>");
    auto dialog = std::make_unique<ControllersStateEditdlg>(m_doc.documentElement(),
                                                            m_doc.documentElement().lastChildElement());
    dialog->setRpcObject(storage);
    dialog->show();
    if (!QTest::qWaitForWindowExposed(dialog.get()))
        qFatal("dialog not shown");
    return dialog;
}

QStringList TestControllersStateEditdlg::setToolFolders(const QStringList& folders)
{
    QStringList paths;
    for (const QString& files : folders) {
        const QDir folder(m_scratch->filePath(QString::number(m_folders++)));
        folder.mkpath(QStringLiteral("."));
        for (const QString& file : files.split(',', Qt::SkipEmptyParts)) {
            QFile plain(folder.filePath(file.section(':', 0, 0)));
            if (!file.endsWith(QLatin1String(":plain"))) {
                QFile::link(QStringLiteral(FAKE_MORVIX), plain.fileName());
            } else if (plain.open(QIODevice::NewOnly | QIODevice::WriteOnly)) {
                plain.write("#!/bin/sh\n");
                plain.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
            }
        }
        paths << folder.path();
    }
    qputenv("PATH", paths.join(QDir::listSeparator()).toLocal8Bit());
    return paths;
}

QList<QJsonObject> TestControllersStateEditdlg::runs() const
{
    QList<QJsonObject> result;
    for (const QByteArray& line : readFile(m_scratch->filePath(QStringLiteral("record"))).split('\n'))
        if (!line.isEmpty())
            result << QJsonDocument::fromJson(line).object();
    return result;
}

QStringList TestControllersStateEditdlg::leftInTemp() const
{
    return QDir(m_scratch->filePath(QStringLiteral("tmp"))).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
}

void TestControllersStateEditdlg::initTestCase()
{
    // Looked up before PATH: the editors' tests are built in a folder of their
    // own, away from the real morvix.
    QVERIFY(!QFile::exists(QCoreApplication::applicationDirPath() + "/morvix.exe"));
    QVERIFY(!QFile::exists(QCoreApplication::applicationDirPath() + "/morvix"));
    m_path = qgetenv("PATH");
}

void TestControllersStateEditdlg::init()
{
    m_scratch = new QTemporaryDir;
    QVERIFY(QDir(m_scratch->path()).mkdir(QStringLiteral("tmp")));
    qputenv("TMPDIR", m_scratch->filePath(QStringLiteral("tmp")).toLocal8Bit());
    qputenv("FAKE_MORVIX_RECORD", m_scratch->filePath(QStringLiteral("record")).toLocal8Bit());
    qputenv("FAKE_MORVIX_PROGRAM", NewProgram);
    for (const char* name : {"FAKE_MORVIX_LIST", "FAKE_MORVIX_REMOVE_PROGRAM", "FAKE_MORVIX_SLEEP",
                             "FAKE_MORVIX_EXIT", "FAKE_MORVIX_CRASH"})
        qunsetenv(name);
    setToolFolders({QStringLiteral("morvix.exe")});
}

void TestControllersStateEditdlg::cleanup()
{
    qputenv("PATH", m_path);
    qunsetenv("TMPDIR");
    delete m_scratch;
}

void TestControllersStateEditdlg::newStateId_data()
{
    QTest::addColumn<QString>("states");
    QTest::addColumn<int>("id");

    QTest::newRow("largest other plus one") << "<State id=\"2\"/><State id=\"5\"/><State id=\"3\"/><State/>" << 6;
    QTest::newRow("first of the area") << "<State/>" << 1;
    QTest::newRow("existing keeps its id") << "<State id=\"2\"/><State id=\"4\"/>" << 4;
}

void TestControllersStateEditdlg::newStateId()
{
    QFETCH(QString, states);
    QFETCH(int, id);

    parseXml(&m_doc, "<States>" + states + "</States>");
    ControllersStateEditdlg dialog(m_doc.documentElement(), m_doc.documentElement().lastChildElement());
    QCOMPARE(dialog.findChild<QSpinBox*>(QStringLiteral("stateId"))->value(), id);
}

void TestControllersStateEditdlg::stateElement_data()
{
    QTest::addColumn<QString>("controllers");
    QTest::addColumn<QStringList>("shown"); // columns 1 to 3 of each row
    QTest::addColumn<QString>("element");   // its Controller children

    QTest::newRow("special states by code") << "<Controller id=\"1\" state=\"2\"/><Controller id=\"2\" state=\"3\"/>"
                                            << QStringList{"yellow flashing||", "off||"}
                                            << "[Controller id=1 state=2] [Controller id=2 state=3]";
    QTest::newRow("unoffered special state kept") << "<Controller id=\"1\" state=\"0\" program_id=\"4\"/>"
                                                  << QStringList{"0|4|"} << "[Controller id=1 program_id=4 state=0]";
    QTest::newRow("special program carried")
        << QString("<Controller id=\"1\">%1</Controller>").arg(OldProgram) << QStringList{"||defined"}
        << "[Controller id=1 [" + describeXml(OldProgram) + "]]";
    QTest::newRow("program rooted at Controller") << "<Controller id=\"1\"><Controller type=\"2\">1</Controller></Controller>"
                                                  << QStringList{"||defined"}
                                                  << "[Controller id=1 [Controller type=2 '1']]";
    QTest::newRow("id only") << "<Controller id=\"1\"/>" << QStringList{"||"} << "[Controller id=1]";
}

void TestControllersStateEditdlg::stateElement()
{
    QFETCH(QString, controllers);
    QFETCH(QStringList, shown);
    QFETCH(QString, element);

    auto dialog = open(controllers, nullptr);
    QStringList rows;
    for (int row = 0; row < table(dialog.get())->rowCount(); ++row)
        rows << choices(dialog.get(), row);
    QCOMPARE(rows, shown);
    QDomDocument target;
    QCOMPARE(describe(dialog->stateElement(target)), "State id=9 name=Event " + element);
}

void TestControllersStateEditdlg::acceptance_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("idRed");
    QTest::addColumn<bool>("nameRed");

    QTest::newRow("free id") << 4 << "Evening" << false << false;
    QTest::newRow("own id") << 9 << "Evening" << false << false;
    QTest::newRow("taken id") << 5 << "Evening" << true << false;
    QTest::newRow("no name") << 4 << "" << false << true;
    QTest::newRow("taken id, no name") << 2 << "" << true << true;
}

void TestControllersStateEditdlg::acceptance()
{
    QFETCH(int, id);
    QFETCH(QString, name);
    QFETCH(bool, idRed);
    QFETCH(bool, nameRed);

    auto dialog = open(QStringLiteral("<Controller id=\"7\"/>"), nullptr);
    auto* stateId = dialog->findChild<QSpinBox*>(QStringLiteral("stateId"));
    auto* stateName = dialog->findChild<QLineEdit*>(QStringLiteral("stateName"));

    // A refused first try colours both fields; the second try must reset them.
    stateName->clear();
    stateId->setValue(5);
    Drive::clickButton(dialog.get());
    stateId->setValue(id);
    QTest::keyClicks(stateName, name);
    Drive::clickButton(dialog.get());

    QCOMPARE(dialog->isVisible(), idRed || nameRed);
    QCOMPARE(dialog->result() == QDialog::Accepted, !idRed && !nameRed);
    QCOMPARE(Drive::isRed(stateId), idRed);
    QCOMPARE(Drive::isRed(stateName), nameRed);
    if (dialog->result() == QDialog::Accepted)
        QCOMPARE(describe(dialog->stateElement(m_doc)), QString("State id=%1 name=%2 [Controller id=7]").arg(id).arg(name));
}

void TestControllersStateEditdlg::exclusiveColumns_data()
{
    QTest::addColumn<QString>("controller");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("choice");
    QTest::addColumn<QString>("element");

    QTest::newRow("special state over program") << "<Controller id=\"7\" program_id=\"2\"/>" << 1 << "off" << "state=3";
    QTest::newRow("special state over special program") << Special << 1 << "local control" << "state=1";
    QTest::newRow("program over special state") << "<Controller id=\"7\" state=\"2\"/>" << 2 << "3" << "program_id=3";
    QTest::newRow("program over special program") << Special << 2 << "1" << "program_id=1";
}

void TestControllersStateEditdlg::exclusiveColumns()
{
    QFETCH(QString, controller);
    QFETCH(int, column);
    QFETCH(QString, choice);
    QFETCH(QString, element);

    FakeStorage storage;
    storage.reply = QByteArray(Config);
    qputenv("FAKE_MORVIX_LIST", "1\n2\n3\n");
    auto dialog = open(controller, &storage);
    PopupAnswerer answerer(dialog.get());

    QWidget* combo = Drive::openCellEditor(table(dialog.get()), 0, column);
    QVERIFY(Drive::choose(combo, choice));
    QTest::keyClick(combo, Qt::Key_Return);
    QTRY_COMPARE(choices(dialog.get(), 0), column == 1 ? choice + "||" : '|' + choice + '|');
    QCOMPARE(describe(dialog->stateElement(m_doc).firstChildElement()), "Controller id=7 " + element);
    QCOMPARE(answerer.boxes, QStringList());
}

void TestControllersStateEditdlg::programChoices_data()
{
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<QByteArray>("config");
    QTest::addColumn<QStringList>("offered"); // none: free text
    QTest::addColumn<QStringList>("boxes");

    QTest::newRow("one id a line") << QByteArray("3\n4\n12\n") << QByteArray(Config) << QStringList{"3", "4", "12"}
                                   << QStringList();
    QTest::newRow("blank lines and carriage returns dropped")
        << QByteArray("\n4\r\n\n7") << QByteArray(Config) << QStringList{"4", "7"} << QStringList();
    QTest::newRow("no programs") << QByteArray() << QByteArray(Config) << QStringList() << QStringList();
    // Not the programs of the row edited before.
    QTest::newRow("no configuration") << QByteArray("9\n") << QByteArray() << QStringList()
                                      << QStringList{"Error: Storage service return empty data"};
}

void TestControllersStateEditdlg::programChoices()
{
    QFETCH(QByteArray, list);
    QFETCH(QByteArray, config);
    QFETCH(QStringList, offered);
    QFETCH(QStringList, boxes);

    FakeStorage storage;
    storage.reply = QByteArray(Config);
    auto dialog = open(QStringLiteral("<Controller id=\"7\" program_id=\"1\"/><Controller id=\"8\" program_id=\"4\"/>"),
                       &storage);
    PopupAnswerer answerer(dialog.get());
    qputenv("FAKE_MORVIX_LIST", "1\n2\n");
    auto* first = qobject_cast<QComboBox*>(Drive::openCellEditor(table(dialog.get()), 0, ProgramColumn));
    QVERIFY(first);
    QCOMPARE(Drive::entries(first), (QStringList{"1", "2"}));
    QTest::keyClick(first, Qt::Key_Escape);

    qputenv("FAKE_MORVIX_LIST", list);
    storage.reply = config;
    QWidget* editor = Drive::openCellEditor(table(dialog.get()), 1, ProgramColumn);
    if (offered.isEmpty()) {
        QVERIFY(qobject_cast<QLineEdit*>(editor));
        QCOMPARE(qobject_cast<QLineEdit*>(editor)->text(), QStringLiteral("4"));
    } else {
        auto* combo = qobject_cast<QComboBox*>(editor);
        QVERIFY(combo);
        QCOMPARE(Drive::entries(combo), offered);
        // The cell's program when offered, else the first.
        QCOMPARE(combo->currentText(), offered.contains("4") ? QStringLiteral("4") : offered.first());
    }
    QCOMPARE(answerer.boxes, boxes);
    QCOMPARE(storage.calls, (QList<QVariantList>{{"7"}, {"8"}}));

    const QList<QJsonObject> tool = runs();
    QCOMPARE(tool.size(), config.isEmpty() ? 1 : 2);
    const QStringList args = tool.last().value("args").toVariant().toStringList();
    QCOMPARE(args, (QStringList{"--controller-config", args.value(1), "--get-prog-list", args.value(3)}));
    QCOMPARE(tool.last().value("config").toString(), QString::fromLatin1(Config));
    QCOMPARE(leftInTemp(), QStringList());
}

void TestControllersStateEditdlg::contextMenu_data()
{
    QTest::addColumn<QString>("controller");
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("twoSelected");
    QTest::addColumn<bool>("withStorage");
    QTest::addColumn<QStringList>("offered"); // none: no menu

    const QString program = QStringLiteral("<Controller id=\"7\" program_id=\"2\"/>");
    QTest::newRow("signal program") << program << 3 << false << true << QStringList{"Change", "Change local"};
    QTest::newRow("special program") << Special << 3 << false << true << QStringList{"Change"};
    QTest::newRow("nothing yet") << "<Controller id=\"7\"/>" << 3 << false << true << QStringList{"Change"};
    QTest::newRow("no storage service") << program << 3 << false << false << QStringList();
    QTest::newRow("program column") << program << 2 << false << true << QStringList();
    QTest::newRow("two cells selected") << program << 3 << true << true << QStringList();
}

void TestControllersStateEditdlg::contextMenu()
{
    QFETCH(QString, controller);
    QFETCH(int, column);
    QFETCH(bool, twoSelected);
    QFETCH(bool, withStorage);
    QFETCH(QStringList, offered);

    FakeStorage storage;
    auto dialog = open(controller, withStorage ? &storage : nullptr);
    PopupAnswerer answerer(dialog.get());
    Drive::clickCell(table(dialog.get()), 0, column);
    if (twoSelected)
        Drive::clickCell(table(dialog.get()), 0, ControllerColumn, false, Qt::ControlModifier);
    Drive::rightClick(table(dialog.get()), table(dialog.get())->model()->index(0, column));
    QCOMPARE(answerer.menus, offered.isEmpty() ? QList<QStringList>() : QList<QStringList>{offered});
}

void TestControllersStateEditdlg::programEdit_data()
{
    QTest::addColumn<QString>("controller");
    QTest::addColumn<QString>("action"); // a menu entry, or a double click
    QTest::addColumn<QString>("programId"); // --prog-id; none when empty
    QTest::addColumn<QByteArray>("handedOver");

    const QString both = QString("<Controller id=\"7\" program_id=\"%2\">%1</Controller>").arg(OldProgram);
    QTest::newRow("double click on a special state: new") << "<Controller id=\"7\" state=\"1\"/>" << "double click"
                                                          << "0" << QByteArray();
    QTest::newRow("change: handed over") << Special << "Change" << "" << QByteArray(OldProgram);
    QTest::newRow("change local") << "<Controller id=\"7\" program_id=\"2\"/>" << "Change local" << "2" << QByteArray();
    QTest::newRow("change local: special program not handed over") << both.arg(4) << "Change local" << "4"
                                                                    << QByteArray();
    QTest::newRow("change local on 0") << "<Controller id=\"7\" program_id=\"0\"/>" << "Change local" << "0"
                                       << QByteArray();
    QTest::newRow("change local on a non-number") << "<Controller id=\"7\" program_id=\"x7\"/>" << "Change local"
                                                  << "0" << QByteArray();
    QTest::newRow("change local on 0: handed over") << both.arg(0) << "Change local" << "" << QByteArray(OldProgram);
}

void TestControllersStateEditdlg::programEdit()
{
    QFETCH(QString, controller);
    QFETCH(QString, action);
    QFETCH(QString, programId);
    QFETCH(QByteArray, handedOver);

    FakeStorage storage;
    storage.reply = QByteArray(Config);
    qputenv("FAKE_MORVIX_SLEEP", "100");
    auto dialog = open(controller, &storage);
    PopupAnswerer answerer(dialog.get(), action);
    if (action == QLatin1String("double click")) {
        Drive::openCellEditor(table(dialog.get()), 0, SpecialProgramColumn);
    } else {
        Drive::clickCell(table(dialog.get()), 0, SpecialProgramColumn);
        Drive::rightClick(table(dialog.get()), table(dialog.get())->model()->index(0, SpecialProgramColumn));
    }

    const QList<QJsonObject> tool = runs();
    QCOMPARE(tool.size(), 1);
    QCOMPARE(storage.calls, QList<QVariantList>{{"7"}});
    const QStringList args = tool.first().value("args").toVariant().toStringList();
    QStringList expected{"--controller-config", args.value(1), "--object-id", "7", "--edit-prog", args.value(5)};
    if (!programId.isEmpty())
        expected << "--prog-id" << programId;
    QCOMPARE(args, expected);
    QCOMPARE(tool.first().value("config").toString(), QString::fromLatin1(Config));
    QCOMPARE(describeXml(tool.first().value("programFile").toString().toUtf8()), describeXml(handedOver));
    // Disabled while the tool runs, enabled again after.
    QVERIFY(answerer.sawDisabled);
    QVERIFY(dialog->isEnabled());
    QCOMPARE(leftInTemp(), QStringList());

    // The row runs the program the tool saved, and only that.
    QCOMPARE(choices(dialog.get(), 0), QStringLiteral("||defined"));
    QCOMPARE(describe(dialog->stateElement(m_doc).firstChildElement()),
             "Controller id=7 [" + describeXml(NewProgram) + ']');
    QCOMPARE(answerer.boxes, QStringList());
}

void TestControllersStateEditdlg::toolOutcome_data()
{
    QTest::addColumn<QStringList>("folders"); // PATH, as setToolFolders() takes it
    QTest::addColumn<QByteArray>("environment");
    QTest::addColumn<QVariant>("reply"); // the storage service's; invalid: it has no invoke()
    QTest::addColumn<QString>("runBy");  // "folder/name" of the tool that ran; none when empty
    QTest::addColumn<bool>("changed");
    QTest::addColumn<QString>("box");

    const QStringList exe{"morvix.exe"};
    const QVariant config = QByteArray(Config);
    const auto row = [&](const char* name, const QStringList& folders, const QByteArray& environment,
                         const QVariant& reply, const QString& runBy, bool changed, const QString& box) {
        QTest::newRow(name) << folders << environment << reply << runBy << changed << box;
    };
    row("later PATH entry", {"", "morvix.exe"}, {}, config, "1/morvix.exe", true, "");
    row("first of two", {"morvix.exe", "morvix.exe"}, {}, config, "0/morvix.exe", true, "");
    row("suffix first", {"morvix", "morvix.exe"}, {}, config, "1/morvix.exe", true, "");
    row("plain name", {"", "morvix"}, {}, config, "1/morvix", true, "");
    row("plain name not executable", {"morvix:plain"}, {}, config, "", false, "");
    row("no tool", {""}, {}, config, "", false, "");
    row("tool cannot start", {"morvix.exe:plain"}, {}, config, "", false, "Error: The program editor");
    row("exit status 3", exe, "FAKE_MORVIX_EXIT=3", config, "0/morvix.exe", false, "");
    row("crash", exe, "FAKE_MORVIX_CRASH=1", config, "0/morvix.exe", false, "");
    row("nothing saved", exe, "FAKE_MORVIX_PROGRAM=", config, "0/morvix.exe", false, "");
    row("result file gone", exe, "FAKE_MORVIX_REMOVE_PROGRAM=1", config, "0/morvix.exe", false,
        "Error: Error open result file");
    row("configuration as text", exe, {}, QString::fromLatin1(Config), "0/morvix.exe", true, "");
    row("storage: empty", exe, {}, QByteArray(), "", false, "Error: Storage service return empty data");
    row("storage: error", exe, {}, QByteArray("<Error>Disk is offline</Error>"), "", false, "Error: Disk is offline");
    row("storage: error to the first closing tag", exe, {}, QByteArray("<Error>a</Error>b</Error>"), "", false,
        "Error: a");
    row("storage: error without closing tag", exe, {}, QByteArray("<Error>Disk is offline"), "", false,
        "Error: Storage service return empty data");
    row("storage: no invoke method", exe, {}, QVariant(), "", false,
        "Error: When calling method 'getConfig' error occurred in storage service");
}

void TestControllersStateEditdlg::toolOutcome()
{
    QFETCH(QStringList, folders);
    QFETCH(QByteArray, environment);
    QFETCH(QVariant, reply);
    QFETCH(QString, runBy);
    QFETCH(bool, changed);
    QFETCH(QString, box);

    FakeStorage storage;
    storage.reply = reply;
    QObject mute; // an object without invoke() or the signals
    const QStringList paths = setToolFolders(folders);
    if (!environment.isEmpty())
        qputenv(environment.left(environment.indexOf('=')), environment.mid(environment.indexOf('=') + 1));
    MessageCapture warnings;
    auto dialog = open(QStringLiteral("<Controller id=\"7\" program_id=\"2\"/>"), reply.isValid() ? &storage : &mute);
    PopupAnswerer answerer(dialog.get());
    Drive::openCellEditor(table(dialog.get()), 0, SpecialProgramColumn);

    const QList<QJsonObject> tool = runs();
    QCOMPARE(tool.size(), runBy.isEmpty() ? 0 : 1);
    if (!runBy.isEmpty()) {
        QCOMPARE(tool.first().value("program").toString(),
                 QDir(paths.at(runBy.section('/', 0, 0).toInt())).filePath(runBy.section('/', 1)));
        QCOMPARE(tool.first().value("config").toString(), QString::fromLatin1(Config));
    }
    QCOMPARE(choices(dialog.get(), 0), changed ? QStringLiteral("||defined") : QStringLiteral("|2|"));
    QCOMPARE(answerer.boxes.size(), box.isEmpty() ? 0 : 1);
    if (!box.isEmpty())
        QVERIFY2(answerer.boxes.first().startsWith(box), qPrintable(answerer.boxes.first()));
    // Whatever went wrong, no window is left disabled, no file left behind.
    for (QWidget* window : QApplication::topLevelWidgets())
        QVERIFY(window->isEnabled());
    QCOMPARE(leftInTemp(), QStringList());
}

void TestControllersStateEditdlg::storageSignals()
{
    FakeStorage first;
    FakeStorage second;
    auto dialog = open(QStringLiteral("<Controller id=\"7\"/>"), &first);
    PopupAnswerer answerer(dialog.get());

    emit first.rpcConnected();
    emit first.rpcDisconnected();
    dialog->setRpcObject(&second);
    emit first.rpcConnected(); // no longer followed
    emit second.rpcDisconnected();
    dialog->setRpcObject(nullptr);
    emit second.rpcConnected();
    QCOMPARE(answerer.boxes, (QStringList{"Warning: RPC Object connected", "Warning: RPC Object disconnected",
                                          "Warning: RPC Object disconnected"}));

    // Without a storage service there is no program editing.
    Drive::openCellEditor(table(dialog.get()), 0, SpecialProgramColumn);
    QVERIFY(runs().isEmpty());
}

QTEST_MAIN(TestControllersStateEditdlg)
#include "tst_controllersstateeditdlg.moc"
