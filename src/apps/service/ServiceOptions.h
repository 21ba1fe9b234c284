#pragma once

#include "ClientSession.h"

#include <QDateTime>
#include <QStringList>

class QCoreApplication;

namespace Service {

struct ServiceOptions
{
    static constexpr quint16 DefaultPort = 7411;

    quint16 port = DefaultPort;
    bool calendar = false;
    double speed = 1.0;
    QDateTime start; // local time; now when not given
    bool quiet = false;
    bool watch = true; // reload files that change on disk
    ClientLimits limits;
    QStringList files;

    // Reads the command line; on a bad option *error says why. --help and
    // --version exit from inside.
    bool parse(const QCoreApplication& app, QString* error);
};

} // namespace Service
