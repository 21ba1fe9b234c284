#pragma once

#include <QMetaObject>
#include <QObject>
#include <QVariant>

#include <utility>

// Calls into the module by name. A call or a connection that does not reach
// its member is logged (velmora.host) instead of passing silently.
namespace VelmoraHost {

// Logs that a call did not reach the object's method.
void reportFailedCall(const QObject* target, const char* method);

// QMetaObject::invokeMethod, reported when it fails.
template<typename... Arguments>
bool invoke(QObject* target, const char* method, Arguments&&... arguments)
{
    const bool invoked = target && QMetaObject::invokeMethod(target, method, std::forward<Arguments>(arguments)...);
    if (!invoked)
        reportFailedCall(target, method);
    return invoked;
}

// A string-based connect (SIGNAL() and SLOT()), reported when it fails.
bool connectByName(const QObject* sender, const char* signal, const QObject* receiver, const char* method);

// True when the object answers modelData(int,int), as every row of the module's tree does.
bool hasModelData(const QObject* object);
// A row's text, icon or tip for column and role; invalid for an object that has no rows.
QVariant modelData(QObject* object, int column, int role);

} // namespace VelmoraHost
