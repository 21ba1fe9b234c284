#pragma once

#include <QLoggingCategory>

namespace VelmoraHost {

// The host's own messages, kept apart from the module's (velmora.load,
// velmora.link, velmora.edit) so each side can be silenced on its own.
Q_DECLARE_LOGGING_CATEGORY(lcHost)

} // namespace VelmoraHost
