#include "LibraryLoad.h"

#include <QList>
#include <QMetaType>

#include "Area.h"
#include "CommandTable.h"
#include "Controller.h"
#include "EventTable.h"
#include "ResultCodeTable.h"
#include "Strategy.h"
#include "Zone.h"
#include "editors/DomMetaType.h"
#include "format/Protocol.h"

#include "semtra/ReplyTypes.h"

// Outside the namespace: the resource's init function is a global one.
static void initVelmoraResources()
{
    Q_INIT_RESOURCE(velmora);
}

namespace Velmora {

namespace {

// Types that the host meets in invokable signatures and properties.
void registerModelTypes()
{
    qRegisterMetaType<Velmora::BaseObject*>("Velmora::BaseObject*");
    qRegisterMetaType<Velmora::Controller*>("Velmora::Controller*");
    qRegisterMetaType<Velmora::Area*>("Velmora::Area*");
    qRegisterMetaType<Velmora::Strategy*>("Velmora::Strategy*");
    qRegisterMetaType<Velmora::Zone*>("Velmora::Zone*");
    qRegisterMetaType<QList<Velmora::BaseObject*>>("QList<Velmora::BaseObject*>");
    qRegisterMetaType<QList<Velmora::Controller*>>("QList<Velmora::Controller*>");
    qRegisterMetaType<QList<Velmora::Area*>>("QList<Velmora::Area*>");
    qRegisterMetaType<QList<Velmora::Strategy*>>("QList<Velmora::Strategy*>");
}

// The helper library learns the replies' types so that Response::data() can
// decode them.
void buildProtocolTables()
{
    const CommandTable& commands = CommandTable::instance();
    for (auto it = commands.replyParamTypes.constBegin(); it != commands.replyParamTypes.constEnd(); ++it)
        Semtra::ReplyTypes::registerReply(Protocol::Tag, it.key(), it.value());
    ResultCodeTable::instance();
    EventTable::instance();
}

} // namespace

void prepareLibrary()
{
    initVelmoraResources();
    registerModelTypes();
    buildProtocolTables();
    Editors::registerDomElementType();
}

} // namespace Velmora
