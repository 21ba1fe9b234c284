#pragma once

#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

namespace Velmora {

// Each zone's link as the operator needs to see it. "Linked" only once the
// service has answered the zone's own link-up requests; a service that takes
// the TCP connection but stays silent turns into "not answering" after
// answerTimeout, with the reason in words.
class LinkMonitor : public QObject
{
    Q_OBJECT
public:
    enum Status { NotConnected, Connecting, NotAnswering, Linked, HashMismatch };
    Q_ENUM(Status)
    static constexpr int DefaultAnswerTimeout = 5000;

    explicit LinkMonitor(QObject* parent = nullptr);

    // "not connected", "connecting", "connected, not answering", "linked", "hash mismatch".
    static QString text(Status status);

    int answerTimeout() const;
    void setAnswerTimeout(int milliseconds);

    Status status(QObject* zone) const;
    // When the zone took the status it shows (local time).
    QDateTime since(QObject* zone) const;
    // Whether the zone's live values are the service's for the loaded file:
    // linked, on the same configuration.
    bool isLive(QObject* zone) const;
    // The start of a hash, enough to tell two apart: "3f2a…".
    static QString shortHash(const QByteArray& hash);
    // The hash mismatch in words, with both hashes.
    static QString mismatchText(QObject* zone);
    // Why the zone is in its status, in a sentence.
    QString reason(QObject* zone) const;
    // One line for the status bar: the service and every zone's status.
    QString summary() const;

public slots:
    // The service the workstation means to be connected to; empty when none.
    void setService(const QString& address, bool wanted);
    // Connection::State as an int, below 4 the link is down.
    void connectionStateChanged(int state);
    // Why the last attempt to reach the service failed, shown while connecting.
    void connectionFailed(const QString& reason);
    void addZone(QObject* zone);
    void removeZone(QObject* zone);
    // The zone's own link (the service announced or withdrew it).
    void zoneLinkChanged(QObject* zone, bool up);
    // A reply reached the zone: the service is talking to it.
    void zoneAnswered(QObject* zone);
    // The zone's hash check may have changed its standing.
    void zoneChanged(QObject* zone);

signals:
    void statusChanged(QObject* zone, LinkMonitor::Status status);

private:
    struct ZoneLink
    {
        bool announced = false;
        bool answered = false;
        Status shown = NotConnected;
        QDateTime shownSince;
    };

    void reevaluate();
    void scheduleCheck();
    qint64 waitingFor(QObject* zone) const;

    QHash<QObject*, ZoneLink> m_zones;
    QString m_service;
    QString m_failure; // of the last attempt, until the link is up
    bool m_wanted = false;
    bool m_tcpUp = false;
    QElapsedTimer m_tcpSince;
    QHash<QObject*, QElapsedTimer> m_announcedSince;
    int m_answerTimeout = DefaultAnswerTimeout;
    QTimer m_check;
};

} // namespace Velmora
