#include "ZoneReading.h"

#include <QDomElement>

#include "BaseObject.h"
#include "format/ConfigReader.h"
#include "format/GeometryText.h"
#include "format/Vocabulary.h"
#include "format/XmlText.h"

namespace Velmora {

namespace {

// A string of its own: one shared with a document would keep the document's
// memory from going back to the system after the document is freed.
QString ownCopy(const QString& text)
{
    return text.isNull() ? QString() : QString(text.constData(), text.size());
}

// A Geometry text that is no point list gives no outline; it never fails a load.
QVector<QPointF> readOutline(const QString& text)
{
    QVector<QPointF> points;
    Geometry::parsePoints(text, &points);
    return points;
}

} // namespace

ZoneReading::ZoneReading(const QString& sourceName)
    : m_sourceName(sourceName)
{
}

bool ZoneReading::root(const QStringRef& id, const QString& name, int line, const QString& tag)
{
    if (!Config::readId(id, &m_zone.id)) {
        m_rootError = BaseObject::missingIdError(line, tag);
        return false;
    }
    m_zone.hasId = true;
    m_zone.name = name;
    return true;
}

void ZoneReading::zoneOutline(const QString& text)
{
    m_zone.outline = readOutline(text);
}

bool ZoneReading::readObject(const QStringRef& id, const QString& name, int line, QLatin1String tag,
                             ObjectDescription* object, List* list)
{
    if (!Config::readId(id, &object->id)) {
        list->error = BaseObject::missingIdError(line, tag);
        return false;
    }
    object->name = name;
    return true;
}

void ZoneReading::noteDuplicate(QSet<int>* ids, QStringList* warnings, int id, int line, QLatin1String tag)
{
    const int before = ids->size();
    ids->insert(id);
    if (ids->size() == before) {
        *warnings << QStringLiteral("%1: line %2 element:%3. Duplicate id %4; the later element is used")
                              .arg(m_sourceName, QString::number(line), tag, QString::number(uint(id)));
    }
}

void ZoneReading::controller(const QStringRef& id, const QString& name, int line)
{
    ObjectDescription controller;
    if (m_controllers.failed() || !readObject(id, name, line, Xml::Controller, &controller, &m_controllers))
        return;
    noteDuplicate(&m_controllers.ids, &m_controllers.warnings, controller.id, line, Xml::Controller);
    m_zone.controllers.append(controller);
}

bool ZoneReading::beginArea(const QStringRef& id, const QString& name, int line)
{
    ObjectDescription area;
    if (m_areas.failed() || !readObject(id, name, line, Xml::Area, &area, &m_areas))
        return false;
    m_zone.areas.append(AreaDescription());
    m_zone.areas.last().id = area.id;
    m_zone.areas.last().name = area.name;
    m_areaLine = line;
    m_stateIds.clear();
    m_statesEnded = false;
    return true;
}

void ZoneReading::areaOutline(const QString& text)
{
    m_zone.areas.last().outline = readOutline(text);
}

void ZoneReading::areaControllers(const QStringRef& text)
{
    m_zone.areas.last().controllers = Config::readIdList(text);
}

void ZoneReading::state(const QStringRef& id, const QString& name, int line)
{
    if (m_statesEnded)
        return;
    AreaDescription& area = m_zone.areas.last();
    ObjectDescription state;
    if (!Config::readId(id, &state.id)) {
        // A bad state ends the area's states; the area still loads.
        m_statesEnded = true;
        m_areas.warnings << QStringLiteral("Object: Velmora::Area: id:%1. Invalid states.").arg(uint(area.id));
        return;
    }
    state.name = name;
    noteDuplicate(&m_stateIds, &m_areas.warnings, state.id, line, Xml::State);
    area.states.append(state);
}

void ZoneReading::endArea()
{
    noteDuplicate(&m_areas.ids, &m_areas.warnings, m_zone.areas.last().id, m_areaLine, Xml::Area);
}

void ZoneReading::strategy(const QStringRef& id, const QString& name, int line)
{
    ObjectDescription strategy;
    if (m_strategies.failed() || !readObject(id, name, line, Xml::Strategy, &strategy, &m_strategies))
        return;
    noteDuplicate(&m_strategies.ids, &m_strategies.warnings, strategy.id, line, Xml::Strategy);
    m_zone.strategies.append(strategy);
}

void ZoneReading::deriveControllers()
{
    QSet<int> known;
    for (const AreaDescription& area : qAsConst(m_zone.areas)) {
        for (int id : area.controllers) {
            if (known.contains(id))
                continue;
            known.insert(id);
            m_zone.controllers.append(ObjectDescription{id, QString()});
        }
    }
}

ZoneDescription ZoneReading::finish()
{
    if (!m_zone.hasId) {
        m_zone.error = m_rootError;
        return m_zone;
    }
    // The model reads its lists in this order, whatever the file's, and stops
    // at the first that fails.
    m_zone.warnings = m_controllers.warnings;
    if (m_controllers.failed()) {
        m_zone.error = m_controllers.error;
        m_zone.areas.clear();
        m_zone.strategies.clear();
        return m_zone;
    }
    m_zone.warnings += m_areas.warnings;
    if (m_areas.failed()) {
        m_zone.error = m_areas.error;
        m_zone.strategies.clear();
        return m_zone;
    }
    // A file without a Controllers list has the controllers its areas name.
    if (m_zone.controllers.isEmpty())
        deriveControllers();
    m_zone.warnings += m_strategies.warnings;
    m_zone.error = m_strategies.error;
    return m_zone;
}

void ZoneReading::readArea(const QDomElement& area)
{
    const QString id = area.attribute(Xml::id);
    if (!beginArea(QStringRef(&id), ownCopy(area.attribute(Xml::name)), area.lineNumber()))
        return;
    const QDomElement geometry = area.firstChildElement(Xml::Geometry);
    if (!geometry.isNull())
        areaOutline(Xml::firstText(geometry));
    for (QDomElement state = area.firstChildElement(Xml::States).firstChildElement(Xml::State); !state.isNull();
         state = state.nextSiblingElement(Xml::State)) {
        const QString stateId = state.attribute(Xml::id);
        this->state(QStringRef(&stateId), ownCopy(state.attribute(Xml::name)), state.lineNumber());
    }
    const QString controllers = Xml::firstText(area.firstChildElement(Xml::Controllers));
    areaControllers(QStringRef(&controllers));
    endArea();
}

ZoneDescription ZoneReading::describe(const QDomElement& root, const QString& sourceName)
{
    ZoneReading reading(sourceName);
    const QString id = root.attribute(Xml::id);
    if (!reading.root(QStringRef(&id), ownCopy(root.attribute(Xml::name)), root.lineNumber(), root.tagName()))
        return reading.finish();
    const QDomElement geometry = root.firstChildElement(Xml::Geometry);
    if (!geometry.isNull())
        reading.zoneOutline(Xml::firstText(geometry));
    for (QDomElement controller = root.firstChildElement(Xml::Controllers).firstChildElement(Xml::Controller);
         !controller.isNull(); controller = controller.nextSiblingElement(Xml::Controller)) {
        const QString controllerId = controller.attribute(Xml::id);
        reading.controller(QStringRef(&controllerId), ownCopy(controller.attribute(Xml::name)),
                           controller.lineNumber());
    }
    for (QDomElement area = root.firstChildElement(Xml::Areas).firstChildElement(Xml::Area); !area.isNull();
         area = area.nextSiblingElement(Xml::Area))
        reading.readArea(area);
    for (QDomElement strategy = root.firstChildElement(Xml::Strategies).firstChildElement(Xml::Strategy);
         !strategy.isNull(); strategy = strategy.nextSiblingElement(Xml::Strategy)) {
        const QString strategyId = strategy.attribute(Xml::id);
        reading.strategy(QStringRef(&strategyId), ownCopy(strategy.attribute(Xml::name)), strategy.lineNumber());
    }
    return reading.finish();
}

bool ZoneReading::describeArea(const QDomElement& area, const QString& sourceName, AreaDescription* description,
                               QStringList* warnings, QString* error)
{
    ZoneReading reading(sourceName);
    reading.readArea(area);
    if (reading.m_areas.failed()) {
        *error = reading.m_areas.error;
        return false;
    }
    *description = reading.m_zone.areas.first();
    *warnings = reading.m_areas.warnings;
    return true;
}

} // namespace Velmora
