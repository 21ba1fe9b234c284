#include "Plugin.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QDomDocument>
#include <QFileDialog>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QRegularExpression>
#include <QVector>

#include "Area.h"
#include "Controller.h"
#include "LibraryLoad.h"
#include "LoadAhead.h"
#include "Logging.h"
#include "OrderAhead.h"
#include "PreparedLoads.h"
#include "Strategy.h"
#include "Translations.h"
#include "Zone.h"
#include "ZoneFile.h"
#include "editors/ZoneEditDlg.h"
#include "format/DocumentWriter.h"
#include "format/Vocabulary.h"

namespace Velmora {

namespace {

// The library's one load-time step. It lives here because every program that
// links the core pulls this file in, the plug-in and the tests alike.
const struct LibraryLoad
{
    LibraryLoad() { prepareLibrary(); }
} libraryLoad;

// Map items need Qt's type registry when they are torn down, and at process
// exit the registry is gone before the library is unloaded. So the zones of
// every root object go while the application still exists.
Q_GLOBAL_STATIC(QVector<Plugin*>, liveRoots)

void deleteZonesBeforeExit()
{
    if (!liveRoots.exists())
        return;
    const QVector<Plugin*> roots = *liveRoots;
    for (Plugin* root : roots)
        qDeleteAll(root->findChildren<Zone*>(QString(), Qt::FindDirectChildrenOnly));
}

} // namespace

Plugin::Plugin(QObject* parent)
    : QObject(parent)
    , m_prepared(new PreparedLoads(this))
    , m_loadAhead(new LoadAhead(m_prepared.data()))
{
    setProperty("loadAhead", QVariant::fromValue<QObject*>(m_loadAhead.data()));
    // The host made its application before asking for us: the user's
    // language applies from the first dialog on.
    static const bool translated = installTranslation();
    Q_UNUSED(translated)
    if (liveRoots->isEmpty())
        qAddPostRoutine(deleteZonesBeforeExit);
    liveRoots->append(this);
}

Plugin::~Plugin()
{
    if (liveRoots.isDestroyed())
        return;
    liveRoots->removeAll(this);
    if (liveRoots->isEmpty())
        qRemovePostRoutine(deleteZonesBeforeExit);
}

QObject* Plugin::load(QString fileName)
{
    auto* zone = new Zone(this);
    ZoneFile prepared;
    const bool loaded = m_prepared->take(fileName, &prepared) ? zone->load(prepared) : zone->load(fileName);
    if (!loaded) {
        delete zone;
        return nullptr;
    }
    setVisible(m_visible);
    emit zoneLoaded(zone);
    return zone;
}

void Plugin::editZone(QString fileName, QObject* cnfStorage)
{
    if (fileName.isEmpty())
        return;
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        qCWarning(lcEdit, "Velmora::Plugin::editZone: the zone editor needs a widget application (%s)",
                  qUtf8Printable(fileName));
        return;
    }
    QWidget* mainWindow = nullptr;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        if (window->inherits("QMainWindow")) {
            mainWindow = window;
            break;
        }
    }
    QGraphicsScene* scene = nullptr;
    if (mainWindow) {
        if (auto* view = mainWindow->findChild<QGraphicsView*>())
            scene = view->scene();
    }

    // A directory: a new zone, written there under its name.
    const QString editedFile = QFileInfo(fileName).isDir() ? QString() : fileName;
    auto* editor = new ZoneEditDlg(editedFile, mainWindow, scene);
    editor->cnfStorage = cnfStorage;
    editor->setProperty("zone_file", fileName);
    if (!editedFile.isEmpty() && QFileInfo::exists(editedFile)) {
        m_ordersAhead.insert(editor, std::make_shared<OrderAhead>(editedFile));
        connect(editor, &QObject::destroyed, this, [this, editor] { m_ordersAhead.remove(editor); });
    }
    connect(editor, &QDialog::finished, this, &Plugin::zoneEditComplete);
    editor->setModal(true);
    editor->show();
}

void Plugin::editZone(QString fileName)
{
    editZone(fileName, nullptr);
}

void Plugin::prepareLoad(const QString& fileName, QObject* receiver, const QString& member)
{
    m_loadAhead->prepare(fileName, receiver, member);
}

QString Plugin::moduleVersion() const
{
    return QStringLiteral("2.3.38");
}

bool Plugin::isVisible() const
{
    return m_visible;
}

void Plugin::setVisible(bool visible)
{
    m_visible = visible;
    QGraphicsScene* scene = nullptr;
    const QObjectList zones = children();
    for (QObject* child : zones) {
        auto* zone = qobject_cast<Zone*>(child);
        if (!zone)
            continue;
        if (!scene)
            scene = zone->scene();
        zone->setProperty("visible", visible);
        const QList<Area*> areas = zone->areas();
        for (Area* area : areas)
            area->setProperty("visible", visible);
    }
    if (visible && scene)
        scene->update(QRectF());
}

void Plugin::zoneEditComplete(int result)
{
    auto* editor = qobject_cast<ZoneEditDlg*>(sender());
    if (!editor)
        return;
    const std::shared_ptr<OrderAhead> orderAhead = m_ordersAhead.take(editor);
    if (result == QDialog::Accepted) {
        const QDomDocument document = editor->zoneDocument();
        // Attributes stay where the replaced file had them, so an untouched
        // zone is written back as it was and keeps its configuration hash.
        const DocumentWriter writer = orderAhead ? orderAhead->writer() : DocumentWriter();
        QWidget* parent = editor->parentWidget();
        const QString caption = tr("Select file for save");
        const QString filter = tr("zone configuration files (*.xtsc)");
        QString path = editor->property("zone_file").toString();
        // The name becomes a file in the folder: a path, or what no file name
        // may hold, would put it elsewhere or nowhere.
        const auto isPlainFileName = [](const QString& name) {
            static const QRegularExpression unfit(QStringLiteral("[/\\\\<>:\"|?*\\x00-\\x1f\\x7f]"));
            return !name.isEmpty() && name != QLatin1String(".") && !name.startsWith(QLatin1String(".."))
                && !name.contains(unfit);
        };
        if (QFileInfo(path).isDir()) {
            const QString folder = path;
            const QString name = document.documentElement().attribute(Xml::name);
            if (!isPlainFileName(name)) {
                qCWarning(lcEdit, "%s",
                          qUtf8Printable(tr("Zone name \"%1\" is no file name: nothing written to %2")
                                             .arg(name, QDir::toNativeSeparators(folder))));
                showWarning(parent, tr("Error"),
                            tr("The zone name \"%1\" cannot be a file name.\nChoose the file to save the zone to.")
                                .arg(name));
                path = askSaveFileName(parent, caption, QDir(folder).absolutePath() + QLatin1Char('/'), filter);
            } else {
                path = QDir(folder).absoluteFilePath(name + QStringLiteral(".xtsc"));
                if (QFileInfo::exists(path))
                    path = askSaveFileName(parent, caption, path, filter);
            }
        }
        // The user's whole edit is in this document: when it cannot be
        // written, the user may put it elsewhere, or drop it knowingly.
        while (!path.isEmpty()) {
            QString error;
            // Replaced only once all of it was written; else the old file stays.
            if (writer.save(document, path, &error)) {
                emit zoneEdited(path);
                break;
            }
            qCWarning(lcEdit, "%s", qUtf8Printable(tr("Cannot open file %1 for writing").arg(path)));
            showWarning(parent, tr("Error"),
                        tr("The zone could not be saved to %1: %2\n"
                           "Choose another file to keep your changes.")
                            .arg(QDir::toNativeSeparators(path), error));
            path = askSaveFileName(parent, caption, path, filter);
        }
    }
    editor->deleteLater();
}

QString Plugin::askSaveFileName(QWidget* parent, const QString& caption, const QString& proposed,
                                const QString& filter)
{
    return QFileDialog::getSaveFileName(parent, caption, proposed, filter);
}

void Plugin::showWarning(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox::warning(parent, title, text);
}

} // namespace Velmora
