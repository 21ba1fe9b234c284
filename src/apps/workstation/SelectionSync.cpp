#include "SelectionSync.h"

#include "HostLogging.h"
#include "ModuleHost.h"
#include "ObjectTreeDock.h"
#include "ObjectTreeModel.h"
#include "PropertiesDock.h"
#include "ZoneLights.h"

#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QTreeView>

namespace Velmora {

SelectionSync::SelectionSync(QGraphicsScene* scene, ObjectTreeDock* tree, PropertiesDock* properties,
                             ZoneLights* lights, QObject* parent)
    : QObject(parent)
    , m_scene(scene)
    , m_tree(tree)
    , m_properties(properties)
    , m_lights(lights)
{
    connect(m_scene, &QGraphicsScene::selectionChanged, this, &SelectionSync::sceneSelectionChanged);
    connect(m_tree, &ObjectTreeDock::objectSelected, this, &SelectionSync::objectChosen);
}

void SelectionSync::clearMap()
{
    m_selectingOnMap = true;
    m_scene->clearSelection();
    m_selectingOnMap = false;
}

SelectionSync::Kept SelectionSync::keep(QObject* object, QObject* leaving) const
{
    Kept kept;
    kept.object = object;
    kept.inLeaving = object && ModuleHost::zoneOf(object) == leaving;
    if (kept.inLeaving)
        kept.place = ModuleHost::placeInZone(object);
    return kept;
}

QObject* SelectionSync::findAgain(const Kept& kept, QObject* zone) const
{
    return kept.inLeaving ? ModuleHost::objectAtPlace(zone, kept.place) : kept.object.data();
}

void SelectionSync::zoneLeaving(QObject* zone)
{
    clearMap();
    QTreeView* view = m_tree->view();
    m_leftFile = ModuleHost::zoneFile(zone);
    m_leftRow = m_tree->model()->indexOf(zone).row();
    m_current = keep(m_tree->currentObject(), zone);
    m_top = keep(m_tree->model()->objectAt(view->indexAt(QPoint(0, 0))), zone);
    m_shown = keep(m_properties->object(), zone);
    // Without a current row among those going, none of theirs becomes current as if picked.
    if (m_current.inLeaving)
        m_tree->showObject(nullptr);
    // Not emptied now: the zone loaded again shows in the same rows, scrolled as they were.
    if (m_shown.inLeaving)
        m_properties->scheduleRefresh();
}

int SelectionSync::rowOfLeft(QObject* zone) const
{
    return ModuleHost::sameFile(m_leftFile, ModuleHost::zoneFile(zone)) ? m_leftRow : -1;
}

void SelectionSync::zoneBack(QObject* zone)
{
    if (!ModuleHost::sameFile(m_leftFile, ModuleHost::zoneFile(zone)))
        return;
    // An object the file no longer has leaves its zone shown.
    if (m_shown.inLeaving) {
        QObject* again = findAgain(m_shown, zone);
        m_properties->setObject(again ? again : zone);
    }
    if (m_current.inLeaving) {
        QObject* again = findAgain(m_current, zone);
        m_tree->showObject(again ? again : zone);
    }
    const QModelIndex top = m_tree->model()->indexOf(findAgain(m_top, zone));
    if (top.isValid())
        m_tree->view()->scrollTo(top, QAbstractItemView::PositionAtTop);
    forgetLeft();
}

void SelectionSync::forgetLeft()
{
    m_leftFile.clear();
    m_leftRow = -1;
    m_current = m_top = m_shown = Kept();
}

void SelectionSync::objectChosen(QObject* object)
{
    m_properties->setObject(object);
    if (QObject* zone = ModuleHost::zoneOf(object))
        emit zoneChosen(zone);
    if (!object)
        return;
    m_selectingOnMap = true;
    m_scene->clearSelection();
    if (ModuleHost::isController(object))
        m_lights->select(object);
    // Containers have no map item, hence no "selected".
    if (object->metaObject()->indexOfProperty("selected") >= 0 && !object->setProperty("selected", true))
        qCWarning(VelmoraHost::lcHost, "Cannot select %s on the map", object->metaObject()->className());
    m_selectingOnMap = false;
}

void SelectionSync::sceneSelectionChanged()
{
    if (m_selectingOnMap)
        return;
    const QList<QGraphicsItem*> items = m_scene->selectedItems();
    if (items.isEmpty())
        return;
    QObject* object = items.first()->data(0).value<QObject*>();
    if (!object)
        return;
    // A light stands for its controller: the tree and the properties show that.
    if (QObject* controller = m_lights->controllerOf(object))
        object = controller;
    m_tree->showObject(object);
    m_properties->setObject(object);
}

} // namespace Velmora
