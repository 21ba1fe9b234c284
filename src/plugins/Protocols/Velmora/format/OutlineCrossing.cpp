#include "OutlineCrossing.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace Velmora {
namespace Geometry {

namespace {

// Cross product of (a - o) and (b - o), zero when nearly collinear for the
// lengths involved: coordinates are degrees, so plain == 0 would miss rounding.
int orientation(const QPointF& o, const QPointF& a, const QPointF& b)
{
    const double ax = a.x() - o.x();
    const double ay = a.y() - o.y();
    const double bx = b.x() - o.x();
    const double by = b.y() - o.y();
    const double cross = ax * by - ay * bx;
    const double scale = std::hypot(ax, ay) * std::hypot(bx, by);
    if (std::abs(cross) <= 1e-12 * scale)
        return 0;
    return cross > 0 ? 1 : -1;
}

// p collinear with segment a-b: whether it lies on the segment.
bool withinBox(const QPointF& a, const QPointF& b, const QPointF& p)
{
    return p.x() >= std::min(a.x(), b.x()) && p.x() <= std::max(a.x(), b.x())
        && p.y() >= std::min(a.y(), b.y()) && p.y() <= std::max(a.y(), b.y());
}

bool segmentsMeet(const QPointF& a, const QPointF& b, const QPointF& c, const QPointF& d)
{
    const int o1 = orientation(a, b, c);
    const int o2 = orientation(a, b, d);
    const int o3 = orientation(c, d, a);
    const int o4 = orientation(c, d, b);
    if (o1 * o2 < 0 && o3 * o4 < 0)
        return true;
    return (o1 == 0 && withinBox(a, b, c)) || (o2 == 0 && withinBox(a, b, d))
        || (o3 == 0 && withinBox(c, d, a)) || (o4 == 0 && withinBox(c, d, b));
}

bool isFinite(const QPointF& p)
{
    return std::isfinite(p.x()) && std::isfinite(p.y());
}

// The ring's edges sorted into a uniform grid of cells by their bounding
// boxes. Edges that meet share a point, which lies in both boxes, so they
// share a cell: only edges of a common cell need the exact test. Edges with a
// coordinate that is no finite number have no box; they are tested against
// every edge.
class EdgeGrid
{
public:
    explicit EdgeGrid(const QVector<QPointF>& ring)
        : m_ring(ring)
        , m_n(ring.size())
    {
        for (int i = 0; i < m_n; ++i) {
            if (!hasBox(i))
                m_wild.push_back(i);
        }
        for (const QPointF& p : ring) {
            if (!isFinite(p))
                continue;
            m_left = std::min(m_left, p.x());
            m_right = std::max(m_right, p.x());
            m_bottom = std::min(m_bottom, p.y());
            m_top = std::max(m_top, p.y());
        }
        chooseSize();
        fill();
    }

    // Calls visit(j) once for every edge j > i that may meet edge i, in no order.
    template<typename Visit>
    void forCandidates(int i, Visit visit)
    {
        ++m_round;
        auto offer = [&](int j) {
            if (j > i && m_seen[j] != m_round) {
                m_seen[j] = m_round;
                visit(j);
            }
        };
        if (!hasBox(i)) {
            for (int j = i + 1; j < m_n; ++j)
                offer(j);
            return;
        }
        for (int j : m_wild)
            offer(j);
        const Cells c = cellsOf(i);
        for (int y = c.bottom; y <= c.top; ++y) {
            for (int x = c.left; x <= c.right; ++x) {
                const int cell = y * m_columns + x;
                for (int k = m_start[cell]; k < m_start[cell + 1]; ++k)
                    offer(m_edges[k]);
            }
        }
    }

private:
    struct Cells
    {
        int left, right, bottom, top;
        qint64 count() const { return qint64(right - left + 1) * (top - bottom + 1); }
    };

    QPointF from(int i) const { return m_ring.at(i); }
    QPointF to(int i) const { return m_ring.at(i + 1 < m_n ? i + 1 : 0); }
    bool hasBox(int i) const { return isFinite(from(i)) && isFinite(to(i)); }

    // Monotonic in v, so a point inside a box falls in a cell of the box's range.
    static int cellIndex(double v, double low, double span, int cells)
    {
        const double t = (v - low) / span * cells;
        if (!(t >= 0))
            return 0;
        return t >= cells ? cells - 1 : int(t);
    }

    Cells cellsOf(int i) const
    {
        const QPointF a = from(i);
        const QPointF b = to(i);
        const double width = m_right - m_left;
        const double height = m_top - m_bottom;
        return {cellIndex(std::min(a.x(), b.x()), m_left, width, m_columns),
                cellIndex(std::max(a.x(), b.x()), m_left, width, m_columns),
                cellIndex(std::min(a.y(), b.y()), m_bottom, height, m_rows),
                cellIndex(std::max(a.y(), b.y()), m_bottom, height, m_rows)};
    }

    // About as many cells as edges, shaped like the outline; coarser while
    // long edges would fill too many cells, down to one cell (every pair).
    void chooseSize()
    {
        const double width = m_right - m_left;
        const double height = m_top - m_bottom;
        if (!(width > 0 && height > 0 && std::isfinite(width) && std::isfinite(height))) {
            // A line or a point: one row or column; no span at all: one cell.
            const bool wide = width > 0 && std::isfinite(width);
            const bool tall = height > 0 && std::isfinite(height);
            m_columns = wide ? m_n : 1;
            m_rows = tall ? m_n : 1;
        } else {
            const double columns = std::sqrt(double(m_n) * width / height);
            m_columns = int(std::clamp(std::isfinite(columns) ? columns : double(m_n), 1.0, double(m_n)));
            m_rows = std::clamp(m_n / m_columns, 1, m_n);
        }
        const qint64 budget = 16 * qint64(m_n);
        while (m_columns * m_rows > 1 && entryCount() > budget) {
            m_columns = std::max(1, m_columns / 2);
            m_rows = std::max(1, m_rows / 2);
        }
    }

    qint64 entryCount() const
    {
        qint64 count = 0;
        for (int i = 0; i < m_n; ++i) {
            if (hasBox(i))
                count += cellsOf(i).count();
        }
        return count;
    }

    // Cell lists one after another: cell c holds m_edges[m_start[c] .. m_start[c + 1]).
    void fill()
    {
        const int cells = m_columns * m_rows;
        m_start.assign(size_t(cells) + 1, 0);
        forEachEntry([this](int, int cell) { ++m_start[size_t(cell) + 1]; });
        for (int c = 0; c < cells; ++c)
            m_start[size_t(c) + 1] += m_start[size_t(c)];
        m_edges.resize(size_t(m_start.back()));
        std::vector<int> next(m_start.begin(), m_start.end() - 1);
        forEachEntry([this, &next](int edge, int cell) { m_edges[size_t(next[size_t(cell)]++)] = edge; });
        m_seen.assign(size_t(m_n), -1);
    }

    template<typename Entry>
    void forEachEntry(Entry entry)
    {
        for (int i = 0; i < m_n; ++i) {
            if (!hasBox(i))
                continue;
            const Cells c = cellsOf(i);
            for (int y = c.bottom; y <= c.top; ++y) {
                for (int x = c.left; x <= c.right; ++x)
                    entry(i, y * m_columns + x);
            }
        }
    }

    const QVector<QPointF>& m_ring;
    const int m_n;
    double m_left = HUGE_VAL;
    double m_right = -HUGE_VAL;
    double m_bottom = HUGE_VAL;
    double m_top = -HUGE_VAL;
    int m_columns = 1;
    int m_rows = 1;
    std::vector<int> m_start;
    std::vector<int> m_edges;
    std::vector<int> m_wild; // edges without a box
    std::vector<int> m_seen; // the round that last offered each edge
    int m_round = 0;
};

} // namespace

bool edgesMeet(const QVector<QPointF>& ring, int i, int j)
{
    const int n = ring.size();
    auto at = [&ring, n](int k) { return ring.at(k % n); };
    const bool adjacent = j == i + 1 || (i == 0 && j == n - 1);
    if (!adjacent)
        return segmentsMeet(at(i), at(i + 1), at(j), at(j + 1));
    // Sharing one vertex is normal; folding back along each other is not.
    const int shared = j == i + 1 ? j : 0;
    const QPointF s = at(shared);
    const QPointF p = at(shared == j ? i : 1);
    const QPointF q = at(shared == j ? j + 1 : n - 1);
    return orientation(s, p, q) == 0
        && (p.x() - s.x()) * (q.x() - s.x()) + (p.y() - s.y()) * (q.y() - s.y()) > 0;
}

bool findSelfCrossing(const QVector<QPointF>& ring, int* first, int* second)
{
    const int n = ring.size();
    if (n < 3)
        return false;
    EdgeGrid grid(ring);
    for (int i = 0; i < n; ++i) {
        int nearest = n;
        auto test = [&](int j) {
            if (j < nearest && edgesMeet(ring, i, j))
                nearest = j;
        };
        grid.forCandidates(i, test);
        if (nearest < n) {
            *first = i;
            *second = nearest;
            return true;
        }
    }
    return false;
}

} // namespace Geometry
} // namespace Velmora
