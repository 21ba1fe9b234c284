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
    // Marked in the context they are looked up in, so that translators see them there.
    static const char* const names[] = {
        QT_TRANSLATE_NOOP("Velmora::ConfigDiff", "Monday"),   QT_TRANSLATE_NOOP("Velmora::ConfigDiff", "Tuesday"),
        QT_TRANSLATE_NOOP("Velmora::ConfigDiff", "Wednesday"), QT_TRANSLATE_NOOP("Velmora::ConfigDiff", "Thursday"),
        QT_TRANSLATE_NOOP("Velmora::ConfigDiff", "Friday"),   QT_TRANSLATE_NOOP("Velmora::ConfigDiff", "Saturday"),
        QT_TRANSLATE_NOOP("Velmora::ConfigDiff", "Sunday")};
    return ConfigDiff::tr(names[day]);
}

} // namespace Diff
} // namespace Velmora
