// An honest link status, against the real plug-in: "linked" only once the
// service has answered the zone's link-up requests; a service that takes the
// connection and stays silent is "not answering" after the timeout, with the
// reason; the Connect dialog says why an address does not work.
#include "ConnectDialog.h"
#include "LinkMonitor.h"
#include "MainWindow.h"
#include "ModuleHost.h"
#include "ObjectTreeDock.h"
#include "ObjectTreeModel.h"
#include "OffscreenLeaks.h"
#include "ServiceProcess.h"

#include "Velmora/format/Protocol.h"
#include "semtra/Message.h"
#include "semtra/Wire.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const QString pluginPath = QStringLiteral(VELMORA_BIN_DIR "/../plugins/libVelmora.so");
const QString northFile = QStringLiteral(VELMORA_EXAMPLES "/north.xtsc");
constexpr int AnswerTimeout = 400;

// A service that takes connections and then does as little as it is told.
class SilentService : public QObject
{
public:
    explicit SilentService(bool announce)
        : m_announce(announce)
    {
        server.listen(QHostAddress::LocalHost, 0);
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server.nextPendingConnection()) {
                // Zone 7 is there, but nothing it asks gets an answer.
                if (m_announce)
                    socket->write(Semtra::Wire::encodeFrame(Semtra::Command::Message{
                        0, 7, Semtra::Command::Connected, Velmora::Protocol::Tag, QByteArray(8, '\0')}));
            }
        });
    }
    QTcpServer server;

private:
    bool m_announce;
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
    void initTestCase();
    void statusTransitions_data();
    void statusTransitions();
    void connectDialog_data();
    void connectDialog();

private:
    QTemporaryDir m_dir;
};

void TestLinkStatus::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.filePath(QStringLiteral("settings")));
    QVERIFY2(ServiceProcess::isBuilt(), qPrintable(ServiceProcess::program()));
    QFile north(northFile);
    QVERIFY(north.open(QIODevice::ReadOnly));
    QFile other(m_dir.filePath(QStringLiteral("other.xtsc")));
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.write(north.readAll().replace("name=\"Centre\"", "name=\"Centre renamed\""));
}

void TestLinkStatus::statusTransitions_data()
{
    QTest::addColumn<QString>("service");
    QTest::addColumn<QList<int>>("statuses"); // LinkMonitor::Status, in the order they come
    QTest::addColumn<QString>("reason");

    using S = LinkMonitor;
    QTest::newRow("no service") << "none" << QList<int>{S::NotConnected} << "No service chosen";
    QTest::newRow("nothing listening") << "refused" << QList<int>{S::NotConnected, S::Connecting}
                                       << "Connecting to the service at 127.0.0.1:";
    QTest::newRow("takes the connection, says nothing")
        << "silent" << QList<int>{S::NotConnected, S::Connecting, S::NotAnswering}
        << "accepted the connection but has not announced zone 7 within 0.4 s";
    QTest::newRow("announces the zone, answers nothing")
        << "announcing" << QList<int>{S::NotConnected, S::Connecting, S::NotAnswering}
        << "announced zone 7 but has not answered its link-up requests within 0.4 s";
    QTest::newRow("the simulator") << "simulator" << QList<int>{S::NotConnected, S::Connecting, S::Linked}
                                   << "Linked to the service at 127.0.0.1:";
    QTest::newRow("the simulator with another configuration")
        << "other" << QList<int>{S::NotConnected, S::Connecting, S::HashMismatch} << "hash mismatch";
    QTest::newRow("the simulator, then it goes")
        << "lost" << QList<int>{S::NotConnected, S::Connecting, S::Linked, S::Connecting}
        << "Connecting to the service at 127.0.0.1:";
}

void TestLinkStatus::statusTransitions()
{
    QFETCH(QString, service);
    QFETCH(QList<int>, statuses);
    QFETCH(QString, reason);

    ModuleHost host;
    QString error;
    QVERIFY2(host.loadPlugin(pluginPath, &error), qPrintable(error));
    auto window = std::make_unique<MainWindow>(&host);
    window->setPersistSettings(false);
    LinkMonitor* links = window->linkMonitor();
    links->setAnswerTimeout(AnswerTimeout);
    QList<int> seen;
    connect(links, &LinkMonitor::statusChanged, this,
            [&seen](QObject*, LinkMonitor::Status status) { seen.append(int(status)); });
    QVERIFY(window->openZone(northFile));
    QObject* zone = host.zones().value(0);

    std::unique_ptr<SilentService> silent;
    ServiceProcess simulator;
    quint16 port = 0;
    if (service == QLatin1String("refused")) {
        port = closedPort();
    } else if (service == QLatin1String("silent") || service == QLatin1String("announcing")) {
        silent = std::make_unique<SilentService>(service == QLatin1String("announcing"));
        port = silent->server.serverPort();
    } else if (service != QLatin1String("none")) {
        const QString served = service == QLatin1String("other") ? m_dir.filePath(QStringLiteral("other.xtsc")) : northFile;
        QVERIFY2(simulator.start({served}), qPrintable(simulator.errors()));
        port = simulator.port();
    }
    if (port)
        window->connectToService(QStringLiteral("127.0.0.1"), port);

    const int linkedAt = statuses.indexOf(LinkMonitor::Linked);
    if (service == QLatin1String("lost")) {
        QTRY_COMPARE_WITH_TIMEOUT(seen.size(), linkedAt + 1, 10000);
        simulator.stop();
    }
    QTRY_COMPARE_WITH_TIMEOUT(seen, statuses, 10000);
    // Nothing more comes while the state holds, however long one waits.
    QTest::qWait(2 * AnswerTimeout);
    QCOMPARE(seen, statuses);
    const auto last = LinkMonitor::Status(statuses.last());
    QCOMPARE(links->status(zone), last);
    QVERIFY2(links->reason(zone).contains(reason), qPrintable(links->reason(zone)));

    // The status line and the tree say the same, in the same words.
    if (port)
        QVERIFY2(window->statusText().contains(QStringLiteral("zone 7 %1").arg(LinkMonitor::text(last))),
                 qPrintable(window->statusText()));
    auto* tree = window->findChild<ObjectTreeDock*>();
    const QModelIndex row = tree->model()->indexOf(zone).siblingAtColumn(ObjectTreeModel::HostColumn);
    QCOMPARE(row.data().toString(), LinkMonitor::text(last));
    QCOMPARE(row.data(Qt::ToolTipRole).toString(), links->reason(zone));
    QCOMPARE(window->stateJson().value("zones").toArray().first().toObject().value("link").toString(),
             LinkMonitor::text(last));
}

void TestLinkStatus::connectDialog_data()
{
    QTest::addColumn<QString>("address"); // PORT stands for a port of the kind the row needs
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("problem");

    QTest::newRow("listening") << "127.0.0.1:PORT" << true << "";
    QTest::newRow("nothing listening") << "127.0.0.1:CLOSED" << false
                                       << "Cannot connect: connection refused: nothing listens on 127.0.0.1:";
    QTest::newRow("unknown host") << "no-such-host.invalid:7411" << false
                                  << "Cannot connect: host not found: no-such-host.invalid";
    QTest::newRow("no port") << "localhost:http" << false
                             << "Cannot connect: \"localhost:http\" is not a host:port address";
    QTest::newRow("blank") << "  " << false << "is not a host:port address";
}

// The dialog keeps an address that does not work, and says why.
void TestLinkStatus::connectDialog()
{
    QFETCH(QString, address);
    QFETCH(bool, accepted);
    QFETCH(QString, problem);

    QTcpServer listening;
    QVERIFY(listening.listen(QHostAddress::LocalHost, 0));
    address.replace(QLatin1String("CLOSED"), QString::number(closedPort()));
    address.replace(QLatin1String("PORT"), QString::number(listening.serverPort()));

    ConnectDialog dialog{QString()};
    dialog.findChild<QLineEdit*>(QStringLiteral("address"))->setText(address);
    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.show();
    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("connect")), Qt::LeftButton);
    if (accepted) {
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 5000);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.address(), address);
        return;
    }
    QTRY_VERIFY_WITH_TIMEOUT(dialog.problem().contains(problem), 5000);
    QCOMPARE(finished.size(), 0);
    QVERIFY(dialog.isVisible());
}

QTEST_MAIN(TestLinkStatus)
#include "tst_workstation_linkstatus.moc"
