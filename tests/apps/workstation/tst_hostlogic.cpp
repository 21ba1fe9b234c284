#include "CommandLine.h"
#include "LogDock.h"
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
    void storageAnswers_data();
    void storageAnswers();
    void storageSignals_data();
    void storageSignals();
    void resultText_data();
    void resultText();
    void eventText_data();
    void eventText();
    void parseAddress_data();
    void parseAddress();
    void recentFiles();
    void valueText_data();
    void valueText();
    void dynamicProperties();
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
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("error");
    QTest::addColumn<QStringList>("fragments");

    const QList<QVariant::Type> stateTypes{QVariant::UInt, QVariant::UInt, QVariant::String};
    const QByteArray stateBlock = Semtra::Wire::encodeParams({1u, 3u, QStringLiteral("1 1 2 0")}, stateTypes);
    QTest::newRow("state reply") << Semtra::Wire::encodeReply(45000.5, 0, 4352, stateBlock) << 0
                                 << QStringList{"0 OK", "reply 4352", "1, 3, \"1 1 2 0\""};
    QTest::newRow("refused strategy") << Semtra::Wire::encodeReply(45000.5, 4609, 4097, QByteArray()) << 0
                                      << QStringList{"4609 >INV_STRAT", "неправильный номер стратегии"};
    QTest::newRow("transport error") << QByteArray() << 11 << QStringList{"failed", "11 CONNECTION_ERROR"};
    QTest::newRow("unknown error") << QByteArray() << 99 << QStringList{"failed", "99 (unknown result code)"};
    QTest::newRow("last service code")
        << Semtra::Wire::encodeReply(45000.5, 4621, 4097, QByteArray()) << 0
        << QStringList{"4621 >INV_CMD (не найден соответствующий метод в корневом объекте)"};
    QTest::newRow("past the service codes") << Semtra::Wire::encodeReply(45000.5, 4622, 4097, QByteArray()) << 0
                                            << QStringList{"4622 (unknown result code)"};
    QTest::newRow("headless reply") << QByteArray("\x01\x02\x03", 3) << 0
                                    << QStringList{"without a head", "3 bytes", "01 02 03"};
}

void TestHostLogic::resultText()
{
    QFETCH(QByteArray, reply);
    QFETCH(int, error);
    QFETCH(QStringList, fragments);

    using Velmora::Protocol::Tag;
    Semtra::ReplyTypes::registerReply(Tag, 4352, {QVariant::UInt, QVariant::UInt, QVariant::String});
    Request request(1, 12, 4352, QVariant(), Tag);
    Response response(&request);
    if (error)
        response.setError(error);
    else
        response.finish(reply);
    const QString text = LogDock::resultText(&response);
    for (const QString& fragment : fragments)
        QVERIFY2(text.contains(fragment), qPrintable(text));
}

void TestHostLogic::eventText_data()
{
    QTest::addColumn<QByteArray>("event");
    QTest::addColumn<QStringList>("fragments");

    // Named in the protocol's own words, as results are.
    QTest::newRow("area state")
        << Semtra::Wire::encodeEvent(3, 45000.5, {3u, 5u, 2u})
        << QStringList{"event 3 (изменение текущего состояния района)", "3, 5, 2"};
    QTest::newRow("strategy") << Semtra::Wire::encodeEvent(1, 45000.5, {2u})
                              << QStringList{"event 1 (изменение текущей стратегии)", ": 2"};
    QTest::newRow("unknown event") << Semtra::Wire::encodeEvent(9, 45000.5, {})
                                   << QStringList{"event 9 (unknown event)"};
}

void TestHostLogic::eventText()
{
    QFETCH(QByteArray, event);
    QFETCH(QStringList, fragments);

    const Notification notification(event, Velmora::Protocol::Tag);
    const QString text = LogDock::eventText(&notification);
    for (const QString& fragment : fragments)
        QVERIFY2(text.contains(fragment), qPrintable(text));
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
}

void TestHostLogic::valueText()
{
    QFETCH(QVariant, value);
    QFETCH(QString, text);
    QCOMPARE(PropertiesDock::valueText(value), text);
}

void TestHostLogic::dynamicProperties()
{
    QObject zone;
    zone.setObjectName(QStringLiteral("zone"));
    zone.setProperty("hashInvalid", true);
    zone.setProperty("remoteHash", QByteArray::fromHex("00112233"));
    zone.setProperty("_q_internal", 1);
    const QList<QPair<QString, QString>> rows = PropertiesDock::describe(&zone);
    QStringList names;
    for (const auto& row : rows)
        names << row.first;
    // Declared properties first, then dynamic ones; Qt's own are left out.
    QCOMPARE(names, (QStringList{"objectName", "hashInvalid", "remoteHash"}));
    QCOMPARE(rows.at(1).second, QStringLiteral("true"));
    QCOMPARE(rows.at(2).second, QStringLiteral("00112233"));
    QVERIFY(PropertiesDock::describe(nullptr).isEmpty());
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
