#pragma once

// What the zone-link tests share: the test zone, messages as the host's
// connection hands them over, and the reported values as comparable text.
#include "Velmora/Area.h"
#include "Velmora/CommandTable.h"
#include "Velmora/Zone.h"
#include "Velmora/format/Protocol.h"

#include <semtra/Wire.h>

#include <QtEndian>

namespace LinkTest {

using Semtra::Command::Message;

constexpr int Tag = Velmora::Protocol::Tag;
// tests/data/link/zone.xtsc: zone 12 with areas 3, 4 and 7.
constexpr int ZoneId = 12;
const QString ZoneFile = QStringLiteral(VELMORA_TEST_DATA "/link/zone.xtsc");

inline Message message(int number, int kind, const QVariant& data, int objectId = ZoneId, int tag = Tag)
{
    return Message{number, objectId, kind, tag, data};
}

// The data of an announcement (kind 3).
inline QByteArray stampBytes(double stamp)
{
    QByteArray bytes(8, '\0');
    qToLittleEndian(qFromUnaligned<quint64>(&stamp), bytes.data());
    return bytes;
}

inline QByteArray replyData(int code, const QVariantList& values, quint32 result = 0)
{
    return Semtra::Wire::encodeReply(0.25, result, quint32(code),
                                     Semtra::Wire::encodeParams(values, Velmora::CommandTable::replyTypes(code)));
}

inline QByteArray stateReply(int source, int strategy, const QString& areas)
{
    return replyData(Velmora::Protocol::GetState, {uint(source), uint(strategy), areas});
}

// "source strategy 3:source,state,special 4:... 7:...": what the service has
// reported into the zone.
inline QString reportedState(Velmora::Zone& zone)
{
    QString text = QStringLiteral("%1 %2").arg(zone.controlSource()).arg(zone.currentStrategy());
    for (uint id : {3u, 4u, 7u}) {
        const Velmora::Area* area = zone.area(id);
        text += QStringLiteral(" %1:%2,%3,%4")
                    .arg(id)
                    .arg(area->controlSource())
                    .arg(area->currentState())
                    .arg(area->specialState());
    }
    return text;
}

} // namespace LinkTest
