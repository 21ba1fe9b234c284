#pragma once

#include "SemtraGlobal.h"

#include <QObject>
#include <QVariant>

// A command on its way to the service: message number, addressed object,
// command code, parameter and protocol tag.
class SEMTRA_EXPORT Request : public QObject
{
    Q_OBJECT
public:
    Request(int number, int objectId, QVariant command, QVariant param, int tag,
            QObject* parent = nullptr);
    ~Request() override;

    int number() const;
    int objectId() const;
    QVariant command() const;
    QVariant param() const;
    int tag() const;

private:
    int m_number;
    int m_objectId;
    QVariant m_command;
    QVariant m_param;
    int m_tag;
};
