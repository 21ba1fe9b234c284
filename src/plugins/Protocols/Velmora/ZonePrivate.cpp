#include "ZonePrivate.h"

#include <QHash>
#include <QVector>

#include <climits>

#include "semtra/Notification.h"
#include "semtra/Rare.h"
#include "semtra/Response.h"
#include "semtra/Wire.h"

#include "Area.h"
#include "CommandTable.h"
#include "Controller.h"
#include "EventTable.h"
#include "Plugin.h"
#include "format/Protocol.h"
#include "Strategy.h"

namespace Velmora {

namespace {

// One area's group of the areas-state string.
struct AreaValues
{
    int controlSource;
    int state;
    int specialState;
};

void emitAreaChanged(Area* area)
{
    area->redraw();
    emit area->stateChanged(area);
}

} // namespace

Zone::Private::Private(Zone* owner)
    : zone(owner)
    , item(new Rare::Graphics::Zone(owner, nullptr))
    , controllers(new Objects<Controller>(Zone::tr("Controllers"), owner))
    , areas(new Objects<Area>(Zone::tr("Control areas"), owner))
    , strategies(new Objects<Strategy>(Zone::tr("Strategys"), owner))
{
}

Zone::Private::~Private()
{
    // The zone item takes the area items with it; the areas only guard theirs.
    delete item.data();
    delete controllers;
    delete areas;
    delete strategies;
    // Open and finished responses are our children and go with us.
}

void Zone::Private::zoneStateChanged()
{
    if (item)
        item->update();
    emit zone->stateChanged(zone);
}

void Zone::Private::clearModel()
{
    // An outline that fails to read leaves the item's outline as it was; a
    // reload starts from none.
    outline = QPainterPath();
    if (item)
        item->setPath(outline);
    controllers->clear();
    areas->clear();
    strategies->clear();
}

void Zone::Private::setIdentity(int id, const QString& name)
{
    zone->setId(id);
    zone->setName(name);
}

void Zone::Private::restoreItems()
{
    if (item)
        return;
    item = new Rare::Graphics::Zone(zone, nullptr);
    item->setPath(outline);
    const QList<Area*> all = areas->values();
    for (Area* area : all)
        area->restoreItem(item);
    // New items start shown; take the root's common visibility as load does.
    if (auto* root = qobject_cast<Plugin*>(zone->parent())) {
        if (!root->isVisible()) {
            zone->setVisible(false);
            for (Area* area : all)
                area->setVisible(false);
        }
    }
}

// --- Link state -------------------------------------------------------------

void Zone::Private::setConnected()
{
    if (connected)
        return;
    emit zone->connected(true);
    lastConnectionEventTime = QDateTime::currentDateTime();
    // Requests of an earlier link will never be answered.
    for (const QPointer<Response>& response : qAsConst(responses)) {
        if (response)
            response->deleteLater();
    }
    responses.clear();
    connected = true;
    zoneStateChanged();
    linkUpQuery();
}

void Zone::Private::clearAreaState(Area* area)
{
    // Not ||: all three are set whatever the first ones returned.
    const bool changed = area->setControlSource(-1) | area->setCurrentState(-1)
        | area->setSpecialState(-1);
    if (changed)
        emitAreaChanged(area);
}

void Zone::Private::setDisconnected()
{
    if (!connected)
        return;
    emit zone->connected(false);
    lastConnectionEventTime = QDateTime::currentDateTime();
    const QList<Area*> all = areas->values();
    for (Area* area : all)
        clearAreaState(area);
    connected = false;
    m_strategy = -1;
    m_controlSource = -1;
    zoneStateChanged();
}

void Zone::Private::connectionStateChanged(Semtra::Connection::State state)
{
    if (int(state) < int(Semtra::Connection::Connected))
        setDisconnected();
}

void Zone::Private::linkUpQuery()
{
    if (Response* hash = zone->sendCommand(QStringLiteral("GET_CONFIG_HASH")))
        connect(hash, &Response::finished, zone, &Zone::hashReaded);
    QByteArray mask(4, '\0');
    for (int i = 0; i < 4; ++i)
        mask[i] = char((quint32(eventMask) >> (8 * i)) & 0xFF);
    zone->sendCommand(Protocol::SetEvent, mask);
    zone->sendCommand(Protocol::GetState);
}

int Zone::Private::nextMessageNumber()
{
    // Past INT_MAX numbering starts again at 1; a number whose request is
    // still open is skipped so that its reply cannot be taken for another's.
    do {
        messageCounter = messageCounter >= INT_MAX || messageCounter < 0 ? 1 : messageCounter + 1;
    } while (responses.contains(messageCounter));
    return messageCounter;
}

// --- Replies and events -----------------------------------------------------

void Zone::Private::applyValues(const QList<QByteArray>& properties, const QVariantList& values)
{
    const int count = qMin(properties.size(), values.size());
    for (int i = 0; i < count; ++i)
        setProperty(properties.at(i).constData(), values.at(i));
}

bool Zone::Private::applyEvent(const Notification& notification)
{
    const QList<QByteArray> properties = EventTable::propertyNames(notification.id());
    m_changed = false;
    applyValues(properties, notification.data());
    if (m_changed)
        zoneStateChanged();
    return true;
}

bool Zone::Private::applyReply(int number, const QByteArray& data)
{
    if (data.size() < ReplyHeadSize) {
        VELMORA_WARNING_AT() << "Object: Velmora::Zone: id:" << zone->id() << "msg num:" << number
                             << "reply of" << data.size() << "bytes, shorter than its head:"
                             << data.toHex();
        return false;
    }
    const quint32 result = Semtra::Wire::readU32(data.constData() + 8);
    if (!Protocol::isSuccess(result))
        return true;
    const int replyCode = int(Semtra::Wire::readU32(data.constData() + 12));
    const auto* block = reinterpret_cast<const unsigned char*>(data.constData()) + ReplyHeadSize;
    const QVariantList values =
        Rare::getParams(block, data.size() - ReplyHeadSize, CommandTable::replyTypes(replyCode));
    if (values.size() < CommandTable::replyMinimumCount(replyCode)) {
        VELMORA_WARNING_AT() << data.toHex()
                             << QStringLiteral("Missing parameters (count = %1)").arg(values.size());
        return false;
    }
    m_changed = false;
    // A service working with another configuration does not get to set ours.
    if (!hashInvalid)
        applyValues(CommandTable::replyPropertyNames(replyCode), values);
    if (m_changed)
        zoneStateChanged();
    return true;
}

// --- Property setters -------------------------------------------------------

void Zone::Private::setControlSource(int value)
{
    if (m_controlSource == value)
        return;
    m_controlSource = value;
    m_changed = true;
}

void Zone::Private::setStrategy(int value)
{
    if (m_strategy == value)
        return;
    m_strategy = value;
    m_changed = true;
}

void Zone::Private::setAreasState(const QString& text)
{
    const QStringList tokens = text.simplified().split(QLatin1Char(' '), Qt::KeepEmptyParts);
    if (tokens.size() % 4 != 0) {
        VELMORA_WARNING_AT() << "Invalid areas state string:" << text;
        return;
    }
    if (hashInvalid)
        return;

    QHash<int, AreaValues> reported;
    reported.reserve(tokens.size() / 4);
    for (int first = 0; first < tokens.size(); first += 4) {
        int numbers[4];
        for (int i = 0; i < 4; ++i) {
            bool ok = false;
            numbers[i] = tokens.at(first + i).toInt(&ok, 10);
            if (!ok) {
                VELMORA_WARNING_AT() << "Invalid areas state parametr:" << first << "in string:"
                                     << text;
                return;
            }
        }
        reported.insert(numbers[0], AreaValues{numbers[1], numbers[2], numbers[3]});
    }
    m_areasState = text;

    const QList<Area*> all = areas->values();
    for (Area* area : all) {
        const auto it = reported.constFind(area->id());
        if (it == reported.constEnd()) {
            // Not reported: no value.
            clearAreaState(area);
            continue;
        }
        // Once anything has changed, every listed area is redrawn and signalled.
        const bool wasChanged = m_changed;
        bool areaChanged = area->setControlSource(it->controlSource);
        areaChanged = area->setCurrentState(it->state) || areaChanged;
        areaChanged = area->setSpecialState(it->specialState) || areaChanged;
        if (areaChanged)
            m_changed = true;
        if (areaChanged || wasChanged)
            emitAreaChanged(area);
    }
}

void Zone::Private::setAreaId(int value)
{
    m_areaId = value;
}

void Zone::Private::setAreaControlSource(int value)
{
    m_areaControlSource = value;
    Area* area = areas->value(m_areaId);
    if (!area) {
        VELMORA_WARNING_AT() << "Zone::Private::setEventAreaControlSource. Invalid area id:"
                             << m_areaId;
        return;
    }
    if (area->setControlSource(value))
        emitAreaChanged(area);
}

void Zone::Private::setAreaState(int value)
{
    // The same state as last applied: the special state's setter takes care
    // of the area, whichever it is.
    if (m_areaState == value)
        return;
    m_areaState = value;
    Area* area = areas->value(m_areaId);
    if (!area) {
        VELMORA_WARNING_AT() << "Zone::Private::setEventAreaState. Invalid area id:" << m_areaId;
        return;
    }
    if (area->setCurrentState(value))
        emitAreaChanged(area);
}

void Zone::Private::setAreaSpecialState(int value)
{
    m_areaSpecialState = value;
    Area* area = areas->value(m_areaId);
    if (!area) {
        VELMORA_WARNING_AT() << "Zone::Private::setEventAreaSpecialState. Invalid area id:"
                             << m_areaId;
        return;
    }
    const bool stateChanged = area->setCurrentState(m_areaState);
    const bool specialChanged = area->setSpecialState(value);
    if (stateChanged || specialChanged)
        emitAreaChanged(area);
}

} // namespace Velmora
