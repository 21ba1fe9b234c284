#include "Container.h"

#include <QLoggingCategory>

#include "Logging.h"

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

void Container::setSourceName(const QString& fileName)
{
    m_sourceName = fileName;
}

QString Container::sourceName() const
{
    return m_sourceName;
}

void Container::warnDuplicate(const QString& sourceName, int line, const QString& tag, int id)
{
    qCWarning(Velmora::lcLoad, "%s: line %d element:%s. Duplicate id %d; the later element is used",
              qUtf8Printable(sourceName), line, qUtf8Printable(tag), id);
}
