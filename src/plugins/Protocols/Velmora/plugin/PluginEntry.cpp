#include <QtGlobal>

#include "Velmora/Plugin.h"

// The loader's entry points are generated with Velmora::Plugin's meta-object.
// Referencing it from an exported function keeps that code, and with it the
// entry points, in the shared object.
extern "C" Q_DECL_EXPORT const QMetaObject* velmora_root_meta_object()
{
    return &Velmora::Plugin::staticMetaObject;
}
