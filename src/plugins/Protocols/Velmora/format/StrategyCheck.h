#pragma once

#include "ConfigReader.h"

#include <QCoreApplication>
#include <QDomElement>
#include <QSet>
#include <QString>

namespace Velmora {

class CheckContext;

// The zone's strategies: their ids, the areas they control and with which
// control source, and which of them is the default.
class StrategyCheck
{
    Q_DECLARE_TR_FUNCTIONS(Velmora::ConfigChecker)

public:
    explicit StrategyCheck(CheckContext* context) : m_context(context) {}

    // `areas` are the ids of the zone's areas, known before strategies are read.
    void check(const QDomElement& root, const QSet<int>& areas);

    const QSet<int>& strategies() const { return m_strategies; }
    bool uses(int area) const { return m_usedAreas.contains(area); }

private:
    struct Mark
    {
        int id;
        bool isDefault;
    };
    using Marks = Config::IdList<Mark>; // as the loaders keep them

    void areasOf(const QDomElement& strategy, const QString& strategyId, const QSet<int>& areas);
    void defaults(const QDomElement& root, const QDomElement& list, const Marks& marks);

    CheckContext* m_context;
    QSet<int> m_strategies;
    QSet<int> m_usedAreas;
};

} // namespace Velmora
