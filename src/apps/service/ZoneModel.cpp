#include "ZoneModel.h"

#include "Commands.h"

#include <QStringList>

namespace Service {

namespace {

QDateTime deadline(int timeout, const QDateTime& now)
{
    return timeout > 0 ? now.addSecs(timeout) : QDateTime();
}

bool expired(const QDateTime& until, const QDateTime& now)
{
    return until.isValid() && now >= until;
}

int firstState(const AreaConfig& area)
{
    return area.states.isEmpty() ? 0 : area.states.first();
}

ZoneEvent event(quint32 id, std::initializer_list<int> values)
{
    ZoneEvent e;
    e.id = id;
    for (int value : values)
        e.values.append(uint(value));
    return e;
}

} // namespace

ZoneModel::ZoneModel(const ZoneConfig* config, bool runCalendar)
    : m_config(config)
    , m_runCalendar(runCalendar)
{
}

void ZoneModel::start(const QDateTime& now)
{
    m_regime = Regime::Automatic;
    m_regimeUntil = QDateTime();
    m_strategy = -1;
    m_areas.clear();
    m_controlSource = Calendar;
    for (const AreaConfig& area : m_config->areas()) {
        AreaLive live;
        live.state = firstState(area);
        m_areas.insert(area.id, live);
    }
    ZoneEvents ignored;
    applyStrategy(automaticStrategy(now), now, &ignored);
}

void ZoneModel::reconfigure(const ZoneConfig* config, const QDateTime& now)
{
    const Regime regime = m_regime;
    const QDateTime regimeUntil = m_regimeUntil;
    const int strategy = m_strategy;
    const QHash<int, AreaLive> areas = m_areas;
    m_config = config;
    start(now);
    if (regimeUntil.isValid())
        resumeRegime(regime, regimeUntil, strategy, now);
    for (auto it = areas.cbegin(); it != areas.cend(); ++it)
        resumeArea(it.key(), it.value());
}

void ZoneModel::resumeRegime(Regime regime, const QDateTime& until, int strategy,
                             const QDateTime& now)
{
    ZoneEvents ignored;
    if (regime == Regime::Operator && !m_config->strategy(strategy))
        return;
    m_regime = regime;
    m_regimeUntil = until;
    m_controlSource = regime == Regime::Local ? LocalControl : Operator;
    if (m_config->strategy(strategy))
        applyStrategy(strategy, now, &ignored);
}

void ZoneModel::resumeArea(int areaId, const AreaLive& previous)
{
    const AreaConfig* area = m_config->area(areaId);
    if (!area || !previous.held || !previous.heldUntil.isValid() || !area->states.contains(previous.state))
        return;
    m_areas[areaId] = previous;
}

QString ZoneModel::areasState() const
{
    QStringList groups;
    for (const AreaConfig& area : m_config->areas()) {
        const AreaLive& live = m_areas[area.id];
        groups << QStringLiteral("%1 %2 %3 %4")
                      .arg(area.id)
                      .arg(live.controlSource)
                      .arg(live.state)
                      .arg(live.special);
    }
    return groups.join(QLatin1Char(' '));
}

quint32 ZoneModel::setStrategy(int strategy, int timeout, const QDateTime& now, ZoneEvents* events)
{
    if (!m_config->strategy(strategy))
        return InvStrat;
    setRegime(Regime::Operator, timeout, now);
    setZoneSource(Operator, events);
    applyStrategy(strategy, now, events);
    return Done;
}

quint32 ZoneModel::setLocal(int timeout, const QDateTime& now, ZoneEvents* events)
{
    setRegime(Regime::Local, timeout, now);
    setZoneSource(LocalControl, events);
    return Done;
}

quint32 ZoneModel::setDefault(const QDateTime& now, ZoneEvents* events)
{
    setRegime(Regime::Automatic, 0, now);
    setZoneSource(Calendar, events);
    applyStrategy(automaticStrategy(now), now, events);
    return Done;
}

quint32 ZoneModel::setAreaState(int areaId, int state, int timeout, const QDateTime& now,
                                ZoneEvents* events)
{
    const AreaConfig* area = m_config->area(areaId);
    if (!area)
        return InvArea;
    if (!area->states.contains(state))
        return InvState;
    holdArea(*area, state, 0, timeout, now, events);
    return Done;
}

quint32 ZoneModel::setAreaSpecialState(int areaId, int special, int timeout, const QDateTime& now,
                                       ZoneEvents* events)
{
    const AreaConfig* area = m_config->area(areaId);
    if (!area)
        return InvArea;
    if (special < LocalMode || special > Off)
        return InvPState;
    holdArea(*area, m_areas[areaId].state, special, timeout, now, events);
    return Done;
}

quint32 ZoneModel::setAreaDefault(int areaId, const QDateTime& now, ZoneEvents* events)
{
    const AreaConfig* area = m_config->area(areaId);
    if (!area)
        return InvArea;
    AreaLive next;
    next.controlSource = strategySource(areaId);
    const int planned = calendarState(*area, next.controlSource, now);
    next.state = planned >= 0 ? planned : firstState(*area);
    updateArea(*area, next, events);
    return Done;
}

quint32 ZoneModel::setProgram(int controller, const QByteArray& content)
{
    if (!m_config->hasController(controller))
        return InvCont;
    m_programs.insert(controller, content);
    return Done;
}

bool ZoneModel::program(int controller, QByteArray* content) const
{
    if (!m_config->hasController(controller))
        return false;
    *content = m_programs.value(controller);
    return true;
}

void ZoneModel::tick(const QDateTime& now, ZoneEvents* events)
{
    expireTimeouts(now, events);
    if (m_runCalendar && m_regime != Regime::Local)
        driveCalendars(now, events);
}

void ZoneModel::setZoneSource(int source, ZoneEvents* events)
{
    if (source == m_controlSource)
        return;
    m_controlSource = source;
    events->append(event(ZoneControlSourceEvent, {source}));
}

void ZoneModel::setRegime(Regime regime, int timeout, const QDateTime& now)
{
    m_regime = regime;
    m_regimeUntil = regime == Regime::Automatic ? QDateTime() : deadline(timeout, now);
}

// Every area takes its control source from the strategy and leaves any
// operator command; calendar areas take their calendar state, others keep theirs.
void ZoneModel::applyStrategy(int strategy, const QDateTime& now, ZoneEvents* events)
{
    if (strategy != m_strategy) {
        m_strategy = strategy;
        if (strategy >= 0)
            events->append(event(StrategyEvent, {strategy}));
    }
    for (const AreaConfig& area : m_config->areas()) {
        AreaLive next;
        next.controlSource = strategySource(area.id);
        const int planned = calendarState(area, next.controlSource, now);
        next.state = planned >= 0 ? planned : m_areas[area.id].state;
        updateArea(area, next, events);
    }
}

void ZoneModel::updateArea(const AreaConfig& area, const AreaLive& next, ZoneEvents* events)
{
    AreaLive& live = m_areas[area.id];
    if (next.controlSource != live.controlSource)
        events->append(event(AreaControlSourceEvent, {area.id, next.controlSource}));
    if (next.state != live.state || next.special != live.special)
        events->append(event(AreaStateEvent, {area.id, next.state, next.special}));
    live = next;
}

void ZoneModel::holdArea(const AreaConfig& area, int state, int special, int timeout,
                         const QDateTime& now, ZoneEvents* events)
{
    AreaLive next;
    next.controlSource = Operator;
    next.state = state;
    next.special = special;
    next.held = true;
    next.heldUntil = deadline(timeout, now);
    updateArea(area, next, events);
}

// The calendar's strategy when it runs and names a known one, else the default.
int ZoneModel::automaticStrategy(const QDateTime& now) const
{
    if (m_runCalendar) {
        const int planned = m_config->calendar().activeAt(now);
        if (m_config->strategy(planned))
            return planned;
    }
    return m_config->defaultStrategy();
}

int ZoneModel::strategySource(int area) const
{
    const StrategyConfig* strategy = m_config->strategy(m_strategy);
    return strategy ? strategy->areaSources.value(area, NotControlled) : NotControlled;
}

int ZoneModel::calendarState(const AreaConfig& area, int source, const QDateTime& now) const
{
    if (!m_runCalendar || source != Calendar)
        return -1;
    const int planned = area.calendar.activeAt(now);
    return area.states.contains(planned) ? planned : -1;
}

void ZoneModel::expireTimeouts(const QDateTime& now, ZoneEvents* events)
{
    if (m_regime != Regime::Automatic && expired(m_regimeUntil, now))
        setDefault(now, events);
    for (const AreaConfig& area : m_config->areas()) {
        const AreaLive& live = m_areas[area.id];
        if (live.held && expired(live.heldUntil, now))
            setAreaDefault(area.id, now, events);
    }
}

void ZoneModel::driveCalendars(const QDateTime& now, ZoneEvents* events)
{
    if (m_regime == Regime::Automatic) {
        const int planned = m_config->calendar().activeAt(now);
        if (planned != m_strategy && m_config->strategy(planned))
            applyStrategy(planned, now, events);
    }
    for (const AreaConfig& area : m_config->areas()) {
        const AreaLive& live = m_areas[area.id];
        if (live.held)
            continue;
        const int planned = calendarState(area, live.controlSource, now);
        if (planned >= 0 && planned != live.state) {
            AreaLive next = live;
            next.state = planned;
            updateArea(area, next, events);
        }
    }
}

} // namespace Service
