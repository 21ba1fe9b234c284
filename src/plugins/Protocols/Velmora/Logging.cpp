#include "Logging.h"

namespace Velmora {

Q_LOGGING_CATEGORY(lcLoad, "velmora.load")
Q_LOGGING_CATEGORY(lcLink, "velmora.link")
Q_LOGGING_CATEGORY(lcEdit, "velmora.edit")

} // namespace Velmora
