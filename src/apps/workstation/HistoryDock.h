#pragma once

#include <QDateTime>
#include <QDockWidget>
#include <QHash>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>
#include <QVector>

#include <functional>
#include <memory>

#include "HistoryRecord.h"
#include "HistoryUrl.h"

#include "Velmora/format/SchedulePreview.h"

class QComboBox;
class QTabWidget;
class QDateEdit;
class QLabel;
class QPushButton;
class QSlider;
class QTreeWidget;

namespace Velmora {

class ScheduleChart;

class HistoryReader;

// The time line over the recorded history of the open zones: a day, a moment
// on it, steps to the previous and next change, play at ×1, ×10 and ×60. A
// chosen moment shows each zone's strategy and its areas' control source,
// state and special state as they were, read from the nearest full state and
// the changes after it; while replaying, live is paused until "Back to live".
// Beside the values, the day of one zone as planned and as recorded: the
// schedule chart with what actually ran drawn under each planned bar. Today's
// recorded bars grow as records are written, read again at most every
// DayRefreshMs; a day past is read once.
class HistoryDock : public QDockWidget
{
    Q_OBJECT
public:
    static constexpr int DayRefreshMs = 2000;

    explicit HistoryDock(QWidget* parent = nullptr);
    ~HistoryDock() override;

    struct Zone
    {
        int id = 0;
        QString name;
        QString file; // its configuration, for the day's plan
        QPointer<QObject> object; // the module's zone, which names its strategies, areas and states
    };

    void setHistory(const HistoryUrl& url);
    // Which zones the time line replays, asked at each seek: the open ones.
    void setZoneSource(const std::function<QVector<Zone>()>& zones);
    // The time of the records being written: the service's, whose time stamps they carry. Play stops there.
    void setNow(const std::function<QDateTime()>& now);
    ScheduleChart* chart() const { return m_chart; }
    // The chart's line under it: what is being read, or why it shows nothing.
    QString chartNote() const;
    bool isReplaying() const { return m_replaying; }
    QDateTime moment() const;
    const QHash<int, ZoneMoment>& moments() const { return m_moments; }
    // Whether the moment's values were the service's for the zone's file: linked on it
    // then, or no link recorded at all (as in histories written before links were).
    static bool isReported(const ZoneMoment& moment);
    // The values tree's rows, one line each: the zone, its link, its last command, then its areas.
    QStringList shownValues() const;
    QString bandText() const;

public slots:
    // Shows the zones as they were then; false when the history cannot be read.
    bool seek(const QDateTime& when);
    void stepToNextChange();
    void stepToPreviousChange();
    void backToLive();
    // New records are in the history: today's recorded day is read again soon.
    void recordsWritten();

signals:
    void replayStarted();
    void momentShown(const QDateTime& when);
    void liveResumed();

private:
    QWidget* createControls();
    QWidget* createChart(QWidget* parent);
    // What the chart shows of a zone's day: the plan and what was recorded.
    struct RecordedDay
    {
        SchedulePreview plan;
        PlanTimeline strategies;
        QHash<int, PlanTimeline> areas; // by area id
        QString error;
    };

    // The chosen zone's day, planned and recorded, read again when the zone, the day or the file changed.
    void showDay();
    QString chartKey() const;
    // On the reading thread, with a connection of its own.
    static RecordedDay readDay(const HistoryUrl& url, const Zone& zone, const QDate& day);
    // The recorded part of a day whose plan is read.
    static void readRecorded(const HistoryUrl& url, int zone, RecordedDay* read);
    void readInBackground(const std::function<RecordedDay()>& read);
    void refreshDay();
    void dayRead(int request, const RecordedDay& read);
    bool ensureReader();
    // The zones replayed are those open now; the steps to a change look for them before any moment was shown.
    void followOpenZones();
    void showMoments();
    void addZoneRows(const Zone& zone, const ZoneMoment& moment);
    void sliderMoved(int second);
    void playTick();
    qint64 dayStartMs() const;

    HistoryUrl m_url;
    std::unique_ptr<HistoryReader> m_reader;
    std::function<QVector<Zone>()> m_zoneSource;
    std::function<QDateTime()> m_now = &QDateTime::currentDateTime;
    QVector<Zone> m_zones;
    QString m_chartKey;
    int m_dayRequest = 0;
    QThreadPool m_dayReader; // one day at a time
    QHash<int, ZoneMoment> m_moments;
    QHash<int, HistoryRecord> m_lastCommands; // by zone, at the moment
    qint64 m_momentMs = 0;
    bool m_replaying = false;
    QTimer m_play;
    QTimer m_dayRefresh;

    QDateEdit* m_day;
    QSlider* m_slider;
    QPushButton* m_previous;
    QPushButton* m_next;
    QComboBox* m_speed;
    QPushButton* m_playButton;
    QPushButton* m_live;
    QLabel* m_band;
    QTreeWidget* m_values;
    QComboBox* m_chartZone;
    QLabel* m_chartNote;
    ScheduleChart* m_chart;
};

} // namespace Velmora
