#include "DomMetaType.h"

namespace Velmora {
namespace Editors {

int registerDomElementType()
{
    static const int id = qRegisterMetaType<QDomElement>("QDomElement");
    return id;
}

} // namespace Editors
} // namespace Velmora
