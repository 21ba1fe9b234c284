#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>

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

    // The zone is about to go: the map lets go of it, and what the tree and
    // the properties show is kept, to be shown again in the zone its file
    // loads next (a reload is a zone going and a fresh one coming).
    void zoneLeaving(QObject* zone);
    // The tree row of the zone of the same file that went, for the zone
    // coming in its place; -1 for any other zone.
    int rowOfLeft(QObject* zone) const;
    // A zone came: the tree's current row and first row in sight and the
    // properties' object, where they were in a zone of the same file that
    // went before, are their like in this one.
    void zoneBack(QObject* zone);
    // The zone that went is closed, not reloaded: nothing of it comes back.
    void forgetLeft();

public slots:
    // The object chosen as if the user picked its row.
    void objectChosen(QObject* object);

signals:
    // Choosing in the tree is choosing the zone for commands.
    void zoneChosen(QObject* zone);

private slots:
    void sceneSelectionChanged();

private:
    // Clears the map's selection without the tree or properties following.
    void clearMap();
    // An object shown, to be found again: the object itself while it lives,
    // else its place in the zone that went.
    struct Kept
    {
        QPointer<QObject> object;
        QStringList place;
        bool inLeaving = false;
    };
    Kept keep(QObject* object, QObject* leaving) const;
    QObject* findAgain(const Kept& kept, QObject* zone) const;

    QGraphicsScene* m_scene;
    ObjectTreeDock* m_tree;
    PropertiesDock* m_properties;
    ZoneLights* m_lights;
    // The map's selection is being made from here: it must not come back.
    bool m_selectingOnMap = false;
    // What was shown when a zone went, and the file of that zone.
    QString m_leftFile;
    int m_leftRow = -1;
    Kept m_current;
    Kept m_top;
    Kept m_shown;
};

} // namespace Velmora
