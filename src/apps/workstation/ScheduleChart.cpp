#include "ScheduleChart.h"

#include "ProtocolWords.h"
#include "ToolTips.h"

#include <QHelpEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QPolygon>

#include <cmath>

namespace Velmora {

using Velmora::PlanInterval;
using Velmora::PlanTimeline;
using Velmora::SchedulePreview;

namespace {

constexpr int Minutes = SchedulePreview::MinutesPerDay;
constexpr int Margin = 6;
constexpr int BandGap = 6;
constexpr int BarInset = 2;

const QColor NoPlanBase(236, 236, 236);
const QColor NoPlanHatch(150, 150, 150);
const QColor MissingBase(255, 235, 238);
const QColor MissingHatch(229, 115, 115);
const QColor MissingText(183, 28, 28);
const QColor NowColour(21, 101, 192);
const QColor Warning(239, 108, 0);
const QColor WarningLight(255, 224, 178);

QString clockText(int minute)
{
    return QStringLiteral("%1:%2").arg(minute / 60, 2, 10, QLatin1Char('0')).arg(minute % 60, 2, 10, QLatin1Char('0'));
}

// Golden-ratio steps keep neighbouring ids apart in hue; the id alone picks
// the colour, so a state looks the same on every row and every redraw.
QColor planColour(int id, bool strategy)
{
    const qreal hue = std::fmod(0.13 + id * 0.618033988749895, 1.0);
    return strategy ? QColor::fromHsvF(hue, 0.5, 0.92) : QColor::fromHsvF(hue, 0.33, 0.97);
}

void fillNoPlan(QPainter& painter, const QRect& rect, bool missing)
{
    painter.fillRect(rect, missing ? MissingBase : NoPlanBase);
    const QBrush hatch = missing ? QBrush(MissingHatch, Qt::DiagCrossPattern) : QBrush(NoPlanHatch, Qt::BDiagPattern);
    painter.fillRect(rect, hatch);
}

void paintDiamond(QPainter& painter, const QPoint& centre, int half)
{
    const QPolygon diamond(QVector<QPoint>{centre + QPoint(0, -half), centre + QPoint(half, 0),
                                           centre + QPoint(0, half), centre + QPoint(-half, 0)});
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Warning.darker(170), 1));
    painter.setBrush(Warning);
    painter.drawPolygon(diamond);
    painter.restore();
}

} // namespace

ScheduleChart::ScheduleChart(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("scheduleChart"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    relayout();
}

void ScheduleChart::setPreview(const SchedulePreview& preview)
{
    m_preview = preview;
    relayout();
}

const SchedulePreview& ScheduleChart::preview() const
{
    return m_preview;
}

void ScheduleChart::setNowMinute(int minute)
{
    if (minute == m_now)
        return;
    m_now = minute;
    update();
}

int ScheduleChart::nowMinute() const
{
    return m_now;
}

void ScheduleChart::setLiveStrategy(int strategy, int controlSource)
{
    m_liveStrategy = {strategy, controlSource};
    update();
}

void ScheduleChart::setLiveArea(int areaId, int state, int controlSource)
{
    m_liveAreas.insert(areaId, {state, controlSource});
    update();
}

void ScheduleChart::clearLive()
{
    m_liveStrategy = Live();
    m_liveAreas.clear();
    update();
}

void ScheduleChart::setActual(const PlanTimeline& strategies, const QHash<int, PlanTimeline>& areas)
{
    m_showsActual = true;
    m_actualStrategies = strategies;
    m_actualAreas = areas;
    relayout();
}

void ScheduleChart::clearActual()
{
    m_showsActual = false;
    m_actualStrategies.clear();
    m_actualAreas.clear();
    relayout();
}

const PlanTimeline* ScheduleChart::actualOf(int row) const
{
    if (!m_showsActual || row < 0 || row >= rowCount())
        return nullptr;
    if (row == StrategyRow)
        return &m_actualStrategies;
    const auto it = m_actualAreas.constFind(m_preview.areas().at(row - 1).id);
    return it == m_actualAreas.constEnd() ? nullptr : &*it;
}

bool ScheduleChart::inActualLane(int row, const QPoint& pos) const
{
    return m_showsActual && row >= 0 && pos.y() >= rowRect(row).top() + laneHeight();
}

const PlanInterval* ScheduleChart::actualIntervalAt(const QPoint& pos) const
{
    const int row = rowAt(pos);
    const PlanTimeline* timeline = inActualLane(row, pos) ? actualOf(row) : nullptr;
    const int minute = minuteAt(pos.x());
    return timeline && minute >= 0 ? SchedulePreview::intervalAt(*timeline, minute) : nullptr;
}

int ScheduleChart::rowCount() const
{
    return m_preview.isNull() ? 0 : 1 + m_preview.areas().size();
}

int ScheduleChart::rowAt(const QPoint& pos) const
{
    if (m_preview.isNull())
        return -1;
    const int y = pos.y();
    const int pinned = pinnedTop();
    if (y >= pinned + headerHeight() && y < pinned + headerHeight() + bandHeight())
        return StrategyRow;
    if (y < pinned + areasTop()) // the header, the gap, or areas scrolled under the band
        return -1;
    const int row = 1 + (y - areasTop()) / rowHeight();
    return row < rowCount() ? row : -1;
}

QRect ScheduleChart::rowRect(int row) const
{
    if (row < 0 || row >= rowCount())
        return QRect();
    if (row == StrategyRow)
        return QRect(0, pinnedTop() + headerHeight(), width(), bandHeight());
    return QRect(0, areasTop() + (row - 1) * rowHeight(), width(), rowHeight());
}

int ScheduleChart::xForMinute(int minute) const
{
    return axisLeft() + qRound(minute * double(axisRight() - axisLeft()) / Minutes);
}

int ScheduleChart::minuteAt(int x) const
{
    if (x < axisLeft() || x > axisRight())
        return -1;
    return qBound(0, int((x - axisLeft()) * double(Minutes) / (axisRight() - axisLeft())), Minutes - 1);
}

const PlanInterval* ScheduleChart::intervalAt(const QPoint& pos) const
{
    const int row = rowAt(pos);
    const PlanTimeline* timeline = inActualLane(row, pos) ? nullptr : timelineOf(row);
    const int minute = minuteAt(pos.x());
    return timeline && minute >= 0 ? SchedulePreview::intervalAt(*timeline, minute) : nullptr;
}

QVector<int> ScheduleChart::mismatches() const
{
    QVector<int> rows;
    for (int row = 0; row < rowCount(); ++row) {
        if (differs(row))
            rows.append(row);
    }
    return rows;
}

QString ScheduleChart::toolTipAt(const QPoint& pos) const
{
    const int row = rowAt(pos);
    if (row < 0)
        return QString();
    QStringList lines;
    if (row == StrategyRow) {
        lines << tr("Zone %1 \"%2\": strategy").arg(m_preview.zoneId()).arg(m_preview.zoneName());
    } else {
        const SchedulePreview::Area& area = m_preview.areas().at(row - 1);
        lines << (area.name.isEmpty() ? tr("Area %1").arg(area.id) : tr("Area %1 \"%2\"").arg(area.id).arg(area.name));
    }
    const PlanInterval* interval = intervalAt(pos);
    if (interval)
        lines << intervalText(row, *interval);
    if (const PlanInterval* recorded = actualIntervalAt(pos)) {
        const QString what = recorded->hasPlan() ? planText(row, recorded->id) : tr("nothing recorded");
        lines << tr("Recorded %1–%2  %3").arg(clockText(recorded->start), clockText(recorded->end), what);
    }
    // The live value belongs to the present: told on the label, at the
    // marker and over the interval that holds now.
    const bool atNow = pos.x() < axisLeft() || qAbs(pos.x() - xForMinute(m_now)) <= rowHeight() / 2
        || (interval && interval->start <= m_now && m_now < interval->end);
    if (atNow && differs(row))
        lines << liveText(row);
    return lines.join(QLatin1Char('\n'));
}

QSize ScheduleChart::sizeHint() const
{
    return QSize(m_labelWidth + 24 * 40 + m_lineHeight + Margin, contentHeight());
}

QSize ScheduleChart::minimumSizeHint() const
{
    return QSize(m_labelWidth + 24 * 12 + m_lineHeight + Margin, contentHeight());
}

bool ScheduleChart::event(QEvent* event)
{
    // Scrolling moves the chart in its view: the pinned header must be drawn anew.
    if (event->type() == QEvent::Move)
        update();
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    return answerToolTip(event, toolTipAt(static_cast<QHelpEvent*>(event)->pos()), this);
}

void ScheduleChart::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange)
        relayout();
    QWidget::changeEvent(event);
}

void ScheduleChart::relayout()
{
    m_lineHeight = fontMetrics().height();
    QFont bold = font();
    bold.setBold(true);
    int widest = QFontMetrics(bold).horizontalAdvance(rowLabel(StrategyRow));
    for (int row = 1; row < rowCount(); ++row)
        widest = qMax(widest, fontMetrics().horizontalAdvance(rowLabel(row)));
    m_labelWidth = qBound(80, widest + 2 * Margin + 8, 280);
    updateGeometry();
    update();
}

int ScheduleChart::pinnedTop() const
{
    // In a scroll area the chart moves up as the user scrolls down.
    return parentWidget() ? qMax(0, -y()) : 0;
}

int ScheduleChart::headerHeight() const
{
    // The legend line, then the hours.
    return 2 * m_lineHeight + 8;
}

int ScheduleChart::bandHeight() const
{
    return m_showsActual ? 2 * laneHeight() + 6 : m_lineHeight + 12;
}

int ScheduleChart::areasTop() const
{
    return headerHeight() + bandHeight() + BandGap;
}

int ScheduleChart::laneHeight() const
{
    return m_lineHeight + 6;
}

int ScheduleChart::rowHeight() const
{
    return m_showsActual ? 2 * laneHeight() : laneHeight();
}

int ScheduleChart::contentHeight() const
{
    return rowCount() == 0 ? 0 : areasTop() + (rowCount() - 1) * rowHeight() + Margin;
}

int ScheduleChart::axisLeft() const
{
    return m_labelWidth;
}

int ScheduleChart::axisRight() const
{
    // Room for the half of the "24" label that stands beyond the axis.
    return qMax(axisLeft() + 1, width() - m_lineHeight - Margin);
}

const PlanTimeline* ScheduleChart::timelineOf(int row) const
{
    if (row < 0 || row >= rowCount())
        return nullptr;
    return row == StrategyRow ? &m_preview.strategies() : &m_preview.areas().at(row - 1).plan;
}

ScheduleChart::Live ScheduleChart::liveOf(int row) const
{
    if (row == StrategyRow)
        return m_liveStrategy;
    return m_liveAreas.value(m_preview.areas().at(row - 1).id);
}

bool ScheduleChart::differs(int row) const
{
    // The service follows a change of plan at its next look at the calendar,
    // a moment after the minute begins: within that minute the value planned
    // before is no departure yet.
    return departsAt(row, m_now) && (m_now == 0 || departsAt(row, m_now - 1));
}

bool ScheduleChart::departsAt(int row, int minute) const
{
    const PlanTimeline* timeline = timelineOf(row);
    if (minute < 0 || !timeline)
        return false;
    const Live live = liveOf(row);
    const PlanInterval* planned = SchedulePreview::intervalAt(*timeline, minute);
    // Without a plan the service keeps what it runs: nothing to differ from.
    return live.value >= 0 && planned && planned->hasPlan() && planned->id != live.value;
}

QString ScheduleChart::rowLabel(int row) const
{
    if (row == StrategyRow)
        return tr("Strategy");
    const SchedulePreview::Area& area = m_preview.areas().at(row - 1);
    return area.name.isEmpty() ? QString::number(area.id) : QStringLiteral("%1 %2").arg(area.id).arg(area.name);
}

QString ScheduleChart::planName(int row, int id) const
{
    if (row == StrategyRow) {
        const SchedulePreview::Strategy* strategy = m_preview.strategy(id);
        return strategy ? strategy->name : QString();
    }
    for (const SchedulePreview::State& state : m_preview.areas().at(row - 1).states) {
        if (state.id == id)
            return state.name;
    }
    return QString();
}

QString ScheduleChart::planText(int row, int id) const
{
    const QString name = planName(row, id);
    if (row == StrategyRow)
        return name.isEmpty() ? tr("strategy %1").arg(id) : tr("strategy %1 \"%2\"").arg(id).arg(name);
    return name.isEmpty() ? tr("state %1").arg(id) : tr("state %1 \"%2\"").arg(id).arg(name);
}

QString ScheduleChart::barText(int row, const PlanInterval& interval) const
{
    if (interval.hasPlan()) {
        const QString name = planName(row, interval.id);
        return name.isEmpty() ? QString::number(interval.id) : QStringLiteral("%1 %2").arg(interval.id).arg(name);
    }
    if (interval.missing < 0)
        return QString();
    return row == StrategyRow ? tr("strategy %1 missing").arg(interval.missing)
                              : tr("state %1 missing").arg(interval.missing);
}

QString ScheduleChart::intervalText(int row, const PlanInterval& interval) const
{
    QString plan;
    if (interval.hasPlan())
        plan = planText(row, interval.id);
    else if (interval.missing >= 0)
        plan = tr("No plan: %1").arg(barText(row, interval));
    else
        plan = tr("No plan");
    return tr("%1–%2  %3").arg(clockText(interval.start), clockText(interval.end), plan);
}

QString ScheduleChart::liveText(int row) const
{
    const Live live = liveOf(row);
    const PlanInterval* planned = SchedulePreview::intervalAt(*timelineOf(row), m_now);
    QString text = tr("Live: %1; plan: %2").arg(planText(row, live.value), planText(row, planned->id));
    if (live.source >= 0)
        text += QLatin1Char('\n')
            + tr("Live control source: %1").arg(ProtocolWords::controlSourceWithCode(live.source));
    return text;
}

void ScheduleChart::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const QRect exposed = event->rect();
    painter.fillRect(exposed, palette().color(QPalette::Base));
    if (m_preview.isNull())
        return;
    // The hours and the strategy band stay at the top of the view; the areas
    // scroll under them. Only the rows the event exposes are painted.
    const int pinned = pinnedTop();
    const int areasFrom = qMax(exposed.top(), pinned + areasTop());
    const int firstArea = 1 + qMax(0, (areasFrom - areasTop()) / rowHeight());
    const int lastArea = qMin(rowCount() - 1, 1 + (exposed.bottom() - areasTop()) / rowHeight());
    const int bottom = qMin(exposed.bottom(), contentHeight() - Margin);
    painter.save();
    painter.setClipRect(QRect(0, pinned + areasTop(), width(), height()));
    for (int row = firstArea; row <= lastArea; ++row)
        paintRow(painter, row);
    if (areasFrom < bottom) {
        paintGrid(painter, areasFrom, bottom);
        paintNow(painter, areasFrom, bottom, firstArea, lastArea);
    }
    painter.restore();

    const int bandBottom = pinned + areasTop() - BandGap / 2;
    painter.fillRect(QRect(0, pinned, width(), areasTop()), palette().color(QPalette::Base));
    painter.save();
    painter.translate(0, pinned);
    paintLegend(painter);
    paintHours(painter);
    painter.restore();
    paintRow(painter, StrategyRow);
    paintGrid(painter, pinned + headerHeight(), bandBottom);
    paintNow(painter, pinned + headerHeight(), bandBottom, StrategyRow, StrategyRow);
}

void ScheduleChart::paintLegend(QPainter& painter) const
{
    const QFontMetrics metrics = fontMetrics();
    const int top = 3;
    const int height = m_lineHeight - 4;
    int x = Margin;
    auto entry = [&](const QString& text, const auto& drawSwatch) {
        const QRect swatch(x, top, 2 * height, height);
        drawSwatch(swatch);
        x = swatch.right() + 6;
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(QRect(x, 1, metrics.horizontalAdvance(text) + 2, m_lineHeight), Qt::AlignVCenter, text);
        x += metrics.horizontalAdvance(text) + 18;
    };
    entry(tr("No plan"), [&](const QRect& r) { fillNoPlan(painter, r, false); });
    entry(tr("Strategy or state missing from the file"), [&](const QRect& r) { fillNoPlan(painter, r, true); });
    entry(tr("Now"), [&](const QRect& r) {
        painter.setPen(QPen(NowColour, 2));
        painter.drawLine(r.center().x(), r.top(), r.center().x(), r.bottom());
    });
    entry(tr("Live state differs from the plan"),
          [&](const QRect& r) { paintDiamond(painter, r.center(), r.height() / 2); });
    if (m_showsActual) {
        entry(tr("Upper bar: plan; lower bar: as recorded"), [&](const QRect& r) {
            painter.fillRect(r.adjusted(0, 0, 0, -r.height() / 2 - 1), planColour(1, false));
            painter.fillRect(r.adjusted(0, r.height() / 2, 0, 0), planColour(2, false));
        });
    }
}

void ScheduleChart::paintHours(QPainter& painter) const
{
    const QFontMetrics metrics = fontMetrics();
    const double perHour = (axisRight() - axisLeft()) / 24.0;
    const bool longLabels = perHour >= metrics.horizontalAdvance(QStringLiteral("00:00")) + 8;
    const int labelWidth = metrics.horizontalAdvance(longLabels ? QStringLiteral("00:00") : QStringLiteral("00")) + 6;
    int step = 1;
    while (step < 12 && perHour * step < labelWidth)
        step = step < 4 ? step + 1 : (step == 4 ? 6 : 12);
    const int top = m_lineHeight + 4;
    painter.setPen(palette().color(QPalette::Text));
    for (int hour = 0; hour <= 24; hour += step) {
        const int x = xForMinute(hour * 60);
        const QString text = longLabels ? clockText(hour * 60) : clockText(hour * 60).left(2);
        painter.drawText(QRect(x - labelWidth, top, 2 * labelWidth, m_lineHeight), Qt::AlignCenter, text);
    }
    if (m_now >= 0) {
        const int x = xForMinute(m_now);
        const int bottom = headerHeight() - 1;
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(NowColour);
        painter.drawPolygon(QPolygon(QVector<QPoint>{{x - 5, bottom - 6}, {x + 5, bottom - 6}, {x, bottom}}));
        painter.restore();
    }
}

void ScheduleChart::paintRow(QPainter& painter, int row) const
{
    const QRect rect = rowRect(row);
    const bool band = row == StrategyRow;
    const QRect label(Margin / 2, rect.top() + 1, m_labelWidth - Margin, rect.height() - 2);
    painter.fillRect(label, differs(row) ? WarningLight : palette().color(QPalette::Base));
    QFont font = this->font();
    font.setBold(band);
    painter.setFont(font);
    painter.setPen(palette().color(QPalette::Text));
    const QRect text = label.adjusted(Margin, 0, -Margin / 2, 0);
    painter.drawText(text, Qt::AlignVCenter | Qt::AlignLeft,
                     painter.fontMetrics().elidedText(rowLabel(row), Qt::ElideRight, text.width()));
    if (!m_showsActual) {
        paintBars(painter, row, *timelineOf(row), rect.top(), rect.height());
    } else {
        paintBars(painter, row, *timelineOf(row), rect.top(), laneHeight());
        if (const PlanTimeline* actual = actualOf(row))
            paintBars(painter, row, *actual, rect.top() + laneHeight(), laneHeight());
    }
    painter.setFont(this->font());
}

void ScheduleChart::paintBars(QPainter& painter, int row, const PlanTimeline& timeline, int top, int height) const
{
    for (const PlanInterval& interval : timeline) {
        const int left = xForMinute(interval.start);
        const int right = qMax(left + 1, xForMinute(interval.end));
        paintInterval(painter, row, QRect(left, top + BarInset, right - left, height - 2 * BarInset), interval);
    }
}

void ScheduleChart::paintInterval(QPainter& painter, int row, const QRect& bar, const PlanInterval& interval) const
{
    if (interval.hasPlan())
        painter.fillRect(bar, planColour(interval.id, row == StrategyRow));
    else
        fillNoPlan(painter, bar, interval.missing >= 0);
    if (interval.start > 0) {
        // A thin gap tells two neighbouring intervals apart even in like colours.
        painter.setPen(palette().color(QPalette::Base));
        painter.drawLine(bar.topLeft(), bar.bottomLeft());
    }
    const QString text = barText(row, interval);
    const QRect room = bar.adjusted(4, 0, -2, 0);
    if (text.isEmpty() || room.width() < 2 * m_lineHeight)
        return;
    painter.setPen(interval.hasPlan() ? QColor(Qt::black) : MissingText);
    painter.drawText(room, Qt::AlignVCenter | Qt::AlignLeft,
                     painter.fontMetrics().elidedText(text, Qt::ElideRight, room.width()));
}

void ScheduleChart::paintGrid(QPainter& painter, int top, int bottom) const
{
    for (int hour = 0; hour <= 24; ++hour) {
        painter.setPen(QColor(0, 0, 0, hour % 6 == 0 ? 80 : 28));
        const int x = xForMinute(hour * 60);
        painter.drawLine(x, top, x, bottom);
    }
}

void ScheduleChart::paintNow(QPainter& painter, int top, int bottom, int firstRow, int lastRow) const
{
    if (m_now < 0)
        return;
    const int x = xForMinute(m_now);
    painter.setPen(QPen(NowColour, 2));
    painter.drawLine(x, top, x, bottom);
    for (int row = firstRow; row <= lastRow; ++row) {
        if (differs(row))
            paintDiamond(painter, QPoint(x, rowRect(row).center().y()), rowHeight() / 2 - 1);
    }
}

} // namespace Velmora
