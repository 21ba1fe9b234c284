#include "MainWindow.h"

#include "CommandBar.h"
#include "CommandController.h"
#include "ConnectDialog.h"
#include "HelpDialogs.h"
#include "HistoryPanel.h"
#include "HistoryWriter.h"
#include "ReplayView.h"
#include "HostLogging.h"
#include "LinkMonitor.h"
#include "LightLayer.h"
#include "LinkStatusView.h"
#include "LogDock.h"
#include "MapLegend.h"
#include "MapView.h"
#include "ModuleHost.h"
#include "ObjectTreeDock.h"
#include "ObjectTreeModel.h"
#include "PropertiesDock.h"
#include "ScheduleDock.h"
#include "ServiceLink.h"
#include "SessionFiles.h"
#include "SelectionSync.h"
#include "FindingsDock.h"
#include "StateDump.h"
#include "StatusLabels.h"
#include "StorageService.h"
#include "ToolTips.h"
#include "ZoneFiles.h"
#include "ZoneLights.h"

#include "semtra/Notification.h"
#include "semtra/Request.h"
#include "semtra/Response.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>

namespace Velmora {

namespace {

constexpr int MessageTimeout = Velmora::StatusLabels::MessageTimeout;

} // namespace

MainWindow::MainWindow(ModuleHost* host, QWidget* parent)
    : QMainWindow(parent)
    , m_host(host)
    , m_scene(new QGraphicsScene(this))
    , m_map(new MapView(m_scene, this))
    , m_lights(new LightLayer(m_scene, this))
    , m_treeModel(new ObjectTreeModel(this))
    , m_objectsDock(new ObjectTreeDock(m_treeModel, this))
    , m_propertiesDock(new PropertiesDock(this))
    , m_logDock(new LogDock(this))
    , m_legend(new MapLegend(this))
    , m_links(new LinkMonitor(this))
    , m_storage(new StorageService(this))
    , m_commands(new Velmora::CommandController(host, m_logDock, this))
    , m_zoneFiles(new Velmora::ZoneFiles(host, this))
    , m_zoneLights(host, m_lights)
    , m_selection(new Velmora::SelectionSync(m_scene, m_objectsDock, m_propertiesDock, &m_zoneLights, this))
    , m_session(new Velmora::SessionFiles(host, &m_settings, this))
{
    setWindowTitle(tr("Velmora Workstation"));
    m_scene->setBackgroundBrush(MapLegend::mapBackground());
    setCentralWidget(m_map);
    m_storage->setDirectory(m_settings.storageDirectory());

    m_host->setScene(m_scene);
    // Zones hear the service's announcements from the start; the link comes
    // up by itself once the connection does.
    m_service = new Velmora::ServiceLink(m_host, m_links, this);
    m_treeModel->setRoot(m_host->root());
    QString legendError;
    if (!m_legend->build(m_host->root(), &legendError))
        qCWarning(VelmoraHost::lcHost, "Legend without swatches: %s", qUtf8Printable(legendError));
    m_map->setToolTipText([this](QObject* object) { return objectToolTip(object); });
    m_propertiesDock->setLinkMonitor(m_links);

    createDocks();
    createMenus();
    createStatusBar();
    m_linkView = std::make_unique<Velmora::LinkStatusView>(m_host, m_links, m_zoneFiles, m_statusLabels.get(), this,
                                                           [this](QObject* object) { return objectToolTip(object); });
    m_treeModel->setHostColumn(tr("Link"), [this](const QObject* object, int role) {
        return m_linkView->linkColumn(object, role);
    });
    m_treeModel->setOverride([this](const QObject* object, int column, int role) {
        return m_linkView->unreportedArea(object, column, role);
    });

    connect(m_host, &ModuleHost::zoneAdded, this, &MainWindow::zoneAdded);
    connect(m_host, &ModuleHost::zoneAboutToBeRemoved, this, &MainWindow::zoneAboutToBeRemoved);
    connect(m_zoneFiles, &Velmora::ZoneFiles::logLine, m_logDock, &LogDock::logInfo);
    connect(m_zoneFiles, &Velmora::ZoneFiles::statusMessage, statusBar(), &QStatusBar::showMessage);
    connect(m_zoneFiles, &Velmora::ZoneFiles::problemFound, m_treeModel, &ObjectTreeModel::objectChanged);
    connect(m_zoneFiles, &Velmora::ZoneFiles::reloaded, this, &MainWindow::zoneReloaded);
    connect(m_host, &ModuleHost::objectStateChanged, this, &MainWindow::objectStateChanged);
    connect(m_host, &ModuleHost::zoneRequest, m_commands, &Velmora::CommandController::requestSent);
    connect(m_commands, &Velmora::CommandController::statusMessage, statusBar(), &QStatusBar::showMessage);
    connect(m_host, &ModuleHost::zoneResponseFinished, this, &MainWindow::zoneResponseFinished);
    connect(m_host, &ModuleHost::zoneNotification, m_logDock, &LogDock::logEvent);
    connect(m_host, &ModuleHost::zoneNotification, this, [this](QObject*, const Notification* notification) {
        m_scheduleDock->serviceTime(notification->timeStamp());
    });
    connect(m_host, &ModuleHost::zoneLinkChanged, this, &MainWindow::zoneLinkChanged);
    connect(m_service, &Velmora::ServiceLink::logLine, m_logDock, &LogDock::logInfo);
    connect(m_session, &Velmora::SessionFiles::logLine, m_logDock, &LogDock::logInfo);
    connect(m_session, &Velmora::SessionFiles::statusMessage, statusBar(), &QStatusBar::showMessage);
    connect(m_session, &Velmora::SessionFiles::recentOpened, this, &MainWindow::fitAll);
    connect(m_session, &Velmora::SessionFiles::serviceWanted, this, &MainWindow::connectToService);
    connect(m_service, &Velmora::ServiceLink::serviceLost, m_scheduleDock, &ScheduleDock::serviceLost);
    connect(m_service, &Velmora::ServiceLink::changed, this, [this] { m_linkView->showServiceStatus(); });
    connect(m_map, &MapView::cursorMoved, this, &MainWindow::cursorMoved);
    connect(m_selection, &Velmora::SelectionSync::zoneChosen, this, &MainWindow::setCommandZone);
    connect(m_links, &LinkMonitor::statusChanged, this, &MainWindow::linkStatusChanged);

    // Zones loaded before the window existed.
    for (QObject* zone : m_host->zones())
        zoneAdded(zone);

    resize(1280, 800);
    restoreGeometry(m_settings.windowGeometry());
    if (!restoreState(m_settings.windowState())) {
        // First start: the layout takes its sizes only once the window is laid out.
        QTimer::singleShot(0, this, [this] {
            resizeDocks({m_objectsDock}, {470}, Qt::Horizontal);
            resizeDocks({m_objectsDock, m_propertiesDock}, {330, 300}, Qt::Vertical);
            resizeDocks({m_logDock}, {170}, Qt::Vertical);
            resizeDocks({m_legend}, {300}, Qt::Horizontal);
        });
    }

    m_linkView->showServiceStatus();
    m_linkView->showHashStatus();
}

MainWindow::~MainWindow()
{
    m_host->unloadAll();
    m_host->setScene(nullptr);
    m_host->setConnection(nullptr);
}

void MainWindow::createDocks()
{
    // No dock animations: a window closed mid-animation leaks them (and tests close windows fast).
    setDockOptions(QMainWindow::AllowTabbedDocks);
    addDockWidget(Qt::LeftDockWidgetArea, m_objectsDock);
    addDockWidget(Qt::LeftDockWidgetArea, m_propertiesDock);
    addDockWidget(Qt::BottomDockWidgetArea, m_logDock);
    addDockWidget(Qt::RightDockWidgetArea, m_legend);
    // The plan shares the bottom with the log, which stays in front.
    m_scheduleDock = new ScheduleDock(this);
    addDockWidget(Qt::BottomDockWidgetArea, m_scheduleDock);
    tabifyDockWidget(m_logDock, m_scheduleDock);
    m_findingsDock = new FindingsDock(this);
    addDockWidget(Qt::BottomDockWidgetArea, m_findingsDock);
    tabifyDockWidget(m_logDock, m_findingsDock);
    connect(m_findingsDock, &FindingsDock::objectChosen, this, [this](QObject* object) {
        m_objectsDock->showObject(object);
        m_selection->objectChosen(object);
    });
    m_logDock->raise();

    m_commandBar = new Velmora::CommandBar(m_host, m_commands, this);
    addToolBar(Qt::BottomToolBarArea, m_commandBar);
    connect(m_commandBar, &Velmora::CommandBar::zoneChanged, m_scheduleDock, &ScheduleDock::setZone);
    m_commandBar->updateZones();
}

void MainWindow::createMenus()
{
    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->addAction(tr("&Open zone…"), this, &MainWindow::openZoneDialog, QKeySequence::Open);
    file->addAction(tr("&Edit zone…"), this, &MainWindow::editZone);
    file->addAction(tr("C&heck zone"), this, &MainWindow::checkZone)->setObjectName(QStringLiteral("checkZoneAction"));
    file->addAction(tr("&New zone in folder…"), this, &MainWindow::newZoneInFolder);
    file->addAction(tr("Re&vert to previous version…"), this, [this] { m_zoneFiles->revert(commandZone()); });
    file->addAction(tr("&Close zone"), this, [this] {
        if (QObject* zone = commandZone())
            closeZone(zone);
        else
            statusBar()->showMessage(tr("Choose the zone to close"), MessageTimeout);
    }, QKeySequence::Close);
    m_session->followRecentMenu(file->addMenu(tr("&Recent files")));
    file->addSeparator();
    m_reopenAction = file->addAction(tr("Reopen the last session at start"));
    m_reopenAction->setCheckable(true);
    m_reopenAction->setChecked(m_settings.reopenSession());
    connect(m_reopenAction, &QAction::toggled, this, [this](bool on) { m_settings.setReopenSession(on); });
    file->addSeparator();
    file->addAction(tr("&Quit"), this, &QWidget::close, QKeySequence::Quit);

    QMenu* view = menuBar()->addMenu(tr("&View"));
    view->addAction(tr("&Fit zone"), this, &MainWindow::fitZone, QKeySequence(Qt::CTRL + Qt::Key_F));
    view->addAction(tr("Fit &all"), this, &MainWindow::fitAll);
    view->addAction(tr("Zoom &in"), this, [this] { m_map->zoomBy(1.25, m_map->viewport()->rect().center()); },
                    QKeySequence::ZoomIn);
    view->addAction(tr("Zoom &out"), this, [this] { m_map->zoomBy(0.8, m_map->viewport()->rect().center()); },
                    QKeySequence::ZoomOut);
    view->addSeparator();
    view->addAction(m_objectsDock->toggleViewAction());
    view->addAction(m_propertiesDock->toggleViewAction());
    view->addAction(m_logDock->toggleViewAction());
    view->addAction(m_legend->toggleViewAction());
    view->addAction(m_scheduleDock->toggleViewAction());
    view->addAction(m_findingsDock->toggleViewAction());

    QMenu* service = menuBar()->addMenu(tr("&Service"));
    service->addAction(tr("&Connect…"), this, &MainWindow::connectDialog);
    m_disconnectAction = service->addAction(tr("&Disconnect"), this, &MainWindow::disconnectService);
    m_disconnectAction->setEnabled(false);
    service->addSeparator();
    QAction* online = service->addAction(tr("Storage service &online"));
    online->setCheckable(true);
    online->setChecked(m_storage->isOnline());
    connect(online, &QAction::toggled, m_storage, &StorageService::setOnline);
    connect(online, &QAction::toggled, this, [this](bool on) {
        m_logDock->logInfo(on ? tr("storage service online") : tr("storage service offline"));
    });
    service->addAction(tr("Storage &folder…"), this, &MainWindow::chooseStorageFolder);

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    help->addAction(tr("&Getting started"), this, &MainWindow::showGettingStarted, QKeySequence::HelpContents);
    help->addAction(tr("&About"), this, &MainWindow::showAbout);
}

void MainWindow::createStatusBar()
{
    m_statusLabels = std::make_unique<Velmora::StatusLabels>(statusBar());
}

StorageService* MainWindow::storage() const
{
    return m_storage;
}

void MainWindow::setPersistSettings(bool persist)
{
    m_session->setPersist(persist);
}

void MainWindow::setStorageDirectory(const QString& directory)
{
    m_storage->setDirectory(QFileInfo(directory).absoluteFilePath());
    if (m_session->persists())
        m_settings.setStorageDirectory(m_storage->directory());
}

bool MainWindow::openZone(const QString& fileName)
{
    return m_session->openZone(fileName);
}

void MainWindow::closeZone(QObject* zone)
{
    if (!zone)
        return;
    m_logDock->logInfo(tr("%1 closed").arg(LogDock::zoneLabel(zone)));
    m_host->unloadZone(zone);
    m_selection->forgetLeft();
    m_leftCommandFile.clear();
}

void MainWindow::connectToService(const QString& host, quint16 port)
{
    m_service->connectTo(host, port);
    m_disconnectAction->setEnabled(true);
    if (m_session->persists())
        m_settings.setServiceAddress(QStringLiteral("%1:%2").arg(host).arg(port));
}

QJsonObject MainWindow::stateJson() const
{
    QJsonObject state = StateDump::zones(m_host->zones());
    const QPoint origin = m_map->viewport()->mapTo(this, QPoint(0, 0));
    state.insert(QStringLiteral("mapViewport"), StateDump::rect(QRect(origin, m_map->viewport()->size())));
    state.insert(QStringLiteral("lights"), m_lights->count());
    state.insert(QStringLiteral("plugin"), m_host->pluginFile());
    state.insert(QStringLiteral("legend"), m_legend->toJson());
    state.insert(QStringLiteral("status"), statusText());
    // Each zone's link in words, beside what the zone itself says.
    QJsonArray zones = state.value(QStringLiteral("zones")).toArray();
    const QList<QObject*> loaded = m_host->zones();
    for (int i = 0; i < zones.size() && i < loaded.size(); ++i) {
        QJsonObject zone = zones.at(i).toObject();
        zone.insert(QStringLiteral("link"), LinkMonitor::text(m_links->status(loaded.at(i))));
        zones.replace(i, zone);
    }
    state.insert(QStringLiteral("zones"), zones);
    return state;
}

bool MainWindow::saveScreenshot(const QString& fileName)
{
    return grab().save(fileName, "PNG");
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (m_session->persists()) {
        m_settings.setWindow(saveGeometry(), saveState());
        saveSession();
    }
    event->accept();
}

QObject* MainWindow::commandZone() const
{
    return m_commandBar->zone();
}

void MainWindow::setCommandZone(QObject* zone)
{
    m_commandBar->setZone(zone);
}

void MainWindow::updateSceneRect()
{
    m_map->setExtent(m_host->zones(),
                     m_lights->count() > 0 ? std::optional<QRectF>(m_lights->boundingRect()) : std::nullopt);
}

void MainWindow::fitZone()
{
    QObject* zone = commandZone();
    if (!zone) {
        fitAll();
        return;
    }
    const QRectF rect = MapView::zoneRect(zone);
    if (!rect.isEmpty())
        m_map->fitRect(rect);
}

void MainWindow::fitAll()
{
    QObject* target = commandZone();
    qreal distance = 0;
    if (target && m_host->zones().size() > 1 && MapView::isFarFromOthers(target, m_host->zones(), &distance)) {
        statusBar()->showMessage(tr("The zones lie too far apart to be seen together; showing zone %1")
                                     .arg(target->property("id").toInt()),
                                 MessageTimeout);
        fitZone();
        return;
    }
    m_map->fitZones(m_host->zones(), m_lights->boundingRect());
}

void MainWindow::openZoneDialog()
{
    const QStringList files = QFileDialog::getOpenFileNames(this, tr("Open zone"), m_session->lastFolder(),
                                                            tr("Zone configurations (*.xtsc);;All files (*)"));
    for (const QString& file : files)
        openZone(file);
    if (!files.isEmpty())
        fitAll();
}

void MainWindow::editZone()
{
    QObject* zone = commandZone();
    if (!zone) {
        statusBar()->showMessage(tr("Select the zone to edit"), MessageTimeout);
        return;
    }
    m_zoneFiles->editorOpened(zone);
    if (!m_host->editZone(ModuleHost::zoneFile(zone), m_storage))
        statusBar()->showMessage(tr("The zone editor could not be opened (see the log)"), MessageTimeout);
}

void MainWindow::checkZone()
{
    QObject* zone = commandZone();
    if (!zone) {
        statusBar()->showMessage(tr("Choose the zone to check"), MessageTimeout);
        return;
    }
    const Velmora::ConfigFindings findings = m_findingsDock->checkZone(zone);
    m_findingsDock->show();
    m_findingsDock->raise();
    statusBar()->showMessage(tr("%1: %2 errors, %3 warnings")
                                 .arg(QFileInfo(ModuleHost::zoneFile(zone)).fileName())
                                 .arg(Velmora::ConfigChecker::errorCount(findings))
                                 .arg(Velmora::ConfigChecker::warningCount(findings)),
                             MessageTimeout);
}

void MainWindow::newZoneInFolder()
{
    const QString folder = QFileDialog::getExistingDirectory(this, tr("Folder for the new zone"));
    if (folder.isEmpty())
        return;
    if (!m_host->editZone(folder, m_storage))
        statusBar()->showMessage(tr("The zone editor could not be opened (see the log)"), MessageTimeout);
}

void MainWindow::connectDialog()
{
    ConnectDialog dialog(m_settings.serviceAddress(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    QString host;
    quint16 port = 0;
    if (Settings::parseAddress(dialog.address(), &host, &port))
        connectToService(host, port);
}

void MainWindow::disconnectService()
{
    m_service->disconnectFromService();
    m_disconnectAction->setEnabled(false);
}

void MainWindow::chooseStorageFolder()
{
    const QString folder =
        QFileDialog::getExistingDirectory(this, tr("Controller configuration folder"), m_storage->directory());
    if (!folder.isEmpty())
        setStorageDirectory(folder);
}

void MainWindow::zoneResponseFinished(QObject* zone, const Response* response)
{
    m_commands->responseFinished(zone, response);
    if (response && response->error() == 0)
        m_links->zoneAnswered(zone);
    m_scheduleDock->serviceTime(LogDock::replyStamp(response));
    // The reply may have been the service's configuration hash.
    m_linkView->showHashStatus();
    refreshProperties(zone);
}

void MainWindow::zoneAdded(QObject* zone)
{
    // Known to the link monitor first: the tree and the properties show its link.
    m_links->addZone(zone);
    m_treeModel->objectAdded(zone, m_selection->rowOfLeft(zone));
    m_objectsDock->expandZone(zone);
    const QString file = ModuleHost::zoneFile(zone);
    QString error;
    if (!m_zoneLights.load(zone, &error))
        m_logDock->logInfo(error);
    m_zoneFiles->watch(zone);
    updateSceneRect();
    m_selection->zoneBack(zone);
    if (!m_propertiesDock->object())
        m_propertiesDock->setObject(zone);
    m_logDock->logInfo(tr("%1 loaded from %2").arg(LogDock::zoneLabel(zone), file));
    MapView::stackZones(m_host->zones());
    m_commandBar->updateZones();
    m_linkView->showHashStatus();
}

void MainWindow::zoneAboutToBeRemoved(QObject* zone)
{
    m_selection->zoneLeaving(zone);
    m_leftCommandFile = commandZone() == zone ? ModuleHost::zoneFile(zone) : QString();
    m_treeModel->objectAboutToBeRemoved(zone);
    m_zoneLights.clear(zone);
    m_zoneFiles->unwatch(zone);
    m_links->removeZone(zone);
    // The zone is still a child of the root: everything here is made without it.
    m_commandBar->updateZones(zone);
    m_linkView->showServiceStatus();
    m_linkView->showHashStatus(zone);
}

void MainWindow::zoneReloaded(QObject* zone, bool changedOnDisk)
{
    if (!changedOnDisk || ModuleHost::sameFile(m_leftCommandFile, ModuleHost::zoneFile(zone)))
        setCommandZone(zone);
    m_leftCommandFile.clear();
}

void MainWindow::objectStateChanged(const QObject* object)
{
    m_treeModel->objectChanged(object);
    refreshProperties(object);
    m_scheduleDock->objectStateChanged(object);
    if (ModuleHost::isZone(object)) {
        m_links->zoneChanged(const_cast<QObject*>(object));
        m_linkView->showHashStatus();
    }
}

void MainWindow::zoneLinkChanged(QObject* zone, bool up)
{
    m_logDock->logInfo(up ? tr("%1 link up").arg(LogDock::zoneLabel(zone))
                          : tr("%1 link down").arg(LogDock::zoneLabel(zone)));
    m_links->zoneLinkChanged(zone, up);
    if (up)
        m_scheduleDock->serviceTime(zone->property("connectionTime").toDateTime());
    else
        m_commands->linkDown(zone);
    refreshProperties(zone);
    m_linkView->showHashStatus();
}

void MainWindow::linkStatusChanged(QObject* zone)
{
    m_treeModel->objectChanged(zone);
    // The areas' rows too: their live values show only while the zone is linked.
    for (const QObject* area : ModuleHost::areasOf(zone))
        m_treeModel->objectChanged(area);
    if (ModuleHost::zoneOf(m_propertiesDock->object()) == zone)
        m_propertiesDock->scheduleRefresh();
    m_map->viewport()->update();
    m_linkView->showServiceStatus();
}

QString MainWindow::objectToolTip(QObject* object) const
{
    if (m_replay) {
        const QVariant replayed = m_replay->areaData(object, 0, Qt::ToolTipRole);
        if (replayed.isValid())
            return replayed.toString();
    }
    return ToolTips::objectText(object, *m_links);
}

void MainWindow::cursorMoved(const QPointF& scenePos)
{
    m_statusLabels->showCursor(scenePos);
}

void MainWindow::refreshProperties(const QObject* changed)
{
    if (changed && m_propertiesDock->object() == changed)
        m_propertiesDock->scheduleRefresh();
}

QString MainWindow::statusText() const
{
    return m_statusLabels->text();
}

LinkMonitor* MainWindow::linkMonitor() const
{
    return m_links;
}

void MainWindow::saveSession()
{
    m_session->save(m_service->isWanted());
}

bool MainWindow::restoreSession()
{
    return m_session->restore();
}

void MainWindow::showAbout()
{
    const QString module = m_host->root() ? m_host->root()->property("moduleVersion").toString() : QString();
    Velmora::HelpDialogs::showAbout(this, module, m_host->pluginFile());
}

void MainWindow::showGettingStarted()
{
    Velmora::HelpDialogs::showGettingStarted(this);
}

void MainWindow::setHistory(Velmora::HistoryWriter* writer)
{
    auto* history = new Velmora::HistoryPanel(m_host, m_links, writer,
                                              {this, m_logDock, m_map, m_scene, m_propertiesDock, m_treeModel,
                                               [this] { return m_scheduleDock->now(); }});
    m_commands->setHistoryRecorder(history->recorder());
    m_replay = history->replay();
    connect(m_replay, &Velmora::ReplayView::replayingChanged, this, &MainWindow::setReplaying);
    m_treeModel->setOverride([this](const QObject* object, int column, int role) {
        const QVariant replayed = m_replay->areaData(object, column, role);
        return replayed.isValid() ? replayed : m_linkView->unreportedArea(object, column, role);
    });
    writer->start();
}

void MainWindow::setReplaying(bool replaying)
{
    m_map->setReplaying(replaying);
    m_commandBar->setReplaying(replaying);
}

} // namespace Velmora
