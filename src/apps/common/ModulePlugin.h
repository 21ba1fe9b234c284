#pragma once

#include <QJsonObject>
#include <QPluginLoader>
#include <QPointer>
#include <QString>
#include <QStringList>

#include "WarningCapture.h"

namespace VelmoraHost {

// <program folder>/../plugins/libVelmora.so, where the build puts the module.
QString defaultPluginPath();

// The module library as a host holds it. Hosts never see the module's
// classes: they reach the root object, its zones and their areas through the
// meta-object system only, so the surface they call is checked here, once,
// instead of failing call by call later.
class ModulePlugin
{
public:
    // A relative path is taken from the working folder. Refuses a library whose metadata does not declare the module interface,
    // or whose root object lacks something of rootSurface(); *error names the
    // library and every missing member.
    bool load(const QString& path, QString* error);

    // Null until load() succeeded.
    QObject* root() const;
    // The library load() last looked at, as the loader resolved it.
    QString fileName() const;
    QJsonObject metaData() const;

private:
    QPluginLoader m_loader;
    QPointer<QObject> m_root;
};

struct ZoneLoad
{
    QObject* zone = nullptr;
    // Why there is no zone; empty when there is one.
    QString error;
    // What the module logged meanwhile, refused or not.
    QStringList warnings;
};

// Asks the root object to load a file, with the module's warnings captured.
// The file name goes to the module as given. A zone lacking something of
// zoneSurface() is deleted again and refused, naming what it lacks.
ZoneLoad loadZone(QObject* root, const QString& fileName, WarningCapture::Mode mode = WarningCapture::PassOn);

} // namespace VelmoraHost
