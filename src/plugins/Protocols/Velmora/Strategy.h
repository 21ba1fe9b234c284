#pragma once

#include "BaseObject.h"

namespace Velmora {

// A zone strategy: which control source drives which area.
class Strategy : public BaseObject
{
    Q_OBJECT
public:
    explicit Strategy(QObject* parent = nullptr);
    Strategy(int id, const QString& name, QObject* parent = nullptr);
    ~Strategy() override;

    bool loadFromElement(const QDomElement& element, QString* error) override;
};

} // namespace Velmora
