#pragma once

#include <QHash>
#include <QVector>
#include <QWidget>

#include "Velmora/format/SchedulePreview.h"

class QPainter;

namespace Velmora {

// One day of a zone's plan, drawn: time across from 00:00 to 24:00, the
// zone's strategies in a band on top, below it one row per area in file
// order, each interval filled in its strategy's or state's colour. Where the
// service's live value differs from the plan at the current minute, the row
// is marked at the "now" line. With a recorded day given, every row carries
// a second bar under the plan: what actually ran. Only the rows a paint event
// exposes are drawn, so a zone of a thousand areas scrolls as lightly as a
// small one.
class ScheduleChart : public QWidget
{
    Q_OBJECT
public:
    // Row 0 is the strategy band; the areas follow from 1 in file order.
    static constexpr int StrategyRow = 0;

    explicit ScheduleChart(QWidget* parent = nullptr);

    // Shows the preview's first day; a null preview leaves the chart empty.
    void setPreview(const Velmora::SchedulePreview& preview);
    const Velmora::SchedulePreview& preview() const;

    // The minute of the shown day it is now; -1 when the day shown is not
    // today. Live values are compared with the plan only while there is a now.
    void setNowMinute(int minute);
    int nowMinute() const;
    // What the service reports, -1 for not reported.
    void setLiveStrategy(int strategy, int controlSource);
    void setLiveArea(int areaId, int state, int controlSource);
    // Nothing reported: while the zone is not linked.
    void clearLive();

    // What ran, drawn under the plan: the strategies and each area's states
    // (by area id); intervals without an id had nothing recorded.
    void setActual(const Velmora::PlanTimeline& strategies, const QHash<int, Velmora::PlanTimeline>& areas);
    void clearActual();
    bool showsActual() const { return m_showsActual; }
    // The recorded interval under a point: null off the lower bars.
    const Velmora::PlanInterval* actualIntervalAt(const QPoint& pos) const;

    // The band and one row per area.
    int rowCount() const;
    // The row under a point, label included; -1 in the header, between the
    // band and the areas, and below the last row. The header and the band are
    // pinned to the top of the view when the chart is scrolled.
    int rowAt(const QPoint& pos) const;
    QRect rowRect(int row) const;
    // The x of a minute on the time axis, and the minute of an x (-1 off the axis).
    int xForMinute(int minute) const;
    int minuteAt(int x) const;
    // The planned interval under a point; null off the time axis or outside the rows.
    const Velmora::PlanInterval* intervalAt(const QPoint& pos) const;
    // The rows whose live value differs from their plan at the now minute.
    QVector<int> mismatches() const;
    // What hovering a point tells: the row, the interval's times and plan,
    // and the live value where it differs from the plan at now.
    QString toolTipAt(const QPoint& pos) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    struct Live
    {
        int value = -1;
        int source = -1;
    };

    void relayout();
    // How far the chart is scrolled: where the pinned header starts.
    int pinnedTop() const;
    int headerHeight() const;
    int bandHeight() const;
    int areasTop() const;
    int rowHeight() const;
    // One bar's height: a row holds one, two with the recorded day.
    int laneHeight() const;
    bool inActualLane(int row, const QPoint& pos) const;
    const Velmora::PlanTimeline* actualOf(int row) const;
    void paintBars(QPainter& painter, int row, const Velmora::PlanTimeline& timeline, int top, int height) const;
    int contentHeight() const;
    int axisLeft() const;
    int axisRight() const;

    const Velmora::PlanTimeline* timelineOf(int row) const;
    Live liveOf(int row) const;
    bool differs(int row) const;
    bool departsAt(int row, int minute) const;
    QString rowLabel(int row) const;
    QString planName(int row, int id) const;
    QString planText(int row, int id) const;
    QString barText(int row, const Velmora::PlanInterval& interval) const;
    QString intervalText(int row, const Velmora::PlanInterval& interval) const;
    QString liveText(int row) const;

    void paintLegend(QPainter& painter) const;
    void paintHours(QPainter& painter) const;
    void paintRow(QPainter& painter, int row) const;
    void paintInterval(QPainter& painter, int row, const QRect& bar, const Velmora::PlanInterval& interval) const;
    void paintGrid(QPainter& painter, int top, int bottom) const;
    void paintNow(QPainter& painter, int top, int bottom, int firstRow, int lastRow) const;

    Velmora::SchedulePreview m_preview;
    int m_now = -1;
    Live m_liveStrategy;
    QHash<int, Live> m_liveAreas;
    bool m_showsActual = false;
    Velmora::PlanTimeline m_actualStrategies;
    QHash<int, Velmora::PlanTimeline> m_actualAreas;
    int m_lineHeight = 16;
    int m_labelWidth = 120;
};

} // namespace Velmora
