#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace Velmora {

// The events the service sends on its own, keyed by event id. Built once when
// the library is loaded; read-only afterwards.
class EventTable
{
public:
    static const EventTable& instance();

    // Private-object properties that receive the event's parameters, by
    // position; empty for an id without an entry.
    static QList<QByteArray> propertyNames(int eventId);

    QMap<int, QString> name;
    QMap<int, QString> description;
    QMap<int, QStringList> paramNames;
    QMap<int, QList<QVariant::Type>> paramTypes;
    QMap<int, int> paramCount;
    QMap<int, QList<QByteArray>> properties;

private:
    EventTable();
    Q_DISABLE_COPY(EventTable)
};

} // namespace Velmora
