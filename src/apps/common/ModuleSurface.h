#pragma once

#include <QStringList>
#include <QVector>

struct QMetaObject;

namespace VelmoraHost {

// One thing a host reaches by name in the module's meta-objects.
struct Member
{
    enum Kind {
        Method,   // invokable or slot; signature normalized, type the return type
        Signal,   // signature normalized
        Property, // signature the name, type the property's type
        Class     // signature a class name the object must be or inherit
    };
    Kind kind;
    const char* signature;
    const char* type;
    bool writable;
};

// What the hosts call on the root object, and on every zone it loads.
// Only what a host of ours uses: anything more would refuse modules for no reason.
const QVector<Member>& rootSurface();
const QVector<Member>& zoneSurface();

// One line for each member the meta-object lacks or has in another shape,
// such as "method load(QString) returning QObject*: returns int"; empty when
// the surface is all there.
QStringList missingMembers(const QMetaObject* meta, const QVector<Member>& surface);

// "signal zoneEdited(QString)", "writable property visible (bool)" ...
QString describe(const Member& member);

} // namespace VelmoraHost
