#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

#include "ZoneDescription.h"

class QDomElement;
class QStringRef;

namespace Velmora {

// How a zone configuration becomes a ZoneDescription: which elements count,
// what fails a load, what is only warned about and in which order. Readers
// feed it the elements the model reads as they meet them (the document walk
// below, the streaming pass of StreamLoader), so every file is read by one
// set of rules whichever parser saw it. Pure values: safe on any thread.
class ZoneReading
{
public:
    // `sourceName` is the file named in warnings about duplicate ids.
    explicit ZoneReading(const QString& sourceName);

    // The root element. False when it has no valid id: nothing else counts then.
    bool root(const QStringRef& id, const QString& name, int line, const QString& tag);
    // Geometry texts; only the first of each element counts, which the reader sees to.
    void zoneOutline(const QString& text);
    void controller(const QStringRef& id, const QString& name, int line);
    // False when the area does not count: its list failed before it.
    bool beginArea(const QStringRef& id, const QString& name, int line);
    void areaOutline(const QString& text);
    void areaControllers(const QStringRef& text);
    void state(const QStringRef& id, const QString& name, int line);
    void endArea();
    void strategy(const QStringRef& id, const QString& name, int line);
    // The zone as read: lists in the order the model reads them (controllers,
    // areas, strategies), up to the first that failed, with their warnings.
    ZoneDescription finish();

    // The document walk: the first child of each name; a list runs from its
    // first element through the later siblings of the same tag.
    static ZoneDescription describe(const QDomElement& root, const QString& sourceName);
    // One Area element alone. False, with the text that fails it, when it
    // has no valid id.
    static bool describeArea(const QDomElement& area, const QString& sourceName, AreaDescription* description,
                             QStringList* warnings, QString* error);

private:
    // One list of the zone as read so far.
    struct List
    {
        QSet<int> ids;
        QStringList warnings;
        // The text that fails the load; the rest of the list is not read.
        QString error;

        bool failed() const { return !error.isEmpty(); }
    };

    // An object of a list; false (and the list failed) when its id is not valid.
    static bool readObject(const QStringRef& id, const QString& name, int line, QLatin1String tag,
                           ObjectDescription* object, List* list);
    // A later element of a list with an earlier one's id counts in its place, with a warning.
    void noteDuplicate(QSet<int>* ids, QStringList* warnings, int id, int line, QLatin1String tag);
    void deriveControllers();
    void readArea(const QDomElement& area);

    QString m_sourceName;
    QString m_rootError;
    ZoneDescription m_zone;
    List m_controllers;
    List m_areas;
    List m_strategies;
    // The area being read.
    int m_areaLine = 0;
    QSet<int> m_stateIds;
    bool m_statesEnded = false;
};

} // namespace Velmora
