#pragma once

#include <QObject>

namespace Service {

// Quits the application's event loop on SIGINT and SIGTERM, so the service
// shuts down through its destructors instead of dying mid-write.
class QuitOnSignal : public QObject
{
    Q_OBJECT

public:
    explicit QuitOnSignal(QObject* parent = nullptr);
    ~QuitOnSignal() override;

private:
    static void handle(int signal);
};

} // namespace Service
