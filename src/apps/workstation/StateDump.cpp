#include "StateDump.h"

#include "ModuleHost.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QObject>
#include <QSaveFile>
#include <QVariant>

#include <algorithm>

namespace Velmora {

namespace StateDump {

namespace {

int intProperty(const QObject* object, const char* name)
{
    // A property the module does not have reads as -1, "no value", like an unreported one.
    const QVariant value = object->property(name);
    return value.isValid() ? value.toInt() : -1;
}

} // namespace

QJsonObject zones(const QList<QObject*>& zones)
{
    QJsonArray zoneArray;
    for (QObject* zone : zones) {
        QJsonArray areaArray;
        QList<QObject*> areas = ModuleHost::areasOf(zone);
        std::sort(areas.begin(), areas.end(), [](const QObject* a, const QObject* b) {
            return a->property("id").toInt() < b->property("id").toInt();
        });
        for (const QObject* area : qAsConst(areas)) {
            areaArray.append(QJsonObject{
                {QStringLiteral("id"), intProperty(area, "id")},
                {QStringLiteral("controlSource"), intProperty(area, "controlSource")},
                {QStringLiteral("currentState"), intProperty(area, "currentState")},
                {QStringLiteral("specialState"), intProperty(area, "specialState")},
            });
        }
        zoneArray.append(QJsonObject{
            {QStringLiteral("id"), intProperty(zone, "id")},
            {QStringLiteral("name"), zone->property("name").toString()},
            {QStringLiteral("file"), ModuleHost::zoneFile(zone)},
            {QStringLiteral("isConnected"), zone->property("isConnected").toBool()},
            {QStringLiteral("hashInvalid"), zone->property("hashInvalid").toBool()},
            {QStringLiteral("localHash"), QString::fromLatin1(zone->property("localHash").toByteArray().toHex())},
            {QStringLiteral("remoteHash"), QString::fromLatin1(zone->property("remoteHash").toByteArray().toHex())},
            {QStringLiteral("controlSource"), intProperty(zone, "controlSource")},
            {QStringLiteral("currentStrategy"), intProperty(zone, "currentStrategy")},
            {QStringLiteral("areas"), areaArray},
        });
    }
    return QJsonObject{{QStringLiteral("zones"), zoneArray}};
}

bool allLinked(const QJsonObject& state)
{
    const QJsonArray zones = state.value(QStringLiteral("zones")).toArray();
    if (zones.isEmpty())
        return false;
    for (const QJsonValue& value : zones) {
        const QJsonObject zone = value.toObject();
        if (!zone.value(QStringLiteral("isConnected")).toBool())
            return false;
        if (zone.value(QStringLiteral("hashInvalid")).toBool())
            continue;
        if (zone.value(QStringLiteral("currentStrategy")).toInt(-1) == -1)
            return false;
        for (const QJsonValue& area : zone.value(QStringLiteral("areas")).toArray()) {
            if (area.toObject().value(QStringLiteral("currentState")).toInt(-1) == -1)
                return false;
        }
    }
    return true;
}

QJsonObject rect(const QRect& rect)
{
    return QJsonObject{
        {QStringLiteral("x"), rect.x()},
        {QStringLiteral("y"), rect.y()},
        {QStringLiteral("width"), rect.width()},
        {QStringLiteral("height"), rect.height()},
    };
}

bool write(const QString& fileName, const QJsonObject& state, QString* error)
{
    // Whole or not at all: a script must never read half a dump as the state.
    // Unbuffered, so that a write cut short (a full disk) shows in its count.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        *error = file.errorString();
        return false;
    }
    const QByteArray json = QJsonDocument(state).toJson(QJsonDocument::Indented);
    if (file.write(json) != json.size()) {
        *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace StateDump

} // namespace Velmora
