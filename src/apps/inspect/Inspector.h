#pragma once

#include <QObject>
#include <QTextStream>

#include "ModulePlugin.h"

namespace VelmoraHost {

// Loads the module as a host does and prints what it sees: the object tree
// through QObject children and modelData, the digest of each file, and the
// messages the module logged while loading.
class Inspector
{
public:
    explicit Inspector(QTextStream& out);

    // Loads the plug-in; false with a reason on failure.
    bool loadPlugin(const QString& path, QString* error);
    // Loads one file; false when the module refused it.
    bool inspectFile(const QString& fileName);

private:
    void printObject(const QObject* object, int depth);
    static QString rowText(QObject* object);

    QTextStream& m_out;
    VelmoraHost::ModulePlugin m_plugin;
};

} // namespace VelmoraHost
