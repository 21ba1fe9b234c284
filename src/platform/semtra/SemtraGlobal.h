#pragma once

#include <QtCore/qglobal.h>

#if defined(QT5QSEMTRAHLP1_LIBRARY)
#define SEMTRA_EXPORT Q_DECL_EXPORT
#else
#define SEMTRA_EXPORT Q_DECL_IMPORT
#endif
