#pragma once

#include <QDomElement>
#include <QMetaType>
#include <QTableWidgetItem>

// Types the editors keep in item data and in the cell editors' "item" property.
// Declared once here; every editor includes this header rather than declaring
// them again (a second declaration of the same type does not compile).
Q_DECLARE_METATYPE(QDomElement)
Q_DECLARE_METATYPE(QTableWidgetItem*)

namespace Velmora {
namespace Editors {

// Registers "QDomElement" by name; runs when the library is loaded and may be
// called again at no cost. Returns the type id.
int registerDomElementType();

} // namespace Editors
} // namespace Velmora
