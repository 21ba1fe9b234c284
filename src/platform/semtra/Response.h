#pragma once

#include "SemtraGlobal.h"

#include <QByteArray>
#include <QObject>
#include <QVariantList>

class Request;

// The answer to one Request. It is finished once, by the reply's bytes or by an
// error code; data() then decodes the reply's parameter block with the types
// registered for the reply code (see ReplyTypes.h).
class SEMTRA_EXPORT Response : public QObject
{
    Q_OBJECT
public:
    explicit Response(Request* request);
    ~Response() override;

    Request* request() const;

    // Completes the response with a reply's bytes (16-byte head, then the block).
    void finish(const QByteArray& reply);
    // Fails the response with an error kind.
    void setError(int error);

    bool isFinished() const;
    // 0 when finished with a reply, else the error kind.
    int error() const;
    // The raw reply bytes given to finish().
    QByteArray reply() const;

    // Result and reply codes of the head; -1 when there is no complete head.
    qint64 resultCode() const;
    qint64 replyCode() const;

    // The reply's parameters; empty for a failed response or an unknown reply.
    QVariantList data() const;

signals:
    void finished();

protected:
    // Called once just before finished() is emitted.
    virtual void beforeFinished();

private:
    void complete();

    Request* m_request;
    QByteArray m_reply;
    int m_error = 0;
    bool m_finished = false;
};
