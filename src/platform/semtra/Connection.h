#pragma once

#include "Message.h"

#include <QObject>

class Request;

namespace Semtra {

// The host's command connection as the modules see it: messages for every
// object, a request slot, a state signal and the object query. The TCP
// implementation lives in the host; modules reach all of this by signature.
class SEMTRA_EXPORT Connection : public QObject
{
    Q_OBJECT
public:
    // Values below Connected mean the link is down.
    enum State {
        Unconnected = 0,
        HostLookup = 1,
        Connecting = 2,
        Closing = 3,
        Connected = 4,
        Ready = 5,
    };
    Q_ENUM(State)

    explicit Connection(QObject* parent = nullptr);
    ~Connection() override;

    // True for objects that the service has announced and not withdrawn.
    Q_INVOKABLE virtual bool contains(int tag, int id) const = 0;

public slots:
    virtual void request(const Request* request) = 0;

signals:
    // Spelled out in full: modules connect to these by the written signature.
    void message(const Semtra::Command::Message& message);
    void stateChanged(const Semtra::Connection::State state);
};

} // namespace Semtra

Q_DECLARE_METATYPE(Semtra::Connection::State)
