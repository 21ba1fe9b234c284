#include "Controller.h"

namespace Velmora {

// Nothing yet beyond id and name; kept so controllers can grow without an ABI break.
class Controller::Private
{
};

Controller::Controller(QObject* parent)
    : BaseObject(parent)
    , d(new Private)
{
}

Controller::Controller(int id, QObject* parent)
    : Controller(parent)
{
    setId(id);
}

Controller::~Controller() = default;

bool Controller::loadFromElement(const QDomElement& element, QString* error)
{
    return BaseObject::loadFromElement(element, error);
}

} // namespace Velmora
