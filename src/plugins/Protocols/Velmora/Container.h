#pragma once

#include <QObject>
#include <QVariant>

namespace Velmora {
class Zone;
}

// A titled list of model objects; its objectName is the title.
class Container : public QObject
{
    Q_OBJECT
public:
    explicit Container(const QString& title, QObject* parent = nullptr);
    ~Container() override;

    Q_INVOKABLE QVariant modelData(int column, int role);
};
