#include "BaseObject.h"

#include <QDomElement>

#include "format/Vocabulary.h"

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
    // Ids are unsigned 32-bit numbers kept in an int: the same bits the
    // service sends, so lookups by either agree.
    const uint id = element.attribute(Xml::id).toUInt(&ok);
    if (!ok) {
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
