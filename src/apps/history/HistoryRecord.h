#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QString>
#include <QVector>

namespace Velmora {

// One thing that happened to a linked zone, as the history keeps it.
struct HistoryRecord
{
    enum Kind {
        State = 1,     // a zone's or an area's live values after an event or a state reply
        Event = 2,     // the event itself, in words
        Command = 3,   // a command sent, its result, who sent it
        Link = 4,      // the link's status, with both hashes on a mismatch
        FullState = 5, // every area of the zone at once, so a seek reads little
    };
    static constexpr int ZoneItself = -1;
    static constexpr int NoValue = -1;
    // A command's code when its reply carried no result.
    static constexpr int NoReply = -2;

    Kind kind = State;
    int zone = 0;
    int area = ZoneItself;
    qint64 serviceMs = 0; // the service's time stamp, ms since the epoch (UTC)
    qint64 localMs = 0;   // this computer's clock when it was recorded
    int controlSource = NoValue;
    int strategy = NoValue;
    int state = NoValue;
    int specialState = NoValue;
    // What happened as a number, so that workstations in different languages
    // write one record: a link's status, a command's result (or error) code.
    int code = NoValue;
    // Never translated: the event's id and values, the command as typed, a
    // mismatch's two hashes, a full state's areas.
    QString detail;
    QString user;
    QString host;

    // What makes two workstations' records of one happening the same record.
    QByteArray digest() const;
};

// One area's values at a moment.
struct AreaMoment
{
    int id = 0;
    int controlSource = HistoryRecord::NoValue;
    int state = HistoryRecord::NoValue;
    int specialState = HistoryRecord::NoValue;
    bool operator==(const AreaMoment& other) const
    {
        return id == other.id && controlSource == other.controlSource && state == other.state
            && specialState == other.specialState;
    }
};

// A zone as it was at a moment: what the replay shows.
struct ZoneMoment
{
    int zone = 0;
    qint64 serviceMs = 0;
    bool known = false; // false: nothing recorded at or before the moment
    int controlSource = HistoryRecord::NoValue;
    int strategy = HistoryRecord::NoValue;
    QVector<AreaMoment> areas; // by id, ascending
    // The link's status code as last recorded at or before the moment, and since when; NoValue when none was.
    int link = HistoryRecord::NoValue;
    qint64 linkSinceMs = 0;

    AreaMoment* area(int id);
    const AreaMoment* area(int id) const;
    // A State record moves the zone or one area on; a FullState record sets them all.
    void apply(const HistoryRecord& record);
    // "id,source,state,special;..." as a FullState record's detail keeps the areas.
    QString areasText() const;
    static bool parseAreas(const QString& text, QVector<AreaMoment>* areas);
    HistoryRecord fullStateRecord(qint64 localMs) const;
};

} // namespace Velmora

Q_DECLARE_METATYPE(Velmora::HistoryRecord)
