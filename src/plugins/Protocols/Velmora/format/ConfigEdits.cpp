#include "ConfigEdits.h"

#include <QStringList>

#include "Vocabulary.h"
#include "XmlText.h"

namespace Velmora {
namespace ConfigEdit {

namespace {

// An element without element children: a comment alone does not make a card.
bool isEmptied(const QDomElement& element)
{
    return element.firstChildElement().isNull();
}

// Removes the `tag` children whose `attribute` is one of `values`; true when any went.
bool removeChildren(QDomElement parent, const QString& tag, const QString& attribute, const QSet<QString>& values)
{
    bool removed = false;
    for (QDomElement child = parent.firstChildElement(tag); !child.isNull();) {
        const QDomElement next = child.nextSiblingElement(tag);
        if (values.contains(child.attribute(attribute))) {
            parent.removeChild(child);
            removed = true;
        }
        child = next;
    }
    return removed;
}

QDomElement childWithId(const QDomElement& parent, const QString& tag, const QString& id)
{
    for (QDomElement child = parent.firstChildElement(tag); !child.isNull(); child = child.nextSiblingElement(tag)) {
        if (child.attribute(Xml::id) == id)
            return child;
    }
    return QDomElement();
}

void setAttributes(const QDomElement& parent, const QString& tag, const QString& attribute, const QString& from,
                   const QString& to)
{
    for (QDomElement child = parent.firstChildElement(tag); !child.isNull(); child = child.nextSiblingElement(tag)) {
        if (child.attribute(attribute) == from)
            child.setAttribute(attribute, to);
    }
}

QList<QDomElement> children(const QDomElement& parent, const QString& tag)
{
    QList<QDomElement> list;
    for (QDomElement child = parent.firstChildElement(tag); !child.isNull(); child = child.nextSiblingElement(tag))
        list.append(child);
    return list;
}

QDomElement dayCardsOf(const QDomElement& owner)
{
    return owner.firstChildElement(Xml::Calendar).firstChildElement(Xml::DayCards);
}

QDomElement specialDaysOf(const QDomElement& owner)
{
    return owner.firstChildElement(Xml::Calendar).firstChildElement(Xml::SpecialDays);
}

void appendController(QDomElement state, const QString& number)
{
    QDomElement controller = state.ownerDocument().createElement(Xml::Controller);
    controller.setAttribute(Xml::id, number);
    controller.setAttribute(Xml::state, QStringLiteral("1"));
    state.appendChild(controller);
}

// Removes the switching points to `id` from the cards; the cards left
// without any go, and so do their weekdays.
Removed dropSwitchingPoints(QDomElement owner, const QString& attribute, const QString& id)
{
    Removed removed;
    for (QDomElement card : children(dayCardsOf(owner), Xml::DayCard)) {
        if (removeChildren(card, Xml::Time, attribute, {id}) && isEmptied(card))
            removed.append(deleteDayCard(owner, card));
    }
    QDomElement specialDays = specialDaysOf(owner);
    for (QDomElement day : children(specialDays, Xml::SpecialDay)) {
        if (removeChildren(day, Xml::Time, attribute, {id}) && isEmptied(day)) {
            specialDays.removeChild(day);
            removed.specialDays.append(day);
        }
    }
    return removed;
}

// A file may hold two states under one id: the switching points to that id
// have a state to switch to while any is left.
bool hasState(const QDomElement& area, const QString& id)
{
    return !childWithId(area.firstChildElement(Xml::States), Xml::State, id).isNull();
}

} // namespace

void Removed::append(const Removed& other)
{
    strategies += other.strategies;
    dayCards += other.dayCards;
    states += other.states;
    specialDays += other.specialDays;
}

void renumberArea(QDomElement zone, const QString& from, const QString& to)
{
    if (from == to)
        return;
    for (const QDomElement& strategy : children(zone.firstChildElement(Xml::Strategies), Xml::Strategy))
        setAttributes(strategy, Xml::Area, Xml::id, from, to);
}

void renumberStrategy(QDomElement zone, const QString& from, const QString& to)
{
    if (from == to)
        return;
    for (const QDomElement& card : children(dayCardsOf(zone), Xml::DayCard))
        setAttributes(card, Xml::Time, Xml::strategy_id, from, to);
}

Removed deleteArea(QDomElement zone, QDomElement area)
{
    Removed removed;
    const QString id = area.attribute(Xml::id);
    area.parentNode().removeChild(area);
    for (QDomElement strategy : children(zone.firstChildElement(Xml::Strategies), Xml::Strategy)) {
        // A strategy names an area once; the first use is the one.
        QDomElement use = childWithId(strategy, Xml::Area, id);
        if (use.isNull())
            continue;
        strategy.removeChild(use);
        if (isEmptied(strategy))
            removed.append(deleteStrategy(zone, strategy));
    }
    return removed;
}

Removed deleteStrategy(QDomElement zone, QDomElement strategy)
{
    Removed removed;
    strategy.parentNode().removeChild(strategy);
    removed.strategies.append(strategy);
    removed.append(dropSwitchingPoints(zone, Xml::strategy_id, strategy.attribute(Xml::id)));
    return removed;
}

void addController(QDomElement area, const QString& number)
{
    for (const QDomElement& state : children(area.firstChildElement(Xml::States), Xml::State)) {
        if (childWithId(state, Xml::Controller, number).isNull())
            appendController(state, number);
    }
}

void renameController(QDomElement area, const QString& from, const QString& to)
{
    if (from == to)
        return;
    for (QDomElement state : children(area.firstChildElement(Xml::States), Xml::State)) {
        QDomElement old = from.isEmpty() ? QDomElement() : childWithId(state, Xml::Controller, from);
        // A state never names a controller twice.
        if (!childWithId(state, Xml::Controller, to).isNull()) {
            if (!old.isNull())
                state.removeChild(old);
        } else if (!old.isNull()) {
            old.setAttribute(Xml::id, to);
        } else if (from.isEmpty()) {
            // A new number is a new controller; a state that lacked the old one is left as it was.
            appendController(state, to);
        }
    }
}

Removed deleteControllers(QDomElement area, const QSet<QString>& numbers)
{
    Removed removed;
    if (numbers.isEmpty())
        return removed;
    for (QDomElement state : children(area.firstChildElement(Xml::States), Xml::State)) {
        if (removeChildren(state, Xml::Controller, Xml::id, numbers) && isEmptied(state))
            removed.append(deleteState(area, state));
    }
    return removed;
}

void renumberState(QDomElement area, const QString& from, const QString& to)
{
    if (from == to || hasState(area, from))
        return;
    for (const QDomElement& card : children(dayCardsOf(area), Xml::DayCard))
        setAttributes(card, Xml::Time, Xml::state_id, from, to);
    for (const QDomElement& day : children(specialDaysOf(area), Xml::SpecialDay))
        setAttributes(day, Xml::Time, Xml::state_id, from, to);
}

Removed deleteState(QDomElement area, QDomElement state)
{
    Removed removed;
    state.parentNode().removeChild(state);
    removed.states.append(state);
    const QString id = state.attribute(Xml::id);
    if (!hasState(area, id))
        removed.append(dropSwitchingPoints(area, Xml::state_id, id));
    return removed;
}

Removed deleteDayCard(QDomElement owner, QDomElement card)
{
    Removed removed;
    card.parentNode().removeChild(card);
    removed.dayCards.append(card);
    const QString id = card.attribute(Xml::id);
    if (id.isEmpty())
        return removed;
    QDomElement week = owner.firstChildElement(Xml::Calendar).firstChildElement(Xml::WeekDistribution);
    QStringList days = Xml::firstText(week).split(QLatin1Char(','));
    // Blanks around an id, as a hand-written week may have, name the same card to every reader.
    bool emptied = false;
    for (QString& day : days) {
        if (day.trimmed() == id) {
            day.clear();
            emptied = true;
        }
    }
    if (emptied)
        Xml::setText(week, days.join(QLatin1Char(',')));
    return removed;
}

} // namespace ConfigEdit
} // namespace Velmora
