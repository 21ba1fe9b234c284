#include "DiffWords.h"

#include "ConfigDiff.h"

namespace Velmora {
namespace Diff {

QString quoted(const QString& text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString change(const QString& from, const QString& to)
{
    // An arrow as the lines show it.
    return from + QStringLiteral(" \u2192 ") + to;
}

// "2", "2 and 5", "2, 5 and 7".
QString joinIds(QStringList ids)
{
    const QString last = ids.takeLast();
    return ids.isEmpty() ? last : ConfigDiff::tr("%1 and %2").arg(ids.join(QStringLiteral(", ")), last);
}

// "day card 2" or "day cards 2 and 5".
QString counted(const QString& one, const QString& several, const QStringList& ids)
{
    return (ids.size() == 1 ? one : several).arg(joinIds(ids));
}

QString controlSourceName(const QString& code)
{
    if (code == QLatin1String("1"))
        return ConfigDiff::tr("calendar");
    if (code == QLatin1String("2"))
        return ConfigDiff::tr("adaptive");
    if (code == QLatin1String("3"))
        return ConfigDiff::tr("local");
    return code.isEmpty() ? ConfigDiff::tr("none") : code;
}

QString weekdayName(int day)
{
    static const char* const names[] = {QT_TR_NOOP("Monday"), QT_TR_NOOP("Tuesday"), QT_TR_NOOP("Wednesday"),
                                        QT_TR_NOOP("Thursday"), QT_TR_NOOP("Friday"), QT_TR_NOOP("Saturday"),
                                        QT_TR_NOOP("Sunday")};
    return ConfigDiff::tr(names[day]);
}

} // namespace Diff
} // namespace Velmora
