#include "CalendarDriver.h"
#include "ConfigWatcher.h"
#include "QuitOnSignal.h"
#include "Server.h"
#include "ServiceLog.h"
#include "ServiceOptions.h"
#include "SimClock.h"
#include "ZoneConfig.h"
#include "ZoneModel.h"

#include <QCoreApplication>
#include <QSet>

#include <cstdio>
#include <memory>
#include <vector>

using namespace Service;

namespace {

int fail(const QString& message)
{
    std::fprintf(stderr, "velmora-service: %s\n", message.toUtf8().constData());
    return 1;
}

bool loadZones(const QStringList& files, std::vector<std::unique_ptr<ZoneConfig>>* configs,
               QString* error)
{
    QSet<int> ids;
    for (const QString& file : files) {
        auto config = std::make_unique<ZoneConfig>();
        if (!config->load(file, error))
            return false;
        if (ids.contains(config->id())) {
            *error = QStringLiteral("%1: zone %2 is already served").arg(file).arg(config->id());
            return false;
        }
        ids.insert(config->id());
        configs->push_back(std::move(config));
    }
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velmora-service"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELMORA_VERSION));

    ServiceOptions options;
    QString error;
    if (!options.parse(app, &error))
        return fail(error);

    std::vector<std::unique_ptr<ZoneConfig>> configs;
    if (!loadZones(options.files, &configs, &error))
        return fail(error);

    const SimClock clock(options.start, options.speed);
    std::vector<std::unique_ptr<ZoneModel>> models;
    QList<ZoneModel*> zones;
    for (const auto& config : configs) {
        models.push_back(std::make_unique<ZoneModel>(config.get(), options.calendar));
        models.back()->start(clock.now());
        zones.append(models.back().get());
    }

    ServiceLog log(clock, options.quiet);
    Server server(zones, clock, log);
    server.setClientLimits(options.limits);
    if (!server.listen(options.port, &error))
        return fail(QStringLiteral("cannot listen on port %1: %2").arg(options.port).arg(error));
    CalendarDriver driver(zones, clock, server);
    driver.start();
    std::unique_ptr<ConfigWatcher> watcher;
    if (options.watch)
        watcher = std::make_unique<ConfigWatcher>(zones, clock, server, log);
    QuitOnSignal quitOnSignal;

    std::printf("listening on 127.0.0.1:%u\n", unsigned(server.port()));
    std::fflush(stdout);
    return app.exec();
}
