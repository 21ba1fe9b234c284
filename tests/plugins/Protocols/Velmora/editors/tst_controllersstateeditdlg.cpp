#include "EditorTest.h"
#include "FakeStorage.h"
#include "MessageCapture.h"
#include "Velmora/editors/ControllersStateEditdlg.h"

#include <cerrno>
#include <csignal>

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

// The program editor as the tests script it: each run is recorded in a folder of its own under FAKE_RECORD (its
// arguments, the files it was handed); it writes FAKE_LIST as the program list and FAKE_PROGRAM as the program
// (FAKE_REMOVE=1 deletes the program file instead; FAKE_PAD blanks follow the program), then ends with status
// FAKE_STATUS, or by a signal when that is "crash". FAKE_HANG keeps it running for half a minute, its process id
// recorded: "term" ends on a request, "stubborn" ignores one.
const char* const FakeTool = R"(#!/bin/sh
PATH=/usr/bin:/bin
n=0
while [ -e "$FAKE_RECORD/$n" ]; do n=$((n + 1)); done
run="$FAKE_RECORD/$n"
mkdir -p "$run" && printf '%s\n' "$@" > "$run/args"
while [ $# -gt 1 ]; do
    case "$1" in
    --controller-config) cp "$2" "$run/config" ;;
    --get-prog-list) [ -z "${FAKE_LIST+set}" ] || printf %s "$FAKE_LIST" > "$2" ;;
    --edit-prog) cp "$2" "$run/program"
        if [ "$FAKE_REMOVE" = 1 ]; then rm "$2"; elif [ -n "${FAKE_PROGRAM+set}" ]; then printf %s "$FAKE_PROGRAM" > "$2"; fi
        [ -z "$FAKE_PAD" ] || head -c "$FAKE_PAD" /dev/zero | tr '\0' ' ' >> "$2" ;;
    esac
    shift
done
if [ -n "$FAKE_HANG" ]; then
    echo $$ > "$run/pid"
    [ "$FAKE_HANG" = term ] || trap '' TERM
    exec sleep 30
fi
[ "$FAKE_STATUS" != crash ] || kill -ABRT $$
exit "${FAKE_STATUS:-0}"
)";

// Notes whether the window it watches was disabled at some moment: no second run while the tool runs.
struct DisabledWatch : QObject {
    bool seen = false;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        seen = seen || (event->type() == QEvent::EnabledChange && !static_cast<QWidget*>(watched)->isEnabled());
        return false;
    }
};

// Watches for the window that waits for the tool: whether it showed, and could be used while the dialog could not; with
// `cancel`, clicks its Cancel as soon as it shows.
struct WaitingWatch : QObject {
    QString shown; // its text
    bool usable = false;
    QWidget* dialog;
    bool cancel;
    QTimer timer;
    WaitingWatch(QWidget* dialog, bool cancel) : dialog(dialog), cancel(cancel)
    {
        connect(&timer, &QTimer::timeout, this, &WaitingWatch::look);
        timer.start(5);
    }
    void look()
    {
        QDialog* window = Drive::shownDialog("waitingForProgramEditor");
        auto* button = window ? window->findChild<QPushButton*>("cancelProgramEditor") : nullptr;
        if (!button || !shown.isEmpty())
            return;
        shown = window->findChild<QLabel*>()->text();
        usable = window->isEnabled() && button->isEnabled() && !dialog->isEnabled() && !blocked(window);
        if (cancel)
            QTest::mouseClick(button, Qt::LeftButton);
    }
    // A modal window takes a user's clicks from every window but itself and those it holds; the test's clicks would
    // still land.
    static bool blocked(const QWidget* window)
    {
        const QWidget* modal = QApplication::activeModalWidget();
        while (modal && window && window != modal)
            window = window->parentWidget();
        return modal && !window;
    }
};

// args: temporary files as "TMP", "(no configuration)" when not handed Config; program: what the program file held when
// the tool started; pid: the hanging tool's.
struct Run { QString args; QByteArray program; qint64 pid; };

// The second row's program list and configuration; the entries offered (none: free text), the text the editor opens
// with, the messages shown.
struct ChoiceCase { QByteArray list, config; QStringList offered; QString shown; QStringList boxes; };
// action: a menu entry (the menu offers "Change local" only on a row with a program), or a double click; progId:
// --prog-id, none when empty, "-" when the tool must not run; box: the message shown, a trailing '*' standing for any
// rest; environment: for the fake tool; reply: the storage service's, invalid when it has no invoke(); tool: as
// setTool() takes it.
struct EditCase {
    QString controller, action, progId;
    QByteArray handedOver{};
    QString box{};
    QByteArray environment{};
    QVariant reply = QByteArray(Config);
    QString tool = "morvix.exe";
};

} // namespace

Q_DECLARE_METATYPE(ChoiceCase)
Q_DECLARE_METATYPE(EditCase)

// The controllers state editor and the program editor it runs: a scripted fake put on PATH.
class TestControllersStateEditdlg : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_scratch;
    QDomDocument m_doc;
    QByteArray m_path;
    FakeStorage m_storage; // answers getConfig with Config unless told otherwise
    std::unique_ptr<ControllersStateEditdlg> m_dialog;
    std::unique_ptr<PopupAnswerer> m_answerer;

    // The editor on state 9 (the controllers given as XML) of an area that also has states 2, 5 and 3, in a zone that
    // names controllers 1 and 7.
    void open(const QString& controllers, QObject* storage, const QString& menuChoice = QString())
    {
        parseXml(&m_doc, "<Zone id=\"1\"><Controllers><Controller id=\"1\" name=\"Gorky St\"/>"
                         "<Controller id=\"7\" name=\"Baumana St / Pushkin St\"/></Controllers><Areas><Area id=\"3\">"
                         "<States><State id=\"2\"/><State id=\"5\"/><State id=\"3\"/><State id=\"9\" name=\"Event\">"
                             + controllers + "</State></States></Area></Areas></Zone>");
        const QDomElement area = m_doc.documentElement().firstChildElement("Areas").firstChildElement();
        const QDomElement states = area.firstChildElement("States");
        m_dialog = std::make_unique<ControllersStateEditdlg>(states, states.lastChildElement());
        m_dialog->setRpcObject(storage);
        m_dialog->setWindowModality(Qt::ApplicationModal); // as the area editor runs it
        showExposed(m_dialog.get());
        m_answerer = std::make_unique<PopupAnswerer>(menuChoice);
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

    // PATH becomes a folder holding `file`: "morvix.exe" runs the fake; "NAME:plain" is a file without execute bits.
    void setTool(const QString& file)
    {
        QDir folder(m_scratch->filePath("bin"));
        QVERIFY(folder.removeRecursively() && folder.mkpath("."));
        const QString path = folder.filePath(file.section(':', 0, 0));
        QVERIFY(writeFile(path, file.endsWith(":plain") ? "#!/bin/sh\n" : FakeTool));
        if (!file.endsWith(":plain"))
            QVERIFY(QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner));
        qputenv("PATH", folder.path().toLocal8Bit());
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
            result << Run{args.join(' '), readFile(run + "/program"), readFile(run + "/pid").trimmed().toLongLong()};
        }
        return result;
    }

    QStringList leftInTemp() const { return QDir(m_scratch->filePath("tmp")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries); }

private slots:
    void initTestCase()
    {
        // Looked up before PATH: the tests are built away from the real morvix.
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
        for (const char* name : {"FAKE_LIST", "FAKE_REMOVE", "FAKE_STATUS", "FAKE_PAD", "FAKE_HANG"})
            qunsetenv(name);
        setTool("morvix.exe");
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
        QTest::addColumn<QString>("choice");    // a special state chosen for the first row, if any; "#N" program N typed
        QTest::addColumn<QStringList>("shown"); // choices() of each row, by then
        QTest::addColumn<QString>("element");   // its Controller children
        QTest::addColumn<QStringList>("tips");  // each row's, in every cell
        const QString gorky = "Controller 1 \"Gorky St\"\n", baumana = "Controller 7 \"Baumana St / Pushkin St\"\n";
        QTest::newRow("special states by code; an id alone adds nothing")
            << "<Controller id=\"1\" state=\"2\"/><Controller id=\"2\" state=\"3\"/><Controller id=\"3\"/>"
               "<Controller id=\"4\" program_id=\"12\"/>" << ""
            << QStringList{"yellow flashing||", "off||", "||", "|12|"}
            << "[Controller id=1 state=2] [Controller id=2 state=3] [Controller id=3] [Controller id=4 program_id=12]"
            << QStringList{gorky + "Special state: yellow flashing", "Controller 2\nSpecial state: off",
                           "Controller 3\nNo special state, program or special program chosen",
                           "Controller 4\nRuns its signal program 12"};
        QTest::newRow("unoffered special state kept") << "<Controller id=\"1\" state=\"0\" program_id=\"4\"/>" << ""
                                                      << QStringList{"0|4|"} << "[Controller id=1 program_id=4 state=0]"
                                                      << QStringList{gorky + "Special state: 0"};
        QTest::newRow("special programs carried, also one rooted at Controller")
            << Special + "<Controller id=\"8\"><Controller type=\"2\">1</Controller></Controller>" << ""
            << QStringList{"||defined", "||defined"}
            << "[Controller id=7 [" + describeXml(OldProgram) + "]] [Controller id=8 [Controller type=2 '1']]"
            << QStringList{baumana + "Runs the special program of this state",
                           "Controller 8\nRuns the special program of this state"};
        // A controller runs one of a special state, a program and a special program; the editor keeps what is chosen.
        QTest::newRow("all three named, one chosen") << Both.arg(2).replace("id=\"7\"", "id=\"7\" state=\"2\"") << "off"
                                                     << QStringList{"off||"} << "[Controller id=7 state=3]"
                                                     << QStringList{baumana + "Special state: off"};
        QTest::newRow("all three named, the special state shown chosen again")
            << Both.arg(2).replace("id=\"7\"", "id=\"7\" state=\"2\"") << "yellow flashing" << QStringList{"yellow flashing||"}
            << "[Controller id=7 state=2]" << QStringList{baumana + "Special state: yellow flashing"};
        QTest::newRow("program and special program, the program shown typed again") << Both.arg(2) << "#2"
            << QStringList{"|2|"} << "[Controller id=7 program_id=2]" << QStringList{baumana + "Runs its signal program 2"};
    }
    void stateElement()
    {
        QFETCH(QString, controllers);
        QFETCH(QString, choice);
        QFETCH(QStringList, shown);
        QFETCH(QString, element);
        QFETCH(QStringList, tips);
        open(controllers, nullptr);
        if (!choice.isEmpty()) {
            const int column = choice.startsWith('#') ? ProgramColumn : SpecialStateColumn;
            QWidget* editor = openEditor(0, column);
            if (column == ProgramColumn)
                Drive::retype(editor, choice.mid(1));
            else
                QVERIFY(Drive::choose(editor, choice));
            QTest::keyClick(editor, Qt::Key_Return);
            QTRY_VERIFY(!table()->cellWidget(0, column));
        }
        QStringList rows, rowTips;
        for (int row = 0; row < table()->rowCount(); ++row) {
            rows << choices(row);
            rowTips << table()->item(row, ControllerColumn)->toolTip();
            for (int column = SpecialStateColumn; column <= SpecialProgramColumn; ++column) {
                const QTableWidgetItem* item = table()->item(row, column);
                QCOMPARE(item ? item->toolTip() : QString(), rowTips.last());
            }
        }
        QCOMPARE(rows, shown);
        QCOMPARE(rowTips, tips);
        QDomDocument target;
        QCOMPARE(describe(m_dialog->stateElement(target)), "State id=9 name=Event " + element);
    }

    // The second row's program cell offers what the tool lists for its controller, never what it listed for the first
    // row.
    void programChoices_data()
    {
        QTest::addColumn<ChoiceCase>("c");
        QTest::newRow("one id a line; blank lines and carriage returns dropped")
            << ChoiceCase{"\n3\r\n\n4\n12", Config, {"3", "4", "12"}, "4", {}};
        QTest::newRow("no configuration") << ChoiceCase{"9\n", {}, {}, "4", {"Error: Storage service return empty data"}};
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

    void programEdit_data()
    {
        QTest::addColumn<EditCase>("c");
        const QString sp = SignalProgram, dc = "double click";
        QTest::newRow("double click on a special state: new") << EditCase{"<Controller id=\"7\" state=\"1\"/>", dc, "0"};
        QTest::newRow("change: handed over") << EditCase{Special, "Change", "", OldProgram};
        QTest::newRow("change local: special program not handed over") << EditCase{Both.arg(4), "Change local", "4"};
        QTest::newRow("change local on a non-number") << EditCase{"<Controller id=\"7\" program_id=\"x7\"/>", "Change local", "0"};
        QTest::newRow("change local on 0: handed over") << EditCase{Both.arg(0), "Change local", "", OldProgram};
        QTest::newRow("controller id past the signed range")
            << EditCase{"<Controller id=\"3000000000\" state=\"1\"/>", dc, "0"};
        // Whatever goes wrong, the row keeps its program.
        const QString notFound = "Error: The program editor morvix was not found. It was looked for in the "
                                 "application's folder and then in each folder of PATH:\nAPP";
        QTest::newRow("no executable tool")
            << EditCase{sp, dc, "-", {}, notFound + "\nBIN", {}, QByteArray(Config), "morvix:plain"};
        QTest::newRow("no tool on PATH")
            << EditCase{sp, "Change", "-", {}, notFound + "\n/nowhere/a\n/nowhere/b", "PATH=/nowhere/a:/nowhere/b"};
        QTest::newRow("tool cannot start")
            << EditCase{sp, dc, "-", {}, "Error: The program editor *", {}, QByteArray(Config), "morvix.exe:plain"};
        const QString tool = "Error: The program editor BIN/morvix.exe ";
        QTest::newRow("exit status 3")
            << EditCase{sp, dc, "0", {}, tool + "ended with error status 3. Nothing was changed.", "FAKE_STATUS=3"};
        QTest::newRow("crash")
            << EditCase{sp, dc, "0", {}, tool + "crashed. Nothing was changed.", "FAKE_STATUS=crash"};
        // Cancelled while the tool hangs, after it saved a program: the tool ends, nothing is taken.
        QTest::newRow("hangs, cancelled") << EditCase{sp, dc, "0", {}, "", "FAKE_HANG=term"};
        QTest::newRow("hangs, cancelled, ignores the request to end")
            << EditCase{Special, "Change", "", OldProgram, "", "FAKE_HANG=stubborn"};
        QTest::newRow("result file gone") << EditCase{sp, dc, "0", {}, "Error: Error open result file", "FAKE_REMOVE=1"};
        const QString noProgram = "Error: The program editor saved no special program: ";
        QTest::newRow("result truncated")
            << EditCase{sp, dc, "0", {}, noProgram + "*", "FAKE_PROGRAM=<Program type=\"2\"><Phase start=\"0\">1"};
        QTest::newRow("result of another kind")
            << EditCase{sp, dc, "0", {}, noProgram + "its root element is Zone, not Program.*", "FAKE_PROGRAM=<Zone id=\"1\"/>"};
        QTest::newRow("result larger than any configuration")
            << EditCase{sp, dc, "0", {}, "Error: The program editor saved 17000*", "FAKE_PAD=17000000"};
        QTest::newRow("storage: error up to the first closing tag")
            << EditCase{sp, dc, "-", {}, "Error: Disk is offline", {}, QByteArray("<Error>Disk is offline</Error>b</Error>")};
        QTest::newRow("storage: no invoke method") << EditCase{
            sp, dc, "-", {}, "Error: When calling method 'getConfig' error occurred in storage service", {}, QVariant()};
    }
    void programEdit()
    {
        QFETCH(EditCase, c);
        m_storage.reply = c.reply;
        QObject mute; // an object without invoke() or the signals
        setTool(c.tool);
        if (!c.environment.isEmpty())
            qputenv(c.environment.left(c.environment.indexOf('=')), c.environment.mid(c.environment.indexOf('=') + 1));
        c.box.replace("APP", QCoreApplication::applicationDirPath()).replace("BIN", m_scratch->filePath("bin"));
        MessageCapture warnings;
        open(c.controller, c.reply.isValid() ? &m_storage : &mute, c.action);
        DisabledWatch disabled;
        m_dialog->installEventFilter(&disabled);
        const bool hangs = c.environment.startsWith("FAKE_HANG");
        WaitingWatch waiting(m_dialog.get(), hangs);
        // The first row as shown, its controller as written, its tool tip.
        const auto firstRow = [this] {
            const QDomElement controller = m_dialog->stateElement(m_doc).firstChildElement();
            return QStringList{choices(0), describe(controller), table()->item(0, ControllerColumn)->toolTip()};
        };
        const QStringList before = firstRow();
        QElapsedTimer clock;
        clock.start();
        if (c.action == "double click") {
            openEditor(0, SpecialProgramColumn);
        } else {
            Drive::clickCell(table(), 0, SpecialProgramColumn);
            Drive::rightClick(table(), table()->model()->index(0, SpecialProgramColumn));
        }
        const QList<Run> tool = runs();
        if (hangs) {
            // Cancelled long before the tool's half minute is up, and the tool is gone.
            QCOMPARE(waiting.shown, QString("Waiting for the program editor…"));
            QVERIFY(waiting.usable);
            QVERIFY2(clock.elapsed() < 20000, qPrintable(QString::number(clock.elapsed())));
            QVERIFY(tool.value(0).pid > 0);
            QVERIFY(::kill(pid_t(tool.value(0).pid), 0) == -1 && errno == ESRCH);
        }
        QCOMPARE(tool.size(), c.progId == "-" ? 0 : 1);
        const QString id = QRegularExpression("id=\"(\\d+)\"").match(c.controller).captured(1);
        if (!tool.isEmpty()) {
            QCOMPARE(m_storage.calls, QList<QVariantList>{{id}});
            QCOMPARE(tool.first().args, "--controller-config TMP --object-id " + id + " --edit-prog TMP"
                                            + (c.progId.isEmpty() ? "" : " --prog-id " + c.progId));
            QCOMPARE(describeXml(tool.first().program), describeXml(c.handedOver));
            QVERIFY(disabled.seen);
        }
        // The row runs the program the tool saved, and only that.
        QStringList expected{before[0], describeXml(c.controller.toUtf8()), before[2]};
        if (c.progId != "-" && c.box.isEmpty() && c.environment.isEmpty())
            expected = QStringList{"||defined", "Controller id=" + id + " [" + describeXml(NewProgram) + ']',
                                   before[2].section('\n', 0, 0) + "\nRuns the special program of this state"};
        QCOMPARE(firstRow(), expected);
        QCOMPARE(m_answerer->boxes.size(), c.box.isEmpty() ? 0 : 1);
        const QString box = m_answerer->boxes.value(0);
        QCOMPARE(c.box.endsWith('*') ? box.left(c.box.size() - 1) + '*' : box, c.box);
        const QStringList menu = QStringList{"Change"} + (c.controller.contains("program_id") ? QStringList{"Change local"} : QStringList());
        QCOMPARE(m_answerer->menus, c.action == "double click" ? QList<QStringList>() : QList<QStringList>{menu});
        // Whatever went wrong, no window is left disabled, no file left behind.
        for (QWidget* window : QApplication::topLevelWidgets())
            QVERIFY(window->isEnabled());
        QCOMPARE(leftInTemp(), QStringList());
    }

    // Ids as the file writes them survive an edit; a new one follows the largest without overflowing; the file
    // gets ASCII digits whatever the user's locale; a name the file cannot carry is refused.
    void accept_data()
    {
        QTest::addColumn<QString>("ids");     // the area's states; the last is edited, accepted as it is
        QTest::addColumn<bool>("isNew");      // the last is a new state instead
        QTest::addColumn<bool>("arabic");     // the user's locale has digits of its own
        QTest::addColumn<QString>("name");    // typed, if any; "-" cleared; "#N" the id N typed instead
        QTest::addColumn<QString>("written"); // the edited or new state's id, or what is red when refused
        QTest::newRow("4294967295, Arabic digits") << "2,4294967295" << false << true << "" << "4294967295";
        QTest::newRow("new after 2147483647, Arabic digits") << "2,2147483647" << true << true << "" << "2147483648";
        QTest::newRow("name XML cannot carry") << "2,9" << false << false << QString("P") + QChar(1)
            << "red: stateName=The name holds the character U+0001, which a zone file cannot carry.";
        QTest::newRow("id taken") << "2,9" << false << false << "#2" << "red: stateId=Another state of the area has the id 2";
        QTest::newRow("no name") << "2,9" << false << false << "-" << "red: stateName=The state has no name";
    }
    void accept()
    {
        QFETCH(QString, ids);
        QFETCH(bool, isNew);
        QFETCH(bool, arabic);
        QFETCH(QString, name);
        QFETCH(QString, written);
        const auto restore = arabicLocale(m_dialog, arabic);
        QString states;
        for (const QString& id : ids.split(','))
            states += QString("<State id=\"%1\" name=\"S\"><Controller id=\"7\"/></State>").arg(id);
        QDomDocument fresh;
        const QDomElement list = parseXml(&m_doc, "<States>" + states + "</States>");
        const QDomElement state = isNew ? parseXml(&fresh, "<State name=\"New\"/>") : list.lastChildElement();
        m_dialog = std::make_unique<ControllersStateEditdlg>(list, state);
        showExposed(m_dialog.get());
        auto* stateName = m_dialog->findChild<QLineEdit*>("stateName");
        if (name == "-")
            stateName->clear();
        else if (name.startsWith('#'))
            m_dialog->findChild<QSpinBox*>("stateId")->setValue(name.mid(1).toInt());
        else if (!name.isEmpty())
            enter(stateName, name);
        Drive::clickButton(m_dialog.get());
        if (m_dialog->isVisible()) {
            QCOMPARE("red: " + markedRed(m_dialog.get(), {"stateId", "stateName"}).join(' '), written);
            // The reason in words above the buttons, gone once the fault is mended.
            auto* reason = m_dialog->findChild<QLabel*>("reason");
            QVERIFY(reason && reason->isVisible());
            QCOMPARE(reason->text(), written.section('=', 1));
            enter(stateName, "P");
            m_dialog->findChild<QSpinBox*>("stateId")->setValue(77);
            QVERIFY(!reason->isVisible() || reason->text().isEmpty());
        } else
            QCOMPARE(m_dialog->stateElement(m_doc).attribute("id"), written);
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
        // Without a storage service there is no program editing, nor its menu.
        openEditor(0, SpecialProgramColumn);
        Drive::clickCell(table(), 0, SpecialProgramColumn);
        Drive::rightClick(table(), table()->model()->index(0, SpecialProgramColumn));
        QCOMPARE(m_answerer->menus, QList<QStringList>());
        QVERIFY(runs().isEmpty());
    }
};

QTEST_MAIN(TestControllersStateEditdlg)
#include "tst_controllersstateeditdlg.moc"
