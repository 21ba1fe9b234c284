#include "ConfigReader.h"

#include "Vocabulary.h"

#include <QDate>
#include <QRegularExpression>

namespace Velmora {
namespace Config {

bool readId(const QStringRef& text, int* id)
{
    bool ok = false;
    const uint value = text.toUInt(&ok);
    if (ok)
        *id = int(value);
    return ok;
}

bool readId(const QString& text, int* id)
{
    return readId(QStringRef(&text), id);
}

bool readId(const QDomElement& element, const QString& attribute, int* id)
{
    return readId(element.attribute(attribute), id);
}

QString idText(int id)
{
    return QString::number(uint(id));
}

QList<int> readIdList(const QStringRef& text)
{
    QList<int> ids;
    int start = 0;
    for (;;) {
        const int comma = text.indexOf(QLatin1Char(','), start);
        const int end = comma < 0 ? text.size() : comma;
        int id = NoId;
        if (readId(text.mid(start, end - start), &id))
            ids.append(id);
        if (comma < 0)
            return ids;
        start = comma + 1;
    }
}

QList<int> readIdList(const QString& text)
{
    return readIdList(QStringRef(&text));
}

bool isDefault(const QDomElement& strategy)
{
    const QString value = strategy.attribute(Xml::default_).toLower();
    return value == QLatin1String("true") || value == QLatin1String("1");
}

QStringList weekFields(const QString& text)
{
    return text.split(QLatin1Char(','));
}

QVector<int> readWeek(const QString& text)
{
    QVector<int> week(DaysPerWeek, NoId);
    const QStringList fields = weekFields(text);
    if (fields.size() != DaysPerWeek)
        return week;
    for (int day = 0; day < DaysPerWeek; ++day)
        readId(fields.at(day), &week[day]);
    return week;
}

int readTime(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{2}):(\\d{2})$"));
    const QRegularExpressionMatch match = pattern.match(text.trimmed());
    if (!match.hasMatch())
        return -1;
    const int hour = match.captured(1).toInt();
    const int minute = match.captured(2).toInt();
    if (hour > 23 || minute > 59)
        return -1;
    return hour * 60 + minute;
}

bool readSpecialDay(const QString& text, SpecialDate* date)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{2})\\.(\\d{2})(?:\\.(\\d{4}))?$"));
    const QRegularExpressionMatch match = pattern.match(text.trimmed());
    if (!match.hasMatch())
        return false;
    const SpecialDate read{match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt()};
    // A leap year stands in for "every year", so that 29.02 is a date.
    if (!QDate::isValid(read.year ? read.year : 2000, read.month, read.day))
        return false;
    *date = read;
    return true;
}

} // namespace Config
} // namespace Velmora
