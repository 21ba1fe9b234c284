#include "AbstractItem.h"

#include <QApplication>
#include <QCursor>
#include <QDomElement>
#include <QPainter>
#include <QPixmap>
#include <QPolygonF>

#include <cmath>

#include "format/GeometryText.h"
#include "format/Vocabulary.h"
#include "format/XmlText.h"

namespace Rare {
namespace Graphics {

class AbstractItem::Private
{
public:
    QRectF rect;
    QPainterPath path;
    bool shown = true;
    // Made by the first icon under a QApplication: most items are never asked for one.
    QScopedPointer<QPixmap> iconPixmap;
};

AbstractItem::AbstractItem(QObject* object, QGraphicsItem* parent)
    : QObject(nullptr)
    , QGraphicsItem(parent)
    , d(new Private)
{
    setFlags(ItemIsSelectable | ItemIsFocusable);
    setData(0, QVariant::fromValue(object));
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        setCursor(Qt::ArrowCursor);
}

AbstractItem::~AbstractItem() = default;

void AbstractItem::setPath(const QPainterPath& path)
{
    prepareGeometryChange();
    d->path = path;
    d->path.closeSubpath();
    d->rect = d->path.boundingRect();
}

bool AbstractItem::loadGeometry(const QDomElement& element, QString* error)
{
    const QDomElement geometry = element.firstChildElement(Velmora::Xml::Geometry);
    if (geometry.isNull()) {
        if (error)
            *error = tr("Line %1 element:%2. Missing tag 'Geometry'")
                         .arg(element.lineNumber())
                         .arg(element.tagName());
        return true;
    }
    QPainterPath path;
    if (!readOutline(Velmora::Xml::firstText(geometry), &path)) {
        if (error)
            *error = tr("Line %1 element:%2. Invalid geometry")
                         .arg(geometry.lineNumber())
                         .arg(element.tagName());
        return true;
    }
    setPath(path);
    return true;
}

bool AbstractItem::readOutline(const QString& text, QPainterPath* path)
{
    QPolygonF polygon;
    if (!Velmora::Geometry::parsePoints(text, &polygon))
        return false;
    QPainterPath read;
    read.addPolygon(polygon);
    *path = read;
    return true;
}

QRectF AbstractItem::boundingRect() const
{
    return d->shown ? d->rect : QRectF();
}

QPainterPath AbstractItem::shape() const
{
    return d->shown ? d->path : QPainterPath();
}

QObject* AbstractItem::object() const
{
    return parent();
}

QPainterPath AbstractItem::path() const
{
    return d->path;
}

bool AbstractItem::isShown() const
{
    return d->shown;
}

void AbstractItem::setShown(bool shown)
{
    if (shown == d->shown)
        return;
    if (!shown && isVisible()) {
        // Hiding through QGraphicsItem would also hide the child items; an
        // empty outline keeps them while this item disappears.
        hide();
        prepareGeometryChange();
        d->shown = false;
        show();
        return;
    }
    prepareGeometryChange();
    d->shown = shown;
    update();
}

QPainterPath AbstractItem::polygonShape(int w, int h, int n)
{
    const qreal cx = (w - 1) * 0.5;
    const qreal cy = (h - 1) * 0.5;
    const qreal r = (qMin(w, h) - 1) * 0.5;
    QPainterPath path;
    path.moveTo(cx + r, cy);
    const float step = 6.28318f / float(n);
    for (int i = 1; i < n; ++i) {
        const float angle = float(i) * step;
        path.lineTo(cx + r * qreal(std::cos(angle)), cy + r * qreal(std::sin(angle)));
    }
    path.closeSubpath();
    return path;
}

QIcon AbstractItem::renderIcon(const std::function<void(QPainter*)>& paintState)
{
    if (!d->iconPixmap && qobject_cast<QApplication*>(QCoreApplication::instance()))
        d->iconPixmap.reset(new QPixmap(32, 32));
    QPixmap* pixmap = d->iconPixmap.data();
    if (!pixmap)
        return QIcon();
    pixmap->fill(isShown() ? Qt::transparent : Qt::yellow);
    QPainter painter(pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    paintState(&painter);
    painter.end();
    return QIcon(*pixmap);
}

QBrush AbstractItem::deviceBrush(const QPainter* painter, const QColor& color, Qt::BrushStyle style)
{
    QBrush brush(color, style);
    brush.setTransform(painter->transform().inverted());
    return brush;
}

} // namespace Graphics
} // namespace Rare
