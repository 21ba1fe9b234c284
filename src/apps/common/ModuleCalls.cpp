#include "ModuleCalls.h"

#include "HostLogging.h"

namespace VelmoraHost {

namespace {

QByteArray objectText(const QObject* object)
{
    if (!object)
        return QByteArrayLiteral("no object");
    QByteArray text = object->metaObject()->className();
    if (!object->objectName().isEmpty())
        text += " \"" + object->objectName().toUtf8() + '"';
    return text;
}

// SIGNAL() and SLOT() put a code in front of the signature.
const char* signatureOf(const char* coded)
{
    return coded && *coded ? coded + 1 : "";
}

} // namespace

void reportFailedCall(const QObject* target, const char* method)
{
    qCWarning(lcHost, "Cannot call %s on %s", method, objectText(target).constData());
}

bool connectByName(const QObject* sender, const char* signal, const QObject* receiver, const char* method)
{
    const bool connected = sender && receiver && QObject::connect(sender, signal, receiver, method);
    if (!connected)
        qCWarning(lcHost, "Cannot connect %s of %s to %s of %s", signatureOf(signal), objectText(sender).constData(),
                  signatureOf(method), objectText(receiver).constData());
    return connected;
}

bool hasModelData(const QObject* object)
{
    return object && object->metaObject()->indexOfMethod("modelData(int,int)") >= 0;
}

QVariant modelData(QObject* object, int column, int role)
{
    QVariant value;
    // Rows without model data (containers' children that are no rows) are normal: no report.
    if (hasModelData(object))
        invoke(object, "modelData", Q_RETURN_ARG(QVariant, value), Q_ARG(int, column), Q_ARG(int, role));
    return value;
}

} // namespace VelmoraHost
