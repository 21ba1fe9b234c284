#include "MainWindow.h"

#include "CommandLine.h"
#include "HostLogging.h"
#include "LightLayer.h"
#include "LogDock.h"
#include "MapView.h"
#include "ModuleHost.h"
#include "ObjectTreeDock.h"
#include "ObjectTreeModel.h"
#include "PropertiesDock.h"
#include "StateDump.h"
#include "StorageService.h"

#include "connection/TcpConnection.h"
#include "semtra/Notification.h"
#include "semtra/Request.h"
#include "semtra/Response.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

namespace {

constexpr int MessageTimeout = 8000;

QString connectionStateText(Semtra::Connection::State state)
{
    switch (state) {
    case Semtra::Connection::Unconnected:
        return MainWindow::tr("not connected");
    case Semtra::Connection::HostLookup:
        return MainWindow::tr("looking up host");
    case Semtra::Connection::Connecting:
        return MainWindow::tr("connecting");
    case Semtra::Connection::Closing:
        return MainWindow::tr("closing");
    case Semtra::Connection::Connected:
    case Semtra::Connection::Ready:
        return MainWindow::tr("connected");
    }
    return QString();
}

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
    , m_storage(new StorageService(this))
    , m_connection(new Semtra::TcpConnection(this))
{
    setWindowTitle(tr("Velmora Workstation"));
    m_scene->setBackgroundBrush(QColor(236, 238, 232));
    setCentralWidget(m_map);
    m_storage->setDirectory(m_settings.storageDirectory());

    m_host->setScene(m_scene);
    // Zones hear the service's announcements from the start; the link comes
    // up by itself once the connection does.
    m_host->setConnection(m_connection);
    m_treeModel->setRoot(m_host->root());

    createDocks();
    createMenus();
    createStatusBar();

    connect(m_host, &ModuleHost::zoneAdded, this, &MainWindow::zoneAdded);
    connect(m_host, &ModuleHost::zoneAboutToBeRemoved, this, &MainWindow::zoneAboutToBeRemoved);
    connect(m_host, &ModuleHost::zoneReloaded, this, &MainWindow::zoneReloaded);
    connect(m_host, &ModuleHost::reloadFailed, this, &MainWindow::reloadFailed);
    connect(m_host, &ModuleHost::objectStateChanged, this, &MainWindow::objectStateChanged);
    connect(m_host, &ModuleHost::zoneRequest, this, &MainWindow::zoneRequest);
    connect(m_host, &ModuleHost::zoneResponseFinished, this, &MainWindow::zoneResponseFinished);
    connect(m_host, &ModuleHost::zoneNotification, m_logDock, &LogDock::logEvent);
    connect(m_host, &ModuleHost::zoneLinkChanged, this, &MainWindow::zoneLinkChanged);
    connect(m_connection, &Semtra::TcpConnection::stateChanged, this, &MainWindow::connectionStateChanged);
    connect(m_scene, &QGraphicsScene::selectionChanged, this, &MainWindow::sceneSelectionChanged);
    connect(m_map, &MapView::cursorMoved, this, &MainWindow::cursorMoved);
    connect(m_objectsDock, &ObjectTreeDock::objectSelected, this, &MainWindow::treeObjectSelected);

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
        });
    }

    updateServiceStatus();
    updateHashStatus();
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

    auto* commandBar = new QToolBar(tr("Command"), this);
    commandBar->setObjectName(QStringLiteral("CommandBar"));
    commandBar->setMovable(false);
    m_commandTarget = new QLabel(commandBar);
    m_commandEdit = new QLineEdit(commandBar);
    m_commandEdit->setObjectName(QStringLiteral("commandLine"));
    m_commandEdit->setPlaceholderText(tr("Command for the zone, e.g. SET_STRAT 2 60 or GET_STATE"));
    commandBar->addWidget(m_commandTarget);
    commandBar->addWidget(m_commandEdit);
    addToolBar(Qt::BottomToolBarArea, commandBar);
    connect(m_commandEdit, &QLineEdit::returnPressed, this, &MainWindow::runCommand);
    updateCommandTarget();
}

void MainWindow::createMenus()
{
    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->addAction(tr("&Open zone…"), this, &MainWindow::openZoneDialog, QKeySequence::Open);
    file->addAction(tr("&Edit zone…"), this, &MainWindow::editZone);
    file->addAction(tr("&New zone in folder…"), this, &MainWindow::newZoneInFolder);
    m_recentMenu = file->addMenu(tr("&Recent files"));
    connect(m_recentMenu, &QMenu::aboutToShow, this, &MainWindow::updateRecentMenu);
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
}

void MainWindow::createStatusBar()
{
    m_cursorLabel = new QLabel(this);
    m_cursorLabel->setMinimumWidth(260);
    m_linkLabel = new QLabel(this);
    m_hashLabel = new QLabel(this);
    m_hashLabel->setObjectName(QStringLiteral("hashStatus"));
    m_hashLabel->setStyleSheet(QStringLiteral("QLabel { color: white; background: #c62828; padding: 0 6px; }"));
    m_hashLabel->hide();
    statusBar()->addPermanentWidget(m_hashLabel);
    statusBar()->addPermanentWidget(m_linkLabel);
    statusBar()->addPermanentWidget(m_cursorLabel);
}

StorageService* MainWindow::storage() const
{
    return m_storage;
}

void MainWindow::setPersistSettings(bool persist)
{
    m_persistSettings = persist;
}

void MainWindow::setStorageDirectory(const QString& directory)
{
    m_storage->setDirectory(QFileInfo(directory).absoluteFilePath());
    if (m_persistSettings)
        m_settings.setStorageDirectory(m_storage->directory());
}

bool MainWindow::openZone(const QString& fileName)
{
    QString error;
    const bool known = m_host->zoneForFile(fileName) != nullptr;
    QObject* zone = m_host->loadZone(fileName, &error);
    if (!zone) {
        m_logDock->logInfo(tr("cannot load %1: %2").arg(fileName, error));
        statusBar()->showMessage(tr("Cannot load %1").arg(fileName), MessageTimeout);
        if (m_persistSettings)
            m_settings.removeRecentFile(fileName);
        return false;
    }
    if (known)
        statusBar()->showMessage(tr("%1 is already open").arg(fileName), MessageTimeout);
    if (m_persistSettings)
        m_settings.addRecentFile(fileName);
    return true;
}

void MainWindow::connectToService(const QString& host, quint16 port)
{
    m_logDock->logInfo(tr("connecting to %1:%2").arg(host).arg(port));
    m_connection->connectToService(host, port);
    m_disconnectAction->setEnabled(true);
    updateServiceStatus();
}

QJsonObject MainWindow::stateJson() const
{
    QJsonObject state = StateDump::zones(m_host->zones());
    const QPoint origin = m_map->viewport()->mapTo(this, QPoint(0, 0));
    state.insert(QStringLiteral("mapViewport"), StateDump::rect(QRect(origin, m_map->viewport()->size())));
    state.insert(QStringLiteral("lights"), m_lights->count());
    state.insert(QStringLiteral("plugin"), m_host->pluginFile());
    return state;
}

bool MainWindow::saveScreenshot(const QString& fileName)
{
    return grab().save(fileName, "PNG");
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (m_persistSettings)
        m_settings.setWindow(saveGeometry(), saveState());
    event->accept();
}

QObject* MainWindow::targetZone() const
{
    if (QObject* zone = ModuleHost::zoneOf(m_objectsDock->currentObject()))
        return zone;
    const QList<QObject*> zones = m_host->zones();
    return zones.size() == 1 ? zones.first() : nullptr;
}

void MainWindow::updateCommandTarget()
{
    QObject* zone = targetZone();
    m_commandTarget->setText(zone ? tr(" Zone %1: ").arg(zone->property("id").toInt()) : tr(" No zone: "));
    m_commandEdit->setEnabled(zone != nullptr);
}

QRectF MainWindow::zoneRect(QObject* zone) const
{
    const QGraphicsItem* item = ModuleHost::graphicsItem(zone);
    if (!item)
        return QRectF();
    QRectF rect = item->sceneBoundingRect();
    const QRectF children = item->mapRectToScene(item->childrenBoundingRect());
    if (!children.isEmpty())
        rect = rect.isEmpty() ? children : rect.united(children);
    return rect;
}

void MainWindow::updateSceneRect()
{
    // Pixel-sized light markers would blow up the scene's own estimate of its
    // extent (each counts as 9 degrees wide), so the map's extent is set here.
    bool any = false;
    qreal left = 0, top = 0, right = 0, bottom = 0;
    auto include = [&](const QRectF& r) {
        if (!any) {
            left = r.left(), top = r.top(), right = r.right(), bottom = r.bottom();
            any = true;
            return;
        }
        left = qMin(left, r.left());
        top = qMin(top, r.top());
        right = qMax(right, r.right());
        bottom = qMax(bottom, r.bottom());
    };
    for (QObject* zone : m_host->zones()) {
        const QRectF rect = zoneRect(zone);
        if (!rect.isEmpty())
            include(rect);
    }
    if (m_lights->count() > 0)
        include(m_lights->boundingRect());
    if (!any) {
        m_scene->setSceneRect(QRectF());
        return;
    }
    const QRectF rect(QPointF(left, top), QPointF(right, bottom));
    // Room to pan around the zones; a single point still gets a neighbourhood.
    const qreal margin = qMax(qMax(rect.width(), rect.height()), 0.01);
    m_scene->setSceneRect(rect.adjusted(-margin, -margin, margin, margin));
}

void MainWindow::fitZone()
{
    QObject* zone = targetZone();
    if (!zone) {
        fitAll();
        return;
    }
    const QRectF rect = zoneRect(zone);
    if (!rect.isEmpty())
        m_map->fitRect(rect);
}

void MainWindow::fitAll()
{
    QRectF rect;
    for (QObject* zone : m_host->zones()) {
        const QRectF zr = zoneRect(zone);
        if (!zr.isEmpty())
            rect = rect.isEmpty() ? zr : rect.united(zr);
    }
    if (rect.isEmpty())
        rect = m_lights->boundingRect();
    if (rect.isValid())
        m_map->fitRect(rect);
}

void MainWindow::openZoneDialog()
{
    const QStringList recent = m_settings.recentFiles();
    const QString start = recent.isEmpty() ? QString() : QFileInfo(recent.first()).absolutePath();
    const QStringList files = QFileDialog::getOpenFileNames(this, tr("Open zone"), start,
                                                            tr("Zone configurations (*.xtsc);;All files (*)"));
    for (const QString& file : files)
        openZone(file);
    if (!files.isEmpty())
        fitAll();
}

void MainWindow::editZone()
{
    QObject* zone = targetZone();
    if (!zone) {
        statusBar()->showMessage(tr("Select the zone to edit"), MessageTimeout);
        return;
    }
    if (!m_host->editZone(ModuleHost::zoneFile(zone), m_storage))
        statusBar()->showMessage(tr("The zone editor could not be opened (see the log)"), MessageTimeout);
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
    bool ok = false;
    const QString address = QInputDialog::getText(this, tr("Connect to the control service"), tr("Address (host:port):"),
                                                  QLineEdit::Normal, m_settings.serviceAddress(), &ok);
    if (!ok)
        return;
    QString host;
    quint16 port = 0;
    if (!Settings::parseAddress(address, &host, &port)) {
        QMessageBox::warning(this, tr("Warning"), tr("\"%1\" is not a host:port address").arg(address));
        return;
    }
    m_settings.setServiceAddress(QStringLiteral("%1:%2").arg(host).arg(port));
    connectToService(host, port);
}

void MainWindow::disconnectService()
{
    m_connection->disconnectFromService();
    m_disconnectAction->setEnabled(false);
    m_logDock->logInfo(tr("disconnected from the service"));
}

void MainWindow::chooseStorageFolder()
{
    const QString folder =
        QFileDialog::getExistingDirectory(this, tr("Controller configuration folder"), m_storage->directory());
    if (!folder.isEmpty())
        setStorageDirectory(folder);
}

void MainWindow::updateRecentMenu()
{
    m_recentMenu->clear();
    const QStringList files = m_settings.recentFiles();
    for (const QString& file : files)
        m_recentMenu->addAction(file, this, [this, file] {
            if (openZone(file))
                fitAll();
        });
    if (files.isEmpty())
        m_recentMenu->addAction(tr("(none)"))->setEnabled(false);
}

void MainWindow::runCommand()
{
    const CommandLine line = CommandLine::parse(m_commandEdit->text());
    if (!line.isValid())
        return;
    QObject* zone = targetZone();
    if (!zone) {
        m_logDock->logNotSent(nullptr, line.command(), tr("select a zone first"));
        return;
    }
    m_sendingTyped = true;
    Response* response = m_host->sendCommand(zone, line.commandArgument(), line.parameterArgument());
    m_sendingTyped = false;
    if (!response) {
        // The zone says no more than null; the likely reasons are these two.
        const QString reason = zone->property("isConnected").toBool()
            ? tr("unknown command or unsupported parameters")
            : tr("the zone is not connected");
        m_logDock->logNotSent(zone, line.command(), reason);
        return;
    }
    const QString typed = line.parameters().isEmpty() ? line.command()
                                                      : line.command() + QLatin1Char(' ') + line.parameters();
    m_logDock->logRequest(zone, response->request(), typed);
    m_typedResponses.insert(response);
    QPointer<QObject> zoneGuard(zone);
    connect(response, &Response::finished, m_logDock,
            [this, zoneGuard, response] { m_logDock->logResult(zoneGuard, response); });
    connect(response, &QObject::destroyed, this, [this, response] { m_typedResponses.remove(response); });
    m_commandEdit->clear();
}

void MainWindow::zoneRequest(QObject* zone, const Request* request)
{
    // Typed commands are logged with the text the user wrote.
    if (!m_sendingTyped)
        m_logDock->logRequest(zone, request);
}

void MainWindow::zoneResponseFinished(QObject* zone, const Response* response)
{
    if (!m_typedResponses.contains(response))
        m_logDock->logResult(zone, response);
    // The reply may have been the service's configuration hash.
    updateHashStatus();
    refreshProperties(zone);
}

void MainWindow::zoneAdded(QObject* zone)
{
    m_treeModel->objectAdded(zone);
    m_objectsDock->expandZone(zone);
    const QString file = ModuleHost::zoneFile(zone);
    const QString lightsFile = LightLayer::lightsFileFor(file);
    if (QFileInfo::exists(lightsFile)) {
        QString error;
        if (!m_lights->load(file, lightsFile, &error))
            m_logDock->logInfo(error);
    }
    updateSceneRect();
    if (!m_propertiesDock->object())
        m_propertiesDock->setObject(zone);
    m_logDock->logInfo(tr("%1 loaded from %2").arg(LogDock::zoneLabel(zone), file));
    updateCommandTarget();
    updateHashStatus();
}

void MainWindow::zoneAboutToBeRemoved(QObject* zone)
{
    m_syncingSelection = true;
    m_scene->clearSelection();
    m_syncingSelection = false;
    if (ModuleHost::zoneOf(m_propertiesDock->object()) == zone)
        m_propertiesDock->setObject(nullptr);
    m_treeModel->objectAboutToBeRemoved(zone);
    m_lights->clear(ModuleHost::zoneFile(zone));
    updateCommandTarget();
    updateHashStatus(zone);
}

void MainWindow::zoneReloaded(const QString& fileName, QObject* zone)
{
    m_logDock->logInfo(tr("%1 reloaded after editing").arg(LogDock::zoneLabel(zone)));
    statusBar()->showMessage(tr("Reloaded %1").arg(fileName), MessageTimeout);
    m_propertiesDock->setObject(zone);
    m_objectsDock->showObject(zone);
}

void MainWindow::reloadFailed(const QString& fileName, const QString& reason)
{
    m_logDock->logInfo(tr("cannot reload %1: %2").arg(fileName, reason));
    statusBar()->showMessage(tr("Cannot reload %1").arg(fileName), MessageTimeout);
}

void MainWindow::objectStateChanged(const QObject* object)
{
    m_treeModel->objectChanged(object);
    refreshProperties(object);
    if (ModuleHost::isZone(object))
        updateHashStatus();
}

void MainWindow::zoneLinkChanged(QObject* zone, bool up)
{
    m_logDock->logInfo(up ? tr("%1 link up").arg(LogDock::zoneLabel(zone))
                          : tr("%1 link down").arg(LogDock::zoneLabel(zone)));
    refreshProperties(zone);
    updateHashStatus();
}

void MainWindow::connectionStateChanged(Semtra::Connection::State state)
{
    m_logDock->logInfo(tr("service connection: %1").arg(connectionStateText(state)));
    if (state >= Semtra::Connection::Connected)
        m_host->refreshZones();
    updateServiceStatus();
}

void MainWindow::treeObjectSelected(QObject* object)
{
    m_propertiesDock->setObject(object);
    updateCommandTarget();
    if (!object)
        return;
    m_syncingSelection = true;
    m_scene->clearSelection();
    // Containers have no map item, hence no "selected".
    if (object->metaObject()->indexOfProperty("selected") >= 0 && !object->setProperty("selected", true))
        qCWarning(lcHost, "Cannot select %s on the map", object->metaObject()->className());
    m_syncingSelection = false;
}

void MainWindow::sceneSelectionChanged()
{
    if (m_syncingSelection)
        return;
    const QList<QGraphicsItem*> items = m_scene->selectedItems();
    if (items.isEmpty())
        return;
    QObject* object = items.first()->data(0).value<QObject*>();
    if (!object)
        return;
    m_objectsDock->showObject(object);
    m_propertiesDock->setObject(object);
    updateCommandTarget();
}

void MainWindow::cursorMoved(const QPointF& scenePos)
{
    m_cursorLabel->setText(tr("lon %1  lat %2").arg(scenePos.x(), 0, 'f', 6).arg(scenePos.y(), 0, 'f', 6));
}

void MainWindow::refreshProperties(const QObject* changed)
{
    if (changed && m_propertiesDock->object() == changed)
        m_propertiesDock->refresh();
}

void MainWindow::updateServiceStatus()
{
    const Semtra::Connection::State state = m_connection->state();
    if (m_connection->hostName().isEmpty())
        m_linkLabel->setText(tr("Service: not connected"));
    else
        m_linkLabel->setText(tr("Service %1:%2 %3")
                                 .arg(m_connection->hostName())
                                 .arg(m_connection->port())
                                 .arg(connectionStateText(state)));
}

void MainWindow::updateHashStatus(const QObject* leaving)
{
    QStringList mismatched;
    for (QObject* zone : m_host->zones()) {
        if (zone != leaving && zone->property("hashInvalid").toBool())
            mismatched << QString::number(zone->property("id").toInt());
    }
    if (mismatched.isEmpty()) {
        m_hashLabel->hide();
    } else {
        m_hashLabel->setText(tr("Configuration differs from the service's (hash mismatch): zone %1")
                                 .arg(mismatched.join(QLatin1String(", "))));
        m_hashLabel->show();
    }
}
