// The workstation's own logic, without the module: the command line and its history, the storage
// service, the log's words and bounds, the properties' words and the state dump.
#include "CommandInput.h"
#include "LogDock.h"
#include "LogModel.h"
#include "PropertiesDock.h"
#include "QtOwnLeaks.h"
#include "StateDump.h"
#include "StorageService.h"

#include "Velmora/format/Protocol.h"
#include "semtra/Notification.h"
#include "semtra/ReplyTypes.h"
#include "semtra/Request.h"
#include "semtra/Response.h"
#include "semtra/Wire.h"

#include <QBrush>
#include <QScopeGuard>
#include <QTextCodec>
#include <QtTest>

#include "DomText.h"

using namespace Velmora;

namespace {

const QByteArray StoredConfig = QByteArray("controller 101\nprogram 1 cycle 90\n\0\xff\xfe", 37);

// One line of the log: what goes in, and how it must read.
struct LogCase
{
    QString kind; // event or reply
    int command;
    QByteArray data; // the event, or the reply
    int error;       // instead of a reply
    QStringList words;
    bool failed;      // red
    bool serviceTime; // stamped with the service's time
    QString tip;      // the protocol's own wording
};

QVariant valueList(const QVariantList& values)
{
    return values;
}

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
        Semtra::ReplyTypes::registerReply(Protocol::Tag, 4352, {QVariant::UInt, QVariant::UInt, QVariant::String});
    }

    void commandLine_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("command");  // empty: no command line at all
        QTest::addColumn<QVariant>("argument"); // the command as the zone gets it: a name as text, a code as its number
        QTest::addColumn<QVariant>("parameter"); // the values read, as the zone gets them
        QTest::addColumn<QString>("problem");    // why it is not sent; empty when it passes
        QTest::newRow("values") << "SET_STRAT 2 60" << "SET_STRAT" << QVariant("SET_STRAT") << valueList({2u, 60u})
                                << "";
        QTest::newRow("blank") << "   \t " << "" << QVariant() << QVariant() << "";
        QTest::newRow("by code, hexadecimal number") << "4097 0x2 60" << "4097" << QVariant(4097)
                                                     << valueList({2u, 60u}) << "";
        QTest::newRow("code in hex") << "0x1001 2 60" << "0x1001" << QVariant(4097) << valueList({2u, 60u}) << "";
        QTest::newRow("one too few") << "SET_STRAT 2" << "SET_STRAT" << QVariant("SET_STRAT") << valueList({2u})
                                     << "SET_STRAT takes 2 parameter(s), not 1: SET_STRAT <strategy> <timeout (s)>";
        QTest::newRow("number too large") << "SET_STRAT 2 4294967296" << "SET_STRAT" << QVariant("SET_STRAT")
                                          << valueList({2u})
                                          << "timeout (s) must be a number from 0 to 4294967295, not 4294967296";
        QTest::newRow("negative number") << "SET_STRAT -0x2 60" << "SET_STRAT" << QVariant("SET_STRAT")
                                         << valueList({-2, 60u})
                                         << "strategy must be a number from 0 to 4294967295, not -0x2";
        QTest::newRow("number where bytes go") << "SET_DPROG 101 60 5" << "SET_DPROG" << QVariant("SET_DPROG")
                                               << valueList({101u, 60u, 5u})
                                               << "program must be bytes in hex, like #0a1b";
        QTest::newRow("unknown, inner spacing kept") << "NO_SUCH \"a  b\"   7 " << "NO_SUCH" << QVariant("NO_SUCH")
                                                     << valueList({"a  b", 7u}) << "unknown command NO_SUCH";
        // Letters the locale's 8-bit encoding has no code for stay as typed, in the values and in the message.
        QTest::newRow("text, Cyrillic") << "SET_STRAT \"Пётр  Ёж\" 60" << "SET_STRAT" << QVariant("SET_STRAT")
                                        << valueList({"Пётр  Ёж", 60u})
                                        << "strategy must be a number, not \"Пётр  Ёж\"";
        QTest::newRow("Cyrillic word, no value") << "SET_STRAT два 60" << "SET_STRAT" << QVariant("SET_STRAT")
                                                 << valueList({}) << "strategy must be a number, not \"два\"";
    }

    // A typed line split for the zone, and checked against the protocol's rows before sending; the same under
    // a Latin-1 locale, which has no code for Cyrillic.
    void commandLine()
    {
        QFETCH(QString, text);
        QFETCH(QString, command);
        QFETCH(QVariant, argument);
        QFETCH(QVariant, parameter);
        QFETCH(QString, problem);
        QTextCodec* const locale = QTextCodec::codecForLocale();
        QTextCodec::setCodecForLocale(QTextCodec::codecForName("ISO-8859-1"));
        const auto restore = qScopeGuard([locale] { QTextCodec::setCodecForLocale(locale); });
        const CommandLine line = CommandLine::parse(text);
        QCOMPARE(line.isValid(), !command.isEmpty());
        QCOMPARE(line.command(), command);
        QCOMPARE((QVariantList{line.commandArgument().userType(), line.commandArgument(),
                               line.parameterArgument().userType(), line.parameterArgument()}),
                 (QVariantList{argument.userType(), argument, parameter.userType(), parameter}));
        QString message;
        QVERIFY(!line.isValid() || line.check(&message) == problem.isEmpty());
        QCOMPARE(message, line.isValid() ? problem : QString());
    }

    void commandHistory_data()
    {
        QTest::addColumn<QStringList>("steps"); // "up", "down", "send", or text typed over the line
        QTest::addColumn<QStringList>("shown"); // the line after each up and down
        // Sent before each case: "a", then "b".
        QTest::newRow("the line being written comes back") << QStringList{"c", "up", "up", "up", "down", "down", "down"}
                                                           << QStringList{"b", "a", "a", "b", "c", "c"};
        // As in a shell: what was typed over an entry shows again while browsing, the entry itself stays.
        QTest::newRow("an entry typed over")
            << QStringList{"c", "up", "bx", "up", "down", "down", "up", "send", "up", "up"}
            << QStringList{"b", "a", "bx", "c", "bx", "bx", "b"};
    }

    void commandHistory()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, shown);
        CommandHistory history;
        history.add(QStringLiteral("a"));
        history.add(QStringLiteral("b"));
        QString line;
        QStringList seen;
        for (const QString& step : steps) {
            if (step == QLatin1String("up") || step == QLatin1String("down")) {
                line = step == QLatin1String("up") ? history.older(line) : history.newer(line);
                seen << line;
            } else if (step == QLatin1String("send")) {
                history.add(line);
                line.clear();
            } else {
                line = step;
            }
        }
        QCOMPARE(seen, shown);
    }

    void storageAnswers_data()
    {
        QTest::addColumn<QVariant>("id");
        QTest::addColumn<bool>("online");
        QTest::addColumn<QByteArray>("answer"); // "error" for an error
        QTest::newRow("existing file, id as number") << QVariant(101) << true << StoredConfig;
        QTest::newRow("missing file") << QVariant("999") << true << QByteArray();
        QTest::newRow("unreadable (a folder)") << QVariant("5") << true << QByteArray("error");
        QTest::newRow("offline") << QVariant("101") << false << QByteArray("error");
        QTest::newRow("path in the id") << QVariant("../101") << true << QByteArray("error");
    }

    void storageAnswers()
    {
        QFETCH(QVariant, id);
        QFETCH(bool, online);
        QFETCH(QByteArray, answer);
        StorageService storage;
        storage.setDirectory(m_dir.filePath(QStringLiteral("storage")));
        storage.setOnline(online);
        QVariant result;
        // Called by name, as the module calls it.
        QVERIFY(QMetaObject::invokeMethod(&storage, "invoke", Q_RETURN_ARG(QVariant, result),
                                          Q_ARG(QString, QStringLiteral("getConfig")), Q_ARG(QVariantList, {id})));
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

    // However many lines come, the log keeps the newest MaxLines; the view hears of each batch once, not of each line.
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
        row("event of more values than a line holds in place",
            {"event", 0, encodeEvent(77, 45000.5, {1u, 2u, 3u, 4u, 5u, QStringLiteral("six")}), 0,
             {"event 77", ": 1, 2, 3, 4, 5, six"}, false, true, ""});

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
        row("refused strategy", {"reply", 4097, encodeReply(45000.5, 4609, 4097, QByteArray()), 0,
                                 {"#7 ← SET_STRAT refused: no such strategy (>INV_STRAT 4609)"}, true, true,
                                 "неправильный номер стратегии"});
        row("unknown error", {"reply", 4097, QByteArray(), 99, {"failed: unknown result (99)"}, true, false, clock});
        row("headless reply", {"reply", 4097, QByteArray("\x01\x02\x03", 3), 0,
                               {"SET_STRAT: reply without a head", "3 bytes", "01 02 03"}, true, false, clock});
    }

    // A line in the log: its words, red for failures, the service's time where sent, the protocol's wording as tip.
    void logLine()
    {
        QFETCH(LogCase, line);
        LogDock log;
        QObject zone;
        Request request(7, 12, line.command, QVariantList{2u, 60u}, Velmora::Protocol::Tag);
        Response response(&request);
        const Notification event(line.data, Velmora::Protocol::Tag);
        if (line.kind == QLatin1String("event")) {
            log.logEvent(&zone, &event);
        } else {
            if (line.error)
                response.setError(line.error);
            else
                response.finish(line.data);
            QCOMPARE(LogDock::isFailure(&response), line.failed);
            log.logResult(&zone, &response);
        }
        LogModel* model = log.model();
        model->flush();
        QCOMPARE(model->rowCount(), 1);
        const QModelIndex shown = model->index(0, LogModel::MessageColumn);
        for (const QString& word : line.words)
            QVERIFY2(shown.data().toString().contains(word) && log.text().contains(word), qPrintable(shown.data().toString()));
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

    void logShownText_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("whole");
        const int max = LogModel::MaxShownLength;
        QTest::newRow("at the bound") << max << true;
        QTest::newRow("one past it") << max + 1 << false;
    }

    // The view shows the start of a long line, the log's text all of it.
    void logShownText()
    {
        QFETCH(int, length);
        QFETCH(bool, whole);
        QString line;
        for (int i = 0; line.size() < length; ++i)
            line += QStringLiteral("area %1 ").arg(i);
        line.truncate(length);
        LogDock log;
        log.logInfo(line);
        log.model()->flush();
        const QString shown = log.model()->index(0, LogModel::MessageColumn).data().toString();
        QCOMPARE(shown, whole ? line : line.left(LogModel::MaxShownLength) + QStringLiteral(" …"));
        QVERIFY(log.text().endsWith(line));
    }

    void logZoneColumn_data()
    {
        QTest::addColumn<QList<int>>("zones"); // index of the zone object each line comes from
        QTest::addColumn<QList<int>>("ids");   // that zone's id when the line comes
        QTest::addColumn<QStringList>("column");
        QTest::newRow("two zones in turn") << QList<int>{0, 1, 0} << QList<int>{12, 7, 12}
                                           << QStringList{"zone 12", "zone 7", "zone 12"};
        QTest::newRow("a zone renumbered") << QList<int>{0, 0} << QList<int>{12, 13} << QStringList{"zone 12", "zone 13"};
        QTest::newRow("no zone between") << QList<int>{0, -1, 0} << QList<int>{-1, 0, -1}
                                         << QStringList{"zone -1", "", "zone -1"};
    }

    // Each line names the zone it came from as that zone was numbered then.
    void logZoneColumn()
    {
        QFETCH(QList<int>, zones);
        QFETCH(QList<int>, ids);
        QFETCH(QStringList, column);
        LogDock log;
        QObject objects[2];
        const Notification event(Semtra::Wire::encodeEvent(3, 45000.5, {3u, 1u, 0u}), Velmora::Protocol::Tag);
        for (int i = 0; i < zones.size(); ++i) {
            QObject* zone = zones.at(i) < 0 ? nullptr : &objects[zones.at(i)];
            if (zone)
                zone->setProperty("id", ids.at(i));
            log.logEvent(zone, &event);
        }
        log.model()->flush();
        QStringList shown;
        for (int row = 0; row < log.model()->rowCount(); ++row)
            shown << log.model()->index(row, LogModel::ZoneColumn).data().toString();
        QCOMPARE(shown, column);
    }

    void properties_data()
    {
        QTest::addColumn<QByteArray>("name"); // empty: any value, whatever its property
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("hash bytes") << QByteArray() << QVariant(QByteArray("\x01\xab\x00\xff", 4)) << "01ab00ff";
        QTest::newRow("no object") << QByteArray() << QVariant::fromValue<QObject*>(nullptr) << "—";
        QTest::newRow("unknown to the protocol") << QByteArray("controlSource") << QVariant(9) << "unknown (9)";
    }

    // Values in words with the code beside them; no object is no crash.
    void properties()
    {
        QFETCH(QByteArray, name);
        QFETCH(QVariant, value);
        QFETCH(QString, text);
        QObject object;
        QCOMPARE(name.isEmpty() ? PropertiesDock::valueText(value) : PropertiesDock::valueText(name, value, &object), text);
        QVERIFY(PropertiesDock::describe(nullptr).isEmpty());
    }

    void stateDump_data()
    {
        QTest::addColumn<QString>("target"); // relative to the test's folder
        QTest::addColumn<bool>("written");
        QTest::newRow("over an older dump") << "older.json" << true;
        QTest::newRow("folder that is not there") << "no-such-folder/dump.json" << false;
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
