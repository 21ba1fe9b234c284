#include "Strategy.h"

namespace Velmora {

Strategy::Strategy(QObject* parent)
    : BaseObject(parent)
{
}

Strategy::Strategy(int id, const QString& name, QObject* parent)
    : BaseObject(id, name, parent)
{
}

Strategy::~Strategy() = default;

bool Strategy::loadFromElement(const QDomElement& element, QString* error)
{
    return BaseObject::loadFromElement(element, error);
}

} // namespace Velmora
