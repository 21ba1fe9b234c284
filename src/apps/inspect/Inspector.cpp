#include "Inspector.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonObject>
#include <QMetaObject>
#include <QMetaProperty>
#include <QPluginLoader>

#include "ModuleInterface.h"

namespace {

QStringList* capturedMessages = nullptr;

void captureMessage(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (capturedMessages && type != QtDebugMsg && type != QtInfoMsg)
        capturedMessages->append(message);
}

} // namespace

Inspector::Inspector(QTextStream& out)
    : m_out(out)
{
}

QString Inspector::defaultPluginPath()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../plugins/libVelmora.so"));
}

bool Inspector::loadPlugin(const QString& path, QString* error)
{
    QPluginLoader loader(path);
    const QString iid = loader.metaData().value(QStringLiteral("IID")).toString();
    if (iid != QLatin1String(VELMORA_MODULE_IID)) {
        *error = QStringLiteral("%1 is not a Velmora module (%2)").arg(path, loader.errorString());
        return false;
    }
    m_root = loader.instance();
    if (!m_root) {
        *error = loader.errorString();
        return false;
    }
    m_out << m_root->metaObject()->className() << " moduleVersion="
          << m_root->property("moduleVersion").toString() << '\n';
    return true;
}

bool Inspector::inspectFile(const QString& fileName)
{
    QStringList messages;
    capturedMessages = &messages;
    const QtMessageHandler previous = qInstallMessageHandler(captureMessage);
    QObject* zone = nullptr;
    QMetaObject::invokeMethod(m_root, "load", Q_RETURN_ARG(QObject*, zone), Q_ARG(QString, fileName));
    qInstallMessageHandler(previous);
    capturedMessages = nullptr;

    m_out << "== " << fileName << '\n';
    if (zone) {
        printObject(zone, 0);
        m_out << "localHash " << zone->property("localHash").toByteArray().toHex() << '\n';
    } else {
        m_out << "load failed\n";
    }
    for (const QString& message : qAsConst(messages))
        m_out << "message: " << message << '\n';
    const bool loaded = zone != nullptr;
    // Zones die while Qt's type registry is still alive, not at library unload.
    delete zone;
    return loaded;
}

QVariant Inspector::modelData(QObject* object, int column, int role)
{
    QVariant value;
    if (object->metaObject()->indexOfMethod("modelData(int,int)") < 0)
        return value;
    QMetaObject::invokeMethod(object, "modelData", Q_RETURN_ARG(QVariant, value), Q_ARG(int, column),
                              Q_ARG(int, role));
    return value;
}

QString Inspector::rowText(QObject* object)
{
    QStringList columns;
    for (int column = 0; column < 3; ++column) {
        const QVariant value = modelData(object, column, Qt::DisplayRole);
        if (value.isValid())
            columns << value.toString();
    }
    return columns.join(QLatin1String(" | "));
}

void Inspector::printObject(const QObject* object, int depth)
{
    auto* mutableObject = const_cast<QObject*>(object);
    m_out << QString(depth * 2, QLatin1Char(' ')) << object->metaObject()->className() << ": "
          << rowText(mutableObject);
    if (object->metaObject()->indexOfMethod("objects()") >= 0) {
        QList<int> ids;
        QMetaObject::invokeMethod(mutableObject, "objects", Q_RETURN_ARG(QList<int>, ids));
        QStringList texts;
        for (int id : qAsConst(ids))
            texts << QString::number(id);
        m_out << " | controllers [" << texts.join(QLatin1Char(',')) << ']';
    }
    m_out << '\n';
    const QObjectList children = object->children();
    for (const QObject* child : children)
        printObject(child, depth + 1);
}
