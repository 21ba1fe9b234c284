#include "Container.h"

Container::Container(const QString& title, QObject* parent)
    : QObject(parent)
{
    setObjectName(title);
}

Container::~Container() = default;

QVariant Container::modelData(int column, int role)
{
    if (column != 0 || (role != Qt::DisplayRole && role != Qt::EditRole))
        return QVariant();
    return QStringLiteral("%1(%2)").arg(objectName()).arg(children().count());
}
