#include "Arguments.h"
#include "MessageCapture.h"
#include "ModulePlugin.h"
#include "QtOwnLeaks.h"

#include <QtTest>

class Response;

using namespace VelmoraHost;

// A zone of some other module: not the class, and a sendCommand taking one
// argument where hosts send two.
class ForeignZone : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    Q_INVOKABLE Response* sendCommand(QVariant) { return nullptr; }
};

// A root object whose load() answers as told: a foreign zone, or nothing,
// with or without a warning.
class FakeRoot : public QObject
{
    Q_OBJECT
public:
    QString answer; // "foreign", "complaining", else silent
    QPointer<QObject> made;

    Q_INVOKABLE QObject* load(QString fileName)
    {
        if (answer == QLatin1String("complaining"))
            qWarning("Error opening file %s", qPrintable(fileName));
        if (answer == QLatin1String("foreign"))
            made = new ForeignZone(this);
        return made;
    }
};

namespace {

const QString modulePath = QStringLiteral(VELMORA_PLUGIN_DIR "/libVelmora.so");
const QString incompletePath = QStringLiteral(VELMORA_INCOMPLETE_MODULE);

// Records what reaches the handler that was there before any capture.
QStringList* reachedOriginal = nullptr;
void originalHandler(QtMsgType, const QMessageLogContext&, const QString& message)
{
    if (reachedOriginal)
        reachedOriginal->append(message);
}

} // namespace

class TestHostPlugin : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(m_module.load(modulePath, &error), qPrintable(error));
        QVERIFY2(QFile::exists(incompletePath), qPrintable(incompletePath));
    }

    void loadPlugin_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("workingFolder");
        // What the refusal must say, and what it must not (members the library has); nothing said: it loads.
        QTest::addColumn<QStringList>("said");
        QTest::addColumn<QStringList>("unsaid");
        const QFileInfo module(modulePath);
        const QString qtPlugin =
            QLibraryInfo::location(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms/libqoffscreen.so");
        const QString missing = QDir::tempPath() + QStringLiteral("/nowhere/libVelmora.so");
        const auto refused = [](const char* name, const QString& path, const QStringList& said,
                                const QStringList& unsaid = {}) {
            QTest::newRow(name) << path << QString() << said << unsaid;
        };

        // The loader alone would look for it in Qt's library paths only.
        QTest::newRow("the module, relative to the working folder")
            << QStringLiteral("plugins/") + module.fileName() << module.dir().absoluteFilePath(QStringLiteral(".."))
            << QStringList() << QStringList();
        refused("missing", missing, {missing, "not a Qt plug-in"});
        refused("another interface", qtPlugin,
                {qtPlugin, "QPlatformIntegrationFactoryInterface", "not a Velmora module"});
        refused("the interface, not the surface", incompletePath,
                {incompletePath, "signal zoneLoaded(QObject*): missing",
                 "writable property visible (bool): cannot be written", "method editZone(QString): returns int",
                 "method load(QString) returning QObject*: returns int", "method setVisible(bool): is a signal",
                 "property moduleVersion (QString): is of type int"},
                {"editZone(QString,QObject*)", "zoneEdited"});
    }

    void loadPlugin()
    {
        QFETCH(QString, path);
        QFETCH(QString, workingFolder);
        QFETCH(QStringList, said);
        QFETCH(QStringList, unsaid);
        const bool loads = said.isEmpty();
        const QString before = QDir::currentPath();
        if (!workingFolder.isEmpty())
            QVERIFY(QDir::setCurrent(workingFolder));
        ModulePlugin plugin;
        QString error;
        const bool loaded = plugin.load(path, &error);
        QDir::setCurrent(before);

        QVERIFY2(loaded == loads, qPrintable(error));
        if (loads) {
            // One root object per process, whichever way the library was named.
            QCOMPARE(plugin.root(), m_module.root());
            QCOMPARE(QFileInfo(plugin.fileName()).canonicalFilePath(), QFileInfo(modulePath).canonicalFilePath());
            return;
        }
        QVERIFY(!plugin.root());
        for (const QString& text : said)
            QVERIFY2(error.contains(text), qPrintable(error));
        for (const QString& text : unsaid)
            QVERIFY2(!error.contains(text), qPrintable(error));
    }

    void loadZone_data()
    {
        QTest::addColumn<QString>("root"); // how the fake root answers; "none": no root at all
        QTest::addColumn<QStringList>("said"); // in the error
        // What the module itself answers is its plug-in test's.
        QTest::newRow("refused with a warning") << "complaining" << QStringList{"Error opening file z.xtsc"};
        QTest::newRow("refused without a word") << "silent" << QStringList{"The module refused z.xtsc"};
        QTest::newRow("a zone hosts cannot use")
            << "foreign" << QStringList{"z.xtsc", "class Velmora::Zone", "sendCommand(QVariant,QVariant)"};
        QTest::newRow("no root object") << "none" << QStringList{"not loaded"};
    }

    // A file refused, whichever way: the reason said, nothing left behind.
    void loadZone()
    {
        QFETCH(QString, root);
        QFETCH(QStringList, said);
        FakeRoot fake;
        fake.answer = root;
        MessageCapture outer;
        const ZoneLoad loaded =
            VelmoraHost::loadZone(root == QLatin1String("none") ? nullptr : &fake, "z.xtsc", WarningCapture::Swallow);
        QVERIFY(!loaded.zone);
        for (const QString& text : said)
            QVERIFY2(loaded.error.contains(text), qPrintable(loaded.error));
        // The zone refused for its shape is gone again, not left to the module.
        QVERIFY(!fake.made);
        // The module's complaints are the load's; the capture around it still hears them.
        QCOMPARE(loaded.warnings, outer.messages());
    }

    // A capture inside another: both collect, the inner one swallows what it
    // heard, debug chatter is never collected, and the handler from before is back after.
    void warningCapture()
    {
        QStringList original;
        reachedOriginal = &original;
        const QtMessageHandler before = qInstallMessageHandler(originalHandler);
        QStringList outerSaw;
        QStringList innerSaw;
        {
            WarningCapture outer{WarningCapture::PassOn};
            qWarning("first");
            {
                WarningCapture inner{WarningCapture::Swallow};
                qDebug("chatter");
                qCritical("second");
                innerSaw = inner.messages();
            }
            qWarning("third");
            outerSaw = outer.messages();
        }
        qWarning("after");
        qInstallMessageHandler(before);
        reachedOriginal = nullptr;
        QCOMPARE(innerSaw, QStringList{"second"});
        QCOMPARE(outerSaw, (QStringList{"first", "second", "third"}));
        QCOMPARE(original, (QStringList{"first", "third", "after"}));
    }

    void joinOptionValues_data()
    {
        QTest::addColumn<QByteArrayList>("arguments");
        QTest::addColumn<QByteArrayList>("expected");
        QTest::addColumn<QByteArray>("missingValue");
        const auto row = [](const char* name, const char* arguments, const char* joined, const char* missing = "") {
            const auto words = [](const char* text) {
                return QByteArrayList{"velmora-workstation"} + QByteArray(text).split(' ');
            };
            QTest::newRow(name) << words(arguments) << words(joined ? joined : arguments) << QByteArray(missing);
        };
        // A value that reads like an option stays a value; path bytes are kept as they came.
        row("values joined", "--screenshot --plugin --service=h:1 --plugin /m\xfc/lib.so --quit-after 5 z.xtsc",
            "--screenshot=--plugin --service=h:1 --plugin=/m\xfc/lib.so --quit-after=5 z.xtsc");
        row("flags, files and Qt's options pass",
            "--help --verbose -qwindowgeometry 800x600 -plugin evdevtouch a.xtsc", nullptr);
        row("option without its value", "--plugin p a.xtsc --storage", "--plugin=p a.xtsc --storage", "storage");
    }

    void joinOptionValues()
    {
        QFETCH(QByteArrayList, arguments);
        QFETCH(QByteArrayList, expected);
        QFETCH(QByteArray, missingValue);
        // As a program declares them: options with a value, and a flag.
        QList<QCommandLineOption> options{{QStringLiteral("verbose"), QString()}};
        for (const char* name : {"plugin", "service", "storage", "screenshot", "quit-after", "dump-state"})
            options.append({QString::fromLatin1(name), QString(), QStringLiteral("value")});
        QByteArray missing = "stale";
        QCOMPARE(Arguments::joinOptionValues(arguments, Arguments::valueOptionNames(options), &missing), expected);
        QCOMPARE(missing, missingValue);

        // What QApplication gets: the same words, null-terminated.
        std::vector<char*> argv;
        for (QByteArray& argument : arguments)
            argv.push_back(argument.data());
        ApplicationArguments application(int(argv.size()), argv.data(), options);
        QCOMPARE(application.missingValue(), missingValue);
        QByteArrayList seen;
        for (int i = 0; i < application.argc(); ++i)
            seen << QByteArray(application.argv()[i]);
        QCOMPARE(seen, expected);
        QVERIFY(application.argv()[application.argc()] == nullptr);
    }

private:
    ModulePlugin m_module;
};

QTEST_MAIN(TestHostPlugin)
#include "tst_hostplugin.moc"
