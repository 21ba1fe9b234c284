#include "Response.h"

#include "Rare.h"
#include "ReplyTypes.h"
#include "Request.h"
#include "Wire.h"


namespace {

constexpr int HeadSize = 16;

} // namespace

Response::Response(Request* request)
    : QObject(nullptr)
    , m_request(request)
{
}

Response::~Response() = default;

Request* Response::request() const
{
    return m_request;
}

void Response::finish(const QByteArray& reply)
{
    if (m_finished)
        return;
    m_reply = reply;
    m_error = 0;
    complete();
}

void Response::setError(int error)
{
    if (m_finished)
        return;
    m_error = error;
    complete();
}

bool Response::isFinished() const
{
    return m_finished;
}

int Response::error() const
{
    return m_error;
}

QByteArray Response::reply() const
{
    return m_reply;
}

qint64 Response::resultCode() const
{
    if (m_reply.size() < HeadSize)
        return -1;
    return Semtra::Wire::readU32(m_reply.constData() + 8);
}

qint64 Response::replyCode() const
{
    if (m_reply.size() < HeadSize)
        return -1;
    return Semtra::Wire::readU32(m_reply.constData() + 12);
}

QVariantList Response::data() const
{
    if (!m_finished || m_error != 0 || m_reply.size() < HeadSize)
        return QVariantList();
    const auto* bytes = reinterpret_cast<const unsigned char*>(m_reply.constData());
    const int tag = m_request ? m_request->tag() : 0;
    return Rare::getParams(bytes + HeadSize, m_reply.size() - HeadSize,
                           Semtra::ReplyTypes::types(tag, int(replyCode())));
}

void Response::beforeFinished()
{
}

void Response::complete()
{
    // Marked first so that a hook or receiver finishing it again is ignored.
    m_finished = true;
    beforeFinished();
    emit finished();
}
