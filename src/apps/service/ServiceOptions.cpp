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
    parser.addOptions({portOption, calendarOption, speedOption, startOption, quietOption});
    parser.addPositionalArgument(QStringLiteral("files"),
                                 QStringLiteral("Zone configurations (.xtsc)."),
                                 QStringLiteral("FILE.xtsc..."));
    parser.process(app);

    calendar = parser.isSet(calendarOption);
    quiet = parser.isSet(quietOption);
    files = parser.positionalArguments();
    start = QDateTime::currentDateTime();
    if (files.isEmpty()) {
        *error = QStringLiteral("no configuration file given");
        return false;
    }
    return readPort(parser.value(portOption), &port, error)
        && readSpeed(parser.value(speedOption), &speed, error)
        && (!parser.isSet(startOption) || readStart(parser.value(startOption), &start, error));
}

} // namespace Service
