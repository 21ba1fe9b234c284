#include "Inspector.h"

#include "ModuleCalls.h"

#include <QMetaObject>

namespace VelmoraHost {

Inspector::Inspector(QTextStream& out)
    : m_out(out)
{
}

bool Inspector::loadPlugin(const QString& path, QString* error)
{
    if (!m_plugin.load(path, error))
        return false;
    QObject* root = m_plugin.root();
    m_out << root->metaObject()->className() << " moduleVersion=" << root->property("moduleVersion").toString()
          << '\n';
    return true;
}

bool Inspector::inspectFile(const QString& fileName)
{
    // The module's messages are part of the report, not noise on the side.
    const VelmoraHost::ZoneLoad loaded =
        VelmoraHost::loadZone(m_plugin.root(), fileName, VelmoraHost::WarningCapture::Swallow);

    m_out << "== " << fileName << '\n';
    if (loaded.zone) {
        printObject(loaded.zone, 0);
        m_out << "localHash " << loaded.zone->property("localHash").toByteArray().toHex() << '\n';
    } else {
        m_out << "load failed\n";
    }
    // A zone refused by the host has no message of the module's to show why.
    const QStringList messages = loaded.warnings.isEmpty() && !loaded.zone ? QStringList{loaded.error}
                                                                           : loaded.warnings;
    for (const QString& message : messages)
        m_out << "message: " << message << '\n';
    // Zones die while Qt's type registry is still alive, not at library unload.
    const bool accepted = loaded.zone != nullptr;
    delete loaded.zone;
    return accepted;
}

QString Inspector::rowText(QObject* object)
{
    QStringList columns;
    for (int column = 0; column < 3; ++column) {
        const QVariant value = VelmoraHost::modelData(object, column, Qt::DisplayRole);
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
    // Areas list their controllers; nothing else has objects().
    if (object->metaObject()->indexOfMethod("objects()") >= 0) {
        QList<int> ids;
        VelmoraHost::invoke(mutableObject, "objects", Q_RETURN_ARG(QList<int>, ids));
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

} // namespace VelmoraHost
