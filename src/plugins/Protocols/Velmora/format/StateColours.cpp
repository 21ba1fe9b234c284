#include "StateColours.h"

#include "Protocol.h"

namespace Velmora {
namespace StateColours {

using namespace Protocol;

bool isAreaShown(int controlSource)
{
    return controlSource >= Calendar;
}

Qt::GlobalColor areaFill(int controlSource)
{
    switch (controlSource) {
    case NoControlSource:
        return Qt::gray;
    case NotControlled:
        return Qt::white;
    case Calendar:
    case LocalControl:
        return Qt::green;
    case Adaptive:
        return Qt::darkGreen;
    case Operator:
        return Qt::darkCyan;
    default:
        return Qt::red;
    }
}

bool areaOverlay(int specialState, Qt::GlobalColor* colour)
{
    switch (specialState) {
    case NoSpecialStateReported:
    case NoSpecialState:
        return false;
    case LocalMode:
        *colour = Qt::white;
        return true;
    case YellowFlashing:
        *colour = Qt::yellow;
        return true;
    case Off:
        *colour = Qt::black;
        return true;
    default:
        *colour = Qt::red;
        return true;
    }
}

Qt::GlobalColor zoneFill(bool connected, int controlSource)
{
    if (!connected)
        return Qt::gray;
    switch (controlSource) {
    case NotControlled:
        return Qt::white;
    case Calendar:
        return Qt::green;
    case Adaptive:
        return Qt::darkGreen;
    case Operator:
        return Qt::darkCyan;
    default: // local control among them: the zone is out of the centre's hands
        return Qt::red;
    }
}

} // namespace StateColours
} // namespace Velmora
