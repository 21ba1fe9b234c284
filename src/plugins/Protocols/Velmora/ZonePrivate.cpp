#include "ZonePrivate.h"

#include "Area.h"
#include "Controller.h"
#include "Strategy.h"

namespace Velmora {

Zone::Private::Private(Zone* owner)
    : zone(owner)
    , item(new Rare::Graphics::Zone(owner, nullptr))
    , controllers(new Objects<Controller>(Zone::tr("Controllers"), owner))
    , areas(new Objects<Area>(Zone::tr("Control areas"), owner))
    , strategies(new Objects<Strategy>(Zone::tr("Strategys"), owner))
{
}

Zone::Private::~Private()
{
    // The zone item takes the area items with it; the areas only guard theirs.
    delete item;
    delete controllers;
    delete areas;
    delete strategies;
}

void Zone::Private::setControlSource(int value)
{
    if (m_controlSource == value)
        return;
    m_controlSource = value;
    m_changed = true;
}

void Zone::Private::setStrategy(int value)
{
    if (m_strategy == value)
        return;
    m_strategy = value;
    m_changed = true;
}

void Zone::Private::setAreasState(const QString& text)
{
    m_areasState = text;
}

void Zone::Private::setAreaId(int value)
{
    m_areaId = value;
}

void Zone::Private::setAreaControlSource(int value)
{
    m_areaControlSource = value;
}

void Zone::Private::setAreaState(int value)
{
    m_areaState = value;
}

void Zone::Private::setAreaSpecialState(int value)
{
    m_areaSpecialState = value;
}

void Zone::Private::connectionStateChanged(Semtra::Connection::State)
{
}

} // namespace Velmora
