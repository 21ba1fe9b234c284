#pragma once

#include <QDomElement>
#include <QList>
#include <QObject>
#include <QStringList>

class QPushButton;
class QTableWidget;

namespace Velmora {
namespace Editors {

// The zone editor's table of strategies: a row per Strategy element with its
// id (holding the element), its name and whether it is the zone's default.
// The table offers the add and delete buttons as its context menu.
class StrategyTable : public QObject
{
    Q_OBJECT

public:
    enum Column { IdColumn = 0, NameColumn = 1, DefaultColumn = 2 };

    StrategyTable(QTableWidget* table, QPushButton* add, QPushButton* remove);

    // One row per Strategy child of `strategies`, in document order.
    void fill(const QDomElement& strategies);
    // Inserts a row for `strategy` at `row`, or at the end when it is negative.
    void addRow(const QDomElement& strategy, int row = -1);
    int rowCount() const;
    QDomElement elementAt(int row) const;
    bool isDefaultRow(int row) const;
    // Puts `strategy` in place of the row's element, with its id and name.
    void replace(int row, const QDomElement& strategy);
    // A double click on the default cell of `row`: the cell flips, the row's
    // element becomes the default, every other row and element loses it.
    void makeDefault(int row);
    // Drops the rows of these strategies.
    void forget(const QList<QDomElement>& strategies);
    void selectStrategy(const QString& id);
    // Marks an empty table or a missing default red; the reasons in words.
    QStringList markFaults();

private:
    QTableWidget* m_table;
};

} // namespace Editors
} // namespace Velmora
