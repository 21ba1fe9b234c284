// The workstation's own logic, without the module: the command line and its
// history, the storage service, the log's words and bounds, addresses, recent
// files, the properties' words and the state dump.
#include "CommandLine.h"
#include "LogDock.h"
#include "LogModel.h"
#include "OffscreenLeaks.h"
#include "PropertiesDock.h"
#include "Settings.h"
#include "StateDump.h"
#include "StorageService.h"

#include "Velmora/format/Protocol.h"
#include "semtra/Notification.h"
#include "semtra/ReplyTypes.h"
#include "semtra/Request.h"
#include "semtra/Response.h"
#include "semtra/Wire.h"

#include <QAbstractItemView>
#include <QBrush>
#include <QCompleter>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "DomText.h"

namespace {

const QByteArray StoredConfig = QByteArray("controller 101\nprogram 1 cycle 90\n\0\xff\xfe", 37);

// One line of the log: what goes in, and how it must read.
struct LogCase
{
    QString kind; // event, reply, request, notSent or info
    int command;
    QByteArray data; // the event, or the reply
    int error;       // instead of a reply
    QStringList words;
    bool failed;      // red
    bool serviceTime; // stamped with the service's time
    QString tip;      // the protocol's own wording
};

} // namespace

Q_DECLARE_METATYPE(LogCase)

class TestHostLogic : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.filePath(QStringLiteral("settings")));
        // The storage folder: a configuration that is not text, and one that cannot be read.
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("storage/5.cfg")));
        QVERIFY(writeFile(m_dir.filePath(QStringLiteral("storage/101.cfg")), StoredConfig));
        // Outside the folder: must never be reachable through an id.
        QVERIFY(writeFile(m_dir.filePath(QStringLiteral("101.cfg")), "outside"));
        // What the module registers for the replies the log decodes.
        using Velmora::Protocol::Tag;
        Semtra::ReplyTypes::registerReply(Tag, 4352, {QVariant::UInt, QVariant::UInt, QVariant::String});
        Semtra::ReplyTypes::registerReply(Tag, 4353, {QVariant::String, QVariant::UInt, QVariant::String});
    }

    void commandLine_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("command"); // empty: no command line at all
        QTest::addColumn<QVariant>("parameter");
        QTest::addColumn<QString>("problem"); // why it is not sent; empty when it passes
        QTest::newRow("values") << "SET_STRAT 2 60" << "SET_STRAT" << QVariant("2 60") << "";
        QTest::newRow("any case, tabs and blanks") << " \tset_strat 2\t60 " << "set_strat" << QVariant("2\t60") << "";
        QTest::newRow("no parameters") << "GET_STATE \t" << "GET_STATE" << QVariant() << "";
        QTest::newRow("blank") << "   \t " << "" << QVariant() << "";
        QTest::newRow("by code, hexadecimal number") << "4097 0x2 60" << "4097" << QVariant("0x2 60") << "";
        QTest::newRow("bytes where bytes go") << "SET_DPROG 101 60 #0a1b" << "SET_DPROG" << QVariant("101 60 #0a1b") << "";
        QTest::newRow("one too many") << "GET_STATE 1" << "GET_STATE" << QVariant("1") << "GET_STATE takes no parameters";
        QTest::newRow("one too few") << "SET_STRAT 2" << "SET_STRAT" << QVariant("2")
                                     << "SET_STRAT takes 2 parameter(s), not 1: SET_STRAT <strategy> <timeout (s)>";
        QTest::newRow("a word for a number") << "SET_STRAT two 60" << "SET_STRAT" << QVariant("two 60")
                                             << "strategy must be a number, not \"two\"";
        QTest::newRow("negative") << "SET_STRAT 2 -5" << "SET_STRAT" << QVariant("2 -5")
                                  << "timeout (s) must be a number of 0 or more";
        QTest::newRow("number where bytes go") << "SET_DPROG 101 60 5" << "SET_DPROG" << QVariant("101 60 5")
                                               << "program must be bytes in hex, like #0a1b";
        QTest::newRow("unknown, inner spacing kept") << "NO_SUCH \"a  b\"   7 " << "NO_SUCH" << QVariant("\"a  b\"   7")
                                                     << "unknown command NO_SUCH";
        QTest::newRow("unknown code") << "4999" << "4999" << QVariant() << "unknown command 4999";
    }

    // A typed line split for the zone, and checked against the protocol's rows before sending.
    void commandLine()
    {
        QFETCH(QString, text);
        QFETCH(QString, command);
        QFETCH(QVariant, parameter);
        QFETCH(QString, problem);
        const CommandLine line = CommandLine::parse(text);
        QCOMPARE(line.isValid(), !command.isEmpty());
        QCOMPARE(line.command(), command);
        // Both go to the zone as text; it tells "no parameter" from "empty text" by validity alone.
        const QVariant commandArgument = command.isEmpty() ? QVariant() : QVariant(command);
        QCOMPARE(line.commandArgument().userType(), commandArgument.userType());
        QCOMPARE(line.commandArgument(), commandArgument);
        QCOMPARE(line.parameterArgument().userType(), parameter.userType());
        QCOMPARE(line.parameterArgument(), parameter);
        QString message;
        QVERIFY(!line.isValid() || line.check(&message) == problem.isEmpty());
        QCOMPARE(message, line.isValid() ? problem : QString());
    }

    void history_data()
    {
        // Steps: "add X" sends a line; "up"/"down" press the key on the line
        // holding the text after '|', expecting the text after '='.
        QTest::addColumn<QStringList>("steps");
        QTest::newRow("back and forth, the draft kept")
            << QStringList{"add GET_STATE", "add SET_STRAT 2 60", "up|SET_ST=SET_STRAT 2 60", "up=GET_STATE",
                           "up=GET_STATE", "down=SET_STRAT 2 60", "down=SET_ST", "down=SET_ST"};
        QTest::newRow("repeats and blanks are not kept")
            << QStringList{"add GET_STATE", "add GET_STATE", "add   ", "add SET_LOCAL 5", "up|=SET_LOCAL 5",
                           "up=GET_STATE", "up=GET_STATE"};
        QTest::newRow("nothing sent yet") << QStringList{"up|typed=typed", "down|typed=typed"};
        QTest::newRow("sending ends the browsing")
            << QStringList{"add A 1", "add B 2", "up|=B 2", "up=A 1", "add A 1", "up|=A 1", "up=B 2"};
    }

    void history()
    {
        QFETCH(QStringList, steps);
        CommandHistory history;
        QString line;
        for (const QString& step : steps) {
            if (step.startsWith(QLatin1String("add "))) {
                history.add(step.mid(4));
                continue;
            }
            const QString action = step.section(QLatin1Char('='), 0, 0);
            if (action.contains(QLatin1Char('|')))
                line = action.section(QLatin1Char('|'), 1);
            line = action.startsWith(QLatin1String("up")) ? history.older(line) : history.newer(line);
            QVERIFY2(line == step.section(QLatin1Char('='), 1), qPrintable(step + " gave " + line));
        }
    }

    // The keys reach the history; with the completion list open they move in the list instead.
    void historyKeys()
    {
        CommandEdit edit;
        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
        edit.history().add(QStringLiteral("GET_STATE"));
        edit.history().add(QStringLiteral("SET_STRAT 2 60"));
        QStringList shown;
        for (Qt::Key key : {Qt::Key_Up, Qt::Key_Up, Qt::Key_Down, Qt::Key_Down}) {
            QTest::keyClick(&edit, key);
            shown << edit.text();
        }
        QCOMPARE(shown, (QStringList{"SET_STRAT 2 60", "GET_STATE", "SET_STRAT 2 60", ""}));

        // Command names complete, whatever the case typed.
        QTest::keyClicks(&edit, QStringLiteral("set_a"));
        QVERIFY(edit.completer());
        QTRY_VERIFY(edit.completer()->popup()->isVisible());
        QStringList offered;
        for (int row = 0; row < edit.completer()->completionModel()->rowCount(); ++row)
            offered << edit.completer()->completionModel()->index(row, 0).data().toString();
        QCOMPARE(offered, (QStringList{"SET_ASTATE", "SET_APSTATE", "SET_ADEFAULT"}));
        QTest::keyClick(edit.completer()->popup(), Qt::Key_Down);
        QVERIFY(!edit.text().startsWith(QLatin1String("GET")));
    }

    void storageAnswers_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QVariantList>("args");
        QTest::addColumn<bool>("online");
        QTest::addColumn<QByteArray>("answer"); // "error" for an error
        QTest::newRow("existing file, id as number") << "getConfig" << QVariantList{101} << true << StoredConfig;
        QTest::newRow("missing file") << "getConfig" << QVariantList{"999"} << true << QByteArray();
        QTest::newRow("unreadable (a folder)") << "getConfig" << QVariantList{"5"} << true << QByteArray("error");
        QTest::newRow("offline") << "getConfig" << QVariantList{"101"} << false << QByteArray("error");
        QTest::newRow("unknown method") << "putConfig" << QVariantList{"101"} << true << QByteArray("error");
        QTest::newRow("no argument") << "getConfig" << QVariantList{} << true << QByteArray("error");
        QTest::newRow("path in the id") << "getConfig" << QVariantList{"../101"} << true << QByteArray("error");
    }

    void storageAnswers()
    {
        QFETCH(QString, method);
        QFETCH(QVariantList, args);
        QFETCH(bool, online);
        QFETCH(QByteArray, answer);
        StorageService storage;
        storage.setDirectory(m_dir.filePath(QStringLiteral("storage")));
        storage.setOnline(online);
        QVariant result;
        // Called by name, as the module calls it.
        QVERIFY(QMetaObject::invokeMethod(&storage, "invoke", Q_RETURN_ARG(QVariant, result), Q_ARG(QString, method),
                                          Q_ARG(QVariantList, args)));
        QCOMPARE(result.type(), QVariant::ByteArray);
        const QByteArray bytes = result.toByteArray();
        if (answer == "error") // an error names its reason
            QVERIFY2(bytes.startsWith("<Error>") && bytes.endsWith("</Error>") && bytes.size() > 15, bytes.constData());
        else // handed on unchanged, though not text
            QCOMPARE(bytes, answer);
    }

    // The module hears of the storage going away and coming back, once each time.
    void storageSignals()
    {
        StorageService storage;
        QSignalSpy connected(&storage, SIGNAL(rpcConnected()));
        QSignalSpy disconnected(&storage, SIGNAL(rpcDisconnected()));
        for (bool online : {true, false, false, true, true, false})
            storage.setOnline(online);
        QCOMPARE((QList<int>{connected.count(), disconnected.count(), storage.isOnline()}), (QList<int>{1, 2, false}));
    }

    // However many lines come, the log keeps the newest MaxLines, and the view
    // hears of each batch once, not of every line.
    void logBounded()
    {
        LogModel model;
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy flushed(&model, &LogModel::flushed);
        const int max = LogModel::MaxLines;
        int next = 0;
        // More than the bound within one batch, then past it with the next.
        for (int batch : {max + 100, 1}) {
            const int before = model.rowCount();
            for (int n = 0; n < batch; ++n) {
                LogEntry entry;
                entry.text = QString::number(next++);
                model.append(entry);
            }
            // Nothing reaches the view before the batch goes in: the last one by itself, shortly.
            QCOMPARE(model.rowCount(), before);
            QCOMPARE(model.pendingCount(), qMin(batch, max));
            if (batch > 1)
                model.flush();
            else
                QVERIFY(flushed.wait(5000));
            QCOMPARE(model.pendingCount(), 0);
            QCOMPARE(model.rowCount(), max);
        }
        QCOMPARE(inserted.count(), 2);
        QCOMPARE(int(model.droppedCount()), 101);
        QCOMPARE(model.index(0, LogModel::MessageColumn).data().toInt(), 101);
        QCOMPARE(model.index(max - 1, LogModel::MessageColumn).data().toInt(), next - 1);
    }

    void logLine_data()
    {
        QTest::addColumn<LogCase>("line");
        using namespace Semtra::Wire;
        const QString clock = QStringLiteral("this computer's clock");
        const auto row = [](const char* name, const LogCase& line) { QTest::newRow(name) << line; };
        row("area state event",
            {"event", 0, encodeEvent(3, 45000.5, {3u, 5u, 2u}), 0,
             {"event 3, area state changed: area 3, state 5, special state Yellow flashing (2)"}, false, true,
             "изменение текущего состояния района"});
        row("event with a value missing",
            {"event", 0, encodeEvent(3, 45000.5, {3u}), 0,
             {"event 3, area state changed: area 3, state ?, special state not reported (-1)"}, false, true, ""});
        row("unknown event", {"event", 0, encodeEvent(9, 45000.5, {7u}), 0, {"event 9, unknown event: 7"}, false, true, ""});

        const QList<QVariant::Type> stateTypes{QVariant::UInt, QVariant::UInt, QVariant::String};
        const QByteArray state = encodeParams({1u, 3u, QStringLiteral("1 1 2 0 4 2 1 3")}, stateTypes);
        row("state reply, decoded",
            {"reply", 4352, encodeReply(45000.5, 0, 4352, state), 0,
             {"#7 ← STATE: done (OK 0)", "zone Calendar (1), strategy 3",
              "area 1: Calendar (1), state 2, special state None (0)", "area 4: Adaptive (2), state 1, special state Off (3)"},
             false, true, "команда выполнена успешно"});
        row("state reply, areas not in fours",
            {"reply", 4352, encodeReply(45000.5, 0, 4352, encodeParams({4u, 1u, QStringLiteral("1 1 2")}, stateTypes)), 0,
             {"zone Operator (4), strategy 1", "areas: \"1 1 2\" (not groups of four numbers)"}, false, true, ""});
        const QByteArray refer = encodeParams({QStringLiteral("zone"), 12u, QStringLiteral("Zarechny")},
                                              {QVariant::String, QVariant::UInt, QVariant::String});
        row("text reply", {"reply", 4353, encodeReply(45000.5, 0, 4353, refer), 0,
                           {"REFER: done (OK 0); \"zone\", 12, \"Zarechny\""}, false, true, ""});
        row("strategy set", {"reply", 4097, encodeReply(45000.5, 4608, 4097, QByteArray()), 0,
                             {"SET_STRAT: done (>OK 4608)"}, false, true, "команда завершилась успешно"});
        row("refused strategy", {"reply", 4097, encodeReply(45000.5, 4609, 4097, QByteArray()), 0,
                                 {"#7 ← SET_STRAT refused: no such strategy (>INV_STRAT 4609)"}, true, true,
                                 "неправильный номер стратегии"});
        row("past the service codes", {"reply", 4097, encodeReply(45000.5, 4622, 4097, QByteArray()), 0,
                                       {"refused: unknown result (4622)"}, true, true, ""});
        row("transport error", {"reply", 4097, QByteArray(), 11,
                                {"SET_STRAT failed: connection to the server lost (CONNECTION_ERROR 11)"}, true, false,
                                "Потеря связи с сервером"});
        row("unknown error", {"reply", 4097, QByteArray(), 99, {"failed: unknown result (99)"}, true, false, clock});
        row("headless reply", {"reply", 4097, QByteArray("\x01\x02\x03", 3), 0,
                               {"SET_STRAT: reply without a head", "3 bytes", "01 02 03"}, true, false, clock});
        row("request", {"request", 4097, QByteArray(), 0,
                        {"#7 → SET_STRAT strategy 2, timeout (s) 60 — set strategy"}, false, false, "установить стратегию"});
        row("not sent", {"notSent", 4097, QByteArray(), 0, {"SET_STRAT not sent: the zone is not connected"}, true, false,
                         clock});
        row("information", {"info", 0, QByteArray(), 0, {"zone 12 link up"}, false, false, clock});
    }

    // A line in the log: its words, red for failures, the service's time where it
    // sent one, the protocol's own wording in the tool tip.
    void logLine()
    {
        QFETCH(LogCase, line);
        LogDock log;
        QObject zone;
        zone.setProperty("id", 12);
        Request request(7, 12, line.command, QVariantList{2u, 60u}, Velmora::Protocol::Tag);
        Response response(&request);
        const Notification event(line.data, Velmora::Protocol::Tag);
        if (line.kind == QLatin1String("event")) {
            log.logEvent(&zone, &event);
        } else if (line.kind == QLatin1String("reply")) {
            if (line.error)
                response.setError(line.error);
            else
                response.finish(line.data);
            QCOMPARE(LogDock::isFailure(&response), line.failed);
            log.logResult(&zone, &response);
        } else if (line.kind == QLatin1String("request")) {
            log.logRequest(&zone, &request, QStringLiteral("set_strat 2 60"));
        } else if (line.kind == QLatin1String("notSent")) {
            log.logNotSent(&zone, QStringLiteral("SET_STRAT"), QStringLiteral("the zone is not connected"));
        } else {
            log.logInfo(QStringLiteral("zone 12 link up"));
        }
        LogModel* model = log.model();
        model->flush();
        QCOMPARE(model->rowCount(), 1);
        const QModelIndex shown = model->index(0, LogModel::MessageColumn);
        for (const QString& word : line.words)
            QVERIFY2(shown.data().toString().contains(word) && log.text().contains(word), qPrintable(shown.data().toString()));
        QCOMPARE(shown.siblingAtColumn(LogModel::ZoneColumn).data().toString(),
                 line.kind == QLatin1String("info") ? QString() : QStringLiteral("zone 12"));
        const QColor colour = shown.data(Qt::ForegroundRole).value<QBrush>().color();
        QCOMPARE(colour.red() > 150 && colour.green() < 100, line.failed);
        // The service stamped 45000.5: 2023-03-15 12:00 UTC, shown in local time.
        const QString stamp = QDateTime(QDate(2023, 3, 15), QTime(12, 0), Qt::UTC).toLocalTime().toString(
            QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        QCOMPARE(shown.siblingAtColumn(LogModel::ServiceTimeColumn).data().toString(),
                 line.serviceTime ? stamp : QString());
        QVERIFY2(shown.data(Qt::ToolTipRole).toString().contains(line.tip),
                 qPrintable(shown.data(Qt::ToolTipRole).toString()));
    }

    void parseAddress_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("host"); // empty: refused
        QTest::addColumn<int>("port");
        QTest::newRow("host and port") << "control-centre:7411" << "control-centre" << 7411;
        QTest::newRow("default port") << "localhost" << "localhost" << int(Settings::DefaultPort);
        QTest::newRow("blanks") << "  localhost:1 " << "localhost" << 1;
        QTest::newRow("highest port") << "h:65535" << "h" << 65535;
        for (const char* refused : {"h:0", "h:65536", "h:http", ":7411"})
            QTest::newRow(refused) << refused << "" << 0;
    }

    // A refused address leaves the outputs alone.
    void parseAddress()
    {
        QFETCH(QString, text);
        QFETCH(QString, host);
        QFETCH(int, port);
        QString parsedHost;
        quint16 parsedPort = 0;
        QCOMPARE(Settings::parseAddress(text, &parsedHost, &parsedPort), !host.isEmpty());
        QCOMPARE(parsedHost, host);
        QCOMPARE(int(parsedPort), port);
    }

    void recentFiles()
    {
        Settings settings;
        const QDir dir(m_dir.path());
        for (int i = 0; i < Settings::MaxRecentFiles + 3; ++i)
            settings.addRecentFile(dir.filePath(QStringLiteral("zone%1.xtsc").arg(i)));
        QStringList files = settings.recentFiles();
        QCOMPARE(files.size(), int(Settings::MaxRecentFiles));
        QCOMPARE(files.first(), dir.filePath(QStringLiteral("zone%1.xtsc").arg(Settings::MaxRecentFiles + 2)));

        // Reopening by another spelling of the same path moves it up, no duplicate.
        const QString again = files.at(3);
        settings.addRecentFile(dir.filePath(QStringLiteral("./") + QFileInfo(again).fileName()));
        files = Settings().recentFiles();
        QCOMPARE(files.first(), again);
        QCOMPARE(files.count(again), 1);
        QCOMPARE(files.size(), int(Settings::MaxRecentFiles));
        settings.removeRecentFile(again);
        QVERIFY(!Settings().recentFiles().contains(again));
    }

    void properties_data()
    {
        QTest::addColumn<QByteArray>("name"); // empty: any value, whatever its property
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("text");
        static QObject named;
        named.setObjectName(QStringLiteral("link"));
        QTest::newRow("hash bytes") << QByteArray() << QVariant(QByteArray("\x01\xab\x00\xff", 4)) << "01ab00ff";
        QTest::newRow("null time") << QByteArray() << QVariant(QDateTime()) << "—";
        QTest::newRow("no object") << QByteArray() << QVariant::fromValue<QObject*>(nullptr) << "—";
        QTest::newRow("named object") << QByteArray() << QVariant::fromValue<QObject*>(&named) << "QObject \"link\"";
        QTest::newRow("yes or no") << QByteArray() << QVariant(false) << "no";
        QTest::newRow("a code in words") << QByteArray("controlSource") << QVariant(3) << "Local (3)";
        QTest::newRow("not reported") << QByteArray("currentStrategy") << QVariant(-1) << "not reported (-1)";
        QTest::newRow("unknown to the protocol") << QByteArray("controlSource") << QVariant(9) << "unknown (9)";
        QTest::newRow("the special state's words") << QByteArray("specialState") << QVariant(2) << "Yellow flashing (2)";
        QTest::newRow("a name of the module's own") << QByteArray("somethingElse") << QVariant(5) << "5";
    }

    // Values in words with the code beside them; declared properties first, then
    // dynamic ones, Qt's bookkeeping only when asked for.
    void properties()
    {
        QFETCH(QByteArray, name);
        QFETCH(QVariant, value);
        QFETCH(QString, text);
        QObject object;
        QCOMPARE(name.isEmpty() ? PropertiesDock::valueText(value) : PropertiesDock::valueText(name, value, &object), text);

        object.setObjectName(QStringLiteral("zone"));
        object.setProperty("hashInvalid", true);
        object.setProperty("_q_internal", 1);
        if (!name.isEmpty())
            object.setProperty(name, value);
        QStringList shown;
        for (const PropertiesDock::Row& row : PropertiesDock::describe(&object, true))
            shown << row.label + QLatin1Char('=') + row.text;
        QCOMPARE(shown.size(), name.isEmpty() ? 2 : 3);
        QCOMPARE(shown.at(1), QStringLiteral("Configuration differs (hash mismatch)=yes"));
        QVERIFY2(name.isEmpty() || shown.last().endsWith(QLatin1Char('=') + text), qPrintable(shown.join('|')));
        QCOMPARE(PropertiesDock::describe(&object, false).size(), shown.size() - 1);
        QVERIFY(PropertiesDock::describe(nullptr).isEmpty());
    }

    void stateDump_data()
    {
        QTest::addColumn<QString>("target"); // relative to the test's folder
        QTest::addColumn<bool>("written");
        QTest::newRow("over an older dump") << "older.json" << true;
        QTest::newRow("folder that is not there") << "no-such-folder/dump.json" << false;
        QTest::newRow("a folder in the way") << "storage" << false;
    }

    void stateDump()
    {
        QFETCH(QString, target);
        QFETCH(bool, written);
        const QString path = m_dir.filePath(target);
        if (written)
            QVERIFY(writeFile(path, "{\"zones\":[]}"));
        const QJsonObject state{{QStringLiteral("zones"), QJsonArray{QJsonObject{{QStringLiteral("id"), 12}}}},
                                {QStringLiteral("lights"), 47}};
        QString error;
        QCOMPARE(StateDump::write(path, state, &error), written);
        QCOMPARE(error.isEmpty(), written);
        QCOMPARE(QFileInfo(path).isFile(), written);
        if (!written)
            return;
        QCOMPARE(QJsonDocument::fromJson(readFile(path)).object(), state);
        // No temporary file is left beside it.
        const QString name = QFileInfo(path).fileName();
        QCOMPARE(QDir(m_dir.path()).entryList({name + QLatin1Char('*')}, QDir::Files), QStringList{name});
    }

private:
    QTemporaryDir m_dir;
};

QTEST_MAIN(TestHostLogic)
#include "tst_hostlogic.moc"
