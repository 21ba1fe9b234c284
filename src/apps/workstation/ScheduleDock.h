#pragma once

#include <QDate>
#include <QDockWidget>
#include <QFileSystemWatcher>
#include <QHash>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>

#include "ServiceClock.h"

class QDateEdit;
class QLabel;
class QScrollArea;

namespace Velmora {

class ScheduleChart;
class SchedulePreview;
namespace Xml {
struct ReadError;
}

// The chosen day's plan of one zone, drawn by ScheduleChart, with the
// service's live state marked where it departs from the plan. The plan is
// read from the zone's file whenever the day, the zone or the file changes,
// off the GUI thread; until it is there no chart shows, never the one of
// another day or file version. Live changes and the passing minutes only redraw. "Now" is the service's
// time while its time stamps come, so that a simulator's fast clock is
// followed; without a service it is this computer's.
class ScheduleDock : public QDockWidget
{
    Q_OBJECT
public:
    explicit ScheduleDock(QWidget* parent = nullptr);
    ~ScheduleDock() override;

    QObject* zone() const;
    QDate date() const;
    // The service's time while it is known, else this computer's; local time either way.
    QDateTime now() const;
    // The day it is on the clock that counts, in this computer's time zone.
    QDate today() const;
    ScheduleChart* chart() const;
    // Why no chart is shown (no zone, a file that cannot be read, no plan
    // for the day); empty while the chart shows.
    QString message() const;

public slots:
    // The zone whose plan is shown; null shows none.
    void setZone(QObject* zone);
    void setDate(const QDate& date);
    // A zone or an area reported new live values.
    void objectStateChanged(const QObject* object);
    // A time stamp of the service's (a reply's, an event's, the link's).
    void serviceTime(const QDateTime& stamp);
    // The service is gone: back to this computer's clock.
    void serviceLost();

private:
    QWidget* createDayBar();
    void scheduleRebuild(int delay);
    void rebuild();
    void readPlan();
    void planRead(int request, const QString& key, const Velmora::SchedulePreview& preview,
                  const Velmora::Xml::ReadError& error);
    QString planKey() const;
    void showMessage(const QString& text);
    void watchFile();
    void directoryChanged();
    void refreshLive();
    void setLiveArea(const QObject* area);
    void tick();
    bool isLive() const;

    QPointer<QObject> m_zone;
    QString m_file;
    QString m_stamp; // the file as last read: size and time
    QHash<int, QPointer<QObject>> m_areas; // by id
    QDateEdit* m_date = nullptr;
    QLabel* m_zoneLabel = nullptr;
    QLabel* m_message = nullptr;
    QScrollArea* m_scroll = nullptr;
    ScheduleChart* m_chart = nullptr;
    QTimer m_rebuildTimer;
    QTimer m_clock;
    QFileSystemWatcher m_watcher;
    QDate m_today; // as the clock last saw it, to follow midnight
    ServiceClock m_serviceClock;
    int m_request = 0;    // the plan read last asked for; older answers are dropped
    QString m_shownKey;   // file, its stamp and the day of the plan shown
    QString m_readingKey; // the same of the read under way, if any
    QThreadPool m_reader; // one read at a time
};

} // namespace Velmora
