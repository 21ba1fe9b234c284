#pragma once

#include <QCoreApplication>
#include <QDate>
#include <QDomElement>
#include <QString>
#include <QVector>

class QTextStream;

namespace Velmora {

class SchedulePreview;

// The plain-text table of what a zone's calendars plan: a heading, the
// strategy plan, then per area its states and control sources, one row per
// change, columns padded to their widest cell.
// Times are "hh:mm" for a one-day range ("24:00" for its end), else
// "yyyy-MM-dd hh:mm".
//
//     ScheduleTable::write(out, document.documentElement(), first, last, &error);
class ScheduleTable
{
    Q_DECLARE_TR_FUNCTIONS(Velmora::ScheduleTable)

public:
    // Days of plan held at a time when streaming: a few MB for an area
    // whose card switches every minute.
    static constexpr int ChunkDays = 64;

    // The table of a preview already made.
    static void write(QTextStream& out, const SchedulePreview& preview);

    // The same text for a preview of `zone` over first..last, computed
    // `chunkDays` days at a time and written as it goes, so that memory stays
    // bounded however long the range is: the calendars are evaluated twice
    // (the column widths first), and the area tables, which follow the whole
    // strategy table, wait in a temporary file. Rows that go on past a chunk's
    // end are joined, so the chunks never show. False with *error when the
    // arguments give no preview (nothing is written) or the temporary file
    // fails (the text then stops short).
    static bool write(QTextStream& out, const QDomElement& zone, const QDate& first, const QDate& last,
                      QString* error = nullptr, int chunkDays = ChunkDays);
};

} // namespace Velmora
