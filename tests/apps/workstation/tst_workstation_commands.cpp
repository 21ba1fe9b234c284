// The operator's hold on the window, against the real plug-in: which zone a
// click reaches and which zone commands go to, zones far apart, the session
// that comes back at the next start, closing a zone, and the Help menu.
#include "MainWindow.h"
#include "MapView.h"
#include "ModuleHost.h"
#include "ObjectTreeDock.h"
#include "ObjectTreeModel.h"
#include "OffscreenLeaks.h"
#include "Settings.h"
#include "WidgetDriver.h"

#include <QComboBox>
#include <QDialog>
#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QMenuBar>
#include <QStatusBar>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTreeView>
#include <QtTest>

#include <memory>

#include "DomText.h"

namespace {

const QString pluginPath = QStringLiteral(VELMORA_PLUGIN_DIR "/libVelmora.so");
const QString northFile = QStringLiteral(VELMORA_EXAMPLES "/north.xtsc");

QObject* zoneWithId(ModuleHost& host, int id)
{
    QObject* found = nullptr;
    for (QObject* zone : host.zones())
        found = zone->property("id").toInt() == id ? zone : found;
    return found;
}

QAction* menuAction(QMainWindow* window, const QString& text)
{
    QAction* found = nullptr;
    for (QAction* action : window->menuBar()->findChildren<QAction*>())
        found = action->text() == text ? action : found;
    return found;
}

} // namespace

class TestCommands : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_host = std::make_unique<ModuleHost>();
        QString error;
        QVERIFY2(m_host->loadPlugin(pluginPath, &error), qPrintable(error));
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.filePath(QStringLiteral("settings")));
        // North's copies under another id, with the zone's and its area's outlines moved.
        const QByteArray north = readFile(northFile);
        const auto variant = [&](const char* name, const char* head, const char* outline, const char* area) {
            const QString path = m_dir.filePath(QLatin1String(name));
            QByteArray text = north;
            text.replace("id=\"7\" name=\"North\"", head).replace("0,0;1000,0;1000,800;0,800", outline);
            return writeFile(path, text.replace("10,10;500,10;500,400", area)) ? path : QString();
        };
        m_small = variant("small.xtsc", "id=\"9\" name=\"Small\"", "600,500;800,500;800,700;600,700",
                          "750,650;790,650;790,690");
        m_far = variant("far.xtsc", "id=\"8\" name=\"Far\"", "1000000,0;1001000,0;1001000,800;1000000,800",
                        "1000010,10;1000500,10;1000500,400");
        m_near = variant("near.xtsc", "id=\"6\" name=\"Near\"", "1100,0;2100,0;2100,800;1100,800",
                         "1110,10;1500,10;1500,400");
        QVERIFY(!north.isEmpty() && !m_small.isEmpty() && !m_far.isEmpty() && !m_near.isEmpty());
    }

    // One window for the cases that only open and close zones in it; the
    // session cases make their own.
    void init()
    {
        if (!m_window)
            newWindow();
        m_window->setPersistSettings(false);
        for (QObject* zone : m_host->zones())
            m_window->closeZone(zone);
        m_window->statusBar()->clearMessage();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void clickPrecedence_data()
    {
        QTest::addColumn<bool>("smallFirst");
        QTest::newRow("small zone opened first") << true;
        QTest::newRow("small zone opened last") << false;
    }

    // A zone drawn inside another one gets the clicks on it, whichever was opened
    // first; the larger one keeps those beside it.
    void clickPrecedence()
    {
        QFETCH(bool, smallFirst);
        QVERIFY(m_window->openZone(smallFirst ? m_small : northFile));
        QVERIFY(m_window->openZone(smallFirst ? northFile : m_small));
        m_window->fitAll();
        auto* map = m_window->findChild<MapView*>();
        for (const auto& click : {qMakePair(QPointF(650, 550), 9), qMakePair(QPointF(300, 600), 7)}) {
            QTest::mouseClick(map->viewport(), Qt::LeftButton, {}, map->mapFromScene(click.first));
            const QList<QGraphicsItem*> selected = map->scene()->selectedItems();
            QCOMPARE(selected.size(), 1);
            QCOMPARE(ModuleHost::zoneOf(selected.first()->data(0).value<QObject*>()), zoneWithId(*m_host, click.second));
        }
    }

    void commandZone_data()
    {
        // Steps: "map N" clicks zone N on the map; "tree N" picks zone N's first
        // area in the tree; "choose N" picks zone N beside the command line;
        // "close N" closes zone N. After each, the command zone's id.
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QList<int>>("targets");
        // The first zone opened, until chosen otherwise.
        QTest::newRow("chosen in the tree") << QStringList{"map 6", "tree 6", "map 7", "tree 7"} << QList<int>{7, 6, 6, 7};
        QTest::newRow("chosen beside the command line, then closed")
            << QStringList{"choose 6", "map 7", "choose 7", "choose 6", "close 6"} << QList<int>{6, 6, 7, 6, 7};
    }

    // Commands go to the zone the operator chose, never to one that a click on
    // the map happened to hit.
    void commandZone()
    {
        QFETCH(QStringList, steps);
        QFETCH(QList<int>, targets);
        QVERIFY(openNorthAnd(m_near));
        m_window->fitAll();
        auto* map = m_window->findChild<MapView*>();
        auto* tree = m_window->findChild<ObjectTreeDock*>();
        auto* choice = m_window->findChild<QComboBox*>(QStringLiteral("commandZone"));
        QVERIFY(map && tree && choice);
        QCOMPARE(choice->count(), 2);
        for (int i = 0; i < steps.size(); ++i) {
            const QString verb = steps.at(i).section(QLatin1Char(' '), 0, 0);
            QObject* zone = zoneWithId(*m_host, steps.at(i).section(QLatin1Char(' '), 1).toInt());
            QVERIFY(zone);
            if (verb == QLatin1String("map")) {
                // Inside the zone, outside its area.
                const QRectF rect = ModuleHost::graphicsItem(zone)->sceneBoundingRect();
                const QPointF at(rect.left() + 0.8 * rect.width(), rect.top() + 0.8 * rect.height());
                QTest::mouseClick(map->viewport(), Qt::LeftButton, {}, map->mapFromScene(at));
                QCOMPARE(tree->currentObject(), zone);
            } else if (verb == QLatin1String("tree")) {
                QObject* area = ModuleHost::areasOf(zone).value(0);
                tree->view()->setCurrentIndex(tree->model()->indexOf(area));
            } else if (verb == QLatin1String("choose")) {
                const int index = choice->findData(QVariant::fromValue(zone));
                QVERIFY(index >= 0);
                choice->setCurrentIndex(index);
                emit choice->activated(index);
            } else if (verb == QLatin1String("close")) {
                m_window->closeZone(zone);
            }
            QVERIFY(m_window->commandZone());
            QCOMPARE(m_window->commandZone()->property("id").toInt(), targets.at(i));
            QTRY_COMPARE(choice->currentData().value<QObject*>(), m_window->commandZone());
        }
    }

    void farZones_data()
    {
        QTest::addColumn<bool>("far");
        QTest::newRow("side by side") << false;
        QTest::newRow("a thousand zone widths apart") << true;
    }

    // A zone far from the others is announced, and fitting shows the chosen zone
    // instead of two specks.
    void farZones()
    {
        QFETCH(bool, far);
        QVERIFY(openNorthAnd(far ? m_far : m_near));
        const QString message = m_window->statusBar()->currentMessage();
        QCOMPARE(message.contains(QLatin1String("lies far from the other zones")), far);
        m_window->fitAll();
        auto* map = m_window->findChild<MapView*>();
        const QRectF shown = map->mapToScene(map->viewport()->rect()).boundingRect();
        const QRectF north = ModuleHost::graphicsItem(zoneWithId(*m_host, 7))->sceneBoundingRect();
        QVERIFY(shown.contains(north));
        // Side by side both are seen; far apart, the chosen one fills the view.
        const QRectF other = ModuleHost::graphicsItem(zoneWithId(*m_host, far ? 8 : 6))->sceneBoundingRect();
        QCOMPARE(shown.contains(other), !far);
        QVERIFY2(shown.width() < 10 * north.width(), qPrintable(QString::number(shown.width())));
    }

    void session_data()
    {
        QTest::addColumn<bool>("reopen");    // the setting
        QTest::addColumn<bool>("connected"); // the service was connected at close
        QTest::newRow("files and service") << true << true;
        QTest::newRow("files, service disconnected") << true << false;
        QTest::newRow("turned off") << false << true;
    }

    // What was open at close comes back at the next plain start, unless the user turned that off.
    void session()
    {
        QFETCH(bool, reopen);
        QFETCH(bool, connected);
        QTcpServer service;
        QVERIFY(service.listen(QHostAddress::LocalHost, 0));
        QSignalSpy incoming(&service, &QTcpServer::newConnection);
        {
            MainWindow* first = m_window.get();
            first->setPersistSettings(true);
            QVERIFY(openNorthAnd(m_near));
            first->connectToService(QStringLiteral("127.0.0.1"), service.serverPort());
            if (connected)
                QVERIFY(incoming.wait(5000));
            else
                first->disconnectService();
            QAction* reopenAction = menuAction(first, QStringLiteral("Reopen the last session at start"));
            QVERIFY(reopenAction && reopenAction->isCheckable());
            reopenAction->setChecked(reopen);
            first->close();
        }
        m_window.reset();
        QCOMPARE(m_host->zones().size(), 0);

        MainWindow* second = newWindow();
        QCOMPARE(second->restoreSession(), reopen);
        QCOMPARE(zoneIds(), reopen ? (QStringList{"7", "6"}) : QStringList());
        const bool reconnects = reopen && connected;
        if (reconnects)
            QVERIFY(incoming.count() > 1 || incoming.wait(5000));
        QVERIFY2(second->statusText().contains(QStringLiteral("127.0.0.1:%1").arg(service.serverPort())) == reconnects,
                 qPrintable(second->statusText()));
        Settings().setReopenSession(true);
        m_window.reset();
    }

    void closeZone()
    {
        QVERIFY(openNorthAnd(m_near));
        QAction* close = menuAction(m_window.get(), QStringLiteral("&Close zone"));
        QVERIFY(close);
        close->trigger();
        QCOMPARE(zoneIds(), QStringList{"6"});
        QCOMPARE(m_window->findChild<ObjectTreeDock*>()->model()->rowCount(), 1);
        close->trigger();
        QCOMPARE(zoneIds(), QStringList());
        close->trigger();
        QVERIFY(m_window->statusBar()->currentMessage().contains(QLatin1String("Choose the zone to close")));
    }

    // About names both versions; Getting started says how to begin.
    void help()
    {
        PopupAnswerer answerer;
        m_window->showAbout();
        QCOMPARE(answerer.boxes.size(), 1);
        const QString module = m_host->root()->property("moduleVersion").toString();
        for (const QString& version : {"Zone module " + module, QStringLiteral("Velmora Workstation " VELMORA_VERSION)})
            QVERIFY2(!module.isEmpty() && answerer.boxes.first().contains(version), qPrintable(answerer.boxes.first()));

        m_window->showGettingStarted();
        auto* guide = m_window->findChild<QDialog*>(QStringLiteral("GettingStarted"));
        QVERIFY(guide && guide->isVisible());
        const QString text = guide->findChild<QTextBrowser*>()->toPlainText();
        for (const char* step : {"Open a zone", "Connect", "Read the map", "Send a command"})
            QVERIFY2(text.contains(QLatin1String(step)), step);
        guide->close();
    }

private:
    MainWindow* newWindow()
    {
        m_window = std::make_unique<MainWindow>(m_host.get());
        m_window->resize(1000, 700);
        m_window->show();
        return m_window.get();
    }
    bool openNorthAnd(const QString& other) { return m_window->openZone(northFile) && m_window->openZone(other); }
    QStringList zoneIds() const
    {
        QStringList ids;
        for (QObject* zone : m_host->zones())
            ids << zone->property("id").toString();
        return ids;
    }

    QTemporaryDir m_dir;
    QString m_small; // zone 9, inside zone 7's outline, away from its area
    QString m_far;   // zone 8, a thousand zone widths away
    QString m_near;  // zone 6, beside zone 7
    std::unique_ptr<ModuleHost> m_host;
    std::unique_ptr<MainWindow> m_window;
};

QTEST_MAIN(TestCommands)
#include "tst_workstation_commands.moc"
