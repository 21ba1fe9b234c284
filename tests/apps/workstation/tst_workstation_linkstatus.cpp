// An honest link status, against the real plug-in: "linked" only once the service has answered the zone's link-up
// requests; a silent service is "not answering" after the timeout, with the reason; the properties and the hash
// banner follow the zone's signals; a file changed by another tool links again; the Connect dialog says why an
// address does not work. (An edit saved in the zone editor relinks in the edit loop test.)
#include "ConnectDialog.h"
#include "FreePort.h"
#include "LinkMonitor.h"
#include "LogDock.h"
#include "ObjectTreeDock.h"
#include "ObjectTreeModel.h"
#include "PropertiesDock.h"
#include "QtOwnLeaks.h"
#include "ServiceProcess.h"
#include "WorkstationFixture.h"

#include "Velmora/format/Protocol.h"
#include "Velmora/format/TokenDigest.h"
#include "semtra/Message.h"
#include "semtra/Wire.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

#include "DomText.h"

using namespace Velmora;

namespace {

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

} // namespace

class TestLinkStatus : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
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
        QTest::newRow("takes the connection, announces late, answers nothing")
            << "silent" << 100
            << QList<int>{S::NotConnected, S::Connecting, S::NotAnswering, S::Connecting, S::NotAnswering}
            << "accepted the connection but has not announced zone 7 within 0.1 s"
            << "announced zone 7 but has not answered its link-up requests within 0.1 s";
        QTest::newRow("the simulator, then it goes")
            << "simulator" << ample << QList<int>{S::NotConnected, S::Connecting, S::Linked, S::Connecting}
            << "Linked to the service at 127.0.0.1:" << "(last attempt: Connection refused)";
        QTest::newRow("the simulator with another configuration")
            << "other" << ample << QList<int>{S::NotConnected, S::Connecting, S::HashMismatch} << ""
            << QStringLiteral("The service runs another version of zone 7's configuration (service hash %1…, file hash "
                              "%2…). Live states are not shown until they agree.")
                   .arg(QString::fromLatin1(Velmora::tokenDigest(readFile(m_dir.filePath("other.xtsc"))).left(2).toHex()),
                        QString::fromLatin1(Velmora::tokenDigest(readFile(northFile)).left(2).toHex()));
    }

    void statusTransitions()
    {
        QFETCH(QString, service);
        QFETCH(int, answerTimeout);
        QFETCH(QList<int>, statuses);
        QFETCH(QString, midway);
        QFETCH(QString, reason);
        WorkstationFixture workstation;
        QVERIFY2(workstation.start(), qPrintable(workstation.error()));
        MainWindow* window = workstation.window();
        LinkMonitor* links = window->linkMonitor();
        links->setAnswerTimeout(answerTimeout);
        QList<int> seen;
        connect(links, &LinkMonitor::statusChanged, this,
                [&seen](QObject*, LinkMonitor::Status status) { seen.append(int(status)); });
        QVERIFY2(workstation.open(northFile), qPrintable(workstation.error()));
        QObject* zone = workstation.zone();
        auto* properties = window->findChild<PropertiesDock*>();
        auto* banner = window->findChild<QLabel*>(QStringLiteral("hashStatus"));
        QVERIFY(zone && properties && banner);
        auto value = [properties](const char* name) { return properties->shownValue(QLatin1String(name)); };
        QVERIFY2(value("link").startsWith(QLatin1String("not connected since ")), qPrintable(value("link")));

        std::unique_ptr<SilentService> silent;
        ServiceProcess simulator;
        quint16 port = 0;
        if (service == QLatin1String("silent")) {
            silent = std::make_unique<SilentService>();
            port = silent->server.serverPort();
        } else if (service != QLatin1String("none")) {
            QVERIFY2(simulator.start({service == QLatin1String("other") ? m_dir.filePath(QStringLiteral("other.xtsc"))
                                                                         : northFile}),
                     qPrintable(simulator.errors()));
            port = simulator.port();
        }
        if (port)
            workstation.connectTo(port);

        if (!midway.isEmpty()) {
            (void)QTest::qWaitFor([&] { return seen.size() >= 3 || seen != statuses.mid(0, seen.size()); }, 10000);
            QCOMPARE(seen, statuses.mid(0, 3));
            checkShown(window, zone, LinkMonitor::Status(statuses.at(2)), midway);
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
            // One row for the link, agreeing with the live values.
            QCOMPARE((QStringList{value("link").section(" since ", 0, 0), value("controlSource"), value("isConnected")}),
                     (QStringList{"linked", "Calendar (1)", QString()}));
            QVERIFY(banner->isHidden());
            simulator.stop();
        }
        // Until all have come, or one that should not.
        (void)QTest::qWaitFor([&] { return seen.size() >= statuses.size() || seen != statuses.mid(0, seen.size()); },
                              10000);
        QCOMPARE(seen, statuses);
        // A refusal is known only after the attempt the status announced.
        (void)QTest::qWaitFor([&] { return links->reason(zone).contains(reason); }, 5000);
        checkShown(window, zone, LinkMonitor::Status(statuses.last()), reason);
        if (QTest::currentTestFailed())
            return;

        if (service == QLatin1String("simulator")) {
            // The link going down shows at once as well.
            QVERIFY2(QTest::qWaitFor([&] { return !value("link").startsWith(QLatin1String("linked")); }),
                     qPrintable(value("link")));
            QCOMPARE(value("currentStrategy"), QStringLiteral("not reported"));
        } else if (service == QLatin1String("other")) {
            QVERIFY2(QTest::qWaitFor([&] { return value("link").startsWith(QLatin1String("hash mismatch since ")); }),
                     qPrintable(value("link")));
            QCOMPARE(banner->text(), reason);
            QVERIFY(!banner->isHidden());
            // The module takes the other configuration's events all the same; the
            // workstation does not show them as this file's state.
            QVERIFY(workstation.host().sendCommand(zone, "SET_STRAT", "2 0"));
            QVERIFY(QTest::qWaitFor([&] { return zone->property("currentStrategy").toInt() == 2; }));
            QCOMPARE((QStringList{value("currentStrategy"), value("controlSource")}),
                     (QStringList{"not reported", "not reported"}));
            const QString tip = window->objectToolTip(zone);
            QVERIFY2(tip.contains("Current strategy: not reported") && tip.contains(reason), qPrintable(tip));
            const QModelIndex areaRow = window->findChild<ObjectTreeDock*>()->model()->indexOf(ModuleHost::areaById(zone, 3));
            QVERIFY2(areaRow.data(Qt::ToolTipRole).toString().contains("State: not reported"),
                     qPrintable(areaRow.data(Qt::ToolTipRole).toString()));
        }

        // Nothing more comes while the state holds, however short the timeout: a new timeout works the statuses out
        // at once, and every wait above took longer than this one.
        links->setAnswerTimeout(1);
        QCOMPARE(int(links->status(zone)), statuses.last());
        QCOMPARE(seen, statuses);
    }

    // Another tool writes the open zone's file: the workstation and the service both take it and link again by
    // themselves; a file that no longer loads keeps the zone, marked in the tree with the reason, until it loads.
    void externalChangeRelinks()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("north.xtsc"));
        const QByteArray original = readFile(northFile);
        QVERIFY(writeFile(file, original));
        ServiceProcess simulator;
        QVERIFY2(simulator.start({file}), qPrintable(simulator.errors()));
        WorkstationFixture workstation;
        QVERIFY2(workstation.start(file), qPrintable(workstation.error()));
        workstation.connectTo(simulator.port());
        ModuleHost& host = workstation.host();
        MainWindow* window = workstation.window();
        LinkMonitor* links = window->linkMonitor();
        auto linkedAs = [&](const QByteArray& content) {
            QObject* zone = host.zones().value(0);
            return zone && links->status(zone) == LinkMonitor::Linked
                && zone->property("remoteHash").toByteArray() == Velmora::tokenDigest(content);
        };
        QVERIFY(QTest::qWaitFor([&] { return linkedAs(original); }, 10000));
        auto* tree = window->findChild<ObjectTreeDock*>()->model();
        auto linkCell = [&] { return tree->indexOf(host.zones().value(0)).siblingAtColumn(ObjectTreeModel::HostColumn); };
        auto* log = window->findChild<LogDock*>();

        const QByteArray renamed = QByteArray(original).replace("name=\"North\"", "name=\"North renamed\"");
        QVERIFY(replaceFile(file, renamed));
        QVERIFY(QTest::qWaitFor([&] { return linkedAs(renamed); }, 10000));
        QCOMPARE(host.zones().value(0)->property("name").toString(), QStringLiteral("North renamed"));
        QVERIFY2(log->text().contains(file + " changed on disk, reloading")
                     && log->text().contains("Zone 7 \"North renamed\": name \"North\" → \"North renamed\""),
                 qPrintable(log->text()));

        QPointer<QObject> kept = host.zones().value(0);
        const QByteArray broken = QByteArray(renamed).replace("<Zone id=\"7\"", "<Zone id=\"7\" <");
        const auto markShown = [&] { return linkCell().data().toString() == "linked; file not reloaded"; };
        QVERIFY(replaceFile(file, broken));
        QVERIFY2(QTest::qWaitFor(markShown), qPrintable(linkCell().data().toString()));
        QVERIFY(kept && host.zones() == QList<QObject*>{kept});
        QVERIFY2(linkCell().data(Qt::ToolTipRole).toString().contains(file + " changed on disk and does not load: "),
                 qPrintable(linkCell().data(Qt::ToolTipRole).toString()));
        QVERIFY(linkedAs(renamed));

        QVERIFY(replaceFile(file, original));
        QVERIFY(QTest::qWaitFor([&] { return linkedAs(original); }, 10000));
        QCOMPARE(linkCell().data().toString(), QStringLiteral("linked"));

        // Closed while its file did not load, the zone opens again without the mark.
        QVERIFY(replaceFile(file, broken));
        QVERIFY2(QTest::qWaitFor(markShown), qPrintable(linkCell().data().toString()));
        window->closeZone(host.zones().value(0));
        QVERIFY(replaceFile(file, original) && window->openZone(file));
        QVERIFY(QTest::qWaitFor([&] { return linkedAs(original); }, 10000));
        QCOMPARE(linkCell().data().toString(), QStringLiteral("linked"));
    }

    // The dialog keeps an address that does not work, and says why.
    void connectDialog()
    {
        const quint16 closed = freePort();
        QVERIFY(closed != 0);
        const QString address = QStringLiteral("127.0.0.1:%1").arg(closed);
        ConnectDialog dialog{QString()};
        dialog.findChild<QLineEdit*>(QStringLiteral("address"))->setText(address);
        dialog.show();
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("connect")), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(
            dialog.problem().contains("Cannot connect: connection refused: nothing listens on " + address), 5000);
        QVERIFY(dialog.isVisible());
    }

private:
    // The status line, the tree and the dump say the zone's status in the same words.
    void checkShown(MainWindow* window, QObject* zone, LinkMonitor::Status status, const QString& reason)
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

    QTemporaryDir m_dir;
};

QTEST_MAIN(TestLinkStatus)
#include "tst_workstation_linkstatus.moc"
