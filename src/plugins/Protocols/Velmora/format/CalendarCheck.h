#pragma once

#include <QCoreApplication>
#include <QDomElement>
#include <QLatin1String>
#include <QSet>
#include <QString>
#include <QStringList>

namespace Velmora {

class CheckContext;

// A calendar of the zone (entries name strategies) or of an area (entries
// name states): day cards, their entries, the week distribution and the
// special days.
class CalendarCheck
{
    Q_DECLARE_TR_FUNCTIONS(Velmora::ConfigChecker)

public:
    struct Level
    {
        QString owner;           // "the zone", "area 3"
        QLatin1String attribute; // the entries' target attribute
        const QSet<int>* targets;
        QLatin1String unknownKind;
        bool isZone = false;
    };

    explicit CalendarCheck(CheckContext* context) : m_context(context) {}

    // The calendar below `owner`.
    void check(const QDomElement& owner, const Level& level);

private:
    void entries(const QDomElement& parent, const QString& what, const Level& level);
    void week(const QDomElement& calendar, const QSet<int>& cards, const Level& level);
    void weekFields(const QDomElement& week, const QStringList& fields, const QSet<int>& cards, const Level& level);
    void specialDays(const QDomElement& calendar, const Level& level);

    static QString weekdayName(int index);

    CheckContext* m_context;
};

} // namespace Velmora
