#include <QApplication>
#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QJsonObject>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QPluginLoader>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "ModulePlugin.h"
#include "OffscreenLeaks.h"
#include "Velmora/plugin/ModuleInterface.h"

namespace {

QString pluginPath()
{
    return QStringLiteral(VELMORA_PLUGIN_DIR "/libVelmora.so");
}

QString example(const char* name)
{
    return QStringLiteral(VELMORA_EXAMPLES "/") + QLatin1String(name);
}

// Own methods and properties of a meta-object in index order, as "kind signature".
QStringList ownMembers(const QMetaObject* meta)
{
    static const char* const kinds[] = {"method", "signal", "slot", "constructor"};
    QStringList result;
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        const QString access = method.access() == QMetaMethod::Private ? QStringLiteral("private ") : QString();
        result << access + QLatin1String(kinds[method.methodType()]) + QLatin1Char(' ')
                + QLatin1String(method.methodSignature());
    }
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        result << QLatin1String(property.isWritable() ? "writable property " : "property ")
                + QLatin1String(property.name());
    }
    return result;
}

QObject* loadZone(QObject* root, const QString& fileName)
{
    return VelmoraHost::loadZone(root, fileName).zone;
}

// Areas are reached as a host reaches them: through the zone's children.
QObjectList areasOf(QObject* zone)
{
    QObjectList areas;
    for (QObject* container : zone->children()) {
        for (QObject* child : container->children()) {
            if (child->inherits("Velmora::Area"))
                areas << child;
        }
    }
    return areas;
}

} // namespace

class PluginTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void rootObject();
    void interfaces();
    void loadTwoFiles();
    void visibility();
    void badFiles_data();
    void badFiles();
    void quitWithZonesLoaded_data();
    void quitWithZonesLoaded();

private:
    VelmoraHost::ModulePlugin m_plugin;
    QObject* m_root = nullptr;
};

void PluginTest::initTestCase()
{
    // As a host loads it: the interface identifier and all the hosts call, checked.
    QString error;
    QVERIFY2(m_plugin.load(pluginPath(), &error), qPrintable(error));
    m_root = m_plugin.root();
}

void PluginTest::cleanup()
{
    // Zones die with the test, not at library unload.
    qDeleteAll(m_root->children());
    m_root->setProperty("visible", true);
}

void PluginTest::rootObject()
{
    const QJsonObject meta = m_plugin.metaData();
    QCOMPARE(meta.value(QStringLiteral("IID")).toString(), QStringLiteral(VELMORA_MODULE_IID));
    QVERIFY(meta.value(QStringLiteral("IID")).toString().endsWith(QLatin1String("road.VelmoraModule")));
    QCOMPARE(meta.value(QStringLiteral("className")).toString(), QStringLiteral("Plugin"));
    QVERIFY(meta.value(QStringLiteral("MetaData")).toObject().isEmpty());

    // One root object per process, whoever asks.
    QPluginLoader second(pluginPath());
    QCOMPARE(second.instance(), m_root);
    QCOMPARE(m_root->metaObject()->className(), "Velmora::Plugin");
    QCOMPARE(m_root->metaObject()->superClass(), &QObject::staticMetaObject);
    QVERIFY(!m_root->parent());
    QCOMPARE(m_root->property("moduleVersion").toString(), QStringLiteral("2.3.38"));
}

// Hosts built against the module's interface rely on these declarations, in
// this order.
void PluginTest::interfaces()
{
    QCOMPARE(ownMembers(m_root->metaObject()),
             (QStringList{"signal zoneEdited(QString)", "signal zoneLoaded(QObject*)", "slot setVisible(bool)",
                          "private slot zoneEditComplete(int)", "method load(QString)",
                          "method editZone(QString,QObject*)", "method editZone(QString)",
                          "property moduleVersion", "writable property visible"}));
    QObject* zone = loadZone(m_root, example("north.xtsc"));
    QVERIFY(zone);
    QCOMPARE(ownMembers(zone->metaObject()),
             (QStringList{"signal request(const Request*)", "signal responseFinished(const Response*)",
                          "signal notification(const Notification*)", "signal connected(bool)",
                          "signal stateChanged(const QObject*)", "signal request(const QObject*,QObject*)",
                          "signal responseFinished(const QObject*,QObject*)",
                          "signal notification(const QObject*,QObject*)", "signal areaStateChanged(const QObject*)",
                          "slot message(Semtra::Command::Message)", "slot hashReaded()", "method load(QString)",
                          "method modelData(int,int)", "method setScene(QGraphicsScene*)", "method refresh()",
                          "method setConnection(QObject*)", "method sendCommand(QVariant,QVariant)",
                          "method sendCommand(QVariant)", "method controller(uint)", "method controllers()",
                          "method area(uint)", "method areas()", "method strategy(uint)", "method strategies()",
                          "property connection", "property isConnected", "property controlSource",
                          "property currentStrategy", "property connectionTime", "property lastConnectionEventTime"}));
}

void PluginTest::loadTwoFiles()
{
    QSignalSpy loaded(m_root, SIGNAL(zoneLoaded(QObject*)));
    QObject* north = loadZone(m_root, example("north.xtsc"));
    QObject* district = loadZone(m_root, example("zarechny.xtsc"));
    QVERIFY(north && district && north != district);
    QCOMPARE(loaded.count(), 2);
    QCOMPARE(loaded.at(0).at(0).value<QObject*>(), north);
    QCOMPARE(loaded.at(1).at(0).value<QObject*>(), district);
    QCOMPARE(m_root->children(), (QObjectList{north, district}));
    QCOMPARE(north->property("id").toInt(), 7);
    QCOMPARE(district->property("id").toInt(), 12);
    QCOMPARE(north->property("localHash").toByteArray().size(), 16);
    QVERIFY(north->property("localHash") != district->property("localHash"));
}

void PluginTest::visibility()
{
    QObject* north = loadZone(m_root, example("north.xtsc"));
    QObject* district = loadZone(m_root, example("zarechny.xtsc"));
    QVERIFY(north && district);
    QGraphicsScene scene;
    QMetaObject::invokeMethod(north, "setScene", Q_ARG(QGraphicsScene*, &scene));
    QMetaObject::invokeMethod(district, "setScene", Q_ARG(QGraphicsScene*, &scene));
    QObjectList all = QObjectList{north, district} + areasOf(north) + areasOf(district);
    QCOMPARE(all.size(), 2 + 9);
    auto visible = [&] {
        QStringList seen;
        for (QObject* object : qAsConst(all))
            seen << QString::number(object->property("visible").toBool());
        return seen.join(QString());
    };

    m_root->setProperty("visible", false);
    QCOMPARE(m_root->property("visible").toBool(), false);
    QCOMPARE(visible(), QString(11, '0'));
    // A zone loaded meanwhile takes the common visibility.
    QObject* later = loadZone(m_root, example("zarechny.xtsc"));
    QVERIFY(later);
    all += QObjectList{later} + areasOf(later);
    QCOMPARE(visible(), QString(20, '0'));

    QMetaObject::invokeMethod(m_root, "setVisible", Q_ARG(bool, true));
    QCOMPARE(visible(), QString(20, '1'));
    QMetaObject::invokeMethod(north, "setScene", Q_ARG(QGraphicsScene*, nullptr));
    QMetaObject::invokeMethod(district, "setScene", Q_ARG(QGraphicsScene*, nullptr));
}

void PluginTest::badFiles_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing") << QStringLiteral(VELMORA_TEST_DATA "/no-such-file.xtsc")
                             << QStringLiteral("Error opening file");
    QTest::newRow("syntax") << QStringLiteral(VELMORA_TEST_DATA "/model/syntax-error.xtsc")
                            << QStringLiteral("Error processing file");
    QTest::newRow("no zone id") << QStringLiteral(VELMORA_TEST_DATA "/model/zone-without-id.xtsc")
                                << QStringLiteral("Missing attribute id");
}

void PluginTest::badFiles()
{
    QFETCH(QString, fileName);
    QFETCH(QString, message);
    QSignalSpy loaded(m_root, SIGNAL(zoneLoaded(QObject*)));
    const VelmoraHost::ZoneLoad load = VelmoraHost::loadZone(m_root, fileName, VelmoraHost::WarningCapture::Swallow);
    QCOMPARE(load.zone, nullptr);
    QCOMPARE(loaded.count(), 0);
    // The module says why only in its log; the host hands that on as the reason.
    QVERIFY2(load.error.contains(message), qPrintable(load.error));
    QVERIFY(m_root->children().isEmpty());
}

void PluginTest::quitWithZonesLoaded_data()
{
    QTest::addColumn<QString>("scene");
    QTest::newRow("no scene") << "none";
    QTest::newRow("scene that outlives main") << "static-scene";
    QTest::newRow("scene and view on main's stack") << "stack-view";
}

void PluginTest::quitWithZonesLoaded()
{
    QFETCH(QString, scene);
    QProcess host;
    host.start(QStringLiteral(VELMORA_BIN_DIR "/quit_host"),
               {pluginPath(), example("zarechny.xtsc"), scene});
    QVERIFY(host.waitForFinished(60000));
    const QByteArray errors = host.readAllStandardError();
    QVERIFY2(host.exitStatus() == QProcess::NormalExit && host.exitCode() == 0, errors.constData());
}

QTEST_MAIN(PluginTest)
#include "tst_plugin.moc"
