#pragma once

#include <QList>
#include <QPointF>
#include <QString>
#include <QStringList>
#include <QVector>

namespace Velmora {

// What the model takes from a zone configuration, read but not yet built:
// plain values, so that a file can be read on any thread and the model
// objects made from it afterwards on the GUI thread.

// A controller, strategy or area state.
struct ObjectDescription
{
    int id = -1;
    QString name;
};

struct AreaDescription
{
    int id = -1;
    QString name;
    // Empty when the area has no readable outline.
    QVector<QPointF> outline;
    // The ids of its Controllers text, in file order.
    QList<int> controllers;
    // In file order, duplicate ids included: the later one is looked up.
    QVector<ObjectDescription> states;
};

struct ZoneDescription
{
    // False when the root element had no valid id: nothing else was read.
    bool hasId = false;
    int id = -1;
    QString name;
    QVector<QPointF> outline;
    // Each list in file order, duplicate ids included; the controllers are
    // those the areas name when the file lists none. After a list that
    // failed, the later lists are empty, and the failed one holds the
    // elements before the fault.
    QVector<ObjectDescription> controllers;
    QVector<AreaDescription> areas;
    QVector<ObjectDescription> strategies;
    // What reading logs, in order, as it logs them.
    QStringList warnings;
    // The text that fails the load; empty when the zone loads.
    QString error;
};

} // namespace Velmora
