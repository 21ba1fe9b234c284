#pragma once

#include <QtCore/qglobal.h>

#if defined(QT5QSEMTRAHLP1_LIBRARY)
#define SEMTRA_EXPORT Q_DECL_EXPORT
#else
#define SEMTRA_EXPORT Q_DECL_IMPORT
#endif

namespace Semtra {
// Protocol tag of the Velmora zones; other protocols use other tags.
constexpr int VelmoraTag = 0x29111992;
}
