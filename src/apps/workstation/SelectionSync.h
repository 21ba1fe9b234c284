#pragma once

#include <QObject>

class QGraphicsScene;

namespace Velmora {

class ObjectTreeDock;
class PropertiesDock;

class ZoneLights;

// Keeps the tree, the map and the properties on one object: a row chosen
// selects its object on the map (a controller, its lights), an item selected
// on the map makes its row current, and both show in the properties.
class SelectionSync : public QObject
{
    Q_OBJECT
public:
    SelectionSync(QGraphicsScene* scene, ObjectTreeDock* tree, PropertiesDock* properties, ZoneLights* lights,
                  QObject* parent = nullptr);

    // Clears the map's selection without the tree or properties following.
    void clearMap();

public slots:
    // The object chosen as if the user picked its row.
    void objectChosen(QObject* object);

signals:
    // Choosing in the tree is choosing the zone for commands.
    void zoneChosen(QObject* zone);

private slots:
    void sceneSelectionChanged();

private:
    QGraphicsScene* m_scene;
    ObjectTreeDock* m_tree;
    PropertiesDock* m_properties;
    ZoneLights* m_lights;
    // The map's selection is being made from here: it must not come back.
    bool m_selectingOnMap = false;
};

} // namespace Velmora
