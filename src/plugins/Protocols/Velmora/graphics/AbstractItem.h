#pragma once

#include <QGraphicsItem>
#include <QIcon>
#include <QObject>
#include <QPainterPath>
#include <QScopedPointer>

#include <functional>

class QDomElement;

namespace Rare {
namespace Graphics {

// A model object's outline on the map. Data key 0 holds the model object.
class AbstractItem : public QObject, public QGraphicsItem
{
    Q_OBJECT
    Q_INTERFACES(QGraphicsItem)
    Q_PROPERTY(QObject* object READ object)
public:
    AbstractItem(QObject* object, QGraphicsItem* parent);
    ~AbstractItem() override;

    virtual void setPath(const QPainterPath& path);
    // Reads the outline from the element's Geometry child. Always true: an
    // object without a usable outline still loads; *error says why it has none.
    virtual bool loadGeometry(const QDomElement& element, QString* error);
    virtual QIcon icon() = 0;

    QRectF boundingRect() const override;
    QPainterPath shape() const override;

    QObject* object() const;
    QPainterPath path() const;
    bool isShown() const;
    void setShown(bool shown);

    // The outline a Geometry text gives, as loadGeometry() reads it. False,
    // leaving *path as it was, for a text that is no point list.
    static bool readOutline(const QString& text, QPainterPath* path);
    // A regular polygon of n vertices inscribed in a w x h box, for icons.
    static QPainterPath polygonShape(int w, int h, int n);
    // A brush whose pattern stays fixed in device pixels at every zoom.
    static QBrush deviceBrush(const QPainter* painter, const QColor& color, Qt::BrushStyle style);

protected:
    // Draws the state on the item's 32 x 32 icon: transparent behind it while shown, yellow while hidden.
    // No icon without a QApplication.
    QIcon renderIcon(const std::function<void(QPainter*)>& paintState);

private:
    class Private;
    QScopedPointer<Private> d;
};

} // namespace Graphics
} // namespace Rare
