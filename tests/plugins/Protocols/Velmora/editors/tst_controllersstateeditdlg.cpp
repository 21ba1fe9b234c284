#include <QApplication>
#include <QComboBox>
#include <QDomDocument>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPainter>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QWindow>
#include <QtTest>

#include <memory>

#include "DomText.h"
#include "FakeStorage.h"
#include "MessageCapture.h"
#include "OffscreenLeaks.h"
#include "Velmora/editors/ComboBoxDelegate.h"
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
const QString SignalProgram = "<Controller id=\"7\" program_id=\"2\"/>";
// A signal program (%1) and a special program.
const QString Both = QString("<Controller id=\"7\" program_id=\"%1\">%2</Controller>").arg("%1", OldProgram);

// Notes whether the window it watches was disabled at some moment.
class DisabledWatch : public QObject
{
public:
    bool seen = false;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        seen = seen || (event->type() == QEvent::EnabledChange && !static_cast<QWidget*>(watched)->isEnabled());
        return false;
    }
};

} // namespace

// The controllers state editor and the program editor it runs: a scripted
// fake put on PATH.
class TestControllersStateEditdlg : public QObject
{
    Q_OBJECT

    QTemporaryDir* m_scratch = nullptr;
    int m_folders = 0;
    QDomDocument m_doc;
    QByteArray m_path;
    FakeStorage m_storage; // answers getConfig with Config unless told otherwise
    std::unique_ptr<ControllersStateEditdlg> m_dialog;
    std::unique_ptr<PopupAnswerer> m_answerer;

    // The editor on state 9 (the controllers given as XML) of an area that
    // also has states 2, 5 and 3, shown; its popups answered.
    void open(const QString& controllers, QObject* storage, const QString& menuChoice = QString())
    {
        parseXml(&m_doc, "<States><State id=\"2\"/><State id=\"5\"/><State id=\"3\"/><State id=\"9\" name=\"Event\">"
                             + controllers + "</State></States>");
        m_dialog = std::make_unique<ControllersStateEditdlg>(m_doc.documentElement(),
                                                             m_doc.documentElement().lastChildElement());
        m_dialog->setRpcObject(storage);
        m_dialog->show();
        QTRY_VERIFY(m_dialog->windowHandle()->isExposed());
        m_answerer = std::make_unique<PopupAnswerer>(m_dialog.get(), menuChoice);
    }

    QTableWidget* table() const { return m_dialog->findChild<QTableWidget*>("states"); }
    QWidget* openEditor(int row, int column) { return Drive::openCellEditor(table(), row, column); }

    // Columns 1 to 3 of a row joined by '|'.
    QString choices(int row) const
    {
        QStringList texts;
        for (int column = SpecialStateColumn; column <= SpecialProgramColumn; ++column)
            texts << (table()->item(row, column) ? table()->item(row, column)->text() : QString());
        return texts.join('|');
    }

    QString firstController() { return describe(m_dialog->stateElement(m_doc).firstChildElement()); }

    // PATH becomes these folders, each holding the named files: "morvix.exe"
    // and "morvix" run the fake; "name:plain" is a file without execute bits.
    QStringList setToolFolders(const QStringList& folders)
    {
        QStringList paths;
        for (const QString& files : folders) {
            const QDir folder(m_scratch->filePath(QString::number(m_folders++)));
            folder.mkpath(".");
            for (const QString& file : files.split(',', Qt::SkipEmptyParts)) {
                const QString path = folder.filePath(file.section(':', 0, 0));
                if (file.endsWith(":plain"))
                    writeFile(path, "#!/bin/sh\n");
                else
                    QFile::link(FAKE_MORVIX, path);
            }
            paths << folder.path();
        }
        qputenv("PATH", paths.join(QDir::listSeparator()).toLocal8Bit());
        return paths;
    }

    // The fake's runs: program, args, and what its config and program files held.
    QList<QJsonObject> runs() const
    {
        QList<QJsonObject> result;
        for (const QByteArray& line : readFile(m_scratch->filePath("record")).split('\n'))
            if (!line.isEmpty())
                result << QJsonDocument::fromJson(line).object();
        return result;
    }

    QStringList argsOf(const QJsonObject& run) const { return run.value("args").toVariant().toStringList(); }

    // Temporary files the editor left.
    QStringList leftInTemp() const
    {
        return QDir(m_scratch->filePath("tmp")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    }

private slots:
    void initTestCase()
    {
        // Looked up before PATH: the editors' tests are built in a folder of
        // their own, away from the real morvix.
        QVERIFY(!QFile::exists(QCoreApplication::applicationDirPath() + "/morvix.exe"));
        QVERIFY(!QFile::exists(QCoreApplication::applicationDirPath() + "/morvix"));
        m_path = qgetenv("PATH");
    }
    void init()
    {
        m_scratch = new QTemporaryDir;
        QVERIFY(QDir(m_scratch->path()).mkdir("tmp"));
        qputenv("TMPDIR", m_scratch->filePath("tmp").toLocal8Bit());
        qputenv("FAKE_MORVIX_RECORD", m_scratch->filePath("record").toLocal8Bit());
        qputenv("FAKE_MORVIX_PROGRAM", NewProgram);
        for (const char* name : {"FAKE_MORVIX_LIST", "FAKE_MORVIX_REMOVE_PROGRAM", "FAKE_MORVIX_EXIT", "FAKE_MORVIX_CRASH"})
            qunsetenv(name);
        setToolFolders({"morvix.exe"});
        m_storage.reply = QByteArray(Config);
        m_storage.calls.clear();
    }
    void cleanup()
    {
        m_answerer.reset();
        m_dialog.reset();
        qputenv("PATH", m_path);
        qunsetenv("TMPDIR");
        delete m_scratch;
    }

    void stateElement_data()
    {
        QTest::addColumn<QString>("controllers");
        QTest::addColumn<QStringList>("shown"); // choices() of each row
        QTest::addColumn<QString>("element");   // its Controller children
        QTest::newRow("special states by code; an id alone adds nothing")
            << "<Controller id=\"1\" state=\"2\"/><Controller id=\"2\" state=\"3\"/><Controller id=\"3\"/>"
            << QStringList{"yellow flashing||", "off||", "||"}
            << "[Controller id=1 state=2] [Controller id=2 state=3] [Controller id=3]";
        QTest::newRow("unoffered special state kept") << "<Controller id=\"1\" state=\"0\" program_id=\"4\"/>"
                                                      << QStringList{"0|4|"} << "[Controller id=1 program_id=4 state=0]";
        QTest::newRow("special programs carried, also one rooted at Controller")
            << Special + "<Controller id=\"8\"><Controller type=\"2\">1</Controller></Controller>"
            << QStringList{"||defined", "||defined"}
            << "[Controller id=7 [" + describeXml(OldProgram) + "]] [Controller id=8 [Controller type=2 '1']]";
    }
    void stateElement()
    {
        QFETCH(QString, controllers);
        QFETCH(QStringList, shown);
        QFETCH(QString, element);
        open(controllers, nullptr);
        QStringList rows;
        for (int row = 0; row < table()->rowCount(); ++row)
            rows << choices(row);
        QCOMPARE(rows, shown);
        QDomDocument target;
        QCOMPARE(describe(m_dialog->stateElement(target)), "State id=9 name=Event " + element);
    }

    void acceptance_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("red"); // "id", "name"; none: accepted
        QTest::newRow("own id") << 9 << "Evening" << "";
        QTest::newRow("taken id") << 5 << "Evening" << "id";
        QTest::newRow("no name") << 4 << "" << "name";
    }
    void acceptance()
    {
        QFETCH(int, id);
        QFETCH(QString, name);
        QFETCH(QString, red);
        open("<Controller id=\"7\"/>", nullptr);
        auto* stateId = m_dialog->findChild<QSpinBox*>("stateId");
        auto* stateName = m_dialog->findChild<QLineEdit*>("stateName");
        // A refused first try colours both fields; the second try must reset them.
        stateName->clear();
        stateId->setValue(5);
        Drive::clickButton(m_dialog.get());
        QVERIFY(Drive::isRed(stateId) && Drive::isRed(stateName));
        stateId->setValue(id);
        QTest::keyClicks(stateName, name);
        Drive::clickButton(m_dialog.get());
        const QString marks = QString(Drive::isRed(stateId) ? "id " : "") + (Drive::isRed(stateName) ? "name" : "");
        QCOMPARE(marks.trimmed(), red);
        QCOMPARE(m_dialog->isVisible(), !red.isEmpty());
        if (red.isEmpty())
            QCOMPARE(describe(m_dialog->stateElement(m_doc)), QString("State id=%1 name=%2 [Controller id=7]").arg(id).arg(name));
    }

    // A controller runs one of a special state, a program and a special
    // program; a file may name all three, the editor keeps what is chosen.
    void exclusiveColumns_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("choice");
        QTest::newRow("special state") << 1 << "off";
        QTest::newRow("program") << 2 << "3";
    }
    void exclusiveColumns()
    {
        QFETCH(int, column);
        QFETCH(QString, choice);
        qputenv("FAKE_MORVIX_LIST", "1\n2\n3\n");
        open(QString("<Controller id=\"7\" state=\"2\" program_id=\"2\">%1</Controller>").arg(OldProgram), &m_storage);
        QCOMPARE(choices(0), QStringLiteral("yellow flashing|2|defined"));
        QWidget* combo = openEditor(0, column);
        QVERIFY(Drive::choose(combo, choice));
        QTest::keyClick(combo, Qt::Key_Return);
        QTRY_COMPARE(choices(0), column == 1 ? choice + "||" : '|' + choice + '|');
        QCOMPARE(firstController(), "Controller id=7 " + QString(column == 1 ? "state=3" : "program_id=3"));
        QCOMPARE(m_answerer->boxes, QStringList());
    }

    // The second row's program cell offers what the tool lists for its
    // controller, never what it listed for the first row.
    void programChoices_data()
    {
        QTest::addColumn<QByteArray>("list");
        QTest::addColumn<QByteArray>("config");
        QTest::addColumn<QStringList>("offered"); // none: free text
        QTest::addColumn<QString>("shown");       // what the editor opens with
        QTest::addColumn<QStringList>("boxes");
        const QByteArray config = Config;
        QTest::newRow("one id a line; blank lines and carriage returns dropped")
            << QByteArray("\n3\r\n\n4\n12") << config << QStringList{"3", "4", "12"} << "4" << QStringList();
        QTest::newRow("the cell's program not offered: the first") << QByteArray("3\n12\n") << config
                                                                    << QStringList{"3", "12"} << "3" << QStringList();
        QTest::newRow("no programs") << QByteArray() << config << QStringList() << "4" << QStringList();
        QTest::newRow("no configuration") << QByteArray("9\n") << QByteArray() << QStringList() << "4"
                                          << QStringList{"Error: Storage service return empty data"};
    }
    void programChoices()
    {
        QFETCH(QByteArray, list);
        QFETCH(QByteArray, config);
        QFETCH(QStringList, offered);
        QFETCH(QString, shown);
        QFETCH(QStringList, boxes);
        open("<Controller id=\"7\" program_id=\"1\"/><Controller id=\"8\" program_id=\"4\"/>", &m_storage);
        qputenv("FAKE_MORVIX_LIST", "1\n2\n");
        auto* first = qobject_cast<QComboBox*>(openEditor(0, ProgramColumn));
        QVERIFY(first);
        QCOMPARE(Drive::entries(first), (QStringList{"1", "2"}));
        QTest::keyClick(first, Qt::Key_Escape);

        qputenv("FAKE_MORVIX_LIST", list);
        m_storage.reply = config;
        QWidget* editor = openEditor(1, ProgramColumn);
        auto* combo = qobject_cast<QComboBox*>(editor);
        auto* line = qobject_cast<QLineEdit*>(editor);
        QCOMPARE(combo ? Drive::entries(combo) : QStringList(), offered);
        QCOMPARE(combo ? combo->currentText() : line ? line->text() : QString(), shown);
        QCOMPARE(m_answerer->boxes, boxes);
        QCOMPARE(m_storage.calls, (QList<QVariantList>{{"7"}, {"8"}}));
        const QList<QJsonObject> tool = runs();
        QCOMPARE(tool.size(), config.isEmpty() ? 1 : 2);
        const QStringList args = argsOf(tool.last());
        QCOMPARE(args, (QStringList{"--controller-config", args.value(1), "--get-prog-list", args.value(3)}));
        QCOMPARE(tool.last().value("config").toString(), QString::fromLatin1(Config));
        QCOMPARE(leftInTemp(), QStringList());
    }

    void contextMenu_data()
    {
        QTest::addColumn<QString>("controller");
        QTest::addColumn<int>("column");
        QTest::addColumn<bool>("twoSelected");
        QTest::addColumn<bool>("withStorage");
        QTest::addColumn<QStringList>("offered"); // none: no menu
        QTest::newRow("signal program") << SignalProgram << 3 << false << true << QStringList{"Change", "Change local"};
        QTest::newRow("nothing yet") << "<Controller id=\"7\"/>" << 3 << false << true << QStringList{"Change"};
        QTest::newRow("no storage service") << SignalProgram << 3 << false << false << QStringList();
        QTest::newRow("program column") << SignalProgram << 2 << false << true << QStringList();
        QTest::newRow("two cells selected") << SignalProgram << 3 << true << true << QStringList();
    }
    void contextMenu()
    {
        QFETCH(QString, controller);
        QFETCH(int, column);
        QFETCH(bool, twoSelected);
        QFETCH(bool, withStorage);
        QFETCH(QStringList, offered);
        open(controller, withStorage ? &m_storage : nullptr);
        Drive::clickCell(table(), 0, column);
        if (twoSelected)
            Drive::clickCell(table(), 0, ControllerColumn, false, Qt::ControlModifier);
        Drive::rightClick(table(), table()->model()->index(0, column));
        QCOMPARE(m_answerer->menus, offered.isEmpty() ? QList<QStringList>() : QList<QStringList>{offered});
    }

    void programEdit_data()
    {
        QTest::addColumn<QString>("controller");
        QTest::addColumn<QString>("action");    // a menu entry, or a double click
        QTest::addColumn<QString>("programId"); // --prog-id; none when empty
        QTest::addColumn<QByteArray>("handedOver");
        QTest::newRow("double click on a special state: new") << "<Controller id=\"7\" state=\"1\"/>" << "double click"
                                                              << "0" << QByteArray();
        QTest::newRow("change: handed over") << Special << "Change" << "" << QByteArray(OldProgram);
        QTest::newRow("change local") << SignalProgram << "Change local" << "2" << QByteArray();
        QTest::newRow("change local: special program not handed over") << Both.arg(4) << "Change local" << "4"
                                                                        << QByteArray();
        QTest::newRow("change local on a non-number") << "<Controller id=\"7\" program_id=\"x7\"/>" << "Change local"
                                                      << "0" << QByteArray();
        QTest::newRow("change local on 0: handed over") << Both.arg(0) << "Change local" << "" << QByteArray(OldProgram);
    }
    void programEdit()
    {
        QFETCH(QString, controller);
        QFETCH(QString, action);
        QFETCH(QString, programId);
        QFETCH(QByteArray, handedOver);
        open(controller, &m_storage, action);
        DisabledWatch disabled;
        m_dialog->installEventFilter(&disabled);
        if (action == "double click") {
            openEditor(0, SpecialProgramColumn);
        } else {
            Drive::clickCell(table(), 0, SpecialProgramColumn);
            Drive::rightClick(table(), table()->model()->index(0, SpecialProgramColumn));
        }
        const QList<QJsonObject> tool = runs();
        QCOMPARE(tool.size(), 1);
        QCOMPARE(m_storage.calls, QList<QVariantList>{{"7"}});
        const QStringList args = argsOf(tool.first());
        QStringList expected{"--controller-config", args.value(1), "--object-id", "7", "--edit-prog", args.value(5)};
        if (!programId.isEmpty())
            expected << "--prog-id" << programId;
        QCOMPARE(args, expected);
        QCOMPARE(tool.first().value("config").toString(), QString::fromLatin1(Config));
        QCOMPARE(describeXml(tool.first().value("programFile").toString().toUtf8()), describeXml(handedOver));
        // Disabled while the tool runs, enabled again after.
        QVERIFY(disabled.seen && m_dialog->isEnabled());
        QCOMPARE(leftInTemp(), QStringList());
        // The row runs the program the tool saved, and only that.
        QCOMPARE(choices(0), QStringLiteral("||defined"));
        QCOMPARE(firstController(), "Controller id=7 [" + describeXml(NewProgram) + ']');
        QCOMPARE(m_answerer->boxes, QStringList());
    }

    void toolOutcome_data()
    {
        QTest::addColumn<QStringList>("folders"); // PATH, as setToolFolders() takes it
        QTest::addColumn<QByteArray>("environment");
        QTest::addColumn<QVariant>("reply"); // the storage service's; invalid: it has no invoke()
        QTest::addColumn<QString>("runBy");  // "folder/name" of the tool that ran; none when empty
        QTest::addColumn<bool>("changed");
        QTest::addColumn<QString>("box"); // the message shown; a trailing '*' stands for any rest
        const QStringList exe{"morvix.exe"};
        const QVariant config = QByteArray(Config);
        const auto row = [&](const char* name, const QStringList& folders, const QByteArray& environment,
                             const QVariant& reply, const QString& runBy, bool changed, const QString& box) {
            QTest::newRow(name) << folders << environment << reply << runBy << changed << box;
        };
        // The suffixed name along PATH first, then the plain one.
        row("suffixed name first, first on PATH", {"morvix", "", "morvix.exe", "morvix.exe"}, {}, config,
            "2/morvix.exe", true, "");
        row("plain name: an executable only", {"morvix:plain", "morvix"}, {}, config, "1/morvix", true, "");
        row("no tool", {"morvix:plain"}, {}, config, "", false, "");
        row("tool cannot start", {"morvix.exe:plain"}, {}, config, "", false, "Error: The program editor *");
        row("exit status 3", exe, "FAKE_MORVIX_EXIT=3", config, "0/morvix.exe", false, "");
        row("crash", exe, "FAKE_MORVIX_CRASH=1", config, "0/morvix.exe", false, "");
        row("nothing saved", exe, "FAKE_MORVIX_PROGRAM=", config, "0/morvix.exe", false, "");
        row("result file gone", exe, "FAKE_MORVIX_REMOVE_PROGRAM=1", config, "0/morvix.exe", false,
            "Error: Error open result file");
        row("configuration as text", exe, {}, QString::fromLatin1(Config), "0/morvix.exe", true, "");
        row("storage: empty", exe, {}, QByteArray(), "", false, "Error: Storage service return empty data");
        row("storage: error up to the first closing tag", exe, {},
            QByteArray("<Error>Disk is offline</Error>b</Error>"), "", false, "Error: Disk is offline");
        row("storage: error without closing tag", exe, {}, QByteArray("<Error>Disk is offline"), "", false,
            "Error: Storage service return empty data");
        row("storage: no invoke method", exe, {}, QVariant(), "", false,
            "Error: When calling method 'getConfig' error occurred in storage service");
    }
    void toolOutcome()
    {
        QFETCH(QStringList, folders);
        QFETCH(QByteArray, environment);
        QFETCH(QVariant, reply);
        QFETCH(QString, runBy);
        QFETCH(bool, changed);
        QFETCH(QString, box);
        m_storage.reply = reply;
        QObject mute; // an object without invoke() or the signals
        const QStringList paths = setToolFolders(folders);
        if (!environment.isEmpty())
            qputenv(environment.left(environment.indexOf('=')), environment.mid(environment.indexOf('=') + 1));
        MessageCapture warnings;
        open(SignalProgram, reply.isValid() ? &m_storage : &mute);
        openEditor(0, SpecialProgramColumn);

        const QList<QJsonObject> tool = runs();
        QCOMPARE(tool.size(), runBy.isEmpty() ? 0 : 1);
        if (!runBy.isEmpty()) {
            QCOMPARE(tool.first().value("program").toString(),
                     QDir(paths.at(runBy.section('/', 0, 0).toInt())).filePath(runBy.section('/', 1)));
            QCOMPARE(tool.first().value("config").toString(), QString::fromLatin1(Config));
        }
        QCOMPARE(choices(0), changed ? QStringLiteral("||defined") : QStringLiteral("|2|"));
        const QStringList boxes = m_answerer->boxes;
        QCOMPARE(boxes.size(), box.isEmpty() ? 0 : 1);
        if (box.endsWith('*'))
            QVERIFY2(boxes.first().startsWith(box.chopped(1)), qPrintable(boxes.first()));
        else if (!box.isEmpty())
            QCOMPARE(boxes.first(), box);
        // Whatever went wrong, no window is left disabled, no file left behind.
        for (QWidget* window : QApplication::topLevelWidgets())
            QVERIFY(window->isEnabled());
        QCOMPARE(leftInTemp(), QStringList());
    }

    void storageSignals()
    {
        FakeStorage second;
        open("<Controller id=\"7\"/>", &m_storage);
        emit m_storage.rpcConnected();
        emit m_storage.rpcDisconnected();
        m_dialog->setRpcObject(&second);
        emit m_storage.rpcConnected(); // no longer followed
        emit second.rpcDisconnected();
        m_dialog->setRpcObject(nullptr);
        emit second.rpcConnected();
        QCOMPARE(m_answerer->boxes, (QStringList{"Warning: RPC Object connected", "Warning: RPC Object disconnected",
                                                 "Warning: RPC Object disconnected"}));
        // Without a storage service there is no program editing.
        openEditor(0, SpecialProgramColumn);
        QVERIFY(runs().isEmpty());
    }

    // The cells' delegate paints a selected cell's highlight and, on it, the text.
    void selectedCellShowsItsText()
    {
        QStandardItemModel model(1, 1);
        const ComboBoxDelegate delegate(nullptr, {}, {});
        QStyleOptionViewItem option;
        option.rect = QRect(0, 0, 120, 23);
        option.palette.setColor(QPalette::Highlight, Qt::blue);
        option.font = QApplication::font();
        const auto render = [&](const QString& text, bool selected) {
            model.setData(model.index(0, 0), text, Qt::DisplayRole);
            option.state = selected ? QStyle::State_Selected : QStyle::State_None;
            QImage image(option.rect.size(), QImage::Format_RGB32);
            image.fill(Qt::green);
            QPainter painter(&image);
            delegate.paint(&painter, option, model.index(0, 0));
            return image;
        };
        const QImage selected = render("yellow flashing", true);
        QCOMPARE(QColor(selected.pixel(1, 1)), QColor(Qt::blue));
        QVERIFY(selected != render(QString(), true));
        QVERIFY(QColor(render("yellow flashing", false).pixel(1, 1)) != QColor(Qt::blue));
    }
};

QTEST_MAIN(TestControllersStateEditdlg)
#include "tst_controllersstateeditdlg.moc"
