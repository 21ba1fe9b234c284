#pragma once

#include <QDomElement>

namespace Velmora {

// An imported area replaces the one being edited but brings no outline of its
// own. Returns newArea as a node of oldArea's document (imported when it
// belongs to another one) whose first child is a copy of oldArea's Geometry,
// or an empty Geometry when oldArea has none. The Geometry always has a text
// child, so that an outline can be drawn later. Geometry elements newArea had
// are dropped; a null oldArea leaves newArea as it is.
QDomElement keepGeometry(QDomElement newArea, const QDomElement& oldArea);

} // namespace Velmora
