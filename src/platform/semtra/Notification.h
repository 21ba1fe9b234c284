#pragma once

#include "SemtraGlobal.h"

#include <QDateTime>
#include <QObject>
#include <QVariantList>

// An event from the service, decoded from its self-describing data: event id,
// time stamp, then tagged values. Truncated or malformed data yields the values
// read before the fault.
class SEMTRA_EXPORT Notification : public QObject
{
    Q_OBJECT
public:
    Notification(const QByteArray& data, int tag, QObject* parent = nullptr);
    ~Notification() override;

    // -1 when the data holds no complete head.
    int id() const;
    QVariantList data() const;
    QDateTime timeStamp() const;
    int tag() const;
    QByteArray bytes() const;

private:
    QByteArray m_bytes;
    int m_tag;
    int m_id = -1;
    QDateTime m_timeStamp;
    QVariantList m_values;
};
