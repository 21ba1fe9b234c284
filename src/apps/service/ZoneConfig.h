#pragma once

#include "Velmora/format/ConfigReader.h"
#include "Velmora/format/Schedule.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVector>

class QDomElement;

namespace Service {

struct StrategyConfig
{
    int id = 0;
    QString name;
    bool isDefault = false;
    QHash<int, int> areaSources; // area id → control source
};

struct AreaConfig
{
    int id = 0;
    QString name;
    QVector<int> states; // file order; the first is the area's base state
    QVector<int> controllers;
    Velmora::Schedule calendar;
};

// What the service needs of one configuration file, read once at start.
class ZoneConfig
{
public:
    bool load(const QString& path, QString* error);

    int id() const { return m_id; }
    QString name() const { return m_name; }
    QString path() const { return m_path; }
    QByteArray digest() const { return m_digest; }
    QByteArray base64() const { return m_base64; }
    const QVector<int>& controllers() const { return m_controllers; }
    // File order; of two with one id the later counts, in the place of the first.
    const QVector<StrategyConfig>& strategies() const { return m_strategies.items(); }
    const QVector<AreaConfig>& areas() const { return m_areas.items(); }
    const Velmora::Schedule& calendar() const { return m_calendar; }

    const StrategyConfig* strategy(int id) const;
    const AreaConfig* area(int id) const;
    bool hasController(int id) const;
    // The strategy marked default, else the first one, else -1.
    int defaultStrategy() const;

private:
    bool readZone(const QDomElement& root, QString* error);
    bool readStrategies(const QDomElement& root, QString* error);
    bool readAreas(const QDomElement& root, QString* error);
    void readControllers(const QDomElement& root);

    int m_id = 0;
    QString m_name;
    QString m_path;
    QByteArray m_digest;
    QByteArray m_base64;
    QVector<int> m_controllers;
    Velmora::Config::IdList<StrategyConfig> m_strategies;
    Velmora::Config::IdList<AreaConfig> m_areas;
    Velmora::Schedule m_calendar;
};

} // namespace Service
