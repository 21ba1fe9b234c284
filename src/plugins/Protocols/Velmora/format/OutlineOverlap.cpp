#include "OutlineOverlap.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace Velmora {
namespace Geometry {

namespace {

struct Box
{
    double left = INFINITY;
    double right = -INFINITY;
    double bottom = INFINITY;
    double top = -INFINITY;

    bool isValid() const { return std::isfinite(left) && std::isfinite(right) && std::isfinite(bottom) && std::isfinite(top); }
    bool meets(const Box& other) const
    {
        return left <= other.right && other.left <= right && bottom <= other.top && other.bottom <= top;
    }
};

Box boxOf(const QVector<QPointF>& ring)
{
    Box box;
    for (const QPointF& p : ring) {
        if (!std::isfinite(p.x()) || !std::isfinite(p.y()))
            return Box();
        box.left = std::min(box.left, p.x());
        box.right = std::max(box.right, p.x());
        box.bottom = std::min(box.bottom, p.y());
        box.top = std::max(box.top, p.y());
    }
    return box;
}

// An edge left to right; vertical edges cross no strip's middle and are left out.
struct Edge
{
    QPointF from;
    QPointF to;

    double yAt(double x) const { return from.y() + (to.y() - from.y()) * (x - from.x()) / (to.x() - from.x()); }
    bool spans(double x) const { return from.x() < x && x < to.x(); }
};

std::vector<Edge> edgesOver(const QVector<QPointF>& ring, double left, double right)
{
    std::vector<Edge> edges;
    for (int i = 0; i < ring.size(); ++i) {
        QPointF p = ring.at(i);
        QPointF q = ring.at((i + 1) % ring.size());
        if (p.x() == q.x())
            continue;
        if (p.x() > q.x())
            std::swap(p, q);
        if (q.x() > left && p.x() < right)
            edges.push_back(Edge{p, q});
    }
    return edges;
}

// Where two edges cross strictly inside both, as an x; false when they do not
// or are parallel.
bool crossingX(const Edge& a, const Edge& b, double* x)
{
    const double rx = a.to.x() - a.from.x();
    const double ry = a.to.y() - a.from.y();
    const double sx = b.to.x() - b.from.x();
    const double sy = b.to.y() - b.from.y();
    const double denominator = rx * sy - ry * sx;
    if (denominator == 0)
        return false;
    const double qx = b.from.x() - a.from.x();
    const double qy = b.from.y() - a.from.y();
    const double t = (qx * sy - qy * sx) / denominator;
    const double u = (qx * ry - qy * rx) / denominator;
    if (!(t > 0 && t < 1 && u > 0 && u < 1))
        return false;
    *x = a.from.x() + t * rx;
    return true;
}

bool startsFirst(const Edge& a, const Edge& b)
{
    return a.from.x() < b.from.x();
}

// The edges of an outline (sorted by where they start) that a vertical line
// moving right meets: only these are looked at, so a long outline costs its
// length once, not once a strip.
class SweepLine
{
public:
    explicit SweepLine(const std::vector<Edge>& sorted)
        : m_sorted(sorted)
    {
    }

    // The edges that span x and all that start before it and end after it;
    // x must not decrease from call to call.
    const std::vector<const Edge*>& at(double x)
    {
        while (m_next < m_sorted.size() && m_sorted[m_next].from.x() < x)
            m_active.push_back(&m_sorted[m_next++]);
        m_active.erase(std::remove_if(m_active.begin(), m_active.end(), [x](const Edge* e) { return e->to.x() <= x; }),
                       m_active.end());
        return m_active;
    }

private:
    const std::vector<Edge>& m_sorted;
    size_t m_next = 0;
    std::vector<const Edge*> m_active;
};

// The heights at x where the outline's edges cross, sorted: an inside run
// between each pair.
void heightsAt(const std::vector<const Edge*>& edges, double x, std::vector<double>* heights)
{
    heights->clear();
    for (const Edge* e : edges) {
        if (e->spans(x))
            heights->push_back(e->yAt(x));
    }
    std::sort(heights->begin(), heights->end());
}

// Where an edge of one outline crosses one of the other. Edges that cross
// share x values, so when the later one starts the earlier has not ended.
void addCrossings(const std::vector<Edge>& a, const std::vector<Edge>& b, double left, double right,
                  std::vector<double>* stops)
{
    SweepLine activeA(a);
    SweepLine activeB(b);
    size_t i = 0;
    size_t j = 0;
    while (i < a.size() || j < b.size()) {
        const bool fromA = j == b.size() || (i < a.size() && a[i].from.x() <= b[j].from.x());
        const Edge& e = fromA ? a[i++] : b[j++];
        // Edges that started at the same x count as started.
        const double x = std::nextafter(e.from.x(), INFINITY);
        for (const Edge* other : (fromA ? activeB : activeA).at(x)) {
            double crossing = 0;
            if (crossingX(e, *other, &crossing))
                stops->push_back(std::min(right, std::max(left, crossing)));
        }
    }
}

// The length both sets of inside runs cover.
double sharedLength(const std::vector<double>& a, const std::vector<double>& b)
{
    double length = 0;
    size_t i = 0;
    size_t j = 0;
    while (i + 1 < a.size() && j + 1 < b.size()) {
        const double low = std::max(a[i], b[j]);
        const double high = std::min(a[i + 1], b[j + 1]);
        if (high > low)
            length += high - low;
        if (a[i + 1] < b[j + 1])
            i += 2;
        else
            j += 2;
    }
    return length;
}

} // namespace

double ringArea(const QVector<QPointF>& ring)
{
    double twice = 0;
    for (int i = 0; i < ring.size(); ++i) {
        const QPointF& p = ring.at(i);
        const QPointF& q = ring.at((i + 1) % ring.size());
        twice += p.x() * q.y() - q.x() * p.y();
    }
    return std::abs(twice) / 2;
}

double intersectionArea(const QVector<QPointF>& a, const QVector<QPointF>& b)
{
    const Box boxA = boxOf(a);
    const Box boxB = boxOf(b);
    if (!boxA.isValid() || !boxB.isValid() || !boxA.meets(boxB))
        return 0;
    const double left = std::max(boxA.left, boxB.left);
    const double right = std::min(boxA.right, boxB.right);
    std::vector<Edge> edgesA = edgesOver(a, left, right);
    std::vector<Edge> edgesB = edgesOver(b, left, right);
    std::sort(edgesA.begin(), edgesA.end(), startsFirst);
    std::sort(edgesB.begin(), edgesB.end(), startsFirst);

    std::vector<double> stops{left, right};
    for (const std::vector<Edge>* edges : {&edgesA, &edgesB}) {
        for (const Edge& e : *edges) {
            stops.push_back(std::max(left, e.from.x()));
            stops.push_back(std::min(right, e.to.x()));
        }
    }
    addCrossings(edgesA, edgesB, left, right, &stops);
    std::sort(stops.begin(), stops.end());
    stops.erase(std::unique(stops.begin(), stops.end()), stops.end());

    double area = 0;
    std::vector<double> heightsA;
    std::vector<double> heightsB;
    SweepLine sweepA(edgesA);
    SweepLine sweepB(edgesB);
    for (size_t k = 0; k + 1 < stops.size(); ++k) {
        const double middle = (stops[k] + stops[k + 1]) / 2;
        heightsAt(sweepA.at(middle), middle, &heightsA);
        heightsAt(sweepB.at(middle), middle, &heightsB);
        area += (stops[k + 1] - stops[k]) * sharedLength(heightsA, heightsB);
    }
    return area;
}

QVector<OutlinePair> boxesMeeting(const QVector<QVector<QPointF>>& rings)
{
    std::vector<Box> boxes;
    Box all;
    double widths = 0;
    double heights = 0;
    int counted = 0;
    for (const QVector<QPointF>& ring : rings) {
        boxes.push_back(boxOf(ring));
        const Box& box = boxes.back();
        if (!box.isValid())
            continue;
        all = Box{std::min(all.left, box.left), std::max(all.right, box.right), std::min(all.bottom, box.bottom),
                  std::max(all.top, box.top)};
        widths += box.right - box.left;
        heights += box.top - box.bottom;
        ++counted;
    }
    QVector<OutlinePair> pairs;
    if (counted < 2)
        return pairs;

    // Cells about as large as the average box, and no more of them than boxes:
    // a box then lies in a few cells, and a cell holds a few boxes.
    const double side = std::sqrt(double(counted));
    const double cellWidth = std::max(widths / counted, (all.right - all.left) / side);
    const double cellHeight = std::max(heights / counted, (all.top - all.bottom) / side);
    const int columns = cellWidth > 0 ? std::max(1, int(std::min(side, (all.right - all.left) / cellWidth)) + 1) : 1;
    const int rows = cellHeight > 0 ? std::max(1, int(std::min(side, (all.top - all.bottom) / cellHeight)) + 1) : 1;
    auto column = [&](double x) {
        return cellWidth > 0 ? std::min(columns - 1, std::max(0, int((x - all.left) / cellWidth))) : 0;
    };
    auto row = [&](double y) {
        return cellHeight > 0 ? std::min(rows - 1, std::max(0, int((y - all.bottom) / cellHeight))) : 0;
    };

    std::vector<std::vector<int>> cells(size_t(columns) * size_t(rows));
    for (int i = 0; i < int(boxes.size()); ++i) {
        const Box& box = boxes[size_t(i)];
        if (!box.isValid())
            continue;
        for (int y = row(box.bottom); y <= row(box.top); ++y) {
            for (int x = column(box.left); x <= column(box.right); ++x)
                cells[size_t(y) * size_t(columns) + size_t(x)].push_back(i);
        }
    }
    // Two boxes share every cell their common part touches; the pair is taken
    // in the cell of that part's lower left corner only.
    for (size_t cell = 0; cell < cells.size(); ++cell) {
        const std::vector<int>& members = cells[cell];
        for (size_t m = 0; m < members.size(); ++m) {
            for (size_t n = m + 1; n < members.size(); ++n) {
                const Box& p = boxes[size_t(members[m])];
                const Box& q = boxes[size_t(members[n])];
                if (!p.meets(q))
                    continue;
                const size_t corner = size_t(row(std::max(p.bottom, q.bottom))) * size_t(columns)
                    + size_t(column(std::max(p.left, q.left)));
                if (corner == cell)
                    pairs.append(OutlinePair{std::min(members[m], members[n]), std::max(members[m], members[n])});
            }
        }
    }
    std::sort(pairs.begin(), pairs.end(), [](const OutlinePair& x, const OutlinePair& y) {
        return x.first != y.first ? x.first < y.first : x.second < y.second;
    });
    return pairs;
}

} // namespace Geometry
} // namespace Velmora
