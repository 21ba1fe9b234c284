#include "ZoneConfig.h"

#include "Velmora/format/TokenDigest.h"
#include "Velmora/format/Vocabulary.h"
#include "Velmora/format/XmlDocument.h"
#include "Velmora/format/XmlText.h"

#include <QBuffer>
#include <QDomDocument>
#include <QFile>

#include <algorithm>

namespace Service {

namespace Config = Velmora::Config;
namespace Xml = Velmora::Xml;

namespace {

bool readId(const QDomElement& element, int* id)
{
    return Config::readId(element, Xml::id, id);
}

QString missingId(const QDomElement& element)
{
    return QStringLiteral("line %1 element %2: missing attribute id")
        .arg(element.lineNumber())
        .arg(element.tagName());
}

} // namespace

bool ZoneConfig::load(const QString& path, QString* error)
{
    m_path = path;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot open %1: %2").arg(path, file.errorString());
        return false;
    }
    const QByteArray bytes = file.readAll();
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    m_digest = Velmora::tokenDigest(&buffer);
    m_base64 = bytes.toBase64();

    QDomDocument document;
    Velmora::Xml::ReadError failure;
    if (!Velmora::Xml::parseDocument(bytes, &document, &failure)) {
        *error = QStringLiteral("%1:%2:%3: %4").arg(path).arg(failure.line).arg(failure.column).arg(failure.message);
        return false;
    }
    const QDomElement root = document.documentElement();
    QString reason;
    if (!readZone(root, &reason) || !readStrategies(root, &reason) || !readAreas(root, &reason)) {
        *error = QStringLiteral("%1: %2").arg(path, reason);
        return false;
    }
    readControllers(root);
    return true;
}

bool ZoneConfig::readZone(const QDomElement& root, QString* error)
{
    if (!readId(root, &m_id)) {
        *error = missingId(root);
        return false;
    }
    m_name = root.attribute(Xml::name);
    m_calendar = Velmora::Schedule(root.firstChildElement(Xml::Calendar), Xml::strategy_id);
    return true;
}

bool ZoneConfig::readStrategies(const QDomElement& root, QString* error)
{
    const QDomElement list = root.firstChildElement(Xml::Strategies);
    for (QDomElement e = list.firstChildElement(Xml::Strategy); !e.isNull();
         e = e.nextSiblingElement(Xml::Strategy)) {
        StrategyConfig strategy;
        if (!readId(e, &strategy.id)) {
            *error = missingId(e);
            return false;
        }
        strategy.name = e.attribute(Xml::name);
        strategy.isDefault = Config::isDefault(e);
        for (QDomElement a = e.firstChildElement(Xml::Area); !a.isNull();
             a = a.nextSiblingElement(Xml::Area)) {
            int areaId;
            int source;
            if (readId(a, &areaId) && Config::readId(a, Xml::control_source, &source))
                Config::keepLater(&strategy.areaSources, areaId, source);
        }
        m_strategies.add(strategy.id, strategy);
    }
    return true;
}

bool ZoneConfig::readAreas(const QDomElement& root, QString* error)
{
    const QDomElement list = root.firstChildElement(Xml::Areas);
    for (QDomElement e = list.firstChildElement(Xml::Area); !e.isNull();
         e = e.nextSiblingElement(Xml::Area)) {
        AreaConfig area;
        if (!readId(e, &area.id)) {
            *error = missingId(e);
            return false;
        }
        area.name = e.attribute(Xml::name);
        area.controllers = Config::readIdList(Xml::firstText(e.firstChildElement(Xml::Controllers))).toVector();
        const QDomElement states = e.firstChildElement(Xml::States);
        for (QDomElement s = states.firstChildElement(Xml::State); !s.isNull();
             s = s.nextSiblingElement(Xml::State)) {
            int stateId;
            // A state without id cannot be chosen; the rest of the area still works.
            if (readId(s, &stateId))
                area.states.append(stateId);
        }
        area.calendar = Velmora::Schedule(e.firstChildElement(Xml::Calendar), Xml::state_id);
        m_areas.add(area.id, area);
    }
    return true;
}

// Controllers listed by the zone and those named by its areas.
void ZoneConfig::readControllers(const QDomElement& root)
{
    const QDomElement list = root.firstChildElement(Xml::Controllers);
    for (QDomElement e = list.firstChildElement(Xml::Controller); !e.isNull();
         e = e.nextSiblingElement(Xml::Controller)) {
        int id;
        if (readId(e, &id))
            m_controllers.append(id);
    }
    for (const AreaConfig& area : m_areas)
        m_controllers += area.controllers;
    std::sort(m_controllers.begin(), m_controllers.end());
    m_controllers.erase(std::unique(m_controllers.begin(), m_controllers.end()),
                        m_controllers.end());
}

const StrategyConfig* ZoneConfig::strategy(int id) const
{
    return m_strategies.find(id);
}

const AreaConfig* ZoneConfig::area(int id) const
{
    return m_areas.find(id);
}

bool ZoneConfig::hasController(int id) const
{
    return std::binary_search(m_controllers.cbegin(), m_controllers.cend(), id);
}

int ZoneConfig::defaultStrategy() const
{
    return Config::defaultStrategy(m_strategies);
}

} // namespace Service
