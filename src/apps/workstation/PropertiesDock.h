#pragma once

#include <QDateTime>
#include <QDockWidget>
#include <QHash>
#include <QPointer>
#include <QTimer>

#include "HistoryRecord.h"

class QCheckBox;
class QTableWidget;

namespace Velmora {

class LinkMonitor;

// The selected object's properties, read through its meta-object: declared
// ones first, then dynamic ones (hashInvalid, localHash, remoteHash ...).
// Values the protocol codes are shown in words with the code beside them
// ("Local (3)", a strategy or state by its name). With the link monitor known,
// a zone or an area shows one "Link" row (the zone's status and since when)
// instead of the module's link flags and times, and its live values read "not
// reported" unless the zone is linked on the loaded file. Qt's own bookkeeping
// (objectName, graphicsScene ...) only with "Show all". Live values: the
// window asks for a refresh when the object, or its zone, says something
// changed, and the table rereads at most every RefreshInterval ms. While the
// history replays, a zone or an area shows its recorded values instead, and
// a "Recorded" row says when.
class PropertiesDock : public QDockWidget
{
    Q_OBJECT
public:
    static constexpr int RefreshInterval = 100;

    struct Row
    {
        QString name;  // the property's own name
        QString label; // what the table shows for it
        QString text;  // the value in words
    };

    explicit PropertiesDock(QWidget* parent = nullptr);

    QObject* object() const;
    bool showsAll() const;
    // The values a replay shows instead of the live ones, and their moment.
    struct Recorded
    {
        QDateTime moment;
        QHash<int, Velmora::ZoneMoment> zones; // by zone id
    };

    // The rows shown for an object: Qt's internals only with showAll.
    static QList<Row> describe(QObject* object, bool showAll = false, const LinkMonitor* links = nullptr,
                               const Recorded* recorded = nullptr);
    // The zones' link status the rows follow.
    void setLinkMonitor(const LinkMonitor* links);
    // Properties that are Qt's or the map's plumbing rather than the object's own.
    static bool isInternal(const QByteArray& name);
    // The label for a property: "Control source" for controlSource.
    static QString label(const QByteArray& name);
    // A property's value in words; the object gives names to strategy and state numbers.
    static QString valueText(const QByteArray& name, const QVariant& value, QObject* object);
    // "linked since 2027-05-03 21:58:00".
    static QString linkText(const LinkMonitor* links, QObject* zone);
    // Byte arrays in hex, null times and objects as dashes, points as "x, y".
    static QString valueText(const QVariant& value);
    // The shown value of a property by its own name; null when it is not shown.
    QString shownValue(const QString& name) const;

public slots:
    void setObject(QObject* object);
    void refresh();
    // Rereads the values soon: changes in quick succession are read once.
    void scheduleRefresh();
    void setShowAll(bool all);
    void showRecorded(const Recorded& recorded);
    void showLive();

private:
    QTableWidget* m_table;
    QCheckBox* m_showAll;
    QPointer<QObject> m_object;
    QPointer<const LinkMonitor> m_links;
    bool m_replaying = false;
    Recorded m_recorded;
    QTimer m_refreshTimer;
};

} // namespace Velmora
