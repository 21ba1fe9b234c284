#include "Controller.h"

namespace Velmora {

class Controller::Private
{
};

Controller::Controller(QObject* parent)
    : BaseObject(parent)
{
}

Controller::Controller(int id, QObject* parent)
    : BaseObject(id, QString(), parent)
{
}

Controller::Controller(int id, const QString& name, QObject* parent)
    : BaseObject(id, name, parent)
{
}

Controller::~Controller() = default;

bool Controller::loadFromElement(const QDomElement& element, QString* error)
{
    return BaseObject::loadFromElement(element, error);
}

} // namespace Velmora
