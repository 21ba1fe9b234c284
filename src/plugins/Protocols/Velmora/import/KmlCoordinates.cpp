#include "KmlCoordinates.h"

#include <QRegularExpression>
#include <QStringList>

#include <cmath>

namespace Velmora {
namespace Kml {

namespace {

using Point = QStringList; // x and y as written

bool isNumber(const QString& text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    // "nan" and "inf" convert, but mean no place on the map.
    return ok && std::isfinite(value);
}

// The same place, whatever the spelling ("10" and "10.0").
bool samePoint(const Point& a, const Point& b)
{
    return a.at(0).toDouble() == b.at(0).toDouble() && a.at(1).toDouble() == b.at(1).toDouble();
}

// A ring given closed or open has the same points.
void dropClosingPoint(QList<Point>* points)
{
    if (points->size() > 1 && samePoint(points->first(), points->last()))
        points->removeLast();
}

} // namespace

QString toKmlCoordinates(const QString& geometry)
{
    // The reading the map items use: white space simplified, blanks around numbers allowed.
    QList<Point> points;
    const QStringList fields = geometry.simplified().split(QLatin1Char(';'));
    for (const QString& field : fields) {
        Point xy = field.split(QLatin1Char(','));
        if (xy.size() != 2)
            return QString();
        for (QString& number : xy) {
            number = number.trimmed(); // a KML tuple holds no white space
            if (!isNumber(number))
                return QString();
        }
        points.append(xy);
    }
    dropClosingPoint(&points);
    if (points.size() < 3)
        return QString();
    points.append(points.first());

    QString text;
    for (const Point& xy : qAsConst(points))
        text += xy.at(0) + QLatin1Char(',') + xy.at(1) + QStringLiteral(",0 ");
    return text;
}

QString fromKmlCoordinates(const QString& coordinates)
{
    static const QRegularExpression blanksAroundCommas(QStringLiteral("\\s*,\\s*"));
    static const QRegularExpression whiteSpace(QStringLiteral("\\s+"));

    QString joined = coordinates;
    joined.replace(blanksAroundCommas, QStringLiteral(","));
    const QStringList tuples = joined.split(whiteSpace, Qt::SkipEmptyParts);

    QList<Point> points;
    for (const QString& tuple : tuples) {
        const QStringList parts = tuple.split(QLatin1Char(','));
        if (parts.size() != 2 && parts.size() != 3)
            return QString();
        for (const QString& part : parts) {
            if (!isNumber(part))
                return QString();
        }
        points.append(parts.mid(0, 2));
    }
    dropClosingPoint(&points);
    if (points.size() < 3)
        return QString();

    QStringList text;
    for (const Point& xy : qAsConst(points))
        text.append(xy.join(QLatin1Char(',')));
    return text.join(QLatin1Char(';'));
}

} // namespace Kml
} // namespace Velmora
