#pragma once

#include <QDockWidget>
#include <QPointer>
#include <QTimer>

class QTableWidget;

// The selected object's properties, read through its meta-object: declared
// ones first, then dynamic ones (hashInvalid, localHash, remoteHash ...).
// Live values: refreshed on state changes and once a second.
class PropertiesDock : public QDockWidget
{
    Q_OBJECT
public:
    static constexpr int RefreshInterval = 1000;

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
    QTimer m_timer;
};
