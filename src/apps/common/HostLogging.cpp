#include "HostLogging.h"

namespace VelmoraHost {

Q_LOGGING_CATEGORY(lcHost, "velmora.host")

} // namespace VelmoraHost
