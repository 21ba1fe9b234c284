#include "ServiceOptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace Service {

namespace {

const QString StartFormat = QStringLiteral("yyyy-MM-ddTHH:mm");

bool readPort(const QString& text, quint16* port, QString* error)
{
    bool ok = false;
    const uint value = text.toUInt(&ok);
    if (!ok || value > 65535) {
        *error = QStringLiteral("invalid port: %1").arg(text);
        return false;
    }
    *port = quint16(value);
    return true;
}

bool readSpeed(const QString& text, double* speed, QString* error)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !(value > 0)) {
        *error = QStringLiteral("invalid speed (a number above 0): %1").arg(text);
        return false;
    }
    *speed = value;
    return true;
}

bool readStart(const QString& text, QDateTime* start, QString* error)
{
    *start = QDateTime::fromString(text, StartFormat);
    if (!start->isValid()) {
        *error = QStringLiteral("invalid start, expected %1: %2").arg(StartFormat, text);
        return false;
    }
    return true;
}

// "PAUSE_KIB,DROP_KIB,STALL_MS"
bool readLimits(const QString& text, ClientLimits* limits, QString* error)
{
    const QStringList parts = text.split(QLatin1Char(','));
    bool ok[3] = {false, false, false};
    const qint64 pause = parts.value(0).toLongLong(&ok[0]);
    const qint64 drop = parts.value(1).toLongLong(&ok[1]);
    const int stall = parts.value(2).toInt(&ok[2]);
    if (parts.size() != 3 || !ok[0] || !ok[1] || !ok[2] || pause < 1 || drop <= pause || stall < 1) {
        *error = QStringLiteral("invalid client limits (PAUSE_KIB,DROP_KIB,STALL_MS with "
                                "DROP above PAUSE): %1").arg(text);
        return false;
    }
    limits->pauseAbove = pause * 1024;
    limits->dropAbove = drop * 1024;
    limits->stallMs = stall;
    return true;
}

} // namespace

bool ServiceOptions::parse(const QCoreApplication& app, QString* error)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Velmora control-service simulator: serves zone configurations to "
                       "workstations on 127.0.0.1."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption portOption(
        QStringLiteral("port"), QStringLiteral("TCP port (0 picks a free one)."),
        QStringLiteral("N"), QString::number(DefaultPort));
    const QCommandLineOption calendarOption(
        QStringLiteral("calendar"), QStringLiteral("Let the zone and area calendars drive."));
    const QCommandLineOption speedOption(
        QStringLiteral("speed"), QStringLiteral("Clock runs N times faster than real time."),
        QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption startOption(
        QStringLiteral("start"), QStringLiteral("Clock start, local time (default: now)."),
        StartFormat);
    const QCommandLineOption quietOption(
        QStringLiteral("quiet"), QStringLiteral("Do not log requests, replies and events."));
    const QCommandLineOption limitsOption(
        QStringLiteral("client-limits"),
        QStringLiteral("Unsent output at which a client's reading pauses, at which it is dropped "
                       "(KiB), and how long it may stay paused (ms); default 4096,32768,3000."),
        QStringLiteral("PAUSE,DROP,STALL"));
    const QCommandLineOption noWatchOption(
        QStringLiteral("no-watch"),
        QStringLiteral("Keep serving the files as read at start, even when they change on disk."));
    parser.addOptions({portOption, calendarOption, speedOption, startOption, quietOption, limitsOption,
                       noWatchOption});
    parser.addPositionalArgument(QStringLiteral("files"),
                                 QStringLiteral("Zone configurations (.xtsc)."),
                                 QStringLiteral("FILE.xtsc..."));
    parser.process(app);

    calendar = parser.isSet(calendarOption);
    quiet = parser.isSet(quietOption);
    watch = !parser.isSet(noWatchOption);
    files = parser.positionalArguments();
    start = QDateTime::currentDateTime();
    if (files.isEmpty()) {
        *error = QStringLiteral("no configuration file given");
        return false;
    }
    return readPort(parser.value(portOption), &port, error)
        && readSpeed(parser.value(speedOption), &speed, error)
        && (!parser.isSet(startOption) || readStart(parser.value(startOption), &start, error))
        && (!parser.isSet(limitsOption) || readLimits(parser.value(limitsOption), &limits, error));
}

} // namespace Service
