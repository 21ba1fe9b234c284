#pragma once

#include "BaseObject.h"

namespace Velmora {

// A traffic controller of the zone.
class Controller : public BaseObject
{
    Q_OBJECT
public:
    explicit Controller(QObject* parent = nullptr);
    // A controller known only by its id, named in an area's controller list.
    explicit Controller(int id, QObject* parent = nullptr);
    Controller(int id, const QString& name, QObject* parent = nullptr);
    ~Controller() override;

    bool loadFromElement(const QDomElement& element, QString* error) override;

private:
    class Private;
    // Kept so controllers can grow without an ABI break; null while they have
    // nothing of their own (a zone holds tens of thousands of them).
    QScopedPointer<Private> d;
};

} // namespace Velmora
