#pragma once

#include <QObject>
#include <QVariant>

// The host's storage service as the editors reach it, by name only: invoke()
// answers every "getConfig" with `reply` and records its arguments.
class FakeStorage : public QObject
{
    Q_OBJECT
public:
    QVariant reply;
    QList<QVariantList> calls;

    Q_INVOKABLE QVariant invoke(QString method, QVariantList args)
    {
        if (method == QLatin1String("getConfig"))
            calls.append(args);
        return reply;
    }

signals:
    void rpcConnected();
    void rpcDisconnected();
};
