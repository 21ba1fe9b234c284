#include "ConfigDiff.h"

#include <QDomDocument>
#include <QHash>
#include <QPointF>
#include <QTextStream>
#include <QVector>

#include <cmath>

#include "CalendarDiff.h"
#include "ConfigReader.h"
#include "DiffWords.h"
#include "GeometryText.h"
#include "KeyedChildren.h"
#include "Vocabulary.h"
#include "XmlDocument.h"
#include "XmlText.h"

namespace Velmora {

using namespace Diff;

namespace {

// Metres between two points of the map, whose x is longitude and y latitude
// in degrees; close enough for edits of a district.
double metresBetween(const QPointF& a, const QPointF& b)
{
    constexpr double earthRadius = 6371008.8;
    constexpr double radians = M_PI / 180.0;
    const double dx = (b.x() - a.x()) * radians * std::cos((a.y() + b.y()) / 2 * radians);
    const double dy = (b.y() - a.y()) * radians;
    return earthRadius * std::hypot(dx, dy);
}

void compareOutline(const QDomElement& before, const QDomElement& after, QStringList* changes)
{
    const QString oldText = Xml::firstText(before.firstChildElement(Xml::Geometry)).simplified();
    const QString newText = Xml::firstText(after.firstChildElement(Xml::Geometry)).simplified();
    if (oldText == newText)
        return;
    const QVector<QPointF> oldPoints = Geometry::parsePointsLenient(oldText);
    const QVector<QPointF> newPoints = Geometry::parsePointsLenient(newText);
    QString text;
    if (oldPoints.isEmpty()) {
        text = ConfigDiff::tr("drawn with %1 points").arg(newPoints.size());
    } else if (newPoints.isEmpty()) {
        text = ConfigDiff::tr("removed");
    } else if (oldPoints.size() != newPoints.size()) {
        text = ConfigDiff::tr("%1 points").arg(change(QString::number(oldPoints.size()), QString::number(newPoints.size())));
    } else {
        int moved = 0;
        double largest = 0;
        for (int i = 0; i < oldPoints.size(); ++i) {
            if (oldPoints.at(i) == newPoints.at(i))
                continue;
            ++moved;
            largest = std::max(largest, metresBetween(oldPoints.at(i), newPoints.at(i)));
        }
        if (moved == 0)
            return; // the same points written otherwise
        const QString metres = QString::number(largest, 'f', 1);
        text = moved == 1 ? ConfigDiff::tr("1 point moved by %1 m").arg(metres)
                          : ConfigDiff::tr("%1 points moved, the largest by %2 m").arg(moved).arg(metres);
    }
    *changes << ConfigDiff::tr("outline: %1").arg(text);
}

QString objectName(const QString& kind, const QDomElement& element)
{
    return kind + QLatin1Char(' ') + element.attribute(Xml::id) + QLatin1Char(' ') + quoted(element.attribute(Xml::name));
}

void compareName(const QDomElement& before, const QDomElement& after, QStringList* changes)
{
    if (before.attribute(Xml::name) != after.attribute(Xml::name))
        *changes << ConfigDiff::tr("name %1").arg(change(quoted(before.attribute(Xml::name)), quoted(after.attribute(Xml::name))));
}

void addLine(QStringList* lines, const QString& object, const QStringList& changes)
{
    if (!changes.isEmpty())
        *lines << object + QStringLiteral(": ") + changes.join(QStringLiteral("; "));
}

QString deleted(const QString& object, const QString& consequence)
{
    return consequence.isEmpty() ? ConfigDiff::tr("%1 deleted").arg(object)
                                 : ConfigDiff::tr("%1 deleted; %2").arg(object, consequence);
}

// The line of an object that only one side has: added, or deleted with what
// went with it. False when both have it.
template<typename Consequence>
bool onlyOnOneSide(const QString& kind, const QDomElement& before, const QDomElement& after,
                   Consequence consequence, QStringList* lines)
{
    if (after.isNull())
        *lines << deleted(objectName(kind, before), consequence());
    else if (before.isNull())
        *lines << ConfigDiff::tr("%1 added").arg(objectName(kind, after));
    return after.isNull() || before.isNull();
}

void compareStrategies(const QDomElement& before, const QDomElement& after, QStringList* lines)
{
    const CalendarLevel level{Xml::strategy_id, ConfigDiff::tr("strategy")};
    const KeyedChildren old(before.firstChildElement(Xml::Strategies), Xml::Strategy);
    const KeyedChildren now(after.firstChildElement(Xml::Strategies), Xml::Strategy);
    for (const QString& id : unionOfKeys(old, now)) {
        const QDomElement b = old.find(id);
        const QDomElement a = now.find(id);
        if (onlyOnOneSide(ConfigDiff::tr("Strategy"), b, a, [&] { return entriesRemoved(before, after, level, id); }, lines))
            continue;
        QStringList changes;
        compareName(b, a, &changes);
        if (Config::isDefault(b) != Config::isDefault(a))
            changes << (Config::isDefault(a) ? ConfigDiff::tr("made default") : ConfigDiff::tr("no longer default"));
        const KeyedChildren oldAreas(b, Xml::Area);
        const KeyedChildren newAreas(a, Xml::Area);
        for (const QString& area : unionOfKeys(oldAreas, newAreas)) {
            const QString from = oldAreas.find(area).attribute(Xml::control_source);
            const QString to = newAreas.find(area).attribute(Xml::control_source);
            if (!newAreas.contains(area))
                changes << ConfigDiff::tr("area %1 no longer used").arg(area);
            else if (!oldAreas.contains(area))
                changes << ConfigDiff::tr("area %1 used (%2)").arg(area, controlSourceName(to));
            else if (from != to)
                changes << ConfigDiff::tr("area %1: %2").arg(area, change(controlSourceName(from), controlSourceName(to)));
        }
        addLine(lines, objectName(ConfigDiff::tr("Strategy"), a), changes);
    }
}

QStringList idList(const QDomElement& area)
{
    QStringList ids;
    for (const QString& id : Xml::firstText(area.firstChildElement(Xml::Controllers)).split(QLatin1Char(',')))
        if (!id.trimmed().isEmpty())
            ids << id.trimmed();
    return ids;
}

void compareControllers(const QDomElement& before, const QDomElement& after, QStringList* changes)
{
    const QStringList old = idList(before);
    const QStringList now = idList(after);
    QStringList added;
    QStringList removed;
    for (const QString& id : now)
        if (!old.contains(id))
            added << id;
    for (const QString& id : old)
        if (!now.contains(id))
            removed << id;
    if (!added.isEmpty())
        *changes << counted(ConfigDiff::tr("controller %1 added"), ConfigDiff::tr("controllers %1 added"), added);
    if (!removed.isEmpty())
        *changes << counted(ConfigDiff::tr("controller %1 removed"), ConfigDiff::tr("controllers %1 removed"), removed);
}

QString programText(const QDomElement& controller)
{
    QString text;
    QTextStream stream(&text);
    controller.firstChildElement(Xml::Program).save(stream, -1);
    return text;
}

QStringList controllerChanges(const QDomElement& before, const QDomElement& after)
{
    QStringList changes;
    const KeyedChildren old(before, Xml::Controller);
    const KeyedChildren now(after, Xml::Controller);
    for (const QString& id : unionOfKeys(old, now)) {
        const QDomElement b = old.find(id);
        const QDomElement a = now.find(id);
        if (a.isNull()) {
            changes << ConfigDiff::tr("controller %1 removed").arg(id);
            continue;
        }
        if (b.isNull()) {
            changes << ConfigDiff::tr("controller %1 added").arg(id);
            continue;
        }
        QStringList own;
        if (b.attribute(Xml::program_id) != a.attribute(Xml::program_id))
            own << ConfigDiff::tr("program %1").arg(change(b.attribute(Xml::program_id, ConfigDiff::tr("none")),
                                                           a.attribute(Xml::program_id, ConfigDiff::tr("none"))));
        if (b.attribute(Xml::state) != a.attribute(Xml::state))
            own << ConfigDiff::tr("special state %1").arg(change(b.attribute(Xml::state, ConfigDiff::tr("none")),
                                                                 a.attribute(Xml::state, ConfigDiff::tr("none"))));
        if (programText(b) != programText(a))
            own << ConfigDiff::tr("special program changed");
        if (!own.isEmpty())
            changes << ConfigDiff::tr("controller %1 %2").arg(id, own.join(QStringLiteral(", ")));
    }
    return changes;
}

void compareStates(const QDomElement& before, const QDomElement& after, QStringList* changes)
{
    const CalendarLevel level{Xml::state_id, ConfigDiff::tr("state")};
    const KeyedChildren old(before.firstChildElement(Xml::States), Xml::State);
    const KeyedChildren now(after.firstChildElement(Xml::States), Xml::State);
    for (const QString& id : unionOfKeys(old, now)) {
        const QDomElement b = old.find(id);
        const QDomElement a = now.find(id);
        const QString name = ConfigDiff::tr("state %1 %2").arg(id, quoted((a.isNull() ? b : a).attribute(Xml::name)));
        if (a.isNull()) {
            *changes << deleted(name, entriesRemoved(before, after, level, id));
        } else if (b.isNull()) {
            *changes << ConfigDiff::tr("%1 added").arg(name);
        } else {
            QStringList own;
            compareName(b, a, &own);
            own << controllerChanges(b, a);
            if (!own.isEmpty())
                *changes << name + QStringLiteral(": ") + own.join(QStringLiteral(", "));
        }
    }
}

void compareAreaParts(const QDomElement& before, const QDomElement& after, QStringList* changes)
{
    compareName(before, after, changes);
    compareControllers(before, after, changes);
    compareOutline(before, after, changes);
    compareStates(before, after, changes);
    compareCalendar(before, after, CalendarLevel{Xml::state_id, ConfigDiff::tr("state")}, changes);
}

void compareAreas(const QDomElement& before, const QDomElement& after, QStringList* lines)
{
    const KeyedChildren old(before.firstChildElement(Xml::Areas), Xml::Area);
    const KeyedChildren now(after.firstChildElement(Xml::Areas), Xml::Area);
    for (const QString& id : unionOfKeys(old, now)) {
        const QDomElement b = old.find(id);
        const QDomElement a = now.find(id);
        if (onlyOnOneSide(ConfigDiff::tr("Area"), b, a, [] { return QString(); }, lines))
            continue;
        QStringList changes;
        compareAreaParts(b, a, &changes);
        addLine(lines, objectName(ConfigDiff::tr("Area"), a), changes);
    }
}

} // namespace

QStringList ConfigDiff::compare(const QDomElement& before, const QDomElement& after)
{
    QStringList lines;
    QStringList zone;
    if (before.attribute(Xml::id) != after.attribute(Xml::id))
        zone << tr("id %1").arg(change(before.attribute(Xml::id), after.attribute(Xml::id)));
    compareName(before, after, &zone);
    compareOutline(before, after, &zone);
    compareCalendar(before, after, CalendarLevel{Xml::strategy_id, tr("strategy")}, &zone);
    addLine(&lines, objectName(tr("Zone"), after), zone);
    compareStrategies(before, after, &lines);
    compareAreas(before, after, &lines);
    return lines;
}

QStringList ConfigDiff::compareParts(const QDomElement& before, const QDomElement& after)
{
    QStringList lines;
    compareStrategies(before, after, &lines);
    compareAreas(before, after, &lines);
    return lines;
}

QDomDocument ConfigDiff::partsSnapshot(const QDomElement& zone)
{
    QDomDocument snapshot;
    QDomElement root = snapshot.importNode(zone, false).toElement();
    snapshot.appendChild(root);
    for (const QLatin1String whole : {Xml::Strategies, Xml::Calendar}) {
        const QDomElement part = zone.firstChildElement(whole);
        if (!part.isNull())
            root.appendChild(snapshot.importNode(part, true));
    }
    const QDomElement areas = zone.firstChildElement(Xml::Areas);
    if (areas.isNull())
        return snapshot;
    QDomNode copies = root.appendChild(snapshot.importNode(areas, false));
    for (QDomElement area = areas.firstChildElement(Xml::Area); !area.isNull(); area = area.nextSiblingElement(Xml::Area))
        copies.appendChild(snapshot.importNode(area, false));
    return snapshot;
}

QStringList ConfigDiff::compareArea(const QDomElement& before, const QDomElement& after)
{
    QStringList changes;
    if (before.attribute(Xml::id) != after.attribute(Xml::id))
        changes << tr("id %1").arg(change(before.attribute(Xml::id), after.attribute(Xml::id)));
    compareAreaParts(before, after, &changes);
    QStringList lines;
    addLine(&lines, objectName(tr("Area"), after), changes);
    return lines;
}

namespace {

bool parse(const QByteArray& bytes, const QString& name, QDomDocument* document, QString* error)
{
    Xml::ReadError failure;
    if (Xml::parseDocument(bytes, document, &failure))
        return true;
    *error = QStringLiteral("%1:%2:%3: %4").arg(name).arg(failure.line).arg(failure.column).arg(failure.message);
    return false;
}

bool read(const QString& fileName, QDomDocument* document, QString* error)
{
    Xml::ReadError failure;
    if (Xml::readDocument(fileName, document, &failure))
        return true;
    *error = failure.kind == Xml::ReadError::CannotOpen
        ? QStringLiteral("%1: %2").arg(fileName, failure.message)
        : QStringLiteral("%1:%2:%3: %4").arg(fileName).arg(failure.line).arg(failure.column).arg(failure.message);
    return false;
}

} // namespace

QString ConfigDiff::replacementSummary(const QDomElement& replaced, const QDomElement& replacement)
{
    const QDomElement calendar = replaced.firstChildElement(Xml::Calendar);
    const auto count = [](const QDomElement& parent, const QString& tag) {
        int n = 0;
        for (QDomElement e = parent.firstChildElement(tag); !e.isNull(); e = e.nextSiblingElement(tag))
            ++n;
        return n;
    };
    const int states = count(replaced.firstChildElement(Xml::States), Xml::State);
    const int cards = count(calendar.firstChildElement(Xml::DayCards), Xml::DayCard);
    const int days = count(calendar.firstChildElement(Xml::SpecialDays), Xml::SpecialDay);
    QStringList replacedParts;
    if (states > 0)
        replacedParts << (states == 1 ? tr("1 state") : tr("%1 states").arg(states));
    if (cards > 0)
        replacedParts << (cards == 1 ? tr("1 day card") : tr("%1 day cards").arg(cards));
    if (days > 0)
        replacedParts << (days == 1 ? tr("1 special day") : tr("%1 special days").arg(days));
    QStringList parts;
    parts << (replacedParts.isEmpty() ? tr("replaces no states, day cards or special days")
                                      : tr("replaces %1").arg(replacedParts.join(QStringLiteral(", "))));
    const QStringList old = idList(replaced);
    const QStringList now = idList(replacement);
    QStringList leaving;
    QStringList joining;
    for (const QString& id : old)
        if (!now.contains(id))
            leaving << id;
    for (const QString& id : now)
        if (!old.contains(id))
            joining << id;
    if (!leaving.isEmpty())
        parts << counted(tr("controller %1 leaves the area"), tr("controllers %1 leave the area"), leaving);
    if (!joining.isEmpty())
        parts << counted(tr("controller %1 joins the area"), tr("controllers %1 join the area"), joining);
    parts << tr("the outline is kept");
    return parts.join(QStringLiteral("; "));
}

bool ConfigDiff::compareTexts(const QByteArray& before, const QByteArray& after, QStringList* changes, QString* error)
{
    QDomDocument old;
    QDomDocument now;
    if (!parse(before, tr("the earlier version"), &old, error) || !parse(after, tr("the later version"), &now, error))
        return false;
    *changes = compare(old.documentElement(), now.documentElement());
    return true;
}

bool ConfigDiff::compareFiles(const QString& before, const QString& after, QStringList* changes, QString* error)
{
    QDomDocument old;
    QDomDocument now;
    if (!read(before, &old, error) || !read(after, &now, error))
        return false;
    *changes = compare(old.documentElement(), now.documentElement());
    return true;
}

} // namespace Velmora
