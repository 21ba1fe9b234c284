#include "LogModel.h"

#include "ProtocolWords.h"

#include "Velmora/format/Protocol.h"

#include <QBrush>
#include <QColor>

#include <algorithm>
#include <iterator>

namespace Velmora {

namespace {

namespace Protocol = Velmora::Protocol;

QString timeText(qint64 msecs)
{
    return QDateTime::fromMSecsSinceEpoch(msecs).toString(QStringLiteral("HH:mm:ss.zzz"));
}

QString serviceTimeText(const QDateTime& stamp)
{
    return stamp.isValid() ? stamp.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString();
}

QString number(const LogEntry::Values& values, int i)
{
    return i < values.size() ? values.at(i).toString() : QStringLiteral("?");
}

int intValue(const LogEntry::Values& values, int i)
{
    bool ok = false;
    const int value = i < values.size() ? values.at(i).toInt(&ok) : -1;
    return ok ? value : -1;
}

QString eventValues(int id, const LogEntry::Values& values)
{
    switch (id) {
    case Protocol::ZoneControlSourceEvent:
        return LogModel::tr("control source %1").arg(ProtocolWords::controlSourceWithCode(intValue(values, 0)));
    case Protocol::StrategyEvent:
        return LogModel::tr("strategy %1").arg(number(values, 0));
    case Protocol::AreaControlSourceEvent:
        return LogModel::tr("area %1, control source %2")
            .arg(number(values, 0), ProtocolWords::controlSourceWithCode(intValue(values, 1)));
    case Protocol::AreaStateEvent:
        return LogModel::tr("area %1, state %2, special state %3")
            .arg(number(values, 0), number(values, 1), ProtocolWords::specialStateWithCode(intValue(values, 2)));
    default: {
        QStringList texts;
        for (const QVariant& value : values)
            texts << value.toString();
        return texts.join(QLatin1String(", "));
    }
    }
}

} // namespace

LogModel::LogModel(QObject* parent)
    : QAbstractTableModel(parent)
{
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(FlushInterval);
    connect(&m_flushTimer, &QTimer::timeout, this, &LogModel::flush);
}

void LogModel::append(LogEntry entry)
{
    if (int(m_pending.size()) >= MaxLines) {
        // More than the log keeps came within one batch: the oldest go unseen.
        m_pending.pop_front();
        ++m_dropped;
    }
    m_pending.push_back(std::move(entry));
    if (!m_flushTimer.isActive())
        m_flushTimer.start();
}

void LogModel::flush()
{
    m_flushTimer.stop();
    if (m_pending.empty())
        return;
    const int pending = int(m_pending.size());
    const int overflow = rowCount() + pending - MaxLines;
    if (overflow > 0) {
        const int removed = qMin(overflow, rowCount());
        beginRemoveRows(QModelIndex(), 0, removed - 1);
        m_entries.erase(m_entries.begin(), m_entries.begin() + removed);
        endRemoveRows();
        m_dropped += removed;
    }
    const int first = rowCount();
    beginInsertRows(QModelIndex(), first, first + pending - 1);
    std::move(m_pending.begin(), m_pending.end(), std::back_inserter(m_entries));
    m_pending.clear();
    endInsertRows();
    emit flushed();
}

int LogModel::pendingCount() const
{
    return int(m_pending.size());
}

qint64 LogModel::droppedCount() const
{
    return m_dropped;
}

const LogEntry& LogModel::entry(int row) const
{
    return m_entries.at(row);
}

QString LogModel::messageText(const LogEntry& entry)
{
    if (entry.kind != LogEntry::Event)
        return entry.text;
    return tr("event %1, %2: %3")
        .arg(entry.eventId)
        .arg(ProtocolWords::eventName(entry.eventId), eventValues(entry.eventId, entry.values));
}

QString LogModel::shownText(const QString& message)
{
    if (message.size() <= MaxShownLength)
        return message;
    return message.left(MaxShownLength) + QStringLiteral(" …");
}

QString LogModel::text() const
{
    QStringList lines;
    lines.reserve(int(m_entries.size() + m_pending.size()));
    auto add = [&lines](const LogEntry& entry) {
        QString line = timeText(entry.local);
        if (!entry.zone.isEmpty())
            line += QLatin1Char(' ') + entry.zone;
        lines << line + QLatin1Char(' ') + messageText(entry);
    };
    std::for_each(m_entries.cbegin(), m_entries.cend(), add);
    std::for_each(m_pending.cbegin(), m_pending.cend(), add);
    return lines.join(QLatin1Char('\n'));
}

int LogModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

int LogModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant LogModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return QVariant();
    const LogEntry& entry = m_entries.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case LocalTimeColumn:
            return timeText(entry.local);
        case ZoneColumn:
            return entry.zone;
        case MessageColumn:
            return shownText(messageText(entry));
        case ServiceTimeColumn:
            return serviceTimeText(entry.service);
        default:
            return QVariant();
        }
    case Qt::ToolTipRole: {
        QStringList tip{messageText(entry)};
        if (entry.kind == LogEntry::Event)
            tip << ProtocolWords::eventRowText(entry.eventId);
        if (!entry.original.isEmpty())
            tip << entry.original;
        if (entry.service.isValid())
            tip << tr("Service time %1 (the service's clock)").arg(serviceTimeText(entry.service));
        tip << tr("Logged at %1 (this computer's clock)").arg(timeText(entry.local));
        tip.removeAll(QString());
        return tip.join(QLatin1Char('\n'));
    }
    case Qt::ForegroundRole:
        if (entry.failed)
            return QBrush(QColor(198, 40, 40));
        if (entry.kind == LogEntry::Info)
            return QBrush(QColor(90, 90, 90));
        return QVariant();
    default:
        return QVariant();
    }
}

QVariant LogModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return QVariant();
    if (role == Qt::DisplayRole) {
        switch (section) {
        case LocalTimeColumn:
            return tr("Local time");
        case ZoneColumn:
            return tr("Zone");
        case MessageColumn:
            return tr("Message");
        case ServiceTimeColumn:
            return tr("Service time");
        default:
            return QVariant();
        }
    }
    if (role == Qt::ToolTipRole) {
        switch (section) {
        case LocalTimeColumn:
            return tr("When the workstation logged the line, by this computer's clock");
        case ServiceTimeColumn:
            return tr("The time stamp the service put on its reply or event, by the service's clock "
                      "(shown in this computer's time zone)");
        default:
            return QVariant();
        }
    }
    return QVariant();
}

} // namespace Velmora
