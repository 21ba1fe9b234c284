// Zone operations of the link to the control service.
#include "Logging.h"
#include "Zone.h"

#include <QMetaObject>

#include <cstring>

#include "semtra/Notification.h"
#include "semtra/Rare.h"
#include "semtra/Request.h"
#include "semtra/Response.h"
#include "semtra/Wire.h"

#include "CommandTable.h"
#include "format/Protocol.h"
#include "ZonePrivate.h"


namespace Velmora {

namespace {

// Parameter types that the connection knows how to send as they are.
bool passesUnchanged(int type)
{
    switch (type) {
    case QMetaType::UnknownType:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::QVariantList:
    case QMetaType::QByteArray:
        return true;
    default:
        return false;
    }
}

// A parameter text such as "2 60" becomes the values it spells.
QVariantList paramsFromText(const QString& text)
{
    const QByteArray local = text.toLocal8Bit();
    const char* cursor = local.constData();
    QVariantList values;
    for (QVariant value = Rare::getParam(cursor); value.isValid(); value = Rare::getParam(cursor))
        values.append(value);
    return values;
}

} // namespace

void Zone::refresh()
{
    if (d->connected) {
        d->linkUpQuery();
        return;
    }
    bool contains = false;
    if (!d->connection
        || !QMetaObject::invokeMethod(d->connection, "contains", Qt::DirectConnection,
                                      Q_RETURN_ARG(bool, contains),
                                      Q_ARG(int, Protocol::Tag), Q_ARG(int, id()))) {
        qCWarning(lcLink, "Zone::refresh: error metacall connection::contains");
        return;
    }
    if (contains)
        d->setConnected();
}

void Zone::setConnection(QObject* connection)
{
    if (d->connection == connection)
        return;
    if (QObject* old = d->connection) {
        disconnect(old, nullptr, this, nullptr);
        disconnect(this, nullptr, old, nullptr);
        disconnect(old, nullptr, d, nullptr);
        disconnect(d, nullptr, old, nullptr);
    }
    d->connection = connection;
    if (!connection)
        return;
    connect(connection, SIGNAL(message(const Semtra::Command::Message&)), this,
            SLOT(message(const Semtra::Command::Message&)));
    connect(this, SIGNAL(request(const Request*)), connection, SLOT(request(const Request*)));
    connect(connection, SIGNAL(stateChanged(const Semtra::Connection::State)), d,
            SLOT(connectionStateChanged(Semtra::Connection::State)));
}

Response* Zone::sendCommand(QVariant command, QVariant param)
{
    if (!d->connected)
        return nullptr;

    bool isNumber = false;
    int code = command.toInt(&isNumber);
    if (!isNumber && !CommandTable::code(command.toString(), &code))
        return nullptr;

    if (param.userType() == QMetaType::QString)
        param = paramsFromText(param.toString());
    else if (!passesUnchanged(param.userType()))
        return nullptr;

    const int number = d->nextMessageNumber();
    auto* request = new Request(number, id(), QVariant(code), param, Protocol::Tag);
    auto* response = new Response(request);
    request->setParent(response);
    // Ours until finished; dies with the zone if never answered.
    response->setParent(d);
    d->responses.insert(number, response);

    emit this->request(static_cast<const Request*>(request));
    emit this->request(static_cast<const QObject*>(request), this);
    if (d->responses.size() == 1)
        d->zoneStateChanged();
    return response;
}

bool Zone::message(const Semtra::Command::Message& message)
{
    if (message.tag != Protocol::Tag || message.objectId != id())
        return false;

    switch (message.kind) {
    case Semtra::Command::Event: {
        if (!message.data.canConvert<QByteArray>())
            return false;
        // Deleted later, not at the end of this call, so that queued
        // receivers still find it; dies with the zone at the latest.
        auto* notification = new Notification(message.data.toByteArray(), message.tag, d);
        emit this->notification(static_cast<const Notification*>(notification));
        emit this->notification(static_cast<const QObject*>(notification), this);
        notification->deleteLater();
        return d->applyEvent(*notification);
    }
    case Semtra::Command::Connected: {
        // An 8-byte little-endian double; anything else gives no time.
        d->connectionTime = QDateTime();
        if (message.data.userType() == QMetaType::QByteArray) {
            const QByteArray bytes = message.data.toByteArray();
            if (bytes.size() >= 8)
                d->connectionTime = Rare::doubleToDateTime(Semtra::Wire::readDouble(bytes.constData()));
        }
        d->setConnected();
        return true;
    }
    case Semtra::Command::Disconnected:
        d->setDisconnected();
        return true;
    default:
        break;
    }

    const QByteArray data = message.data.toByteArray();
    const auto it = d->responses.constFind(message.number);
    if (it != d->responses.constEnd()) {
        // The entry stays open while the host hears of it, so that a request
        // sent from its slots does not look like the first one opened.
        const QPointer<Response> response = it.value();
        if (response) {
            if (message.kind == Semtra::Command::Reply)
                response->finish(data);
            else
                response->setError(message.kind);
            emit responseFinished(static_cast<const Response*>(response.data()));
            emit responseFinished(static_cast<const QObject*>(response.data()), this);
        }
        // A receiver may have changed the open requests (a link coming up
        // forgets them all): only this reply's own entry goes.
        const auto again = d->responses.find(message.number);
        if (again != d->responses.end() && again.value() == response) {
            d->responses.erase(again);
            if (response)
                response->deleteLater();
            if (d->responses.isEmpty())
                d->zoneStateChanged();
        }
    } else {
        // The file's own name: the build's folders are nothing to a reader of the log.
        const char* const folderEnd = std::strrchr(__FILE__, '/');
        qCWarning(lcLink, "Object: Velmora::Zone: id:%d msg num:%d. Invalid response! in %s:%d", id(),
                 message.number, folderEnd ? folderEnd + 1 : __FILE__, __LINE__);
        qCDebug(lcLink, "%s", data.toHex().constData());
    }
    if (message.kind != Semtra::Command::Reply)
        return false;
    return d->applyReply(message.number, data);
}

void Zone::hashReaded()
{
    const auto* response = qobject_cast<const Response*>(sender());
    if (!response)
        return;
    const QVariantList values = response->data();
    if (values.isEmpty()) {
        qCWarning(lcLink, "GET_CONFIG_HASH invalid response!");
        return;
    }
    setProperty("remoteHash", values.first());
    const QByteArray local = property("localHash").toByteArray();
    d->hashInvalid = local != values.first().toByteArray();
    setProperty("hashInvalid", d->hashInvalid);
}

} // namespace Velmora
