#pragma once

#include <QDomElement>
#include <QHash>
#include <QString>

namespace Velmora {

// Where elements sit below the root, e.g. "Areas/Area[id=3]/Calendar/DayCards/
// DayCard[id=1]/Time[2]": an element with an id by its id, a special day by
// its date, else by its position among the siblings of its name when it has
// any. Positions are counted from the last element of the same name asked
// before, so paths asked in document order cost no scan over a long list each.
class ElementPaths
{
public:
    // The root's own tag name for the root; empty for a null element.
    QString pathOf(const QDomElement& element);

private:
    QString step(const QDomElement& element);
    int position(const QDomElement& element);

    struct Position
    {
        QDomElement element;
        int index = 0;
    };
    QHash<QString, Position> m_last; // by tag name
};

} // namespace Velmora
