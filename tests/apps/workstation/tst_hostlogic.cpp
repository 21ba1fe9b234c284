#include "CommandLine.h"
#include "ProtocolWords.h"
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
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QByteArray StoredConfig = QByteArray("controller 101\nprogram 1 cycle 90\n\0\xff\xfe", 37);

enum Answer { Data, Empty, Error };

} // namespace

class TestHostLogic : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void commandLine_data();
    void commandLine();
    void commandCheck_data();
    void commandCheck();
    void history_data();
    void history();
    void historyKeys();
    void storageAnswers_data();
    void storageAnswers();
    void storageSignals_data();
    void storageSignals();
    void resultText_data();
    void resultText();
    void eventText_data();
    void eventText();
    void logBounded_data();
    void logBounded();
    void logLine_data();
    void logLine();
    void parseAddress_data();
    void parseAddress();
    void recentFiles();
    void valueText_data();
    void valueText();
    void dynamicProperties_data();
    void dynamicProperties();
    void propertyWords_data();
    void propertyWords();
    void stateDump_data();
    void stateDump();

private:
    QTemporaryDir m_dir;
};

void TestHostLogic::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.filePath(QStringLiteral("settings")));
    // The storage folder: a configuration that is not text, and one that cannot be read.
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("storage/5.cfg")));
    QFile file(m_dir.filePath(QStringLiteral("storage/101.cfg")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(StoredConfig) == StoredConfig.size());
    file.close();
    // Outside the folder: must never be reachable through an id.
    QFile outside(m_dir.filePath(QStringLiteral("101.cfg")));
    QVERIFY(outside.open(QIODevice::WriteOnly) && outside.write("outside") == 7);
}

void TestHostLogic::commandLine_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QVariant>("parameter");

    QTest::newRow("command with values") << "SET_STRAT 2 60" << true << "SET_STRAT" << QVariant("2 60");
    QTest::newRow("no parameters") << "get_state" << true << "get_state" << QVariant();
    QTest::newRow("blanks around") << "  \tGET_STATE \t " << true << "GET_STATE" << QVariant();
    QTest::newRow("tab separates") << "SET_ASTATE\t3 1 60" << true << "SET_ASTATE" << QVariant("3 1 60");
    QTest::newRow("inner spacing kept") << "CMD \"a  b\"   7 " << true << "CMD" << QVariant("\"a  b\"   7");
    QTest::newRow("blank") << "   \t " << false << "" << QVariant();
}

void TestHostLogic::commandLine()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(QString, command);
    QFETCH(QVariant, parameter);

    const CommandLine line = CommandLine::parse(text);
    QCOMPARE(line.isValid(), valid);
    QCOMPARE(line.command(), command);
    // Both go to the zone as text; it tells "no parameter" from "empty text" by validity alone.
    const QVariant commandArgument = valid ? QVariant(command) : QVariant();
    QCOMPARE(line.commandArgument().userType(), commandArgument.userType());
    QCOMPARE(line.commandArgument(), commandArgument);
    QCOMPARE(line.parameterArgument().userType(), parameter.userType());
    QCOMPARE(line.parameterArgument(), parameter);
}

void TestHostLogic::commandCheck_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("message");

    QTest::newRow("strategy for a minute") << "SET_STRAT 2 60" << true << "";
    QTest::newRow("any case") << "set_strat 2 60" << true << "";
    QTest::newRow("by code") << "4097 2 60" << true << "";
    QTest::newRow("hexadecimal number") << "SET_STRAT 0x2 60" << true << "";
    QTest::newRow("no parameters") << "GET_STATE" << true << "";
    QTest::newRow("bytes where bytes go") << "SET_DPROG 101 60 #0a1b" << true << "";
    QTest::newRow("one too many") << "GET_STATE 1" << false << "GET_STATE takes no parameters";
    QTest::newRow("one too few") << "SET_STRAT 2" << false
                                 << "SET_STRAT takes 2 parameter(s), not 1: SET_STRAT <strategy> <timeout (s)>";
    QTest::newRow("a word for a number") << "SET_STRAT two 60" << false << "strategy must be a number, not \"two\"";
    QTest::newRow("comma between values") << "SET_STRAT 2,60" << false << "strategy must be a number, not \"2,60\"";
    QTest::newRow("negative") << "SET_STRAT 2 -5" << false << "timeout (s) must be a number of 0 or more";
    QTest::newRow("number where bytes go") << "SET_DPROG 101 60 5" << false << "program must be bytes in hex, like #0a1b";
    QTest::newRow("unknown command") << "NO_SUCH 1" << false << "unknown command NO_SUCH";
    QTest::newRow("unknown code") << "4999" << false << "unknown command 4999";
}

// What the protocol's rows say a command takes is checked before sending.
void TestHostLogic::commandCheck()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(QString, message);

    QString problem;
    QCOMPARE(CommandLine::parse(text).check(&problem), ok);
    QCOMPARE(problem, message);
}

void TestHostLogic::history_data()
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

void TestHostLogic::history()
{
    QFETCH(QStringList, steps);

    CommandHistory history;
    QString line;
    for (const QString& step : steps) {
        if (step.startsWith(QLatin1String("add "))) {
            history.add(step.mid(4));
            continue;
        }
        QString action = step.section(QLatin1Char('='), 0, 0);
        const QString expected = step.section(QLatin1Char('='), 1);
        if (action.contains(QLatin1Char('|'))) {
            line = action.section(QLatin1Char('|'), 1);
            action = action.section(QLatin1Char('|'), 0, 0);
        }
        line = action == QLatin1String("up") ? history.older(line) : history.newer(line);
        QVERIFY2(line == expected, qPrintable(step + " gave " + line));
    }
    QVERIFY(history.entries().size() <= CommandHistory::MaxEntries);
}

// The keys reach the history; with the completion list open they move in the list instead.
void TestHostLogic::historyKeys()
{
    CommandEdit edit;
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    edit.history().add(QStringLiteral("GET_STATE"));
    edit.history().add(QStringLiteral("SET_STRAT 2 60"));
    QTest::keyClick(&edit, Qt::Key_Up);
    QCOMPARE(edit.text(), QStringLiteral("SET_STRAT 2 60"));
    QTest::keyClick(&edit, Qt::Key_Up);
    QCOMPARE(edit.text(), QStringLiteral("GET_STATE"));
    QTest::keyClick(&edit, Qt::Key_Down);
    QTest::keyClick(&edit, Qt::Key_Down);
    QCOMPARE(edit.text(), QString());

    // Command names complete, whatever the case typed.
    QTest::keyClicks(&edit, QStringLiteral("set_a"));
    QVERIFY(edit.completer());
    QTRY_VERIFY(edit.completer()->popup()->isVisible());
    QStringList offered;
    for (int row = 0; row < edit.completer()->completionModel()->rowCount(); ++row)
        offered << edit.completer()->completionModel()->index(row, 0).data().toString();
    QCOMPARE(offered, (QStringList{"SET_ASTATE", "SET_APSTATE", "SET_ADEFAULT"}));
    QTest::keyClick(edit.completer()->popup(), Qt::Key_Down);
    QCOMPARE(edit.history().entries().size(), 2);
    QVERIFY(!edit.text().startsWith(QLatin1String("GET")));
}

void TestHostLogic::storageAnswers_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QVariantList>("args");
    QTest::addColumn<bool>("online");
    QTest::addColumn<int>("answer");

    QTest::newRow("existing file") << "getConfig" << QVariantList{"101"} << true << int(Data);
    QTest::newRow("id as number") << "getConfig" << QVariantList{101} << true << int(Data);
    QTest::newRow("missing file") << "getConfig" << QVariantList{"999"} << true << int(Empty);
    QTest::newRow("unreadable (a folder)") << "getConfig" << QVariantList{"5"} << true << int(Error);
    QTest::newRow("offline") << "getConfig" << QVariantList{"101"} << false << int(Error);
    QTest::newRow("unknown method") << "putConfig" << QVariantList{"101"} << true << int(Error);
    QTest::newRow("no argument") << "getConfig" << QVariantList{} << true << int(Error);
    QTest::newRow("path in the id") << "getConfig" << QVariantList{"../101"} << true << int(Error);
}

void TestHostLogic::storageAnswers()
{
    QFETCH(QString, method);
    QFETCH(QVariantList, args);
    QFETCH(bool, online);
    QFETCH(int, answer);

    StorageService storage;
    storage.setDirectory(m_dir.filePath(QStringLiteral("storage")));
    storage.setOnline(online);
    QVariant result;
    // Called by name, as the module calls it.
    QVERIFY(QMetaObject::invokeMethod(&storage, "invoke", Q_RETURN_ARG(QVariant, result), Q_ARG(QString, method),
                                      Q_ARG(QVariantList, args)));
    QCOMPARE(result.type(), QVariant::ByteArray);
    const QByteArray bytes = result.toByteArray();
    if (answer == Error) {
        // An error names its reason.
        QVERIFY2(bytes.startsWith("<Error>") && bytes.endsWith("</Error>"), bytes.constData());
        QVERIFY(bytes.size() > int(qstrlen("<Error></Error>")));
    } else {
        // Handed on unchanged, though not text.
        QCOMPARE(bytes, answer == Data ? StoredConfig : QByteArray());
    }
}

void TestHostLogic::storageSignals_data()
{
    QTest::addColumn<QList<bool>>("toggles");
    QTest::addColumn<int>("connected");
    QTest::addColumn<int>("disconnected");

    QTest::newRow("stays online") << QList<bool>{true, true} << 0 << 0;
    QTest::newRow("offline twice") << QList<bool>{false, false} << 0 << 1;
    QTest::newRow("flapping") << QList<bool>{false, true, false, true} << 2 << 2;
}

void TestHostLogic::storageSignals()
{
    QFETCH(QList<bool>, toggles);
    QFETCH(int, connected);
    QFETCH(int, disconnected);

    StorageService storage;
    QSignalSpy connectedSpy(&storage, SIGNAL(rpcConnected()));
    QSignalSpy disconnectedSpy(&storage, SIGNAL(rpcDisconnected()));
    for (bool online : toggles)
        storage.setOnline(online);
    QCOMPARE(connectedSpy.count(), connected);
    QCOMPARE(disconnectedSpy.count(), disconnected);
    QCOMPARE(storage.isOnline(), toggles.last());
}

void TestHostLogic::resultText_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("error");
    QTest::addColumn<QStringList>("fragments");
    QTest::addColumn<QString>("original"); // the protocol row's own text
    QTest::addColumn<bool>("failed");

    const QList<QVariant::Type> stateTypes{QVariant::UInt, QVariant::UInt, QVariant::String};
    const QByteArray stateBlock = Semtra::Wire::encodeParams({1u, 3u, QStringLiteral("1 1 2 0 4 2 1 3")}, stateTypes);
    QTest::newRow("state reply, decoded")
        << 4352 << Semtra::Wire::encodeReply(45000.5, 0, 4352, stateBlock) << 0
        << QStringList{"STATE: done (OK 0)", "zone Calendar (1), strategy 3",
                       "area 1: Calendar (1), state 2, special state None (0)",
                       "area 4: Adaptive (2), state 1, special state Off (3)"}
        << "команда выполнена успешно" << false;
    const QByteArray oddState = Semtra::Wire::encodeParams({4u, 1u, QStringLiteral("1 1 2")}, stateTypes);
    QTest::newRow("state reply, areas not in fours")
        << 4352 << Semtra::Wire::encodeReply(45000.5, 0, 4352, oddState) << 0
        << QStringList{"zone Operator (4), strategy 1", "areas: \"1 1 2\" (not groups of four numbers)"}
        << "команда выполнена успешно" << false;
    QTest::newRow("strategy set") << 4097 << Semtra::Wire::encodeReply(45000.5, 4608, 4097, QByteArray()) << 0
                                  << QStringList{"SET_STRAT: done (>OK 4608)"} << "команда завершилась успешно"
                                  << false;
    QTest::newRow("refused strategy") << 4097 << Semtra::Wire::encodeReply(45000.5, 4609, 4097, QByteArray()) << 0
                                      << QStringList{"SET_STRAT refused: no such strategy (>INV_STRAT 4609)"}
                                      << "неправильный номер стратегии" << true;
    QTest::newRow("transport error") << 4097 << QByteArray() << 11
                                     << QStringList{"SET_STRAT failed: connection to the server lost (CONNECTION_ERROR 11)"}
                                     << "Потеря связи с сервером" << true;
    QTest::newRow("unknown error") << 4097 << QByteArray() << 99 << QStringList{"failed: unknown result (99)"}
                                   << "" << true;
    QTest::newRow("last service code")
        << 4097 << Semtra::Wire::encodeReply(45000.5, 4621, 4097, QByteArray()) << 0
        << QStringList{"refused: the service has no such command (>INV_CMD 4621)"}
        << "не найден соответствующий метод в корневом объекте" << true;
    QTest::newRow("past the service codes") << 4097 << Semtra::Wire::encodeReply(45000.5, 4622, 4097, QByteArray())
                                            << 0 << QStringList{"refused: unknown result (4622)"} << "" << true;
    QTest::newRow("headless reply") << 4097 << QByteArray("\x01\x02\x03", 3) << 0
                                    << QStringList{"SET_STRAT: reply without a head", "3 bytes", "01 02 03"} << ""
                                    << true;
}

void TestHostLogic::resultText()
{
    QFETCH(int, command);
    QFETCH(QByteArray, reply);
    QFETCH(int, error);
    QFETCH(QStringList, fragments);
    QFETCH(QString, original);
    QFETCH(bool, failed);

    using Velmora::Protocol::Tag;
    Semtra::ReplyTypes::registerReply(Tag, 4352, {QVariant::UInt, QVariant::UInt, QVariant::String});
    Request request(1, 12, command, QVariant(), Tag);
    Response response(&request);
    if (error)
        response.setError(error);
    else
        response.finish(reply);
    const QString text = LogDock::resultText(&response);
    for (const QString& fragment : fragments)
        QVERIFY2(text.contains(fragment), qPrintable(text));
    QCOMPARE(LogDock::resultOriginal(&response), original);
    QCOMPARE(LogDock::isFailure(&response), failed);
}

void TestHostLogic::eventText_data()
{
    QTest::addColumn<QByteArray>("event");
    QTest::addColumn<QString>("text");

    QTest::newRow("area state") << Semtra::Wire::encodeEvent(3, 45000.5, {3u, 5u, 2u})
                                << "event 3, area state changed: area 3, state 5, special state Yellow flashing (2)";
    QTest::newRow("area control source") << Semtra::Wire::encodeEvent(2, 45000.5, {3u, 3u})
                                         << "event 2, area control source changed: area 3, control source Local (3)";
    QTest::newRow("zone control source") << Semtra::Wire::encodeEvent(0, 45000.5, {4u})
                                         << "event 0, zone control source changed: control source Operator (4)";
    QTest::newRow("strategy") << Semtra::Wire::encodeEvent(1, 45000.5, {2u}) << "event 1, strategy changed: strategy 2";
    QTest::newRow("value missing") << Semtra::Wire::encodeEvent(3, 45000.5, {3u})
                                   << "event 3, area state changed: area 3, state ?, special state not reported (-1)";
    QTest::newRow("unknown event") << Semtra::Wire::encodeEvent(9, 45000.5, {7u}) << "event 9, unknown event: 7";
}

void TestHostLogic::eventText()
{
    QFETCH(QByteArray, event);
    QFETCH(QString, text);

    const Notification notification(event, Velmora::Protocol::Tag);
    QCOMPARE(LogDock::eventText(&notification), text);
}

void TestHostLogic::logBounded_data()
{
    QTest::addColumn<QList<int>>("batches"); // lines added before each flush
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("first"); // number of the oldest line kept
    QTest::addColumn<int>("dropped");

    const int max = LogModel::MaxLines;
    QTest::newRow("a few lines") << QList<int>{3} << 3 << 0 << 0;
    QTest::newRow("exactly the bound") << QList<int>{max} << max << 0 << 0;
    QTest::newRow("over the bound in one batch") << QList<int>{max + 100} << max << 100 << 100;
    QTest::newRow("over the bound in batches") << QList<int>{3000, 3000, 1} << max << 1001 << 1001;
}

// However many lines come, the log keeps the newest MaxLines, and the view
// hears of each batch once, not of every line.
void TestHostLogic::logBounded()
{
    QFETCH(QList<int>, batches);
    QFETCH(int, rows);
    QFETCH(int, first);
    QFETCH(int, dropped);

    LogModel model;
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    int next = 0;
    for (int i = 0; i < batches.size(); ++i) {
        const int before = model.rowCount();
        for (int n = 0; n < batches.at(i); ++n) {
            LogEntry entry;
            entry.text = QStringLiteral("line %1").arg(next++);
            model.append(entry);
        }
        // Nothing reaches the view before the batch goes in.
        QCOMPARE(model.rowCount(), before);
        QCOMPARE(model.pendingCount(), qMin(batches.at(i), int(LogModel::MaxLines)));
        if (i + 1 < batches.size())
            model.flush();
    }
    // The last batch goes in by itself, shortly.
    QTRY_COMPARE(model.pendingCount(), 0);
    QCOMPARE(inserted.count(), batches.size());
    QCOMPARE(model.rowCount(), rows);
    QCOMPARE(int(model.droppedCount()), dropped);
    QCOMPARE(model.index(0, LogModel::MessageColumn).data().toString(), QStringLiteral("line %1").arg(first));
    QCOMPARE(model.index(rows - 1, LogModel::MessageColumn).data().toString(), QStringLiteral("line %1").arg(next - 1));
}

void TestHostLogic::logLine_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("red");
    QTest::addColumn<bool>("serviceTime");
    QTest::addColumn<QString>("tip"); // also in the tool tip

    QTest::newRow("event") << "event" << "event 3, area state changed: area 3, state 2, special state None (0)"
                           << false << true << "изменение текущего состояния района";
    QTest::newRow("refused command") << "refused" << "#7 ← SET_STRAT refused: no such strategy (>INV_STRAT 4609)"
                                     << true << true << "неправильный номер стратегии";
    QTest::newRow("request") << "request" << "#7 → SET_STRAT strategy 2, timeout (s) 60 — set strategy" << false
                             << false << "установить стратегию";
    QTest::newRow("not sent") << "notSent" << "SET_STRAT not sent: the zone is not connected" << true << false
                              << "this computer's clock";
    QTest::newRow("information") << "info" << "zone 12 link up" << false << false << "this computer's clock";
}

// A line in the log: its words, red for failures, the service's time where it
// sent one, the protocol's own wording in the tool tip.
void TestHostLogic::logLine()
{
    QFETCH(QString, kind);
    QFETCH(QString, message);
    QFETCH(bool, red);
    QFETCH(bool, serviceTime);
    QFETCH(QString, tip);

    using Velmora::Protocol::Tag;
    LogDock log;
    QObject zone;
    zone.setProperty("id", 12);
    Request request(7, 12, 4097, QVariantList{2u, 60u}, Tag);
    Response response(&request);
    const Notification event(Semtra::Wire::encodeEvent(3, 45000.5, {3u, 2u, 0u}), Tag);
    if (kind == QLatin1String("event")) {
        log.logEvent(&zone, &event);
    } else if (kind == QLatin1String("refused")) {
        response.finish(Semtra::Wire::encodeReply(45000.5, 4609, 4097, QByteArray()));
        log.logResult(&zone, &response);
    } else if (kind == QLatin1String("request")) {
        log.logRequest(&zone, &request, QStringLiteral("set_strat 2 60"));
    } else if (kind == QLatin1String("notSent")) {
        log.logNotSent(&zone, QStringLiteral("SET_STRAT"), QStringLiteral("the zone is not connected"));
    } else {
        log.logInfo(QStringLiteral("zone 12 link up"));
    }
    LogModel* model = log.model();
    model->flush();
    QCOMPARE(model->rowCount(), 1);
    QCOMPARE(model->index(0, LogModel::MessageColumn).data().toString(), message);
    QCOMPARE(model->index(0, LogModel::ZoneColumn).data().toString(),
             kind == QLatin1String("info") ? QString() : QStringLiteral("zone 12"));
    const QColor colour = model->index(0, LogModel::MessageColumn).data(Qt::ForegroundRole).value<QBrush>().color();
    QCOMPARE(colour.red() > 150 && colour.green() < 100, red);
    // The service stamped 45000.5: 2023-03-15 12:00 UTC, shown in local time.
    const QString expected = QDateTime(QDate(2023, 3, 15), QTime(12, 0), Qt::UTC)
                                 .toLocalTime()
                                 .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    QCOMPARE(model->index(0, LogModel::ServiceTimeColumn).data().toString(), serviceTime ? expected : QString());
    const QString toolTip = model->index(0, LogModel::MessageColumn).data(Qt::ToolTipRole).toString();
    QVERIFY2(toolTip.contains(tip), qPrintable(toolTip));
    QVERIFY(log.text().contains(message));
}

void TestHostLogic::parseAddress_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");

    QTest::newRow("host and port") << "control-centre:7411" << true << "control-centre" << 7411;
    QTest::newRow("default port") << "localhost" << true << "localhost" << int(Settings::DefaultPort);
    QTest::newRow("blanks") << "  localhost:1 " << true << "localhost" << 1;
    QTest::newRow("highest port") << "h:65535" << true << "h" << 65535;
    QTest::newRow("port zero") << "h:0" << false << "" << 0;
    QTest::newRow("port too large") << "h:65536" << false << "" << 0;
    QTest::newRow("port not a number") << "h:http" << false << "" << 0;
    QTest::newRow("no host") << ":7411" << false << "" << 0;
}

void TestHostLogic::parseAddress()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(QString, host);
    QFETCH(int, port);

    // A refused address leaves the outputs alone.
    QString parsedHost;
    quint16 parsedPort = 0;
    QCOMPARE(Settings::parseAddress(text, &parsedHost, &parsedPort), valid);
    QCOMPARE(parsedHost, host);
    QCOMPARE(int(parsedPort), port);
}

void TestHostLogic::recentFiles()
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

void TestHostLogic::valueText_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("text");

    static QObject named;
    named.setObjectName(QStringLiteral("link"));
    QTest::newRow("hash bytes") << QVariant(QByteArray("\x01\xab\x00\xff", 4)) << "01ab00ff";
    QTest::newRow("null time") << QVariant(QDateTime()) << "—";
    QTest::newRow("no object") << QVariant::fromValue<QObject*>(nullptr) << "—";
    QTest::newRow("named object") << QVariant::fromValue<QObject*>(&named) << "QObject \"link\"";
    QTest::newRow("invalid") << QVariant() << "—";
    QTest::newRow("yes or no") << QVariant(false) << "no";
}

void TestHostLogic::valueText()
{
    QFETCH(QVariant, value);
    QFETCH(QString, text);
    QCOMPARE(PropertiesDock::valueText(value), text);
}

void TestHostLogic::dynamicProperties_data()
{
    QTest::addColumn<bool>("showAll");
    QTest::addColumn<QStringList>("names");

    // Declared properties first, then dynamic ones; Qt's bookkeeping only when asked for.
    QTest::newRow("what the operator needs") << false << QStringList{"hashInvalid", "remoteHash"};
    QTest::newRow("show all") << true << QStringList{"objectName", "hashInvalid", "remoteHash"};
}

void TestHostLogic::dynamicProperties()
{
    QFETCH(bool, showAll);
    QFETCH(QStringList, names);

    QObject zone;
    zone.setObjectName(QStringLiteral("zone"));
    zone.setProperty("hashInvalid", true);
    zone.setProperty("remoteHash", QByteArray::fromHex("00112233"));
    zone.setProperty("_q_internal", 1);
    const QList<PropertiesDock::Row> rows = PropertiesDock::describe(&zone, showAll);
    QStringList shown;
    for (const PropertiesDock::Row& row : rows)
        shown << row.name;
    QCOMPARE(shown, names);
    QCOMPARE(rows.at(names.indexOf("hashInvalid")).text, QStringLiteral("yes"));
    QCOMPARE(rows.at(names.indexOf("hashInvalid")).label, QStringLiteral("Configuration differs (hash mismatch)"));
    QCOMPARE(rows.at(names.indexOf("remoteHash")).text, QStringLiteral("00112233"));
    QVERIFY(PropertiesDock::describe(nullptr).isEmpty());
}

void TestHostLogic::propertyWords_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("label");

    QTest::newRow("local control") << QByteArray("controlSource") << QVariant(3) << "Local (3)" << "Control source";
    QTest::newRow("operator") << QByteArray("controlSource") << QVariant(4) << "Operator (4)" << "Control source";
    QTest::newRow("source not reported") << QByteArray("controlSource") << QVariant(-1) << "not reported (-1)"
                                         << "Control source";
    QTest::newRow("source unknown to the protocol") << QByteArray("controlSource") << QVariant(9) << "unknown (9)"
                                                    << "Control source";
    QTest::newRow("yellow flashing") << QByteArray("specialState") << QVariant(2) << "Yellow flashing (2)"
                                     << "Special state";
    QTest::newRow("no strategy yet") << QByteArray("currentStrategy") << QVariant(-1) << "not reported (-1)"
                                     << "Current strategy";
    QTest::newRow("no state yet") << QByteArray("currentState") << QVariant(-1) << "not reported (-1)"
                                  << "Current state";
    QTest::newRow("linked") << QByteArray("isConnected") << QVariant(true) << "yes" << "Linked";
    QTest::newRow("service time") << QByteArray("connectionTime") << QVariant(QDateTime()) << "—"
                                  << "Linked since (service's time)";
    QTest::newRow("a name of the module's own") << QByteArray("somethingElse") << QVariant(5) << "5"
                                                << "somethingElse";
}

// Codes in words with the code beside them, under labels in words.
void TestHostLogic::propertyWords()
{
    QFETCH(QByteArray, name);
    QFETCH(QVariant, value);
    QFETCH(QString, text);
    QFETCH(QString, label);

    QObject object;
    QCOMPARE(PropertiesDock::valueText(name, value, &object), text);
    QCOMPARE(PropertiesDock::label(name), label);
}

void TestHostLogic::stateDump_data()
{
    QTest::addColumn<QString>("target"); // relative to the test's folder
    QTest::addColumn<bool>("written");

    QTest::newRow("new file") << "dump.json" << true;
    QTest::newRow("over an older dump") << "older.json" << true;
    QTest::newRow("folder that is not there") << "no-such-folder/dump.json" << false;
    QTest::newRow("a folder in the way") << "storage" << false;
}

void TestHostLogic::stateDump()
{
    QFETCH(QString, target);
    QFETCH(bool, written);

    const QString path = m_dir.filePath(target);
    const QByteArray older = "{\"zones\":[]}";
    if (target == QLatin1String("older.json")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(older) == older.size());
    }
    const QJsonObject state{{QStringLiteral("zones"), QJsonArray{QJsonObject{{QStringLiteral("id"), 12}}}},
                            {QStringLiteral("lights"), 47}};
    QString error;
    QCOMPARE(StateDump::write(path, state, &error), written);
    QCOMPARE(error.isEmpty(), written);
    if (!written) {
        QVERIFY(!QFileInfo(path).isFile());
        return;
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(QJsonDocument::fromJson(file.readAll()).object(), state);
    // No temporary file is left beside it.
    const QString name = QFileInfo(path).fileName();
    QCOMPARE(QDir(m_dir.path()).entryList({name + QLatin1Char('*')}, QDir::Files), QStringList{name});
}

QTEST_MAIN(TestHostLogic)
#include "tst_hostlogic.moc"
