#pragma once

#include <QCoreApplication>
#include <QDomDocument>
#include <QDomElement>
#include <QStringList>

namespace Velmora {

// What an edit changed in a zone configuration, in words an engineer reads
// before saving: one line per changed object, its changes joined by "; ".
//
//     Zone 12 "Zarechny": Monday: day card 1 → 2
//     Strategy 4 "Weekend" deleted; its entries removed from day cards 2, 5
//     Area 3 "Old Town": day card 2: 16:30 → 16:00; special day 04.11 added
//     Area 5 "Mill": outline: 3 points moved, the largest by 12.4 m
//
// Objects are matched by id (special days by date, entries by position), so
// renumbering shows as a deletion and an addition. Two configurations that
// differ only in layout, attribute order or comments give no line.
class ConfigDiff
{
    Q_DECLARE_TR_FUNCTIONS(Velmora::ConfigDiff)

public:
    // `before` and `after` are the root elements of the two configurations.
    static QStringList compare(const QDomElement& before, const QDomElement& after);
    // The lines about strategies and areas only, without the zone's own line:
    // what deleting one of them took along.
    static QStringList compareParts(const QDomElement& before, const QDomElement& after);
    // A copy of a zone for compareParts around an edit that leaves the areas'
    // own contents alone, as deleting areas and strategies does: the
    // strategies and the calendar whole, each area without its contents. A
    // fraction of a copy of a large zone.
    static QDomDocument partsSnapshot(const QDomElement& zone);
    // What an edit changed in one area, `before` and `after` being Area
    // elements: at most one line, "Area 3 "Old Town": ...".
    static QStringList compareArea(const QDomElement& before, const QDomElement& after);
    // The same for two configuration texts or files; false, with the reason
    // naming the file, when one cannot be read or parsed.
    static bool compareTexts(const QByteArray& before, const QByteArray& after, QStringList* changes,
                             QString* error);
    static bool compareFiles(const QString& before, const QString& after, QStringList* changes, QString* error);

    // What putting `replacement` in place of the area `replaced` (its outline
    // kept) throws away, before the user agrees: "replaces 4 states, 3 day
    // cards, 5 special days; controllers 116, 117, 118 leave the area; the
    // outline is kept".
    static QString replacementSummary(const QDomElement& replaced, const QDomElement& replacement);
};

} // namespace Velmora
