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

    // The file the objects come from, named in warnings about the list.
    void setSourceName(const QString& fileName);
    QString sourceName() const;

    // The warning for a list element whose id an earlier element of the list has.
    static void warnDuplicate(const QString& sourceName, int line, const QString& tag, int id);

private:
    QString m_sourceName;
};
