#include "BaseObject.h"

#include <QDomElement>

#include "format/ConfigReader.h"
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

BaseObject::BaseObject(int id, const QString& name, QObject* parent)
    : QObject(parent)
    , d(new Private)
{
    d->id = id;
    d->name = name;
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

void BaseObject::setName(const QString& name)
{
    d->name = name;
}

QString BaseObject::missingIdError(int line, const QString& tag)
{
    return tr("Line %1 element:%2. Missing attribute id").arg(line).arg(tag);
}

bool BaseObject::loadFromElement(const QDomElement& element, QString* error)
{
    int id = -1;
    if (!Config::readId(element, Xml::id, &id)) {
        if (error)
            *error = missingIdError(element.lineNumber(), element.tagName());
        return false;
    }
    d->id = id;
    // A copy of its own: the document's string would keep the document's
    // memory from going back to the system after it is freed.
    const QString name = element.attribute(Xml::name);
    d->name = name.isNull() ? QString() : QString(name.constData(), name.size());
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
