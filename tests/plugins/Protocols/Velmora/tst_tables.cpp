#include "Velmora/format/Protocol.h"
#include "Velmora/CommandTable.h"
#include "Velmora/EventTable.h"
#include "Velmora/ResultCodeTable.h"
#include "Velmora/ZonePrivate.h"

#include <semtra/ReplyTypes.h>
#include <semtra/Response.h>
#include <semtra/Request.h>
#include <semtra/Wire.h>

#include <QtTest>

using Velmora::CommandTable;
using Velmora::EventTable;
using Velmora::ResultCodeTable;

class TestTables : public QObject
{
    Q_OBJECT
private slots:
    void codeByName_data();
    void codeByName();
    void tablesAgree();
    void missingEntries_data();
    void missingEntries();
    void replyTypesRegistered();
    void resultCodes_data();
    void resultCodes();
    void splitCells_data();
    void splitCells();
};

void TestTables::codeByName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("code"); // -1: no command of that name
    QTest::newRow("lower") << "get_config_hash" << 4356;
    QTest::newRow("mixed") << "Get_Config_Hash" << 4356;
    QTest::newRow("prefix of another name") << "GET_CONFIG" << 4355;
    QTest::newRow("trailing blank") << "GET_CONFIG_HASH " << -1;
    QTest::newRow("leading blank") << " GET_CONFIG_HASH" << -1;
    QTest::newRow("underscore left out") << "GET_CONFIGHASH" << -1;
    QTest::newRow("reply name is no command") << "CONFIG_HASH" << -1;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("number text") << "4356" << -1;
}

void TestTables::codeByName()
{
    QFETCH(QString, name);
    QFETCH(int, code);
    // Untouched when there is no such command.
    int result = -1;
    QCOMPARE(CommandTable::code(name, &result), code >= 0);
    QCOMPARE(result, code);
}

void TestTables::tablesAgree()
{
    const CommandTable& commands = CommandTable::instance();
    QList<QByteArray> properties;
    for (int code : commands.name.keys()) {
        // Every name finds its own command.
        int found = -1;
        QVERIFY(CommandTable::code(commands.name.value(code).toLower(), &found) && found == code);
        QCOMPARE(commands.paramNames.value(code).size(), commands.paramCount.value(code));
        QCOMPARE(commands.paramTypes.value(code).size(), commands.paramCount.value(code));
        QVERIFY(!commands.paramTypes.value(code).contains(QVariant::Invalid));
    }
    for (int code : commands.replyName.keys()) {
        // A reply answers the request with its own code.
        QVERIFY(commands.name.contains(code));
        const QList<QVariant::Type> types = CommandTable::replyTypes(code);
        QVERIFY(!types.isEmpty() && !types.contains(QVariant::Invalid));
        QCOMPARE(commands.replyParamNames.value(code).size(), types.size());
        QVERIFY(CommandTable::replyMinimumCount(code) <= types.size());
        properties += CommandTable::replyPropertyNames(code);
        const int names = CommandTable::replyPropertyNames(code).size();
        QVERIFY(names == 0 || names == types.size());
    }
    const EventTable& events = EventTable::instance();
    for (int id : events.name.keys()) {
        QCOMPARE(events.description.value(id), events.name.value(id));
        QCOMPARE(events.paramTypes.value(id).size(), events.paramCount.value(id));
        QCOMPARE(EventTable::propertyNames(id).size(), events.paramCount.value(id));
        properties += EventTable::propertyNames(id);
    }
    // Every name a reply or an event maps to must be a writable property of the
    // link state, or its values would silently go nowhere.
    const QMetaObject& meta = Velmora::Zone::Private::staticMetaObject;
    QVERIFY(!properties.isEmpty());
    for (const QByteArray& name : qAsConst(properties)) {
        const int index = meta.indexOfProperty(name.constData());
        QVERIFY2(index >= meta.propertyOffset(), name.constData());
        QVERIFY2(meta.property(index).isWritable(), name.constData());
    }
    // The area id must be written before the setters that read it.
    QCOMPARE(EventTable::propertyNames(2).first(), QByteArray("areaId"));
    QCOMPARE(EventTable::propertyNames(3).first(), QByteArray("areaId"));
}

void TestTables::missingEntries_data()
{
    QTest::addColumn<int>("code");
    QTest::newRow("command without reply") << 0x1001;
    QTest::newRow("unknown") << 9999;
    QTest::newRow("zero") << 0;
    QTest::newRow("negative") << -1;
    QTest::newRow("event id as reply") << 3;
}

void TestTables::missingEntries()
{
    QFETCH(int, code);
    QVERIFY(CommandTable::replyTypes(code).isEmpty());
    QCOMPARE(CommandTable::replyMinimumCount(code), 0);
    QVERIFY(CommandTable::replyPropertyNames(code).isEmpty());
    QCOMPARE(EventTable::propertyNames(code).isEmpty(), code > 3 || code < 0);
}

void TestTables::replyTypesRegistered()
{
    // Registered at load time: a response decodes a STATE reply without any
    // call from us.
    const QByteArray block = Semtra::Wire::encodeParams(
        {1u, 2u, QStringLiteral("3 1 1 0")}, CommandTable::replyTypes(0x1100));
    auto* request = new Request(1, 12, 0x1100, QVariant(), Velmora::Protocol::Tag);
    Response response(request);
    request->setParent(&response);
    response.finish(Semtra::Wire::encodeReply(0, 0, 0x1100, block));
    QCOMPARE(response.data(), (QVariantList{1u, 2u, QStringLiteral("3 1 1 0")}));
    for (int code : CommandTable::instance().replyName.keys())
        QCOMPARE(Semtra::ReplyTypes::types(Velmora::Protocol::Tag, code), CommandTable::replyTypes(code));
}

void TestTables::resultCodes_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("present");
    // Around the edges of the connection's codes and the service's.
    for (int code : {-1, 1, 4607, 4622})
        QTest::addRow("absent %d", code) << code << false;
    for (int code : {0, 2, 4608, 4621})
        QTest::addRow("present %d", code) << code << true;
}

void TestTables::resultCodes()
{
    QFETCH(int, code);
    QFETCH(bool, present);
    QCOMPARE(!ResultCodeTable::symbolOf(code).isEmpty(), present);
    QCOMPARE(!ResultCodeTable::textOf(code).isEmpty(), present);
    if (present)
        QCOMPARE(ResultCodeTable::symbolOf(code).startsWith('>'), code >= 4608);
}

void TestTables::splitCells_data()
{
    QTest::addColumn<QByteArray>("cell");
    QTest::addColumn<QStringList>("parts");
    QTest::newRow("empty cell") << QByteArray("") << QStringList();
    QTest::newRow("one") << QByteArray("uint") << QStringList{"uint"};
    QTest::newRow("empty middle kept") << QByteArray("a||b") << QStringList{"a", "", "b"};
    QTest::newRow("empty end kept") << QByteArray("a|") << QStringList{"a", ""};
    QTest::newRow("utf-8") << QByteArray("таймау|контентт") << QStringList{"таймау", "контентт"};
}

void TestTables::splitCells()
{
    QFETCH(QByteArray, cell);
    QFETCH(QStringList, parts);
    QCOMPARE(Velmora::Protocol::splitList(cell.constData()), parts);
    // An empty element names no type and must not pass for one.
    const QList<QVariant::Type> types = Velmora::Protocol::splitTypes(cell.constData());
    QCOMPARE(types.size(), parts.size());
    for (int i = 0; i < parts.size(); ++i)
        QCOMPARE(types.at(i) == QVariant::Invalid, parts.at(i) != "uint");
}

QTEST_GUILESS_MAIN(TestTables)
#include "tst_tables.moc"
