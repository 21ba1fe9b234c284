#include <QtTest>
#include <QtWidgets>

#include "ModulePlugin.h"
#include "QtOwnLeaks.h"

namespace {

const QString pluginPath = VELMORA_PLUGIN_DIR "/libVelmora.so";
const QString north = VELMORA_EXAMPLES "/north.xtsc";
const QString district = VELMORA_EXAMPLES "/zarechny.xtsc";

// Own methods and properties in index order, as "kind signature".
QStringList ownMembers(const QMetaObject* meta)
{
    static const char* const kinds[] = {"method", "signal", "slot", "constructor"};
    QStringList result;
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        result << QString(method.access() == QMetaMethod::Private ? "private " : "") + kinds[method.methodType()] + ' '
                      + method.methodSignature();
    }
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i)
        result << QString(meta->property(i).isWritable() ? "writable property " : "property ") + meta->property(i).name();
    return result;
}

} // namespace

// The built module as hosts reach it: through the hosts' loader and the meta-object system only.
class PluginTest : public QObject
{
    Q_OBJECT

    VelmoraHost::ModulePlugin m_plugin;
    QObject* m_root = nullptr;

    QObject* load(const QString& fileName) { return VelmoraHost::loadZone(m_root, fileName).zone; }

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(m_plugin.load(pluginPath, &error), qPrintable(error));
        m_root = m_plugin.root();
    }
    void cleanup()
    {
        // Zones die with the test, not at library unload.
        qDeleteAll(m_root->children());
    }

    // Hosts built against the module's interface rely on these declarations, in this order.
    void interfaces()
    {
        QCOMPARE(m_root->property("moduleVersion").toString(), QStringLiteral("2.3.38"));
        QCOMPARE(ownMembers(m_root->metaObject()),
                 (QStringList{"signal zoneEdited(QString)", "signal zoneLoaded(QObject*)", "slot setVisible(bool)",
                              "private slot zoneEditComplete(int)", "method load(QString)",
                              "method editZone(QString,QObject*)", "method editZone(QString)",
                              "property moduleVersion", "writable property visible"}));
        // Reading ahead is reached by name beside them, leaving them as they are.
        const QObject* ahead = m_root->property("loadAhead").value<QObject*>();
        QVERIFY(ahead);
        QCOMPARE(ownMembers(ahead->metaObject()), QStringList{"method prepare(QString,QObject*,QString)"});
        QObject* zone = load(north);
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

    // Each load is announced and kept as a child of its own. A refused file is not announced and leaves nothing
    // behind; the module says why only in its log, which the host hands on as the reason.
    void loads()
    {
        QSignalSpy loaded(m_root, SIGNAL(zoneLoaded(QObject*)));
        QObject* first = load(north);
        QObject* second = load(district);
        const auto refused = VelmoraHost::loadZone(m_root, VELMORA_TEST_DATA "/no-such-file.xtsc",
                                                   VelmoraHost::WarningCapture::Swallow);
        QVERIFY(first && second && first != second && !refused.zone);
        QVERIFY2(refused.error.contains("Error opening file"), qPrintable(refused.error));
        QCOMPARE(loaded, (QList<QVariantList>{{QVariant::fromValue(first)}, {QVariant::fromValue(second)}}));
        QCOMPARE(m_root->children(), (QObjectList{first, second}));
    }

    // Hidden zones and areas stay hidden, a zone loaded meanwhile too, until all are shown again.
    void visibility()
    {
        QGraphicsScene scene;
        QObjectList all;
        const auto loadShown = [&](const QString& file) {
            QObject* zone = load(file);
            QMetaObject::invokeMethod(zone, "setScene", Q_ARG(QGraphicsScene*, &scene));
            all << zone;
            for (QObject* container : zone->children())
                for (QObject* child : container->children())
                    if (child->inherits("Velmora::Area"))
                        all << child;
        };
        const auto visible = [&all] {
            QString seen;
            for (QObject* object : qAsConst(all))
                seen += object->property("visible").toBool() ? '1' : '0';
            return seen;
        };
        loadShown(north);
        m_root->setProperty("visible", false);
        loadShown(district);
        QCOMPARE(visible(), QString(all.size(), '0'));
        QVERIFY(all.size() > 2 && QMetaObject::invokeMethod(m_root, "setVisible", Q_ARG(bool, true)));
        QCOMPARE(visible(), QString(all.size(), '1'));
        qDeleteAll(m_root->children()); // before their scene
    }

    // A host that leaves its zones to the module at exit, whatever their scenes.
    void quitWithZonesLoaded()
    {
        QProcess host;
        host.start(VELMORA_BIN_DIR "/quit_host", {pluginPath, district});
        QVERIFY(host.waitForFinished(60000));
        QVERIFY2(host.exitStatus() == QProcess::NormalExit && host.exitCode() == 0, host.readAllStandardError().constData());
    }

    // A host that unloads the module at once after closing zone editors, their documents perhaps still being freed.
    void unloadAfterEditorsClosed()
    {
        QTemporaryDir folder;
        QProcess host;
        host.start(VELMORA_BIN_DIR "/edit_host", {pluginPath, folder.path()});
        QVERIFY(host.waitForFinished(120000));
        QVERIFY2(host.exitStatus() == QProcess::NormalExit && host.exitCode() == 0, host.readAllStandardError().constData());
    }
};

QTEST_MAIN(PluginTest)
#include "tst_plugin.moc"
