#include "ObjectTreeDock.h"

#include "ObjectTreeModel.h"

#include <QHeaderView>
#include <QTreeView>

namespace Velmora {

ObjectTreeDock::ObjectTreeDock(ObjectTreeModel* model, QWidget* parent)
    : QDockWidget(tr("Objects"), parent)
    , m_model(model)
    , m_view(new QTreeView(this))
{
    setObjectName(QStringLiteral("ObjectsDock"));
    m_view->setModel(model);
    m_view->setUniformRowHeights(true);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setIconSize(QSize(16, 16));
    m_view->header()->setStretchLastSection(true);
    m_view->setColumnWidth(0, 190);
    m_view->setColumnWidth(1, 200);
    // The link status goes next to the name, before the long file path.
    m_view->header()->moveSection(ObjectTreeModel::HostColumn, 1);
    m_view->setColumnWidth(ObjectTreeModel::HostColumn, 150);
    setWidget(m_view);
    connect(m_view->selectionModel(), &QItemSelectionModel::currentChanged, this, &ObjectTreeDock::currentChanged);
}

ObjectTreeModel* ObjectTreeDock::model() const
{
    return m_model;
}

QTreeView* ObjectTreeDock::view() const
{
    return m_view;
}

QObject* ObjectTreeDock::currentObject() const
{
    return m_model->objectAt(m_view->currentIndex());
}

void ObjectTreeDock::showObject(const QObject* object)
{
    const QModelIndex index = m_model->indexOf(object);
    if ((object && !index.isValid()) || index == m_view->currentIndex())
        return;
    m_syncing = true;
    m_view->setCurrentIndex(index);
    m_view->scrollTo(index);
    m_syncing = false;
}

void ObjectTreeDock::expandZone(QObject* zone)
{
    // The zone and its containers open; long lists inside stay closed.
    const QModelIndex index = m_model->indexOf(zone);
    if (!index.isValid())
        return;
    m_view->expand(index);
    for (int row = 0; row < m_model->rowCount(index); ++row) {
        const QModelIndex container = m_model->index(row, 0, index);
        // Counted without reading: the long lists are read only when the user opens them.
        if (!m_model->hasMoreRowsThan(container, 12))
            m_view->expand(container);
    }
}

void ObjectTreeDock::currentChanged()
{
    if (!m_syncing)
        emit objectSelected(currentObject());
}

} // namespace Velmora
