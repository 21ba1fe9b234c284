#include "HistoryRecord.h"

#include <QCryptographicHash>
#include <QStringList>

#include <algorithm>

namespace Velmora {

QByteArray HistoryRecord::digest() const
{
    // Local time, user and host differ between workstations recording one event: left out.
    QCryptographicHash hash(QCryptographicHash::Sha1);
    const QString values = QStringLiteral("%1,%2,%3,%4,%5|").arg(controlSource).arg(strategy).arg(state).arg(specialState).arg(code);
    hash.addData(values.toUtf8());
    hash.addData(detail.toUtf8());
    return hash.result().toHex().left(24);
}

AreaMoment* ZoneMoment::area(int id)
{
    auto it = std::lower_bound(areas.begin(), areas.end(), id,
                               [](const AreaMoment& a, int value) { return a.id < value; });
    if (it == areas.end() || it->id != id)
        it = areas.insert(it, AreaMoment{id, HistoryRecord::NoValue, HistoryRecord::NoValue, HistoryRecord::NoValue});
    return &*it;
}

const AreaMoment* ZoneMoment::area(int id) const
{
    auto it = std::lower_bound(areas.cbegin(), areas.cend(), id,
                               [](const AreaMoment& a, int value) { return a.id < value; });
    return it == areas.cend() || it->id != id ? nullptr : &*it;
}

void ZoneMoment::apply(const HistoryRecord& record)
{
    if (record.kind == HistoryRecord::FullState) {
        // The whole zone again: what a lost change left wrong is right from here on.
        QVector<AreaMoment> all;
        if (!parseAreas(record.detail, &all))
            return;
        known = true;
        controlSource = record.controlSource;
        strategy = record.strategy;
        areas = all;
        return;
    }
    known = true;
    if (record.area == HistoryRecord::ZoneItself) {
        controlSource = record.controlSource;
        strategy = record.strategy;
        return;
    }
    AreaMoment* moment = area(record.area);
    moment->controlSource = record.controlSource;
    moment->state = record.state;
    moment->specialState = record.specialState;
}

QString ZoneMoment::areasText() const
{
    QStringList parts;
    parts.reserve(areas.size());
    for (const AreaMoment& a : areas)
        parts << QStringLiteral("%1,%2,%3,%4").arg(a.id).arg(a.controlSource).arg(a.state).arg(a.specialState);
    return parts.join(QLatin1Char(';'));
}

bool ZoneMoment::parseAreas(const QString& text, QVector<AreaMoment>* areas)
{
    areas->clear();
    if (text.isEmpty())
        return true;
    const QVector<QStringRef> parts = text.splitRef(QLatin1Char(';'));
    areas->reserve(parts.size());
    for (const QStringRef& part : parts) {
        const QVector<QStringRef> numbers = part.split(QLatin1Char(','));
        if (numbers.size() != 4)
            return false;
        int values[4];
        for (int i = 0; i < 4; ++i) {
            bool ok = false;
            values[i] = numbers.at(i).toInt(&ok);
            if (!ok)
                return false;
        }
        areas->append(AreaMoment{values[0], values[1], values[2], values[3]});
    }
    std::sort(areas->begin(), areas->end(), [](const AreaMoment& a, const AreaMoment& b) { return a.id < b.id; });
    return true;
}

HistoryRecord ZoneMoment::fullStateRecord(qint64 localMs) const
{
    HistoryRecord record;
    record.kind = HistoryRecord::FullState;
    record.zone = zone;
    record.serviceMs = serviceMs;
    record.localMs = localMs;
    record.controlSource = controlSource;
    record.strategy = strategy;
    record.detail = areasText();
    return record;
}

} // namespace Velmora
