#include "LogDock.h"

#include "ModuleHost.h"
#include "ProtocolWords.h"

#include "Velmora/format/Protocol.h"

#include <QDateTime>
#include <QHash>
#include <QHeaderView>
#include <QScrollBar>
#include <QTreeView>

#include "semtra/Notification.h"
#include "semtra/Rare.h"
#include "semtra/Request.h"
#include "semtra/Response.h"
#include "semtra/Wire.h"

namespace Velmora {

namespace {

namespace Protocol = Velmora::Protocol;

QString shortZoneLabel(QObject* zone)
{
    return zone ? LogDock::tr("zone %1").arg(zone->property("id").toInt()) : QString();
}

// The command a response answers, by name.
QString commandOf(const Response* response)
{
    const Request* request = response ? response->request() : nullptr;
    if (!request)
        return LogDock::tr("reply");
    bool isNumber = false;
    const int code = request->command().toInt(&isNumber);
    return isNumber ? ProtocolWords::commandName(code) : request->command().toString();
}

LogEntry::Values valuesOf(const Notification* notification)
{
    const QVariantList values = notification->data();
    return LogEntry::Values(values.cbegin(), values.cend());
}

} // namespace

QDateTime LogDock::replyStamp(const Response* response)
{
    const QByteArray reply = response ? response->reply() : QByteArray();
    if (response && response->error() == 0 && reply.size() >= 8)
        return Rare::doubleToDateTime(Semtra::Wire::readDouble(reply.constData()));
    return QDateTime();
}

LogDock::LogDock(QWidget* parent)
    : QDockWidget(tr("Log"), parent)
    , m_model(new LogModel(this))
    , m_view(new QTreeView(this))
{
    setObjectName(QStringLiteral("LogDock"));
    m_view->setModel(m_model);
    m_view->setRootIsDecorated(false);
    m_view->setUniformRowHeights(true);
    m_view->setAlternatingRowColors(true);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setTextElideMode(Qt::ElideRight);
    // The message takes the room; the service's time stays at the right edge.
    m_view->header()->setStretchLastSection(false);
    m_view->header()->setSectionResizeMode(LogModel::MessageColumn, QHeaderView::Stretch);
    // Fixed widths from the font: sizing to the contents would measure every line.
    const QFontMetrics metrics(m_view->font());
    m_view->setColumnWidth(LogModel::LocalTimeColumn, metrics.horizontalAdvance(QStringLiteral("00:00:00.000")) + 16);
    m_view->setColumnWidth(LogModel::ZoneColumn, metrics.horizontalAdvance(QStringLiteral("zone 00000")) + 16);
    m_view->setColumnWidth(LogModel::ServiceTimeColumn,
                           metrics.horizontalAdvance(QStringLiteral("0000-00-00 00:00:00")) + 16);
    setWidget(m_view);
    // The view follows new lines only while the user has not scrolled up.
    connect(m_model, &QAbstractItemModel::rowsAboutToBeInserted, this, [this] {
        const QScrollBar* bar = m_view->verticalScrollBar();
        m_atEnd = bar->value() >= bar->maximum();
    });
    connect(m_model, &LogModel::flushed, this, &LogDock::followEnd);
}

LogModel* LogDock::model() const
{
    return m_model;
}

QTreeView* LogDock::view() const
{
    return m_view;
}

void LogDock::followEnd()
{
    if (m_atEnd)
        m_view->scrollToBottom();
}

QString LogDock::zoneLabel(QObject* zone)
{
    if (!zone)
        return tr("no zone");
    return tr("zone %1 \"%2\"").arg(zone->property("id").toInt()).arg(zone->property("name").toString());
}

QString LogDock::valuesText(const QVariantList& values)
{
    QStringList texts;
    for (const QVariant& value : values) {
        switch (int(value.type())) {
        case QMetaType::QString:
            texts << QLatin1Char('"') + value.toString() + QLatin1Char('"');
            break;
        case QMetaType::QByteArray: {
            const QByteArray bytes = value.toByteArray();
            // Long blobs (configurations, programs) would flood the log.
            const QByteArray shown = bytes.left(32).toHex(' ');
            texts << QStringLiteral("#%1%2 (%3 bytes)")
                         .arg(QString::fromLatin1(shown), bytes.size() > 32 ? QStringLiteral(" …") : QString())
                         .arg(bytes.size());
            break;
        }
        default:
            texts << value.toString();
        }
    }
    return texts.join(QLatin1String(", "));
}

QString LogDock::resultCodeText(qint64 code)
{
    const QString symbol = ProtocolWords::resultSymbol(code);
    if (symbol.isEmpty())
        return tr("unknown result (%1)").arg(code);
    return tr("%1 (%2 %3)").arg(ProtocolWords::resultText(code), symbol).arg(code);
}

bool LogDock::isFailure(const Response* response)
{
    return !response || response->error() != 0 || response->resultCode() < 0
        || !ProtocolWords::isSuccess(response->resultCode());
}

QString LogDock::stateText(const QVariantList& values, QObject* zone)
{
    if (values.size() < 2)
        return valuesText(values);
    const int strategy = values.at(1).toInt();
    const QString strategyName = ModuleHost::strategyName(zone, strategy);
    QString text = tr("zone %1, strategy %2")
                       .arg(ProtocolWords::controlSourceWithCode(values.at(0).toInt()))
                       .arg(strategyName.isEmpty() ? QString::number(strategy)
                                                   : QStringLiteral("%1 \"%2\"").arg(strategy).arg(strategyName));
    if (values.size() < 3)
        return text;
    QList<ProtocolWords::AreaState> areas;
    if (!ProtocolWords::parseAreasState(values.at(2).toString(), &areas))
        return text + tr("; areas: \"%1\" (not groups of four numbers)").arg(values.at(2).toString());
    // One pass over the zone's areas, not one per area of the reply.
    QHash<int, QString> names;
    for (const QObject* object : ModuleHost::areasOf(zone))
        names.insert(object->property("id").toInt(), object->property("name").toString());
    for (const ProtocolWords::AreaState& area : qAsConst(areas)) {
        const QString name = names.value(area.id);
        text += tr("; area %1%2: %3, state %4, special state %5")
                    .arg(area.id)
                    .arg(name.isEmpty() ? QString() : QStringLiteral(" \"%1\"").arg(name))
                    .arg(ProtocolWords::controlSourceWithCode(area.controlSource))
                    .arg(area.state)
                    .arg(ProtocolWords::specialStateWithCode(area.specialState));
    }
    return text;
}

QString LogDock::resultText(const Response* response, QObject* zone)
{
    if (!response)
        return tr("no response");
    const QString command = commandOf(response);
    if (response->error() != 0)
        return tr("%1 failed: %2").arg(command, resultCodeText(response->error()));
    const qint64 result = response->resultCode();
    if (result < 0)
        return tr("%1: reply without a head (%2 bytes): %3")
            .arg(command)
            .arg(response->reply().size())
            .arg(QString::fromLatin1(response->reply().toHex(' ')));
    const QString reply = ProtocolWords::replyName(response->replyCode());
    const QString name = reply.isEmpty() ? command : reply;
    if (!ProtocolWords::isSuccess(result))
        return tr("%1 refused: %2").arg(name, resultCodeText(result));
    QString text = tr("%1: %2").arg(name, resultCodeText(result));
    const QVariantList values = response->data();
    if (!values.isEmpty()) {
        text += QLatin1String("; ")
            + (response->replyCode() == Protocol::GetState ? stateText(values, zone) : valuesText(values));
    }
    return text;
}

QString LogDock::resultOriginal(const Response* response)
{
    if (!response)
        return QString();
    const qint64 code = response->error() != 0 ? response->error() : response->resultCode();
    return ProtocolWords::resultRowText(code);
}

QString LogDock::eventText(const Notification* notification)
{
    if (!notification)
        return tr("no event");
    LogEntry entry;
    entry.kind = LogEntry::Event;
    entry.eventId = notification->id();
    entry.values = valuesOf(notification);
    return LogModel::messageText(entry);
}

QString LogDock::requestText(const Request* request)
{
    if (!request)
        return tr("no request");
    bool isNumber = false;
    const int code = request->command().toInt(&isNumber);
    const QString name = isNumber ? ProtocolWords::commandName(code) : request->command().toString();
    const QVariant param = request->param();
    QVariantList values;
    if (param.type() == QVariant::List)
        values = param.toList();
    else if (param.isValid())
        values = {param};
    const QStringList names = ProtocolWords::commandParameters(code);
    QStringList parts;
    for (int i = 0; i < values.size(); ++i) {
        const QString value = valuesText({values.at(i)});
        parts << (i < names.size() ? QStringLiteral("%1 %2").arg(names.at(i), value) : value);
    }
    QString text = name;
    if (!parts.isEmpty())
        text += QLatin1Char(' ') + parts.join(QLatin1String(", "));
    const QString description = ProtocolWords::commandDescription(code);
    if (!description.isEmpty())
        text += QStringLiteral(" — ") + description;
    return text;
}

QString LogDock::text() const
{
    return m_model->text();
}

QString LogDock::zoneColumnText(QObject* zone)
{
    if (!zone)
        return QString();
    // One text shared by the lines of a zone, not one made per event.
    const int id = zone->property("id").toInt();
    if (m_zoneColumnText.isNull() || id != m_labelledZoneId) {
        m_labelledZoneId = id;
        m_zoneColumnText = shortZoneLabel(zone);
    }
    return m_zoneColumnText;
}

void LogDock::append(LogEntry entry)
{
    entry.local = QDateTime::currentMSecsSinceEpoch();
    m_model->append(std::move(entry));
}

void LogDock::logRequest(QObject* zone, const Request* request, const QString& typed)
{
    if (!request)
        return;
    LogEntry entry;
    entry.kind = LogEntry::Request;
    entry.zone = zoneColumnText(zone);
    entry.text = tr("#%1 → %2").arg(request->number()).arg(requestText(request));
    QStringList original{tr("code %1").arg(request->command().toString()),
                         ProtocolWords::commandRowText(request->command().toInt())};
    if (!typed.isEmpty())
        original << tr("typed: %1").arg(typed);
    original.removeAll(QString());
    entry.original = original.join(QLatin1Char('\n'));
    append(std::move(entry));
}

void LogDock::logNotSent(QObject* zone, const QString& command, const QString& reason)
{
    LogEntry entry;
    entry.kind = LogEntry::NotSent;
    entry.failed = true;
    entry.zone = zoneColumnText(zone);
    entry.text = tr("%1 not sent: %2").arg(command, reason);
    append(std::move(entry));
}

void LogDock::logResult(QObject* zone, const Response* response)
{
    LogEntry entry;
    entry.kind = LogEntry::Result;
    entry.zone = zoneColumnText(zone);
    const int number = response && response->request() ? response->request()->number() : 0;
    entry.text = tr("#%1 ← %2").arg(number).arg(resultText(response, zone));
    entry.failed = isFailure(response);
    entry.original = resultOriginal(response);
    entry.service = replyStamp(response);
    append(std::move(entry));
}

void LogDock::logNoReply(QObject* zone, const Response* response)
{
    LogEntry entry;
    entry.kind = LogEntry::Result;
    entry.zone = zoneColumnText(zone);
    entry.text = tr("#%1 ← %2: no reply, the link went down").arg(response->request()->number()).arg(commandOf(response));
    entry.failed = true;
    append(std::move(entry));
}

void LogDock::logEvent(QObject* zone, const Notification* notification)
{
    if (!notification)
        return;
    LogEntry entry;
    entry.kind = LogEntry::Event;
    entry.zone = zoneColumnText(zone);
    entry.eventId = notification->id();
    entry.values = valuesOf(notification);
    entry.service = notification->timeStamp();
    append(std::move(entry));
}

void LogDock::logInfo(const QString& text)
{
    LogEntry entry;
    entry.text = text;
    append(std::move(entry));
}

void LogDock::logFailure(const QString& text)
{
    LogEntry entry;
    entry.text = text;
    entry.failed = true;
    append(std::move(entry));
}

} // namespace Velmora
