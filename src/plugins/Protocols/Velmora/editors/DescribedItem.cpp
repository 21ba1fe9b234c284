#include "DescribedItem.h"

namespace Velmora {
namespace Editors {

DescribedItem::DescribedItem(Describe describe)
    : m_describe(std::move(describe))
{
}

QVariant DescribedItem::data(int role) const
{
    if (role == Qt::ToolTipRole && m_describe) {
        const QVariant own = QTableWidgetItem::data(role);
        return own.toString().isEmpty() ? QVariant(m_describe(*this)) : own;
    }
    return QTableWidgetItem::data(role);
}

QTableWidgetItem* DescribedItem::clone() const
{
    auto* copy = new DescribedItem(m_describe);
    *copy = *this;
    return copy;
}

} // namespace Editors
} // namespace Velmora
