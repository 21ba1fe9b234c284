#include "SelectionSync.h"

#include "HostLogging.h"
#include "ModuleHost.h"
#include "ObjectTreeDock.h"
#include "PropertiesDock.h"
#include "ZoneLights.h"

#include <QGraphicsItem>
#include <QGraphicsScene>

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
