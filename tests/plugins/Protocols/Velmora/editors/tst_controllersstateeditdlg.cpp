#include "EditorTest.h"
#include "FakeStorage.h"
#include "MessageCapture.h"
#include "Velmora/editors/ComboBoxDelegate.h"
#include "Velmora/editors/ControllersStateEditdlg.h"

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

// The program editor as the tests script it: each run is recorded in a folder
// of its own under FAKE_RECORD (the path it ran as, its arguments, the files
// it was handed); it writes FAKE_LIST as the program list and FAKE_PROGRAM as
// the program (FAKE_REMOVE=1 deletes the program file instead), then ends with
// status FAKE_STATUS, or by a signal when FAKE_CRASH=1.
const char* const FakeTool = R"(#!/bin/sh
PATH=/usr/bin:/bin
n=0
while [ -e "$FAKE_RECORD/$n" ]; do n=$((n + 1)); done
run="$FAKE_RECORD/$n"
mkdir -p "$run" && echo "$0" > "$run/path" && printf '%s\n' "$@" > "$run/args"
while [ $# -gt 1 ]; do
    case "$1" in
    --controller-config) cp "$2" "$run/config" ;;
    --get-prog-list) [ -z "${FAKE_LIST+set}" ] || printf %s "$FAKE_LIST" > "$2" ;;
    --edit-prog) cp "$2" "$run/program"
        if [ "$FAKE_REMOVE" = 1 ]; then rm "$2"; elif [ -n "${FAKE_PROGRAM+set}" ]; then printf %s "$FAKE_PROGRAM" > "$2"; fi ;;
    esac
    shift
done
[ "$FAKE_CRASH" != 1 ] || kill -ABRT $$
exit "${FAKE_STATUS:-0}"
)";

// Notes whether the window it watches was disabled at some moment.
struct DisabledWatch : QObject {
    bool seen = false;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        seen = seen || (event->type() == QEvent::EnabledChange && !static_cast<QWidget*>(watched)->isEnabled());
        return false;
    }
};

// args: temporary files as "TMP", "(no configuration)" when not handed Config;
// program: what the program file held when the tool started.
struct Run { QString path, args; QByteArray program; };

// The second row's program list and configuration; the entries offered (none:
// free text), the text the editor opens with, the messages shown.
struct ChoiceCase { QByteArray list, config; QStringList offered; QString shown; QStringList boxes; };
struct MenuCase { QString controller; int column; bool twoSelected, withStorage; QStringList offered; };
// action: a menu entry, or a double click; programId: --prog-id, none when empty.
struct EditCase { QString controller, action, programId; QByteArray handedOver; };
// folders: PATH, as setToolFolders() takes it; reply: the storage service's,
// invalid when it has no invoke(); runBy: "folder/name" of the tool that ran;
// box: the message shown, a trailing '*' standing for any rest.
struct ToolCase { QStringList folders; QByteArray environment; QVariant reply; QString runBy; bool changed; QString box; };

} // namespace

Q_DECLARE_METATYPE(ChoiceCase)
Q_DECLARE_METATYPE(MenuCase)
Q_DECLARE_METATYPE(EditCase)
Q_DECLARE_METATYPE(ToolCase)

// The controllers state editor and the program editor it runs: a scripted
// fake put on PATH.
class TestControllersStateEditdlg : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_scratch;
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
        showExposed(m_dialog.get());
        m_answerer = std::make_unique<PopupAnswerer>(m_dialog.get(), menuChoice);
    }

    QTableWidget* table() const { return m_dialog->findChild<QTableWidget*>("states"); }
    QWidget* openEditor(int row, int column) { return Drive::openCellEditor(table(), row, column); }
    void rightClick(int column) { Drive::rightClick(table(), table()->model()->index(0, column)); }

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
                const bool plain = file.endsWith(":plain");
                writeFile(path, plain ? "#!/bin/sh\n" : FakeTool);
                if (!plain)
                    QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
            }
            paths << folder.path();
        }
        qputenv("PATH", paths.join(QDir::listSeparator()).toLocal8Bit());
        return paths;
    }

    QList<Run> runs() const
    {
        QList<Run> result;
        const QString tmp = QRegularExpression::escape(m_scratch->filePath("tmp/"));
        for (QString run; QDir(run = m_scratch->filePath("record/%1").arg(result.size())).exists();) {
            QStringList args = QString(readFile(run + "/args")).split('\n', Qt::SkipEmptyParts);
            args.replaceInStrings(QRegularExpression('^' + tmp + ".+"), "TMP");
            if (readFile(run + "/config") != Config)
                args << "(no configuration)";
            result << Run{readFile(run + "/path").trimmed(), args.join(' '), readFile(run + "/program")};
        }
        return result;
    }

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
        for (const char* name : {"/morvix.exe", "/morvix"})
            QVERIFY(!QFile::exists(QCoreApplication::applicationDirPath() + name));
        m_path = qgetenv("PATH");
    }
    void init()
    {
        m_scratch = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir(m_scratch->path()).mkdir("tmp"));
        qputenv("TMPDIR", m_scratch->filePath("tmp").toLocal8Bit());
        qputenv("FAKE_RECORD", m_scratch->filePath("record").toLocal8Bit());
        qputenv("FAKE_PROGRAM", NewProgram);
        for (const char* name : {"FAKE_LIST", "FAKE_REMOVE", "FAKE_STATUS", "FAKE_CRASH"})
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
        m_scratch.reset();
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
        QTest::addColumn<QString>("red"); // none: accepted
        QTest::newRow("own id") << 9 << "Evening" << "";
        QTest::newRow("taken id") << 5 << "Evening" << "stateId";
        QTest::newRow("no name") << 4 << "" << "stateName";
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
        QCOMPARE(markedRed(m_dialog.get(), {"stateId", "stateName"}).join(' '), red);
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
        QTest::addColumn<QString>("kept"); // choices(), then the controller's attribute
        QTest::newRow("special state") << 1 << "off" << "off|| state=3";
        QTest::newRow("program") << 2 << "3" << "|3| program_id=3";
    }
    void exclusiveColumns()
    {
        QFETCH(int, column);
        QFETCH(QString, choice);
        QFETCH(QString, kept);
        qputenv("FAKE_LIST", "1\n2\n3\n");
        open(QString("<Controller id=\"7\" state=\"2\" program_id=\"2\">%1</Controller>").arg(OldProgram), &m_storage);
        QCOMPARE(choices(0), QStringLiteral("yellow flashing|2|defined"));
        QWidget* combo = openEditor(0, column);
        QVERIFY(Drive::choose(combo, choice));
        QTest::keyClick(combo, Qt::Key_Return);
        QTRY_COMPARE(choices(0), kept.section(' ', 0, 0));
        QCOMPARE(firstController(), "Controller id=7 " + kept.section(' ', 1));
        QCOMPARE(m_answerer->boxes, QStringList());
    }

    // The second row's program cell offers what the tool lists for its
    // controller, never what it listed for the first row.
    void programChoices_data()
    {
        QTest::addColumn<ChoiceCase>("c");
        const QByteArray config = Config;
        QTest::newRow("one id a line; blank lines and carriage returns dropped")
            << ChoiceCase{"\n3\r\n\n4\n12", config, {"3", "4", "12"}, "4", {}};
        QTest::newRow("the cell's program not offered: the first") << ChoiceCase{"3\n12\n", config, {"3", "12"}, "3", {}};
        QTest::newRow("no programs") << ChoiceCase{{}, config, {}, "4", {}};
        QTest::newRow("no configuration")
            << ChoiceCase{"9\n", {}, {}, "4", {"Error: Storage service return empty data"}};
    }
    void programChoices()
    {
        QFETCH(ChoiceCase, c);
        open("<Controller id=\"7\" program_id=\"1\"/><Controller id=\"8\" program_id=\"4\"/>", &m_storage);
        qputenv("FAKE_LIST", "1\n2\n");
        auto* first = qobject_cast<QComboBox*>(openEditor(0, ProgramColumn));
        QVERIFY(first);
        QCOMPARE(Drive::entries(first), (QStringList{"1", "2"}));
        QTest::keyClick(first, Qt::Key_Escape);

        qputenv("FAKE_LIST", c.list);
        m_storage.reply = c.config;
        QWidget* editor = openEditor(1, ProgramColumn);
        auto* combo = qobject_cast<QComboBox*>(editor);
        auto* line = qobject_cast<QLineEdit*>(editor);
        QCOMPARE(combo ? Drive::entries(combo) : QStringList(), c.offered);
        QCOMPARE(combo ? combo->currentText() : line ? line->text() : QString(), c.shown);
        QCOMPARE(m_answerer->boxes, c.boxes);
        QCOMPARE(m_storage.calls, (QList<QVariantList>{{"7"}, {"8"}}));
        const QList<Run> tool = runs();
        QCOMPARE(tool.size(), c.config.isEmpty() ? 1 : 2);
        QCOMPARE(tool.last().args, "--controller-config TMP --get-prog-list TMP");
        QCOMPARE(leftInTemp(), QStringList());
    }

    void contextMenu_data()
    {
        QTest::addColumn<MenuCase>("c");
        QTest::newRow("signal program") << MenuCase{SignalProgram, 3, false, true, {"Change", "Change local"}};
        QTest::newRow("nothing yet") << MenuCase{"<Controller id=\"7\"/>", 3, false, true, {"Change"}};
        QTest::newRow("no storage service") << MenuCase{SignalProgram, 3, false, false, {}};
        QTest::newRow("program column") << MenuCase{SignalProgram, 2, false, true, {}};
        QTest::newRow("two cells selected") << MenuCase{SignalProgram, 3, true, true, {}};
    }
    void contextMenu()
    {
        QFETCH(MenuCase, c);
        open(c.controller, c.withStorage ? &m_storage : nullptr);
        Drive::clickCell(table(), 0, c.column);
        if (c.twoSelected)
            Drive::clickCell(table(), 0, ControllerColumn, false, Qt::ControlModifier);
        rightClick(c.column);
        QCOMPARE(m_answerer->menus, c.offered.isEmpty() ? QList<QStringList>() : QList<QStringList>{c.offered});
    }

    void programEdit_data()
    {
        QTest::addColumn<EditCase>("c");
        QTest::newRow("double click on a special state: new")
            << EditCase{"<Controller id=\"7\" state=\"1\"/>", "double click", "0", {}};
        QTest::newRow("change: handed over") << EditCase{Special, "Change", "", OldProgram};
        QTest::newRow("change local") << EditCase{SignalProgram, "Change local", "2", {}};
        QTest::newRow("change local: special program not handed over") << EditCase{Both.arg(4), "Change local", "4", {}};
        QTest::newRow("change local on a non-number")
            << EditCase{"<Controller id=\"7\" program_id=\"x7\"/>", "Change local", "0", {}};
        QTest::newRow("change local on 0: handed over") << EditCase{Both.arg(0), "Change local", "", OldProgram};
    }
    void programEdit()
    {
        QFETCH(EditCase, c);
        open(c.controller, &m_storage, c.action);
        DisabledWatch disabled;
        m_dialog->installEventFilter(&disabled);
        if (c.action == "double click") {
            openEditor(0, SpecialProgramColumn);
        } else {
            Drive::clickCell(table(), 0, SpecialProgramColumn);
            rightClick(SpecialProgramColumn);
        }
        const QList<Run> tool = runs();
        QCOMPARE(tool.size(), 1);
        QCOMPARE(m_storage.calls, QList<QVariantList>{{"7"}});
        QCOMPARE(tool.first().args, "--controller-config TMP --object-id 7 --edit-prog TMP"
                                        + (c.programId.isEmpty() ? "" : " --prog-id " + c.programId));
        QCOMPARE(describeXml(tool.first().program), describeXml(c.handedOver));
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
        QTest::addColumn<ToolCase>("c");
        const QStringList exe{"morvix.exe"};
        const QVariant config = QByteArray(Config);
        // The suffixed name along PATH first, then the plain one.
        QTest::newRow("suffixed name first, first on PATH")
            << ToolCase{{"morvix", "", "morvix.exe", "morvix.exe"}, {}, config, "2/morvix.exe", true, ""};
        QTest::newRow("plain name: an executable only")
            << ToolCase{{"morvix:plain", "morvix"}, {}, config, "1/morvix", true, ""};
        QTest::newRow("no tool") << ToolCase{{"morvix:plain"}, {}, config, "", false, ""};
        QTest::newRow("tool cannot start")
            << ToolCase{{"morvix.exe:plain"}, {}, config, "", false, "Error: The program editor *"};
        QTest::newRow("exit status 3") << ToolCase{exe, "FAKE_STATUS=3", config, "0/morvix.exe", false, ""};
        QTest::newRow("crash") << ToolCase{exe, "FAKE_CRASH=1", config, "0/morvix.exe", false, ""};
        QTest::newRow("nothing saved") << ToolCase{exe, "FAKE_PROGRAM=", config, "0/morvix.exe", false, ""};
        QTest::newRow("result file gone")
            << ToolCase{exe, "FAKE_REMOVE=1", config, "0/morvix.exe", false, "Error: Error open result file"};
        QTest::newRow("configuration as text") << ToolCase{exe, {}, QString(Config), "0/morvix.exe", true, ""};
        QTest::newRow("storage: empty")
            << ToolCase{exe, {}, QByteArray(), "", false, "Error: Storage service return empty data"};
        QTest::newRow("storage: error up to the first closing tag")
            << ToolCase{exe, {}, QByteArray("<Error>Disk is offline</Error>b</Error>"), "", false, "Error: Disk is offline"};
        QTest::newRow("storage: error without closing tag")
            << ToolCase{exe, {}, QByteArray("<Error>Disk is offline"), "", false, "Error: Storage service return empty data"};
        QTest::newRow("storage: no invoke method") << ToolCase{
            exe, {}, QVariant(), "", false, "Error: When calling method 'getConfig' error occurred in storage service"};
    }
    void toolOutcome()
    {
        QFETCH(ToolCase, c);
        m_storage.reply = c.reply;
        QObject mute; // an object without invoke() or the signals
        const QStringList paths = setToolFolders(c.folders);
        if (!c.environment.isEmpty())
            qputenv(c.environment.left(c.environment.indexOf('=')), c.environment.mid(c.environment.indexOf('=') + 1));
        MessageCapture warnings;
        open(SignalProgram, c.reply.isValid() ? &m_storage : &mute);
        openEditor(0, SpecialProgramColumn);

        const QList<Run> tool = runs();
        QCOMPARE(tool.size(), c.runBy.isEmpty() ? 0 : 1);
        if (!c.runBy.isEmpty()) {
            QCOMPARE(tool.first().path, QDir(paths.at(c.runBy.section('/', 0, 0).toInt())).filePath(c.runBy.section('/', 1)));
            QVERIFY2(!tool.first().args.endsWith("(no configuration)"), qPrintable(tool.first().args));
        }
        QCOMPARE(choices(0), c.changed ? QStringLiteral("||defined") : QStringLiteral("|2|"));
        const QStringList boxes = m_answerer->boxes;
        QCOMPARE(boxes.size(), c.box.isEmpty() ? 0 : 1);
        if (!c.box.isEmpty())
            QVERIFY2(c.box.endsWith('*') ? boxes.first().startsWith(c.box.chopped(1)) : boxes.first() == c.box,
                     qPrintable(boxes.first()));
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
        const auto render = [&](const QString& text, bool selected) {
            model.setData(model.index(0, 0), text);
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
