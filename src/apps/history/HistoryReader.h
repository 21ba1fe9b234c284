#pragma once

#include <QDate>
#include <QSqlDatabase>
#include <QString>
#include <QVector>

#include "HistoryRecord.h"
#include "HistoryUrl.h"

namespace Velmora {

// Reads the history back: a zone as it was at a moment, its changes, its
// records over a span. A connection of its own, used by one thread.
class HistoryReader
{
public:
    HistoryReader();
    ~HistoryReader();
    HistoryReader(const HistoryReader&) = delete;
    HistoryReader& operator=(const HistoryReader&) = delete;

    bool open(const HistoryUrl& url, QString* error);
    bool isOpen() const;
    QString lastError() const { return m_error; }

    QVector<int> zones();
    // The first and last service time recorded for the zone; false when there is none.
    bool span(int zone, qint64* firstMs, qint64* lastMs);
    // From the nearest full state at or before the moment and the changes after it, with the link's status then.
    ZoneMoment momentAt(int zone, qint64 serviceMs);
    // The newest record of the kind at or before the moment; false when there is none.
    bool latest(int zone, HistoryRecord::Kind kind, qint64 serviceMs, HistoryRecord* record);
    // The nearest recorded change after (before) the moment; -1 when there is none.
    qint64 nextChange(int zone, qint64 serviceMs);
    qint64 previousChange(int zone, qint64 serviceMs);
    // Records of one kind with firstMs < service time <= lastMs, in time order.
    QVector<HistoryRecord> records(int zone, HistoryRecord::Kind kind, qint64 firstMs, qint64 lastMs);
    // The State and FullState records of that span, in time order: what moves a ZoneMoment on.
    QVector<HistoryRecord> changes(int zone, qint64 firstMs, qint64 lastMs);

private:
    QVector<HistoryRecord> select(const QString& kinds, int zone, qint64 firstMs, qint64 lastMs);
    qint64 oneValue(const QString& sql, int zone, qint64 serviceMs);

    QSqlDatabase m_db;
    QString m_connectionName;
    QString m_error;
};

} // namespace Velmora
