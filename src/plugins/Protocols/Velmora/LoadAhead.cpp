#include "LoadAhead.h"

#include "PreparedLoads.h"

namespace Velmora {

LoadAhead::LoadAhead(PreparedLoads* loads)
    : m_loads(loads)
{
    setObjectName(QStringLiteral("loadAhead"));
}

void LoadAhead::prepare(QString fileName, QObject* receiver, QString member)
{
    m_loads->prepare(fileName, receiver, member.toLatin1());
}

} // namespace Velmora
