#pragma once

#include <QObject>
#include <QScopedPointer>
#include <QVariant>

class QDomElement;

namespace Velmora {

// An object of the zone tree: an id unique within its list and a name.
class BaseObject : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int id READ id)
    Q_PROPERTY(QString name READ name)
public:
    explicit BaseObject(QObject* parent = nullptr);
    // An object read from a file: its id and name are known when it is made.
    BaseObject(int id, const QString& name, QObject* parent = nullptr);
    ~BaseObject() override;

    virtual int id() const;
    virtual QString name() const;
    // Reads id and name; false with a message when the id is missing or not a number.
    virtual bool loadFromElement(const QDomElement& element, QString* error);

    Q_INVOKABLE QVariant modelData(int column, int role);

    // The text that fails a load for an element without a valid id.
    static QString missingIdError(int line, const QString& tag);

protected:
    void setId(int id);
    void setName(const QString& name);
    // Display and edit texts shared by every model class: id, then name.
    QVariant idNameData(int column, int role) const;

private:
    class Private;
    QScopedPointer<Private> d;
};

} // namespace Velmora
