#include "BaseObject.h"

#include <QDomElement>

#include <limits>

#include "Vocabulary.h"

namespace Velmora {

class BaseObject::Private
{
public:
    int id = -1;
    QString name;
};

BaseObject::BaseObject(QObject* parent)
    : QObject(parent)
    , d(new Private)
{
}

BaseObject::~BaseObject() = default;

int BaseObject::id() const
{
    return d->id;
}

QString BaseObject::name() const
{
    return d->name;
}

void BaseObject::setId(int id)
{
    d->id = id;
}

bool BaseObject::loadFromElement(const QDomElement& element, QString* error)
{
    bool ok = false;
    const uint id = element.attribute(Xml::id).toUInt(&ok);
    // Ids live in an int; a larger number is as unusable as a missing one.
    if (!ok || id > uint(std::numeric_limits<int>::max())) {
        if (error)
            *error = tr("Line %1 element:%2. Missing attribute id")
                         .arg(element.lineNumber())
                         .arg(element.tagName());
        return false;
    }
    d->id = int(id);
    d->name = element.attribute(Xml::name);
    return true;
}

QVariant BaseObject::modelData(int column, int role)
{
    return idNameData(column, role);
}

QVariant BaseObject::idNameData(int column, int role) const
{
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return QVariant();
    switch (column) {
    case 0:
        return d->id;
    case 1:
        return d->name;
    default:
        return QVariant();
    }
}

} // namespace Velmora
