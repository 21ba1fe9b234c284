#include "HostLogging.h"

Q_LOGGING_CATEGORY(lcHost, "velmora.host")
