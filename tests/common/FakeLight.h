#pragma once

#include <QObject>
#include <QVariant>

// The host's traffic light as the module sees it: an object of this class name
// with the properties "id" and "basePoint", behind a selectable map item.
namespace Semtra {
class Light : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QVariant id MEMBER m_id)
    Q_PROPERTY(QVariant basePoint MEMBER m_basePoint)
public:
    Light(const QVariant& id, const QVariant& basePoint, QObject* parent)
        : QObject(parent)
        , m_id(id)
        , m_basePoint(basePoint)
    {
    }
    QVariant m_id;
    QVariant m_basePoint;
};
} // namespace Semtra
