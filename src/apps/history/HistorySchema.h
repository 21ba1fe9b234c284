#pragma once

#include <QString>

class QSqlDatabase;

namespace Velmora {

// The history's tables, one version number, and the steps from each version
// to the next. A database of a newer version is left alone.
namespace HistorySchema {

int latestVersion();
// 0 for a database without the history's tables; -1 when it cannot be read.
int version(const QSqlDatabase& db, QString* error);
// Brings the database up to target (the latest by default) in one transaction.
bool migrate(QSqlDatabase& db, QString* error, int target = latestVersion());
// A write transaction; false (with the reason) when the database is locked or gone.
bool beginWrite(QSqlDatabase& db, QString* error);
// Commits, or rolls back when the commit fails.
bool commit(QSqlDatabase& db, QString* error);

} // namespace HistorySchema
} // namespace Velmora
