#pragma once

#include "AbstractItem.h"

namespace Velmora {
class Area;
}

namespace Rare {
namespace Graphics {

// An area's outline, filled by its control source, hatched by its special state.
class Area : public AbstractItem
{
    Q_OBJECT
public:
    Area(QObject* area, QGraphicsItem* parent);
    ~Area() override;

    QIcon icon() override;
    QPainterPath shape() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

    static QColor fillColor(int controlSource);
    // Invalid for the values that draw no overlay.
    static QColor overlayColor(int specialState);
    static void paintState(QPainter* painter, const QPainterPath& path, bool selected,
                           int controlSource, int specialState);

private:
    // Areas not yet under control are neither drawn nor hit, unless selected.
    bool isHidden() const;

    class Private;
    QScopedPointer<Private> d;
};

} // namespace Graphics
} // namespace Rare
