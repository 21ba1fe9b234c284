#pragma once

#include "AbstractItem.h"

namespace Velmora {
class Zone;
}

namespace Rare {
namespace Graphics {

// The zone's outline, filled by its link and control source.
class Zone : public AbstractItem
{
    Q_OBJECT
public:
    Zone(QObject* zone, QGraphicsItem* parent);
    ~Zone() override;

    QIcon icon() override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

    static QColor fillColor(bool connected, int controlSource);
    static void paintState(QPainter* painter, const QPainterPath& path, bool selected,
                           bool connected, int controlSource);

private:
    class Private;
    QScopedPointer<Private> d;
};

} // namespace Graphics
} // namespace Rare
