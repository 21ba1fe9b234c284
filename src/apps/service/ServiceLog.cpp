#include "ServiceLog.h"

#include "Commands.h"
#include "SimClock.h"

#include <QStringList>

#include <cstdio>

namespace Service {

namespace {

// Long contents (programs, configuration chunks) are cut to keep lines short.
constexpr int ShownBytes = 16;

QString formatValue(const QVariant& value)
{
    switch (value.userType()) {
    case QMetaType::QString:
        return QLatin1Char('"') + value.toString() + QLatin1Char('"');
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        QString text = QLatin1Char('#') + QString::fromLatin1(bytes.left(ShownBytes).toHex());
        if (bytes.size() > ShownBytes)
            text += QStringLiteral("...(%1 bytes)").arg(bytes.size());
        return text;
    }
    default:
        return value.toString();
    }
}

QString prefix(int client, const Semtra::Command::Message& message)
{
    return QStringLiteral("client %1 #%2 zone %3").arg(client).arg(message.number).arg(message.objectId);
}

} // namespace

ServiceLog::ServiceLog(const SimClock& clock, bool quiet)
    : m_clock(clock)
    , m_quiet(quiet)
{
}

QString ServiceLog::formatValues(const QVariantList& values)
{
    QStringList parts;
    for (const QVariant& value : values)
        parts << formatValue(value);
    return parts.join(QStringLiteral(", "));
}

void ServiceLog::request(int client, const Semtra::Command::Message& message,
                         const Outcome& outcome)
{
    write(QStringLiteral("%1 -> %2(%3)")
              .arg(prefix(client, message), Velmora::Protocol::commandName(outcome.code),
                   formatValues(outcome.params)));
}

void ServiceLog::reply(int client, const Semtra::Command::Message& message, const Outcome& outcome)
{
    QString line = QStringLiteral("%1 <- %2 result %3 %4")
                       .arg(prefix(client, message), Velmora::Protocol::commandName(outcome.code))
                       .arg(outcome.result)
                       .arg(resultSymbol(outcome.result));
    if (!outcome.values.isEmpty())
        line += QStringLiteral(" [%1]").arg(formatValues(outcome.values));
    write(line);
}

void ServiceLog::refused(int client, const Semtra::Command::Message& message, int errorKind,
                         const QString& reason)
{
    write(QStringLiteral("%1 <- error kind %2 (%3)")
              .arg(prefix(client, message))
              .arg(errorKind)
              .arg(reason));
}

void ServiceLog::event(int zone, const ZoneEvent& event, int receivers)
{
    write(QStringLiteral("zone %1 event %2 [%3] to %4 client(s)")
              .arg(zone)
              .arg(event.id)
              .arg(formatValues(event.values))
              .arg(receivers));
}

void ServiceLog::note(const QString& text)
{
    write(text);
}

void ServiceLog::write(const QString& line)
{
    if (m_quiet)
        return;
    const QString time = m_clock.now().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    std::fprintf(stderr, "%s %s\n", time.toUtf8().constData(), line.toUtf8().constData());
    std::fflush(stderr);
}

} // namespace Service
