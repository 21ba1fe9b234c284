#pragma once

#include <QString>
#include <QStringList>

namespace Velmora {
namespace Diff {

// The words the change lines are made of.

// `text` in double quotes.
QString quoted(const QString& text);
// "FROM → TO".
QString change(const QString& from, const QString& to);
// "2", "2 and 5", "2, 5 and 7"; `ids` not empty.
QString joinIds(QStringList ids);
// "day card 2" or "day cards 2 and 5": `one` or `several` with the ids joined.
QString counted(const QString& one, const QString& several, const QStringList& ids);
// "calendar", "adaptive", "local", "none", or the code itself.
QString controlSourceName(const QString& code);
// Monday for 0.
QString weekdayName(int day);

} // namespace Diff
} // namespace Velmora
