// An honest link status, against the real plug-in: "linked" only once the
// service has answered the zone's link-up requests; a service that takes the
// connection and stays silent is "not answering" after the timeout, with the
// reason; the properties and the hash banner follow the zone's signals; the
// Connect dialog says why an address does not work.
#include "ConnectDialog.h"
#include "LinkMonitor.h"
#include "LogDock.h"
#include "MainWindow.h"
#include "ModuleHost.h"
#include "ObjectTreeDock.h"
#include "ObjectTreeModel.h"
#include "OffscreenLeaks.h"
#include "PropertiesDock.h"
#include "ServiceProcess.h"

#include "Velmora/format/Protocol.h"
#include "connection/TcpConnection.h"
#include "semtra/Message.h"
#include "semtra/Wire.h"

#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "DomText.h"

namespace {

const QString pluginPath = QStringLiteral(VELMORA_PLUGIN_DIR "/libVelmora.so");
const QString northFile = QStringLiteral(VELMORA_EXAMPLES "/north.xtsc");

// A service that takes connections and then says no more than it is told.
struct SilentService
{
    SilentService() { server.listen(QHostAddress::LocalHost, 0); }
    // Zone 7 is there, but nothing it asks gets an answer.
    void announce()
    {
        while (QTcpSocket* socket = server.nextPendingConnection())
            socket->write(Semtra::Wire::encodeFrame(Semtra::Command::Message{
                0, 7, Semtra::Command::Connected, Velmora::Protocol::Tag, QByteArray(8, '\0')}));
    }
    QTcpServer server;
};

quint16 closedPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

} // namespace

class TestLinkStatus : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.filePath(QStringLiteral("settings")));
        QVERIFY2(ServiceProcess::isBuilt(), qPrintable(ServiceProcess::program()));
        QVERIFY(writeFile(m_dir.filePath(QStringLiteral("other.xtsc")),
                          readFile(northFile).replace("name=\"Centre\"", "name=\"Centre renamed\"")));
    }

    void statusTransitions_data()
    {
        QTest::addColumn<QString>("service");
        QTest::addColumn<int>("answerTimeout");
        QTest::addColumn<QList<int>>("statuses"); // LinkMonitor::Status, in the order they come
        QTest::addColumn<QString>("midway"); // the reason for the third, when the service then changes
        QTest::addColumn<QString>("reason"); // for the last one
        using S = LinkMonitor;
        // The simulator answers well within its timeout, however slow the machine.
        const int ample = 20000;
        QTest::newRow("no service") << "none" << ample << QList<int>{S::NotConnected} << "" << "No service chosen";
        QTest::newRow("nothing listening") << "refused" << ample << QList<int>{S::NotConnected, S::Connecting} << ""
                                           << "(last attempt: Connection refused)";
        QTest::newRow("takes the connection, announces late, answers nothing")
            << "silent" << 100
            << QList<int>{S::NotConnected, S::Connecting, S::NotAnswering, S::Connecting, S::NotAnswering}
            << "accepted the connection but has not announced zone 7 within 0.1 s"
            << "announced zone 7 but has not answered its link-up requests within 0.1 s";
        QTest::newRow("the simulator, then it goes")
            << "simulator" << ample << QList<int>{S::NotConnected, S::Connecting, S::Linked, S::Connecting}
            << "Linked to the service at 127.0.0.1:" << "(last attempt: Connection refused)";
        QTest::newRow("the simulator with another configuration")
            << "other" << ample << QList<int>{S::NotConnected, S::Connecting, S::HashMismatch} << "" << "hash mismatch";
    }

    void statusTransitions()
    {
        QFETCH(QString, service);
        QFETCH(int, answerTimeout);
        QFETCH(QList<int>, statuses);
        QFETCH(QString, midway);
        QFETCH(QString, reason);
        ModuleHost host;
        QString error;
        QVERIFY2(host.loadPlugin(pluginPath, &error), qPrintable(error));
        auto window = std::make_unique<MainWindow>(&host);
        window->setPersistSettings(false);
        // Quick retries: a status that flapped on each attempt would show while the test watches.
        auto* connection = window->findChild<Semtra::TcpConnection*>();
        QVERIFY(connection);
        connection->setFirstRetryDelay(10);
        connection->setMaxRetryDelay(20);
        LinkMonitor* links = window->linkMonitor();
        links->setAnswerTimeout(answerTimeout);
        QList<int> seen;
        connect(links, &LinkMonitor::statusChanged, this,
                [&seen](QObject*, LinkMonitor::Status status) { seen.append(int(status)); });
        QVERIFY(window->openZone(northFile));
        QObject* zone = host.zones().value(0);
        auto* properties = window->findChild<PropertiesDock*>();
        auto* banner = window->findChild<QLabel*>(QStringLiteral("hashStatus"));
        QVERIFY(zone && properties && banner);
        auto value = [properties](const char* name) { return properties->shownValue(QLatin1String(name)); };
        QCOMPARE(value("isConnected"), QStringLiteral("no"));

        std::unique_ptr<SilentService> silent;
        ServiceProcess simulator;
        quint16 port = 0;
        if (service == QLatin1String("refused")) {
            port = closedPort();
        } else if (service == QLatin1String("silent")) {
            silent = std::make_unique<SilentService>();
            port = silent->server.serverPort();
        } else if (service != QLatin1String("none")) {
            QVERIFY2(simulator.start({service == QLatin1String("other") ? m_dir.filePath(QStringLiteral("other.xtsc"))
                                                                         : northFile}),
                     qPrintable(simulator.errors()));
            port = simulator.port();
        }
        if (port)
            window->connectToService(QStringLiteral("127.0.0.1"), port);

        if (!midway.isEmpty()) {
            (void)QTest::qWaitFor([&] { return seen.size() >= 3 || seen != statuses.mid(0, seen.size()); }, 10000);
            QCOMPARE(seen, statuses.mid(0, 3));
            checkShown(window.get(), zone, LinkMonitor::Status(statuses.at(2)), midway);
            if (QTest::currentTestFailed())
                return;
        }
        if (silent) {
            silent->announce();
        } else if (service == QLatin1String("simulator")) {
            // Nothing polls: the properties follow the zone's signals alone. The
            // service's hash comes with a reply to the link's own queries.
            QVERIFY(QTest::qWaitFor([&] { return !value("remoteHash").isNull(); }));
            // The strategy by its name in the file, and the control source in words.
            QVERIFY2(QTest::qWaitFor([&] { return value("currentStrategy") == QLatin1String("Day (1)"); }),
                     qPrintable(value("currentStrategy")));
            QCOMPARE((QStringList{value("isConnected"), value("hashInvalid"), value("controlSource")}),
                     (QStringList{"yes", "no", "Calendar (1)"}));
            QVERIFY(banner->isHidden());
            simulator.stop();
        }
        // Until all have come, or one that should not.
        (void)QTest::qWaitFor([&] { return seen.size() >= statuses.size() || seen != statuses.mid(0, seen.size()); },
                              10000);
        QCOMPARE(seen, statuses);
        // A refusal is known only after the attempt the status announced.
        (void)QTest::qWaitFor([&] { return links->reason(zone).contains(reason); }, 5000);
        checkShown(window.get(), zone, LinkMonitor::Status(statuses.last()), reason);
        if (QTest::currentTestFailed())
            return;

        if (service == QLatin1String("simulator")) {
            // The link going down shows at once as well.
            QVERIFY2(QTest::qWaitFor([&] { return value("isConnected") == QLatin1String("no"); }),
                     qPrintable(value("isConnected")));
        } else if (service == QLatin1String("other")) {
            // Once the link's three queries are answered, the state the service
            // sent is still not taken: its configuration is another one.
            auto* log = window->findChild<LogDock*>();
            const auto answered = [log] { return log->text().contains(QStringLiteral("zone 7 #3 ←")); };
            QVERIFY2(QTest::qWaitFor(answered, 10000), qPrintable(log->text()));
            const QJsonObject dumped = window->stateJson().value("zones").toArray().first().toObject();
            QCOMPARE(dumped.value("currentStrategy").toInt(), -1);
            for (const QJsonValue& area : dumped.value("areas").toArray())
                QCOMPARE(area.toObject().value("currentState").toInt(), -1);
            QVERIFY2(QTest::qWaitFor([&] { return value("hashInvalid") == QLatin1String("yes"); }),
                     qPrintable(value("hashInvalid")));
            QVERIFY2(!banner->isHidden() && banner->text().contains(QLatin1String("zone 7")), qPrintable(banner->text()));
        }

        // Nothing more comes while the state holds, however short the timeout.
        links->setAnswerTimeout(1);
        QTest::qWait(40);
        QCOMPARE(seen, statuses);
    }

    // The dialog keeps an address that does not work, and says why.
    void connectDialog()
    {
        const QString address = QStringLiteral("127.0.0.1:%1").arg(closedPort());
        ConnectDialog dialog{QString()};
        dialog.findChild<QLineEdit*>(QStringLiteral("address"))->setText(address);
        QSignalSpy finished(&dialog, &QDialog::finished);
        dialog.show();
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("connect")), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(
            dialog.problem().contains("Cannot connect: connection refused: nothing listens on " + address), 5000);
        QCOMPARE(finished.size(), 0);
        QVERIFY(dialog.isVisible());
    }

private:
    // The status line, the tree and the dump say the zone's status in the same words.
    void checkShown(MainWindow* window, QObject* zone, LinkMonitor::Status status, const QString& reason);

    QTemporaryDir m_dir;
};

void TestLinkStatus::checkShown(MainWindow* window, QObject* zone, LinkMonitor::Status status, const QString& reason)
{
    LinkMonitor* links = window->linkMonitor();
    QCOMPARE(links->status(zone), status);
    QVERIFY2(links->reason(zone).contains(reason), qPrintable(links->reason(zone)));
    const QString words = LinkMonitor::text(status);
    QVERIFY2(window->statusText().contains(QStringLiteral("zone 7 ") + words), qPrintable(window->statusText()));
    auto* tree = window->findChild<ObjectTreeDock*>();
    const QModelIndex row = tree->model()->indexOf(zone).siblingAtColumn(ObjectTreeModel::HostColumn);
    QCOMPARE(row.data().toString(), words);
    QCOMPARE(row.data(Qt::ToolTipRole).toString(), links->reason(zone));
    QCOMPARE(window->stateJson().value("zones").toArray().first().toObject().value("link").toString(), words);
}

QTEST_MAIN(TestLinkStatus)
#include "tst_workstation_linkstatus.moc"
