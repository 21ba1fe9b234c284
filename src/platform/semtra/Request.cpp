#include "Request.h"

Request::Request(int number, int objectId, QVariant command, QVariant param, int tag,
                 QObject* parent)
    : QObject(parent)
    , m_number(number)
    , m_objectId(objectId)
    , m_command(std::move(command))
    , m_param(std::move(param))
    , m_tag(tag)
{
}

Request::~Request() = default;

int Request::number() const
{
    return m_number;
}

int Request::objectId() const
{
    return m_objectId;
}

QVariant Request::command() const
{
    return m_command;
}

QVariant Request::param() const
{
    return m_param;
}

int Request::tag() const
{
    return m_tag;
}
