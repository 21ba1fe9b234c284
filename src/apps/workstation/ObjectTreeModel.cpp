#include "ObjectTreeModel.h"

#include <QHash>

#include <algorithm>

#include "ModuleCalls.h"

namespace Velmora {

ObjectTreeModel::ObjectTreeModel(QObject* parent)
    : QAbstractItemModel(parent)
{
    m_refreshTimer.setSingleShot(true);
    m_refreshTimer.setInterval(RefreshInterval);
    connect(&m_refreshTimer, &QTimer::timeout, this, &ObjectTreeModel::flushChanges);
}

ObjectTreeModel::~ObjectTreeModel()
{
    if (m_root)
        forget(m_root);
}

void ObjectTreeModel::setRoot(QObject* root)
{
    beginResetModel();
    if (m_root)
        forget(m_root);
    m_root = nullptr;
    if (root)
        m_root = buildNode(root, nullptr);
    endResetModel();
}

QObject* ObjectTreeModel::root() const
{
    return m_root ? m_root->object : nullptr;
}

void ObjectTreeModel::setHostColumn(const QString& title, const HostData& data)
{
    m_hostTitle = title;
    m_hostData = data;
    emit headerDataChanged(Qt::Horizontal, HostColumn, HostColumn);
}

ObjectTreeModel::Node* ObjectTreeModel::buildNode(QObject* object, Node* parent) const
{
    auto* node = new Node;
    node->object = object;
    node->parent = parent;
    m_nodes.insert(object, node);
    // Rows are kept by pointer; a zone deleted behind the host's back must not leave one dangling.
    connect(object, &QObject::destroyed, const_cast<ObjectTreeModel*>(this), &ObjectTreeModel::objectDestroyed,
            Qt::UniqueConnection);
    return node;
}

void ObjectTreeModel::readChildren(Node* node) const
{
    if (node->childrenRead)
        return;
    node->childrenRead = true;
    for (QObject* child : node->object->children()) {
        if (VelmoraHost::hasModelData(child)) {
            Node* childNode = buildNode(child, node);
            childNode->row = node->children.size();
            node->children.append(childNode);
        }
    }
}

ObjectTreeModel::Node* ObjectTreeModel::nodeOf(const QObject* object) const
{
    // Up to the nearest object with a node, then down again reading each folder on the way.
    QVector<const QObject*> unread;
    const QObject* known = object;
    while (known && !m_nodes.contains(known)) {
        unread.append(known);
        known = known->parent();
    }
    if (!known)
        return nullptr;
    Node* node = m_nodes.value(known);
    for (auto below = unread.crbegin(); below != unread.crend() && node; ++below) {
        readChildren(node);
        node = m_nodes.value(*below);
    }
    return node;
}

void ObjectTreeModel::forget(Node* node)
{
    for (Node* child : qAsConst(node->children))
        forget(child);
    m_nodes.remove(node->object);
    m_changed.remove(node->object);
    disconnect(node->object, &QObject::destroyed, this, &ObjectTreeModel::objectDestroyed);
    delete node;
}

int ObjectTreeModel::rowOf(const Node* node) const
{
    return node->parent ? node->row : 0;
}

ObjectTreeModel::Node* ObjectTreeModel::nodeAt(const QModelIndex& index) const
{
    return index.isValid() ? static_cast<Node*>(index.internalPointer()) : m_root;
}

QObject* ObjectTreeModel::objectAt(const QModelIndex& index) const
{
    return index.isValid() ? nodeAt(index)->object : nullptr;
}

QModelIndex ObjectTreeModel::indexOf(const QObject* object) const
{
    return indexOfNode(nodeOf(object));
}

QModelIndex ObjectTreeModel::indexOfNode(Node* node) const
{
    if (!node || node == m_root)
        return QModelIndex();
    return createIndex(rowOf(node), 0, node);
}

QModelIndex ObjectTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    Node* node = nodeAt(parent);
    if (!node || row < 0 || column < 0 || column >= ColumnCount || (parent.isValid() && parent.column() != 0))
        return QModelIndex();
    readChildren(node);
    if (row >= node->children.size())
        return QModelIndex();
    return createIndex(row, column, node->children.at(row));
}

QModelIndex ObjectTreeModel::parent(const QModelIndex& index) const
{
    if (!index.isValid())
        return QModelIndex();
    const Node* parentNode = nodeAt(index)->parent;
    if (!parentNode || parentNode == m_root)
        return QModelIndex();
    return createIndex(rowOf(parentNode), 0, const_cast<Node*>(parentNode));
}

int ObjectTreeModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() && parent.column() != 0)
        return 0;
    Node* node = nodeAt(parent);
    if (!node)
        return 0;
    readChildren(node);
    return node->children.size();
}

bool ObjectTreeModel::hasChildren(const QModelIndex& parent) const
{
    if (parent.isValid() && parent.column() != 0)
        return false;
    const Node* node = nodeAt(parent);
    if (!node)
        return false;
    if (node->childrenRead)
        return !node->children.isEmpty();
    const QObjectList& children = node->object->children();
    return std::any_of(children.cbegin(), children.cend(), &VelmoraHost::hasModelData);
}

int ObjectTreeModel::columnCount(const QModelIndex&) const
{
    return ColumnCount;
}

void ObjectTreeModel::setOverride(const Override& override)
{
    beginResetModel();
    m_override = override;
    endResetModel();
}

bool ObjectTreeModel::hasMoreRowsThan(const QModelIndex& parent, int count) const
{
    const Node* node = nodeAt(parent);
    if (!node || (parent.isValid() && parent.column() != 0))
        return false;
    if (node->childrenRead)
        return node->children.size() > count;
    int rows = 0;
    for (const QObject* child : node->object->children()) {
        if (VelmoraHost::hasModelData(child) && ++rows > count)
            return true;
    }
    return false;
}

QVariant ObjectTreeModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return QVariant();
    if (index.column() == HostColumn)
        return m_hostData ? m_hostData(nodeAt(index)->object, role) : QVariant();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::DecorationRole:
    case Qt::ToolTipRole:
    case Qt::StatusTipRole: {
        QObject* object = nodeAt(index)->object;
        const QVariant own = m_override ? m_override(object, index.column(), role) : QVariant();
        return own.isValid() ? own : VelmoraHost::modelData(object, index.column(), role);
    }
    default:
        return QVariant();
    }
}

QVariant ObjectTreeModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    switch (section) {
    case 0:
        return tr("Object");
    case 1:
        return tr("Name");
    case 2:
        return tr("File");
    case HostColumn:
        return m_hostTitle;
    default:
        return QVariant();
    }
}

Qt::ItemFlags ObjectTreeModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void ObjectTreeModel::objectAdded(QObject* object, int row)
{
    if (!object || m_nodes.contains(object) || !VelmoraHost::hasModelData(object))
        return;
    Node* parentNode = m_nodes.value(object->parent());
    // A folder not read yet takes the object in with the rest when it is.
    if (!parentNode || !parentNode->childrenRead)
        return;
    const QModelIndex parentIndex = indexOfNode(parentNode);
    if (row < 0 || row > parentNode->children.size())
        row = parentNode->children.size();
    beginInsertRows(parentIndex, row, row);
    parentNode->children.insert(row, buildNode(object, parentNode));
    for (int later = row; later < parentNode->children.size(); ++later)
        parentNode->children.at(later)->row = later;
    endInsertRows();
}

void ObjectTreeModel::objectAboutToBeRemoved(QObject* object)
{
    Node* node = m_nodes.value(object);
    if (!node || node == m_root)
        return;
    Node* parentNode = node->parent;
    const QModelIndex parentIndex = indexOfNode(parentNode);
    const int row = rowOf(node);
    beginRemoveRows(parentIndex, row, row);
    parentNode->children.removeAt(row);
    for (int later = row; later < parentNode->children.size(); ++later)
        parentNode->children.at(later)->row = later;
    forget(node);
    endRemoveRows();
}

void ObjectTreeModel::objectChanged(const QObject* object)
{
    if (!m_nodes.contains(object) || object == root())
        return;
    m_changed.insert(object);
    if (!m_refreshTimer.isActive())
        m_refreshTimer.start();
}

void ObjectTreeModel::flushChanges()
{
    m_refreshTimer.stop();
    const QSet<const QObject*> changed = m_changed;
    m_changed.clear();
    // One signal per folder, from its first changed row to its last: a storm
    // over all the areas costs the views one update, not one per area.
    QHash<Node*, QPair<int, int>> rowsByParent;
    for (const QObject* object : changed) {
        Node* node = m_nodes.value(object);
        if (!node || node == m_root)
            continue;
        const int row = rowOf(node);
        auto rows = rowsByParent.find(node->parent);
        if (rows == rowsByParent.end())
            rowsByParent.insert(node->parent, qMakePair(row, row));
        else
            *rows = qMakePair(qMin(rows->first, row), qMax(rows->second, row));
    }
    for (auto rows = rowsByParent.cbegin(); rows != rowsByParent.cend(); ++rows) {
        const QModelIndex parent = indexOfNode(rows.key());
        emit dataChanged(index(rows->first, 0, parent), index(rows->second, ColumnCount - 1, parent),
                         {Qt::DisplayRole, Qt::DecorationRole, Qt::ToolTipRole, Qt::StatusTipRole});
    }
}

void ObjectTreeModel::objectDestroyed(QObject* object)
{
    // Only the pointer is used: the object is half destroyed by now.
    Node* node = m_nodes.value(object);
    if (!node)
        return;
    if (node == m_root) {
        beginResetModel();
        forget(m_root);
        m_root = nullptr;
        endResetModel();
        return;
    }
    objectAboutToBeRemoved(object);
}

} // namespace Velmora
