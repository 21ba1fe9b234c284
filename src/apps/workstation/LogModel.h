#pragma once

#include <QAbstractTableModel>
#include <QDateTime>
#include <QTimer>
#include <QVarLengthArray>
#include <QVariantList>

#include <deque>

namespace Velmora {

// One line of the log. Event lines keep their values and are put in words
// only when shown: an event storm costs a copy per event, not a text. The
// values live in the line itself: the thousands of lines a storm adds and
// drops each batch would otherwise be as many scattered heap blocks to free
// at once.
struct LogEntry
{
    using Values = QVarLengthArray<QVariant, 4>;

    enum Kind { Info, Request, Result, Event, NotSent };

    qint64 local = 0; // this computer's clock, ms since the epoch
    Kind kind = Info;
    bool failed = false;
    QString zone;
    QString text;
    // The protocol row's own (Russian) wording, for the tool tip.
    QString original;
    // The service's time stamp on a reply or event; null when it sent none.
    QDateTime service;
    int eventId = -1;
    Values values;
};

// The log's lines, bounded: the oldest go once MaxLines are kept. Lines are
// added to the view in batches, at most every FlushInterval ms, so a flood of
// events costs one layout per batch instead of one per line.
class LogModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { LocalTimeColumn, ZoneColumn, MessageColumn, ServiceTimeColumn, ColumnCount };
    static constexpr int MaxLines = 5000;
    static constexpr int FlushInterval = 100;
    // The message column shows at most this many characters of a line.
    static constexpr int MaxShownLength = 1000;

    explicit LogModel(QObject* parent = nullptr);

    void append(LogEntry entry);
    // Adds the waiting lines now.
    void flush();
    // Lines not yet in the model.
    int pendingCount() const;
    // Lines dropped unseen because more than MaxLines came within one batch or overall.
    qint64 droppedCount() const;

    const LogEntry& entry(int row) const;
    // The message column's text of a line (event lines put into words).
    static QString messageText(const LogEntry& entry);
    // What the message column shows of it: a line as long as a whole large
    // zone's state would cost the view a layout of all of it at every
    // repaint, so only its start is shown; the tool tip and text() keep all.
    static QString shownText(const QString& message);
    // Every line, committed or waiting, one per line: "HH:mm:ss.zzz zone text".
    QString text() const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

signals:
    // After a batch went in; the view scrolls along when it was at the end.
    void flushed();

private:
    // Both drop their oldest lines in place, without moving the others.
    std::deque<LogEntry> m_entries;
    std::deque<LogEntry> m_pending;
    QTimer m_flushTimer;
    qint64 m_dropped = 0;
};

} // namespace Velmora
