#pragma once

#include "Velmora/format/Protocol.h"
#include <semtra/Message.h>
#include <semtra/Wire.h>

#include <QList>
#include <QObject>
#include <QTcpSocket>
#include <QVariantList>

#include <functional>

#include "ServiceProcess.h"

// A decoded reply frame.
struct Reply
{
    int kind = -1; // -1: no reply came
    int objectId = 0;
    int size = 0; // of the frame's data
    quint32 result = 0;
    quint32 code = 0;
    QVariantList values;
};

// One client connection that keeps every frame it receives.
class TestClient : public QObject
{
    Q_OBJECT

public:
    bool connectTo(quint16 port);
    // Sends a request frame; returns its number.
    int send(int zone, const QByteArray& data, int tag = Velmora::Protocol::Tag);
    // Sends `count` copies of a request in one write; returns the last number.
    int sendBurst(int zone, const QByteArray& data, int count);
    void sendRaw(const QByteArray& bytes);

    // Waits for the reply to a number and decodes its block by `types`.
    Reply waitReply(int number, const QList<QVariant::Type>& types = {}, int ms = 5000);
    // Sends a request and waits for its reply.
    Reply call(int zone, const QByteArray& data, const QList<QVariant::Type>& types = {});
    // Waits until a frame matches.
    bool waitFor(const std::function<bool(const Semtra::Command::Message&)>& match, int ms = 5000);
    bool waitDisconnected(int ms = 5000);
    bool isConnected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }
    // Bytes written that the socket has not handed to the kernel yet.
    qint64 unsent() const { return m_socket.bytesToWrite(); }
    // Off: the client takes no more than a few kilobytes off its socket, so
    // the kernel's buffers fill as with a peer that has stopped reading.
    void setReading(bool on);

    // Events received so far as "id:v1,v2", and forgets them.
    QStringList takeEvents(int zone);
    QList<Semtra::Command::Message> frames;

signals:
    void framesArrived();

private slots:
    void readFrames();

private:
    bool waitUntil(const std::function<bool()>& done, int ms);

    QTcpSocket m_socket;
    Semtra::Wire::FrameReader m_reader;
    int m_number = 0;
    bool m_reading = true;
};

// The process id of this test's child running `program`, or 0.
qint64 childProcess(const QString& program);
// A process's resident memory (VmRSS) in KiB, or -1.
qint64 residentKiB(qint64 pid);

// Request data: the code, then uint values as 4 bytes and byte arrays with
// their length, as a workstation sends them.
QByteArray command(quint32 code, const QVariantList& values = {});
