#include "ScheduleTable.h"

#include "ConfigReader.h"
#include "SchedulePreview.h"

#include <QHash>
#include <QPair>
#include <QTemporaryFile>
#include <QTextStream>
#include <QTime>

#include <algorithm>
#include <array>

namespace Velmora {

namespace {

constexpr int MinutesPerDay = SchedulePreview::MinutesPerDay;

// One row of a table: [start, end) in minutes of the whole range, and what it shows.
struct Row
{
    int start = 0;
    int end = 0;
    int id = -1;      // the strategy or state
    int missing = -1; // with id -1: the one the calendar names but the file lacks
    int source = -1;  // area tables: the control source

    PlanInterval plan() const { return PlanInterval{start, end, id, missing}; }
    // Within one preview neighbouring rows always differ in what they show;
    // equal ones meet only at a chunk's end, where they make one row.
    bool goesOnAs(const Row& next) const
    {
        return end == next.start && id == next.id && missing == next.missing && source == next.source;
    }
};

// Holds back the last row until the next shows whether it goes on.
class RowJoiner
{
public:
    template<typename Pass>
    void add(const Row& row, Pass pass)
    {
        if (m_held && m_row.goesOnAs(row)) {
            m_row.end = row.end;
            return;
        }
        if (m_held)
            pass(m_row);
        m_row = row;
        m_held = true;
    }

    template<typename Pass>
    void finish(Pass pass)
    {
        if (m_held)
            pass(m_row);
        m_held = false;
    }

private:
    Row m_row;
    bool m_held = false;
};

// The time texts of a range as the table shows them, each day formatted once.
class TimeTexts
{
public:
    TimeTexts(const QDate& first, const QDate& last)
        : m_first(first)
        , m_oneDay(first == last)
    {
        // UTC only for formatting: a local moment that a clock change skips
        // would print as another time.
        for (int minute = 0; minute < MinutesPerDay; ++minute)
            m_clock.append(QDateTime(first, QTime(minute / 60, minute % 60), Qt::UTC).toString(QStringLiteral("hh:mm")));
    }

    QString text(int minute)
    {
        if (m_oneDay)
            return minute == MinutesPerDay ? QStringLiteral("24:00") : m_clock.at(minute);
        return day(minute / MinutesPerDay) + QLatin1Char(' ') + m_clock.at(minute % MinutesPerDay);
    }

    int length(int minute)
    {
        if (m_oneDay)
            return minute == MinutesPerDay ? 5 : m_clock.at(minute).size();
        return day(minute / MinutesPerDay).size() + 1 + m_clock.at(minute % MinutesPerDay).size();
    }

private:
    const QString& day(int index)
    {
        if (index != m_dayIndex) {
            m_dayIndex = index;
            m_dayText = QDateTime(m_first.addDays(index), QTime(0, 0), Qt::UTC).toString(QStringLiteral("yyyy-MM-dd"));
        }
        return m_dayText;
    }

    QDate m_first;
    bool m_oneDay;
    QVector<QString> m_clock; // "hh:mm" of every minute of a day
    int m_dayIndex = -1;
    QString m_dayText;
};

// The tables of a range, fed with the previews of its chunks of days in
// order: once to measure the columns, then once more to write the rows.
class Tables
{
public:
    // `names`: a preview of the same zone for the names and ids it shows.
    Tables(const SchedulePreview& names, const QDate& first, const QDate& last)
        : m_names(names)
        , m_first(first)
        , m_last(last)
        , m_times(first, last)
    {
        m_widths.resize(count());
        m_joiners.resize(count());
        for (int table = 0; table < count(); ++table) {
            const QStringList header = headerOf(table);
            for (int column = 0; column + 1 < header.size(); ++column)
                m_widths[table][column] = header.at(column).size();
        }
    }

    // The strategy table, then one per area.
    int count() const { return 1 + m_names.areas().size(); }

    void measure(const SchedulePreview& chunk, int offset)
    {
        for (int table = 0; table < count(); ++table)
            rowsOf(chunk, table, offset, [this, table](const Row& row) { measureRow(table, row); });
    }

    void finishMeasuring()
    {
        for (int table = 0; table < count(); ++table)
            m_joiners[table].finish([this, table](const Row& row) { measureRow(table, row); });
    }

    QString heading() const
    {
        const QString dayFormat = QStringLiteral("yyyy-MM-dd");
        QString range = m_first.toString(dayFormat);
        if (m_last != m_first)
            range += QStringLiteral("..") + m_last.toString(dayFormat);
        return m_names.zoneName().isEmpty()
            ? SchedulePreview::tr("Zone %1, %2\n").arg(Config::idText(m_names.zoneId())).arg(range)
            : SchedulePreview::tr("Zone %1 %2, %3\n").arg(Config::idText(m_names.zoneId())).arg(m_names.zoneName(), range);
    }

    // The blank line, title and column heads that open a table.
    QString title(int table) const
    {
        QString title = SchedulePreview::tr("Strategies");
        if (const SchedulePreview::Area* area = areaOf(m_names, table)) {
            title = area->name.isEmpty() ? SchedulePreview::tr("Area %1").arg(Config::idText(area->id))
                                         : SchedulePreview::tr("Area %1 %2").arg(Config::idText(area->id)).arg(area->name);
        }
        return QLatin1Char('\n') + title + QLatin1Char('\n') + line(table, headerOf(table));
    }

    // The rows of the chunk, but for one that may go on in the next.
    QString rows(const SchedulePreview& chunk, int table, int offset)
    {
        QString text;
        rowsOf(chunk, table, offset, [&](const Row& row) { text += rowText(table, row); });
        return text;
    }

    QString finishRows(int table)
    {
        QString text;
        m_joiners[table].finish([&](const Row& row) { text += rowText(table, row); });
        return text;
    }

private:
    using Widths = std::array<int, 3>; // the padded columns

    const SchedulePreview::Area* areaOf(const SchedulePreview& preview, int table) const
    {
        return table == 0 ? nullptr : &preview.areas().at(table - 1);
    }

    QStringList headerOf(int table) const
    {
        if (table == 0)
            return {SchedulePreview::tr("from"), SchedulePreview::tr("to"), SchedulePreview::tr("strategy")};
        return {SchedulePreview::tr("from"), SchedulePreview::tr("to"), SchedulePreview::tr("state"),
                SchedulePreview::tr("control source")};
    }

    // Feeds the table's rows in the chunk to its joiner, which passes on the
    // ones that are complete.
    template<typename Pass>
    void rowsOf(const SchedulePreview& chunk, int table, int offset, Pass pass)
    {
        RowJoiner& joiner = m_joiners[table];
        const SchedulePreview::Area* area = areaOf(chunk, table);
        if (!area) {
            for (const PlanInterval& i : chunk.strategies())
                joiner.add(Row{i.start + offset, i.end + offset, i.id, i.missing, -1}, pass);
            return;
        }
        const PlanTimeline sources = chunk.controlSources(area->id);
        // Both timelines cover the chunk, so walking them side by side gives
        // a row wherever either changes.
        int s = 0;
        int c = 0;
        int start = 0;
        while (s < area->plan.size() && c < sources.size()) {
            const PlanInterval& state = area->plan.at(s);
            const PlanInterval& source = sources.at(c);
            const int end = std::min(state.end, source.end);
            joiner.add(Row{start + offset, end + offset, state.id, state.missing, source.id}, pass);
            start = end;
            if (state.end == end)
                ++s;
            if (source.end == end)
                ++c;
        }
    }

    QString whatText(int table, const Row& row) const
    {
        const SchedulePreview::Area* area = areaOf(m_names, table);
        return area ? m_names.stateText(*area, row.plan()) : m_names.strategyText(row.plan());
    }

    void measureRow(int table, const Row& row)
    {
        Widths& widths = m_widths[table];
        widths[0] = std::max(widths[0], m_times.length(row.start));
        widths[1] = std::max(widths[1], m_times.length(row.end));
        if (table == 0)
            return; // the strategy is the last column
        const QPair<int, int> shown(row.id, row.missing);
        auto it = m_stateLengths.constFind(qMakePair(table, shown));
        if (it == m_stateLengths.cend())
            it = m_stateLengths.insert(qMakePair(table, shown), whatText(table, row).size());
        widths[2] = std::max(widths[2], *it);
    }

    QString rowText(int table, const Row& row)
    {
        QStringList cells{m_times.text(row.start), m_times.text(row.end), whatText(table, row)};
        if (table > 0)
            cells << SchedulePreview::sourceText(row.source);
        return line(table, cells);
    }

    // Two blanks before and between the columns; the last one unpadded.
    QString line(int table, const QStringList& cells) const
    {
        QString text = QStringLiteral("  ");
        for (int i = 0; i + 1 < cells.size(); ++i)
            text += cells.at(i).leftJustified(m_widths.at(table).at(size_t(i))) + QStringLiteral("  ");
        return text + cells.last() + QLatin1Char('\n');
    }

    const SchedulePreview& m_names;
    QDate m_first;
    QDate m_last;
    TimeTexts m_times;
    QVector<Widths> m_widths;
    QVector<RowJoiner> m_joiners;
    QHash<QPair<int, QPair<int, int>>, int> m_stateLengths; // (table, (id, missing)) -> text length
};

// Calls chunk(preview, offset) for previews of consecutive runs of
// `chunkDays` days over first..last; offset: the minutes before the run.
template<typename Chunk>
void forEachChunk(const QDomElement& zone, const QDate& first, const QDate& last, int chunkDays, Chunk chunk)
{
    for (QDate from = first; from <= last; from = from.addDays(chunkDays)) {
        const QDate to = std::min(last, from.addDays(chunkDays - 1));
        const SchedulePreview preview(zone, from, to);
        chunk(preview, int(first.daysTo(from)) * MinutesPerDay);
    }
}

// Where a table's text lies in the temporary file, piece by piece.
struct Piece
{
    qint64 offset = 0;
    qint64 size = 0;
};

bool keep(QFile* file, QVector<Piece>* pieces, const QString& text)
{
    if (text.isEmpty())
        return true;
    const QByteArray bytes = text.toUtf8();
    pieces->append(Piece{file->pos(), bytes.size()});
    return file->write(bytes) == bytes.size();
}

bool copy(QFile* file, const QVector<Piece>& pieces, QTextStream& out)
{
    for (const Piece& piece : pieces) {
        if (!file->seek(piece.offset))
            return false;
        const QByteArray bytes = file->read(piece.size);
        if (bytes.size() != piece.size)
            return false;
        out << QString::fromUtf8(bytes);
    }
    return true;
}

} // namespace

void ScheduleTable::write(QTextStream& out, const SchedulePreview& preview)
{
    if (preview.isNull()) {
        out << preview.error() << '\n';
        return;
    }
    Tables tables(preview, preview.firstDate(), preview.lastDate());
    tables.measure(preview, 0);
    tables.finishMeasuring();
    out << tables.heading();
    for (int table = 0; table < tables.count(); ++table)
        out << tables.title(table) << tables.rows(preview, table, 0) << tables.finishRows(table);
}

bool ScheduleTable::write(QTextStream& out, const QDomElement& zone, const QDate& first, const QDate& last,
                          QString* error, int chunkDays)
{
    const QString refused = SchedulePreview::rangeError(zone, first, last);
    if (!refused.isEmpty()) {
        if (error)
            *error = refused;
        return false;
    }
    chunkDays = std::max(1, chunkDays);
    if (first.daysTo(last) < chunkDays) {
        write(out, SchedulePreview(zone, first, last));
        return true;
    }

    const SchedulePreview names(zone, first, first);
    Tables tables(names, first, last);
    forEachChunk(zone, first, last, chunkDays,
                 [&tables](const SchedulePreview& chunk, int offset) { tables.measure(chunk, offset); });
    tables.finishMeasuring();

    QTemporaryFile areaRows;
    if (!areaRows.open()) {
        if (error)
            *error = tr("Cannot open a temporary file for the area tables: %1").arg(areaRows.errorString());
        return false;
    }
    QVector<QVector<Piece>> pieces(tables.count());
    bool kept = true;
    out << tables.heading() << tables.title(0);
    forEachChunk(zone, first, last, chunkDays, [&](const SchedulePreview& chunk, int offset) {
        out << tables.rows(chunk, 0, offset);
        for (int table = 1; table < tables.count() && kept; ++table)
            kept = keep(&areaRows, &pieces[table], tables.rows(chunk, table, offset));
    });
    out << tables.finishRows(0);
    for (int table = 1; table < tables.count() && kept; ++table)
        kept = keep(&areaRows, &pieces[table], tables.finishRows(table));
    for (int table = 1; table < tables.count() && kept; ++table) {
        out << tables.title(table);
        kept = copy(&areaRows, pieces.at(table), out);
    }
    if (!kept && error)
        *error = tr("Cannot keep the area tables in a temporary file: %1").arg(areaRows.errorString());
    return kept;
}

} // namespace Velmora
