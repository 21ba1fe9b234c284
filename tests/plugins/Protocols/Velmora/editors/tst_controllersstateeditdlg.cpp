#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QDomDocument>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "MessageCapture.h"
#include "OffscreenLeaks.h"
#include "Velmora/editors/ControllersStateEditdlg.h"

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

// The host's storage service, reached by the dialog by name only.
class FakeStorage : public QObject
{
    Q_OBJECT
public:
    QVariant reply = QByteArray(Config);
    QList<QVariantList> calls;

    Q_INVOKABLE QVariant invoke(QString method, QVariantList args)
    {
        if (method == QLatin1String("getConfig"))
            calls.append(args);
        return reply;
    }

signals:
    void rpcConnected();
    void rpcDisconnected();
};

// Answers the modal popups as a user would: reads message boxes ("title:
// text") and closes them with OK; reads a context menu and closes it or
// activates `menuChoice`. Polls, since popups open inside nested loops.
class PopupWatcher : public QObject
{
    Q_OBJECT
public:
    PopupWatcher(QWidget* observed, const QString& menuChoice = QString())
        : menuChoice(menuChoice)
        , m_observed(observed)
    {
        connect(&m_timer, &QTimer::timeout, this, &PopupWatcher::look);
        m_timer.start(5);
    }

    QStringList boxes;
    QList<QStringList> menus;
    QString menuChoice;
    bool sawDisabled = false;

private slots:
    void look()
    {
        sawDisabled = sawDisabled || (m_observed && !m_observed->isEnabled());
        const QWidgetList windows = QApplication::topLevelWidgets();
        for (QWidget* window : windows) {
            auto* box = qobject_cast<QMessageBox*>(window);
            auto* menu = qobject_cast<QMenu*>(window);
            if (!window->isVisible() || (menu && menu == m_pendingMenu))
                continue;
            if (box) {
                boxes << box->windowTitle() + ": " + box->text();
                box->button(QMessageBox::Ok)->click();
            } else if (menu) {
                QStringList texts;
                QAction* chosen = nullptr;
                for (QAction* action : menu->actions()) {
                    texts << action->text();
                    chosen = action->text() == menuChoice ? action : chosen;
                }
                menus << texts;
                if (!chosen) {
                    menu->close();
                    continue;
                }
                // From the event loop, not from this tick: the entry runs
                // nested loops in which this timer must keep firing.
                m_pendingMenu = menu;
                QTimer::singleShot(0, menu, [menu, chosen] {
                    menu->setActiveAction(chosen);
                    QTest::keyClick(menu, Qt::Key_Return);
                });
            }
        }
    }

private:
    QTimer m_timer;
    QPointer<QWidget> m_observed;
    QPointer<QMenu> m_pendingMenu;
};

// "Tag a=1 b=2 'text' [children]", attributes sorted: their order means nothing.
QString describe(const QDomElement& element)
{
    QStringList parts{element.tagName()};
    const QDomNamedNodeMap map = element.attributes();
    for (int i = 0; i < map.count(); ++i)
        parts << map.item(i).nodeName() + '=' + map.item(i).nodeValue();
    std::sort(parts.begin() + 1, parts.end());
    for (QDomNode node = element.firstChild(); !node.isNull(); node = node.nextSibling()) {
        if (node.isText())
            parts << '\'' + node.toText().data() + '\'';
        else if (node.isElement())
            parts << '[' + describe(node.toElement()) + ']';
    }
    return parts.join(' ');
}

QString describeXml(const QByteArray& xml)
{
    QDomDocument doc;
    return doc.setContent(xml) ? describe(doc.documentElement()) : QStringLiteral("(not XML)");
}

QTableWidget* table(QWidget* dialog)
{
    return dialog->findChild<QTableWidget*>(QStringLiteral("states"));
}

QString cell(QWidget* dialog, int row, int column)
{
    const QTableWidgetItem* item = table(dialog)->item(row, column);
    return item ? item->text() : QString();
}

// Columns 1 to 3 joined by '|'.
QString choices(QWidget* dialog, int row)
{
    return QStringList{cell(dialog, row, 1), cell(dialog, row, 2), cell(dialog, row, 3)}.join('|');
}

QPoint centre(QWidget* dialog, int row, int column)
{
    return table(dialog)->visualRect(table(dialog)->model()->index(row, column)).center();
}

void click(QWidget* dialog, int row, int column, Qt::KeyboardModifiers modifiers = {})
{
    QTest::mouseClick(table(dialog)->viewport(), Qt::LeftButton, modifiers, centre(dialog, row, column));
}

QWidget* openEditor(QWidget* dialog, int row, int column)
{
    click(dialog, row, column);
    QTest::mouseDClick(table(dialog)->viewport(), Qt::LeftButton, {}, centre(dialog, row, column));
    return table(dialog)->indexWidget(table(dialog)->model()->index(row, column));
}

// A right click: the event the window system sends.
void rightClick(QWidget* dialog, int row, int column)
{
    QWidget* viewport = table(dialog)->viewport();
    QContextMenuEvent event(QContextMenuEvent::Mouse, centre(dialog, row, column),
                            viewport->mapToGlobal(centre(dialog, row, column)));
    QApplication::sendEvent(viewport, &event);
}

QStringList texts(const QComboBox* combo)
{
    QStringList items;
    for (int index = 0; index < combo->count(); ++index)
        items << combo->itemText(index);
    return items;
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
    void storageReplies_data();
    void storageReplies();
    void storageSignals();
};

std::unique_ptr<ControllersStateEditdlg> TestControllersStateEditdlg::open(const QString& controllers, QObject* storage)
{
    if (!m_doc.setContent("<States><State id=\"2\"/><State id=\"5\"/><State id=\"3\"/><State id=\"9\" name=\"Event\">" +
                          controllers + "</State></States>"))
        qFatal("bad test document");
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
    QFile record(m_scratch->filePath(QStringLiteral("record")));
    if (record.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : record.readAll().split('\n'))
            if (!line.isEmpty())
                result << QJsonDocument::fromJson(line).object();
    }
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

    QVERIFY(m_doc.setContent("<States>" + states + "</States>"));
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
    auto* ok = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))->button(QDialogButtonBox::Ok);

    // A refused first try colours both fields; the second try must reset them.
    stateName->clear();
    stateId->setValue(5);
    QTest::mouseClick(ok, Qt::LeftButton);
    stateId->setValue(id);
    QTest::keyClicks(stateName, name);
    QTest::mouseClick(ok, Qt::LeftButton);

    QCOMPARE(dialog->isVisible(), idRed || nameRed);
    QCOMPARE(dialog->result() == QDialog::Accepted, !idRed && !nameRed);
    QCOMPARE(stateId->palette().color(QPalette::Base) == Qt::red, idRed);
    QCOMPARE(stateName->palette().color(QPalette::Base) == Qt::red, nameRed);
    if (dialog->result() == QDialog::Accepted)
        QCOMPARE(describe(dialog->stateElement(m_doc)), QString("State id=%1 name=%2 [Controller id=7]").arg(id).arg(name));
}

void TestControllersStateEditdlg::exclusiveColumns_data()
{
    QTest::addColumn<QString>("controller");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("choice");
    QTest::addColumn<QString>("element");

    const QString special = QString("<Controller id=\"7\">%1</Controller>").arg(OldProgram);
    QTest::newRow("special state over program") << "<Controller id=\"7\" program_id=\"2\"/>" << 1 << "off" << "state=3";
    QTest::newRow("special state over special program") << special << 1 << "local control" << "state=1";
    QTest::newRow("special state changed") << "<Controller id=\"7\" state=\"2\"/>" << 1 << "off" << "state=3";
    QTest::newRow("program over special state") << "<Controller id=\"7\" state=\"2\"/>" << 2 << "3" << "program_id=3";
    QTest::newRow("program over special program") << special << 2 << "1" << "program_id=1";
}

void TestControllersStateEditdlg::exclusiveColumns()
{
    QFETCH(QString, controller);
    QFETCH(int, column);
    QFETCH(QString, choice);
    QFETCH(QString, element);

    FakeStorage storage;
    qputenv("FAKE_MORVIX_LIST", "1\n2\n3\n");
    auto dialog = open(controller, &storage);
    PopupWatcher watcher(dialog.get());

    auto* combo = qobject_cast<QComboBox*>(openEditor(dialog.get(), 0, column));
    QVERIFY(combo);
    combo->setCurrentIndex(combo->findText(choice));
    QTest::keyClick(combo, Qt::Key_Return);
    QTRY_COMPARE(cell(dialog.get(), 0, column), choice);

    QCOMPARE(choices(dialog.get(), 0), column == 1 ? choice + "||" : '|' + choice + '|');
    QCOMPARE(describe(dialog->stateElement(m_doc).firstChildElement()), "Controller id=7 " + element);
    QCOMPARE(watcher.boxes, QStringList());
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
    auto dialog = open(QStringLiteral("<Controller id=\"7\" program_id=\"1\"/><Controller id=\"8\" program_id=\"4\"/>"),
                       &storage);
    PopupWatcher watcher(dialog.get());
    qputenv("FAKE_MORVIX_LIST", "1\n2\n");
    auto* first = qobject_cast<QComboBox*>(openEditor(dialog.get(), 0, ProgramColumn));
    QVERIFY(first);
    QCOMPARE(texts(first), (QStringList{"1", "2"}));
    QTest::keyClick(first, Qt::Key_Escape);

    qputenv("FAKE_MORVIX_LIST", list);
    storage.reply = config;
    QWidget* editor = openEditor(dialog.get(), 1, ProgramColumn);
    if (offered.isEmpty()) {
        QVERIFY(qobject_cast<QLineEdit*>(editor));
        QCOMPARE(qobject_cast<QLineEdit*>(editor)->text(), QStringLiteral("4"));
    } else {
        auto* combo = qobject_cast<QComboBox*>(editor);
        QVERIFY(combo);
        QCOMPARE(texts(combo), offered);
        // The cell's program when offered, else the first.
        QCOMPARE(combo->currentText(), offered.contains("4") ? QStringLiteral("4") : offered.first());
    }
    QCOMPARE(watcher.boxes, boxes);
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
    const QString special = QString("<Controller id=\"7\">%1</Controller>").arg(OldProgram);
    QTest::newRow("signal program") << program << 3 << false << true << QStringList{"Change", "Change local"};
    QTest::newRow("special program") << special << 3 << false << true << QStringList{"Change"};
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
    PopupWatcher watcher(dialog.get());
    click(dialog.get(), 0, column);
    if (twoSelected)
        click(dialog.get(), 0, ControllerColumn, Qt::ControlModifier);
    rightClick(dialog.get(), 0, column);
    QCOMPARE(watcher.menus, offered.isEmpty() ? QList<QStringList>() : QList<QStringList>{offered});
}

void TestControllersStateEditdlg::programEdit_data()
{
    QTest::addColumn<QString>("controller");
    QTest::addColumn<QString>("action"); // a menu entry, or a double click
    QTest::addColumn<QString>("programId"); // --prog-id; none when empty
    QTest::addColumn<QByteArray>("handedOver");

    const QString special = QString("<Controller id=\"7\">%1</Controller>").arg(OldProgram);
    const QString both = QString("<Controller id=\"7\" program_id=\"%2\">%1</Controller>").arg(OldProgram);
    QTest::newRow("change: new") << "<Controller id=\"7\" state=\"1\"/>" << "Change" << "0" << QByteArray();
    QTest::newRow("change: handed over") << special << "Change" << "" << QByteArray(OldProgram);
    QTest::newRow("double click: handed over") << special << "double click" << "" << QByteArray(OldProgram);
    QTest::newRow("double click: new") << "<Controller id=\"7\"/>" << "double click" << "0" << QByteArray();
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
    qputenv("FAKE_MORVIX_SLEEP", "100");
    auto dialog = open(controller, &storage);
    PopupWatcher watcher(dialog.get(), action);
    if (action == QLatin1String("double click")) {
        openEditor(dialog.get(), 0, SpecialProgramColumn);
    } else {
        click(dialog.get(), 0, SpecialProgramColumn);
        rightClick(dialog.get(), 0, SpecialProgramColumn);
    }

    const QList<QJsonObject> tool = runs();
    QCOMPARE(tool.size(), 1);
    const QStringList args = tool.first().value("args").toVariant().toStringList();
    QStringList expected{"--controller-config", args.value(1), "--object-id", "7", "--edit-prog", args.value(5)};
    if (!programId.isEmpty())
        expected << "--prog-id" << programId;
    QCOMPARE(args, expected);
    QCOMPARE(tool.first().value("config").toString(), QString::fromLatin1(Config));
    QCOMPARE(describeXml(tool.first().value("programFile").toString().toUtf8()),
             handedOver.isEmpty() ? QStringLiteral("(not XML)") : describeXml(handedOver));
    QVERIFY(watcher.sawDisabled);
    QVERIFY(dialog->isEnabled());
    QCOMPARE(leftInTemp(), QStringList());

    // The row runs the program the tool saved, and only that.
    QCOMPARE(choices(dialog.get(), 0), QStringLiteral("||defined"));
    QCOMPARE(describe(dialog->stateElement(m_doc).firstChildElement()),
             "Controller id=7 [" + describeXml(NewProgram) + ']');
    QCOMPARE(watcher.boxes, QStringList());
}

void TestControllersStateEditdlg::toolOutcome_data()
{
    QTest::addColumn<QStringList>("folders"); // PATH, as setToolFolders() takes it
    QTest::addColumn<QByteArray>("environment");
    QTest::addColumn<QString>("runBy"); // "folder/name" of the tool that ran; none when empty
    QTest::addColumn<bool>("changed");
    QTest::addColumn<QString>("box");

    const QStringList exe{"morvix.exe"};
    QTest::newRow("later PATH entry") << QStringList{"", "morvix.exe"} << QByteArray() << "1/morvix.exe" << true << "";
    QTest::newRow("first of two") << QStringList{"morvix.exe", "morvix.exe"} << QByteArray() << "0/morvix.exe" << true
                                  << "";
    QTest::newRow("suffix first") << QStringList{"morvix", "morvix.exe"} << QByteArray() << "1/morvix.exe" << true
                                  << "";
    QTest::newRow("plain name") << QStringList{"", "morvix"} << QByteArray() << "1/morvix" << true << "";
    QTest::newRow("plain name not executable") << QStringList{"morvix:plain"} << QByteArray() << "" << false << "";
    QTest::newRow("no tool") << QStringList{""} << QByteArray() << "" << false << "";
    QTest::newRow("tool cannot start") << QStringList{"morvix.exe:plain"} << QByteArray() << "" << false
                                       << "Error: The program editor";
    QTest::newRow("exit status 3") << exe << QByteArray("FAKE_MORVIX_EXIT=3") << "0/morvix.exe" << false << "";
    QTest::newRow("crash") << exe << QByteArray("FAKE_MORVIX_CRASH=1") << "0/morvix.exe" << false << "";
    QTest::newRow("nothing saved") << exe << QByteArray("FAKE_MORVIX_PROGRAM=") << "0/morvix.exe" << false << "";
    QTest::newRow("result file gone") << exe << QByteArray("FAKE_MORVIX_REMOVE_PROGRAM=1") << "0/morvix.exe" << false
                                      << "Error: Error open result file";
}

void TestControllersStateEditdlg::toolOutcome()
{
    QFETCH(QStringList, folders);
    QFETCH(QByteArray, environment);
    QFETCH(QString, runBy);
    QFETCH(bool, changed);
    QFETCH(QString, box);

    FakeStorage storage;
    const QStringList paths = setToolFolders(folders);
    if (!environment.isEmpty())
        qputenv(environment.left(environment.indexOf('=')), environment.mid(environment.indexOf('=') + 1));
    MessageCapture warnings;
    auto dialog = open(QStringLiteral("<Controller id=\"7\" program_id=\"2\"/>"), &storage);
    PopupWatcher watcher(dialog.get());
    openEditor(dialog.get(), 0, SpecialProgramColumn);

    const QList<QJsonObject> tool = runs();
    QCOMPARE(tool.size(), runBy.isEmpty() ? 0 : 1);
    if (!runBy.isEmpty())
        QCOMPARE(tool.first().value("program").toString(),
                 QDir(paths.at(runBy.section('/', 0, 0).toInt())).filePath(runBy.section('/', 1)));
    QCOMPARE(choices(dialog.get(), 0), changed ? QStringLiteral("||defined") : QStringLiteral("|2|"));
    QCOMPARE(watcher.boxes.size(), box.isEmpty() ? 0 : 1);
    if (!box.isEmpty())
        QVERIFY2(watcher.boxes.first().startsWith(box), qPrintable(watcher.boxes.first()));
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows)
        QVERIFY(window->isEnabled());
    QCOMPARE(leftInTemp(), QStringList());
}

void TestControllersStateEditdlg::storageReplies_data()
{
    QTest::addColumn<bool>("canInvoke");
    QTest::addColumn<QVariant>("reply");
    QTest::addColumn<QString>("box"); // none: the tool runs on the reply

    QTest::newRow("empty") << true << QVariant(QByteArray()) << "Storage service return empty data";
    QTest::newRow("error") << true << QVariant(QByteArray("<Error>Disk is offline</Error>")) << "Disk is offline";
    QTest::newRow("error to the first closing tag") << true << QVariant(QByteArray("<Error>a</Error>b</Error>")) << "a";
    QTest::newRow("error without closing tag") << true << QVariant(QByteArray("<Error>Disk is offline"))
                                               << "Storage service return empty data";
    QTest::newRow("no invoke method") << false << QVariant()
                                      << "When calling method 'getConfig' error occurred in storage service";
    QTest::newRow("configuration as bytes") << true << QVariant(QByteArray(Config)) << "";
    QTest::newRow("configuration as text") << true << QVariant(QString::fromLatin1(Config)) << "";
}

void TestControllersStateEditdlg::storageReplies()
{
    QFETCH(bool, canInvoke);
    QFETCH(QVariant, reply);
    QFETCH(QString, box);

    FakeStorage storage;
    QObject mute; // an object without invoke() or the signals
    MessageCapture warnings;
    storage.reply = reply;
    auto dialog = open(QStringLiteral("<Controller id=\"7\"/>"), canInvoke ? &storage : &mute);
    PopupWatcher watcher(dialog.get());
    openEditor(dialog.get(), 0, SpecialProgramColumn);

    QCOMPARE(storage.calls, canInvoke ? QList<QVariantList>{{"7"}} : QList<QVariantList>());
    QCOMPARE(watcher.boxes, box.isEmpty() ? QStringList() : QStringList{"Error: " + box});
    QCOMPARE(runs().size(), box.isEmpty() ? 1 : 0);
    if (box.isEmpty())
        QCOMPARE(runs().first().value("config").toString(), QString::fromLatin1(Config));
    QCOMPARE(choices(dialog.get(), 0), box.isEmpty() ? QStringLiteral("||defined") : QStringLiteral("||"));
}

void TestControllersStateEditdlg::storageSignals()
{
    FakeStorage first;
    FakeStorage second;
    auto dialog = open(QStringLiteral("<Controller id=\"7\"/>"), &first);
    PopupWatcher watcher(dialog.get());

    emit first.rpcConnected();
    emit first.rpcDisconnected();
    dialog->setRpcObject(&second);
    emit first.rpcConnected(); // no longer followed
    emit second.rpcDisconnected();
    dialog->setRpcObject(nullptr);
    emit second.rpcConnected();
    QCOMPARE(watcher.boxes, (QStringList{"Warning: RPC Object connected", "Warning: RPC Object disconnected",
                                         "Warning: RPC Object disconnected"}));

    // Without a storage service there is no program editing.
    openEditor(dialog.get(), 0, SpecialProgramColumn);
    QVERIFY(runs().isEmpty());
}

QTEST_MAIN(TestControllersStateEditdlg)
#include "tst_controllersstateeditdlg.moc"
