#pragma once

#include <QTableWidgetItem>

#include <functional>

namespace Velmora {
namespace Editors {

// A table cell whose text is what the file holds (an id, true/false) and
// whose tool tip says what that means, worked out when it is shown, so that
// it follows later edits. A tool tip set on the cell (a fault's reason) comes
// first.
class DescribedItem : public QTableWidgetItem
{
public:
    using Describe = std::function<QString(const QTableWidgetItem&)>;

    explicit DescribedItem(Describe describe);
    QVariant data(int role) const override;
    QTableWidgetItem* clone() const override;

private:
    Describe m_describe;
};

} // namespace Editors
} // namespace Velmora
