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

#include "MessageCapture.h"
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

// Own methods of a meta-object in index order, as "kind signature".
QStringList ownMethods(const QMetaObject* meta)
{
    static const char* const kinds[] = {"method", "signal", "slot", "constructor"};
    QStringList result;
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        result << QStringLiteral("%1 %2").arg(QLatin1String(kinds[method.methodType()]),
                                              QLatin1String(method.methodSignature()));
    }
    return result;
}

QObject* loadZone(QObject* root, const QString& fileName)
{
    QObject* zone = nullptr;
    const bool invoked = QMetaObject::invokeMethod(root, "load", Q_RETURN_ARG(QObject*, zone),
                                                   Q_ARG(QString, fileName));
    return invoked ? zone : nullptr;
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
    void metaData();
    void singleInstance();
    void interfaceOrder();
    void zoneInterface();
    void loadTwoFiles();
    void hideAndShow();
    void loadWhileHidden();
    void badFiles_data();
    void badFiles();
    void quitWithZonesLoaded_data();
    void quitWithZonesLoaded();

private:
    QPluginLoader m_loader;
    QObject* m_root = nullptr;
};

void PluginTest::initTestCase()
{
    m_loader.setFileName(pluginPath());
    m_root = m_loader.instance();
    QVERIFY2(m_root, qPrintable(m_loader.errorString()));
}

void PluginTest::cleanup()
{
    // Zones die with the test, not at library unload.
    qDeleteAll(m_root->children());
    m_root->setProperty("visible", true);
}

void PluginTest::metaData()
{
    const QJsonObject meta = m_loader.metaData();
    QCOMPARE(meta.value(QStringLiteral("IID")).toString(), QStringLiteral(VELMORA_MODULE_IID));
    QVERIFY(meta.value(QStringLiteral("IID")).toString().endsWith(QLatin1String("road.VelmoraModule")));
    QCOMPARE(meta.value(QStringLiteral("className")).toString(), QStringLiteral("Plugin"));
    QVERIFY(meta.value(QStringLiteral("MetaData")).toObject().isEmpty());
}

void PluginTest::singleInstance()
{
    QCOMPARE(m_loader.instance(), m_root);
    QPluginLoader second(pluginPath());
    QCOMPARE(second.instance(), m_root);
    QCOMPARE(m_root->metaObject()->className(), "Velmora::Plugin");
    QCOMPARE(m_root->metaObject()->superClass(), &QObject::staticMetaObject);
    QVERIFY(!m_root->parent());
}

void PluginTest::interfaceOrder()
{
    const QMetaObject* meta = m_root->metaObject();
    const QStringList expected = {
        QStringLiteral("signal zoneEdited(QString)"),
        QStringLiteral("signal zoneLoaded(QObject*)"),
        QStringLiteral("slot setVisible(bool)"),
        QStringLiteral("slot zoneEditComplete(int)"),
        QStringLiteral("method load(QString)"),
        QStringLiteral("method editZone(QString,QObject*)"),
        QStringLiteral("method editZone(QString)"),
    };
    QCOMPARE(ownMethods(meta), expected);
    QCOMPARE(meta->method(meta->methodOffset() + 3).access(), QMetaMethod::Private);

    QCOMPARE(meta->propertyCount() - meta->propertyOffset(), 2);
    const QMetaProperty version = meta->property(meta->propertyOffset());
    QCOMPARE(version.name(), "moduleVersion");
    QVERIFY(!version.isWritable());
    const QMetaProperty visible = meta->property(meta->propertyOffset() + 1);
    QCOMPARE(visible.name(), "visible");
    QVERIFY(visible.isWritable());
    QCOMPARE(m_root->property("moduleVersion").toString(), QStringLiteral("2.3.38"));
}

void PluginTest::zoneInterface()
{
    QObject* zone = loadZone(m_root, example("north.xtsc"));
    QVERIFY(zone);
    const QStringList methods = ownMethods(zone->metaObject());
    const QStringList expected = {
        QStringLiteral("signal request(const Request*)"),
        QStringLiteral("signal responseFinished(const Response*)"),
        QStringLiteral("signal notification(const Notification*)"),
        QStringLiteral("signal connected(bool)"),
        QStringLiteral("signal stateChanged(const QObject*)"),
        QStringLiteral("signal request(const QObject*,QObject*)"),
        QStringLiteral("signal responseFinished(const QObject*,QObject*)"),
        QStringLiteral("signal notification(const QObject*,QObject*)"),
        QStringLiteral("signal areaStateChanged(const QObject*)"),
        QStringLiteral("slot message(Semtra::Command::Message)"),
        QStringLiteral("slot hashReaded()"),
        QStringLiteral("method load(QString)"),
        QStringLiteral("method modelData(int,int)"),
        QStringLiteral("method setScene(QGraphicsScene*)"),
        QStringLiteral("method refresh()"),
        QStringLiteral("method setConnection(QObject*)"),
        QStringLiteral("method sendCommand(QVariant,QVariant)"),
        QStringLiteral("method sendCommand(QVariant)"),
        QStringLiteral("method controller(uint)"),
        QStringLiteral("method controllers()"),
        QStringLiteral("method area(uint)"),
        QStringLiteral("method areas()"),
        QStringLiteral("method strategy(uint)"),
        QStringLiteral("method strategies()"),
    };
    QCOMPARE(methods, expected);
    QStringList properties;
    const QMetaObject* meta = zone->metaObject();
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i)
        properties << QLatin1String(meta->property(i).name());
    QCOMPARE(properties, (QStringList{"connection", "isConnected", "controlSource", "currentStrategy",
                                      "connectionTime", "lastConnectionEventTime"}));
}

void PluginTest::loadTwoFiles()
{
    QSignalSpy loaded(m_root, SIGNAL(zoneLoaded(QObject*)));
    QObject* north = loadZone(m_root, example("north.xtsc"));
    QObject* district = loadZone(m_root, example("zarechny.xtsc"));
    QVERIFY(north && district);
    QVERIFY(north != district);
    QCOMPARE(loaded.count(), 2);
    QCOMPARE(loaded.at(0).at(0).value<QObject*>(), north);
    QCOMPARE(loaded.at(1).at(0).value<QObject*>(), district);
    QCOMPARE(north->parent(), m_root);
    QCOMPARE(district->parent(), m_root);
    QCOMPARE(north->property("id").toInt(), 7);
    QCOMPARE(district->property("id").toInt(), 12);
    QCOMPARE(north->property("localHash").toByteArray().size(), 16);
    QVERIFY(north->property("localHash") != district->property("localHash"));
}

void PluginTest::hideAndShow()
{
    QObject* north = loadZone(m_root, example("north.xtsc"));
    QObject* district = loadZone(m_root, example("zarechny.xtsc"));
    QVERIFY(north && district);
    QGraphicsScene scene;
    QMetaObject::invokeMethod(north, "setScene", Q_ARG(QGraphicsScene*, &scene));
    QMetaObject::invokeMethod(district, "setScene", Q_ARG(QGraphicsScene*, &scene));
    const QObjectList areas = areasOf(north) + areasOf(district);
    QCOMPARE(areas.size(), 9);

    m_root->setProperty("visible", false);
    QCOMPARE(m_root->property("visible").toBool(), false);
    for (QObject* object : QObjectList{north, district} + areas)
        QVERIFY2(!object->property("visible").toBool(), object->metaObject()->className());

    QMetaObject::invokeMethod(m_root, "setVisible", Q_ARG(bool, true));
    for (QObject* object : QObjectList{north, district} + areas)
        QVERIFY(object->property("visible").toBool());
    QMetaObject::invokeMethod(north, "setScene", Q_ARG(QGraphicsScene*, nullptr));
    QMetaObject::invokeMethod(district, "setScene", Q_ARG(QGraphicsScene*, nullptr));
}

void PluginTest::loadWhileHidden()
{
    QVERIFY(loadZone(m_root, example("north.xtsc")));
    m_root->setProperty("visible", false);
    QObject* later = loadZone(m_root, example("zarechny.xtsc"));
    QVERIFY(later);
    QVERIFY(!later->property("visible").toBool());
    for (QObject* area : areasOf(later))
        QVERIFY(!area->property("visible").toBool());
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
    MessageCapture capture;
    QCOMPARE(loadZone(m_root, fileName), nullptr);
    QCOMPARE(loaded.count(), 0);
    QVERIFY2(capture.contains(message), qPrintable(capture.messages().join('\n')));
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
