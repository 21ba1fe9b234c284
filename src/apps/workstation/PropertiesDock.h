#pragma once

#include <QDockWidget>
#include <QPointer>

class QTableWidget;

// The selected object's properties, read through its meta-object: declared
// ones first, then dynamic ones (hashInvalid, localHash, remoteHash ...).
// Live values: the window refreshes it when the object, or its zone, says
// something changed (state, link, reply, event).
class PropertiesDock : public QDockWidget
{
    Q_OBJECT
public:
    explicit PropertiesDock(QWidget* parent = nullptr);

    QObject* object() const;
    // Property names and display texts, in table order.
    static QList<QPair<QString, QString>> describe(const QObject* object);
    // Byte arrays in hex, null times and objects as dashes, points as "x, y".
    static QString valueText(const QVariant& value);

public slots:
    void setObject(QObject* object);
    void refresh();

private:
    QTableWidget* m_table;
    QPointer<QObject> m_object;
};
