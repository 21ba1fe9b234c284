#pragma once

#include <QAbstractItemModel>
#include <QHash>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <QVector>

#include <functional>

namespace Velmora {

// The module's object tree as a host sees it: QObject children from the root
// object down, every object that answers modelData(int,int) one row, columns
// 0 to 2 taken from modelData with the row's role. A folder's rows are read
// when first asked for (a district's ~30,000 objects are not walked at
// load); the module adds or removes nothing inside a loaded zone.
// A last column is the host's own: the window fills it (the zones' link status).
// Live changes are gathered and redrawn together, at most every
// RefreshInterval ms: an object that changes a hundred times in between is
// redrawn (and its icon rendered) once.
class ObjectTreeModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    static constexpr int ModuleColumns = 3;
    static constexpr int HostColumn = ModuleColumns;
    static constexpr int ColumnCount = ModuleColumns + 1;
    // The host column's value of an object for a role; invalid for nothing.
    using HostData = std::function<QVariant(const QObject*, int role)>;
    static constexpr int RefreshInterval = 100;
    // The host's own value for a cell of the module's columns; invalid leaves the module's.
    using Override = std::function<QVariant(const QObject*, int column, int role)>;

    explicit ObjectTreeModel(QObject* parent = nullptr);
    ~ObjectTreeModel() override;

    // Rebuilds the tree below root (the root object itself is not a row).
    void setRoot(QObject* root);
    QObject* root() const;
    void setHostColumn(const QString& title, const HostData& data);
    void setOverride(const Override& override);

    QObject* objectAt(const QModelIndex& index) const;
    // Column 0 of the object's row, reading the folders above it; invalid for
    // objects that are not rows. The object must be alive: its parents are asked.
    QModelIndex indexOf(const QObject* object) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& index) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    // Answered without reading the folder's rows: views ask it of every row they show.
    bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
    // Whether the folder has more than count rows, without reading them: a
    // folder of 20,000 controllers is looked at no further than its count+1st.
    bool hasMoreRowsThan(const QModelIndex& parent, int count) const;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

public slots:
    // A new child of an object already in the tree (a loaded zone) with its subtree, at `row` among its parent's
    // rows (a zone loaded again takes the row of the one it replaces), appended where that is -1 or out of range.
    void objectAdded(QObject* object, int row = -1);
    // Must come before the object is deleted.
    void objectAboutToBeRemoved(QObject* object);
    // Redraws the object's row soon (its icon and tool tip follow the live state).
    void objectChanged(const QObject* object);
    // Redraws the rows of every object changed since the last time, now.
    void flushChanges();

private slots:
    void objectDestroyed(QObject* object);

private:
    struct Node
    {
        QObject* object = nullptr;
        Node* parent = nullptr;
        // Its place among its parent's children, kept so that finding a row
        // is no search through a thousand siblings.
        int row = 0;
        QVector<Node*> children;
        bool childrenRead = false;
    };

    Node* nodeAt(const QModelIndex& index) const;
    // The object's node, reading the folders down to it; null for objects that are no rows.
    Node* nodeOf(const QObject* object) const;
    Node* buildNode(QObject* object, Node* parent) const;
    // The node's rows as they are the first time anyone asks; no signal, since for a view they were always there.
    void readChildren(Node* node) const;
    QModelIndex indexOfNode(Node* node) const;
    void forget(Node* node);
    int rowOf(const Node* node) const;

    Node* m_root = nullptr;
    // Nodes are made inside const reads (rowCount, index): lazily, not as a change of the model.
    mutable QHash<const QObject*, Node*> m_nodes;
    QSet<const QObject*> m_changed;
    QString m_hostTitle;
    HostData m_hostData;
    Override m_override;
    QTimer m_refreshTimer;
};

} // namespace Velmora
