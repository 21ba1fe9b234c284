#pragma once

#include <QDateTime>
#include <QList>

#include "GraphicsObject.h"
#include "semtra/Message.h"

class QGraphicsScene;
class Notification;
class Request;
class Response;

namespace Velmora {

class Area;
class Controller;
class Strategy;
struct ZoneFile;

// A loaded zone configuration and its link to the zone's control service.
class Zone : public GraphicsObject
{
    Q_OBJECT
    Q_PROPERTY(QObject* connection READ connection)
    Q_PROPERTY(bool isConnected READ isConnected)
    Q_PROPERTY(int controlSource READ controlSource)
    Q_PROPERTY(int currentStrategy READ currentStrategy)
    Q_PROPERTY(QDateTime connectionTime READ connectionTime)
    Q_PROPERTY(QDateTime lastConnectionEventTime READ lastConnectionEventTime)
public:
    explicit Zone(QObject* parent = nullptr);
    ~Zone() override;

    bool loadFromElement(const QDomElement& root, QString* error) override;
    QGraphicsItem* graphicsItem() const override;
    QObject* graphicsObject() const override;

    Q_INVOKABLE bool load(QString fileName);
    // How a file is read. OnePass reads the zone during the digest's
    // streaming pass and parses a document only for files that pass cannot
    // settle alone; Document digests, then parses the document and reads the
    // zone from it. Both give every file the same model, messages and localHash.
    enum class Reading { OnePass, Document };
    bool load(const QString& fileName, Reading reading);
    // Builds from a file read beforehand (ZoneFile::read, on any thread),
    // logging what reading it logs: the same as loading the file then.
    bool load(const ZoneFile& file);
    Q_INVOKABLE QVariant modelData(int column, int role);
    Q_INVOKABLE void setScene(QGraphicsScene* scene);
    Q_INVOKABLE void refresh();
    Q_INVOKABLE void setConnection(QObject* connection);
    Q_INVOKABLE Response* sendCommand(QVariant command, QVariant param = QVariant());
    Q_INVOKABLE Velmora::Controller* controller(uint id);
    Q_INVOKABLE QList<Velmora::Controller*> controllers();
    Q_INVOKABLE Velmora::Area* area(uint id);
    Q_INVOKABLE QList<Velmora::Area*> areas();
    Q_INVOKABLE QObject* strategy(uint id);
    Q_INVOKABLE QList<Velmora::Strategy*> strategies();

    QString fileName() const;
    QObject* connection() const;
    bool isConnected() const;
    int controlSource() const;
    int currentStrategy() const;
    QDateTime connectionTime() const;
    QDateTime lastConnectionEventTime() const;

public slots:
    bool message(const Semtra::Command::Message& message);
    void hashReaded();

signals:
    void request(const Request* request);
    void responseFinished(const Response* response);
    void notification(const Notification* notification);
    void connected(bool connected);
    void stateChanged(const QObject* zone);
    void request(const QObject* request, QObject* zone);
    void responseFinished(const QObject* response, QObject* zone);
    void notification(const QObject* notification, QObject* zone);
    void areaStateChanged(const QObject* area);

public:
    class Private;

private:
    friend class Private;
    Private* d;
};

} // namespace Velmora
