#pragma once

#include <QDomElement>
#include <QList>
#include <QSet>
#include <QString>

// The edits of a configuration that carry into what refers to the edited
// object: strategies name their areas by id, zone day cards their strategies,
// area day cards and special days their states, states their controllers.
// Renumbering follows into the references; a deletion removes the references
// and then whatever it left empty (a strategy without areas, a card or special
// day without switching points, a state without controllers), and so on down.
// They work on the document alone; an editor drops the rows of what went.
namespace Velmora {
namespace ConfigEdit {

// What a deletion removed, itself included, each in the order it went. The
// elements are detached from the document but keep their attributes.
struct Removed
{
    QList<QDomElement> strategies;
    QList<QDomElement> dayCards;
    QList<QDomElement> states;
    QList<QDomElement> specialDays;

    void append(const Removed& other);
};

// Zone level; `zone` is the Zone element.

// The strategies' uses of area `from` name `to` instead.
void renumberArea(QDomElement zone, const QString& from, const QString& to);
// The zone day cards' switching points to strategy `from` switch to `to`.
void renumberStrategy(QDomElement zone, const QString& from, const QString& to);
// Removes the area and every strategy's use of it; a strategy left without
// areas goes too (deleteStrategy).
Removed deleteArea(QDomElement zone, QDomElement area);
// Removes the strategy and the zone day cards' switching points to it; a card
// left without any goes too (deleteDayCard).
Removed deleteStrategy(QDomElement zone, QDomElement strategy);

// Area level; `area` is an Area element.

// Every state gets controller `number` (state 1) unless it already names it.
void addController(QDomElement area, const QString& number);
// Controller `from` is `to` in every state; an empty `from` adds `to` as
// addController does. A state that names `to` already keeps one of them.
void renameController(QDomElement area, const QString& from, const QString& to);
// Removes the controllers from every state; a state left without
// controllers goes too (deleteState).
Removed deleteControllers(QDomElement area, const QSet<QString>& numbers);
// The switching points of the area's day cards and special days to state
// `from` switch to `to`, called once the state itself has `to`. While another
// state still has `from` (a file may hold two under one id) they stay with it.
void renumberState(QDomElement area, const QString& from, const QString& to);
// Removes the state and the switching points of day cards and special days
// to it, unless another state has its id; a card or special day left without
// any goes too.
Removed deleteState(QDomElement area, QDomElement state);

// Either level; `owner` is the Zone or the Area whose Calendar holds the card.

// Removes the day card; the weekdays of the calendar's week that used it
// are empty again.
Removed deleteDayCard(QDomElement owner, QDomElement card);

} // namespace ConfigEdit
} // namespace Velmora
