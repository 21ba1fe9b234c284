#pragma once

#include <QDockWidget>

class QTreeView;

namespace Velmora {

class ObjectTreeModel;

// The "Objects" dock: the module's object tree with the current row kept in
// step with the selection on the map.
class ObjectTreeDock : public QDockWidget
{
    Q_OBJECT
public:
    explicit ObjectTreeDock(ObjectTreeModel* model, QWidget* parent = nullptr);

    ObjectTreeModel* model() const;
    QTreeView* view() const;
    QObject* currentObject() const;

public slots:
    // Makes the object's row current without emitting objectSelected; null leaves no row current.
    void showObject(const QObject* object);
    void expandZone(QObject* zone);

signals:
    // The user picked a row.
    void objectSelected(QObject* object);

private:
    void currentChanged();

    ObjectTreeModel* m_model;
    QTreeView* m_view;
    bool m_syncing = false;
};

} // namespace Velmora
