#include "GeometryText.h"

#include <QStringList>

#include <cmath>

namespace Velmora {
namespace Geometry {

QString formatNumber(double value)
{
    // QString::number always uses the C locale.
    return QString::number(value, 'g', 12);
}

QString formatPoints(const QVector<QPointF>& points)
{
    QString text;
    for (const QPointF& point : points) {
        if (!text.isEmpty())
            text += QLatin1Char(';');
        text += formatNumber(point.x());
        text += QLatin1Char(',');
        text += formatNumber(point.y());
    }
    return text;
}

bool parsePoints(const QString& text, QVector<QPointF>* points)
{
    QVector<QPointF> read;
    // Empty fields are kept on purpose: an empty text or a trailing ';' is no outline.
    const QStringList fields = text.simplified().split(QLatin1Char(';'));
    read.reserve(fields.size());
    for (const QString& field : fields) {
        const QStringList xy = field.split(QLatin1Char(','));
        if (xy.size() != 2)
            return false;
        bool okX = false;
        bool okY = false;
        const double x = xy.at(0).toDouble(&okX);
        const double y = xy.at(1).toDouble(&okY);
        if (!okX || !okY)
            return false;
        read.append(QPointF(x, y));
    }
    *points += read;
    return true;
}

namespace {

double lenientNumber(const QString& text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    // "nan" and "inf" convert, but no vertex can be shown or dragged there.
    return ok && std::isfinite(value) ? value : 0.0;
}

} // namespace

QVector<QPointF> parsePointsLenient(const QString& text)
{
    QVector<QPointF> points;
    const QStringList fields = text.split(QLatin1Char(';'));
    for (const QString& field : fields) {
        const QStringList xy = field.split(QLatin1Char(','));
        if (xy.size() < 2)
            continue;
        points.append(QPointF(lenientNumber(xy.at(0)), lenientNumber(xy.at(1))));
    }
    return points;
}

} // namespace Geometry
} // namespace Velmora
