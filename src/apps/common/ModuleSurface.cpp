#include "ModuleSurface.h"

#include <QMetaMethod>
#include <QMetaObject>
#include <QMetaProperty>

namespace VelmoraHost {

namespace {

Member method(const char* signature, const char* returnType = "void")
{
    return {Member::Method, signature, returnType, false};
}

Member signal(const char* signature)
{
    return {Member::Signal, signature, "void", false};
}

Member property(const char* name, const char* type, bool writable = false)
{
    return {Member::Property, name, type, writable};
}

bool inherits(const QMetaObject* meta, const char* className)
{
    for (const QMetaObject* m = meta; m; m = m->superClass()) {
        if (qstrcmp(m->className(), className) == 0)
            return true;
    }
    return false;
}

// Empty when the member is there as described, else what is wrong with it.
QString problem(const QMetaObject* meta, const Member& member)
{
    switch (member.kind) {
    case Member::Class:
        return inherits(meta, member.signature) ? QString()
                                                : QStringLiteral("is a %1").arg(QLatin1String(meta->className()));
    case Member::Property: {
        const int index = meta->indexOfProperty(member.signature);
        if (index < 0)
            return QStringLiteral("missing");
        const QMetaProperty found = meta->property(index);
        if (qstrcmp(found.typeName(), member.type) != 0)
            return QStringLiteral("is of type %1").arg(QLatin1String(found.typeName()));
        if (!found.isReadable())
            return QStringLiteral("cannot be read");
        if (member.writable && !found.isWritable())
            return QStringLiteral("cannot be written");
        return QString();
    }
    case Member::Method:
    case Member::Signal: {
        const QByteArray signature = QMetaObject::normalizedSignature(member.signature);
        const int index = member.kind == Member::Signal ? meta->indexOfSignal(signature.constData())
                                                        : meta->indexOfMethod(signature.constData());
        if (index < 0)
            return QStringLiteral("missing");
        const QMetaMethod found = meta->method(index);
        // A signal where a method is called still runs, but only by accident.
        if (member.kind == Member::Method && found.methodType() == QMetaMethod::Signal)
            return QStringLiteral("is a signal");
        if (qstrcmp(found.typeName(), member.type) != 0)
            return QStringLiteral("returns %1").arg(QLatin1String(found.typeName()));
        return QString();
    }
    }
    return QString();
}

} // namespace

const QVector<Member>& rootSurface()
{
    static const QVector<Member> members{
        method("load(QString)", "QObject*"),
        method("editZone(QString,QObject*)"),
        method("editZone(QString)"),
        method("setVisible(bool)"),
        signal("zoneEdited(QString)"),
        signal("zoneLoaded(QObject*)"),
        property("moduleVersion", "QString"),
        property("visible", "bool", true),
    };
    return members;
}

// The hosts find zones and walk to them by class name, put them on the map
// and on the connection, send commands, read their rows and live state, and
// follow their signals by signature.
const QVector<Member>& zoneSurface()
{
    static const QVector<Member> members{
        {Member::Class, "Velmora::Zone", "", false},
        method("modelData(int,int)", "QVariant"),
        method("graphicsItem()", "QGraphicsItem*"),
        method("setScene(QGraphicsScene*)"),
        method("setConnection(QObject*)"),
        method("refresh()"),
        method("sendCommand(QVariant,QVariant)", "Response*"),
        signal("request(const Request*)"),
        signal("responseFinished(const Response*)"),
        signal("notification(const Notification*)"),
        signal("connected(bool)"),
        signal("stateChanged(const QObject*)"),
        signal("areaStateChanged(const QObject*)"),
        property("id", "int"),
        property("name", "QString"),
        property("isConnected", "bool"),
        property("controlSource", "int"),
        property("currentStrategy", "int"),
    };
    return members;
}

QString describe(const Member& member)
{
    const QString signature = QLatin1String(member.signature);
    const QString type = QLatin1String(member.type);
    switch (member.kind) {
    case Member::Method:
        return type == QLatin1String("void") ? QStringLiteral("method %1").arg(signature)
                                             : QStringLiteral("method %1 returning %2").arg(signature, type);
    case Member::Signal:
        return QStringLiteral("signal %1").arg(signature);
    case Member::Property:
        return QStringLiteral("%1property %2 (%3)")
            .arg(member.writable ? QStringLiteral("writable ") : QString(), signature, type);
    case Member::Class:
        return QStringLiteral("class %1").arg(signature);
    }
    return signature;
}

QStringList missingMembers(const QMetaObject* meta, const QVector<Member>& surface)
{
    QStringList lines;
    for (const Member& member : surface) {
        const QString what = problem(meta, member);
        if (!what.isEmpty())
            lines << QStringLiteral("%1: %2").arg(describe(member), what);
    }
    return lines;
}

} // namespace VelmoraHost
