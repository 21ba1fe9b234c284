#pragma once

#include <QDockWidget>
#include <QImage>
#include <QJsonArray>
#include <QList>
#include <QPen>
#include <QSize>
#include <QString>

class QGraphicsItem;
class QPainter;
class QPainterPath;
class QTreeWidget;

namespace Velmora {

// What every fill, hatch and outline on the map means. The swatches are not
// drawn here: a small zone of the module's own format is loaded for the
// legend, its zone and areas are put into each state through the module's
// message slot, exactly as the service would, and their own map items paint
// the swatches. The legend can therefore never disagree with the map.
class MapLegend : public QDockWidget
{
    Q_OBJECT
public:
    static constexpr QSize SwatchSize{44, 28};

    struct Entry
    {
        QString section; // "Zone", "Control area", "Map"
        QString text;    // short, beside the swatch
        QString detail;  // the whole explanation, in the tool tip
        QImage swatch;
    };

    explicit MapLegend(QWidget* parent = nullptr);

    // Loads the legend zone through the module's root, paints every swatch
    // and lets the zone go again. False, with the reason, when the module
    // refuses it; the legend then lists the texts without swatches.
    bool build(QObject* root, QString* error);
    QList<Entry> entries() const;
    // The entry whose text starts with `text`; null when there is none.
    const Entry* entry(const QString& text) const;
    // {"section","text","swatch":"#rrggbb" at the swatch's centre}, for the state dump.
    QJsonArray toJson() const;

    // A map item painted alone on the map's background, north up, scaled to
    // fit `size`: what the map shows of it, without what lies beneath.
    // With `mismatch`, the hash mismatch outline goes round it.
    static QImage paintItem(QGraphicsItem* item, const QSize& size = SwatchSize, bool mismatch = false);
    static void paintMismatch(QPainter* painter, const QPainterPath& outline);
    // Hides what is drawn inside the outline under the map's own background.
    static void coverUnreported(QPainter* painter, const QPainterPath& outline);
    // The map's background, which every swatch starts from.
    static QColor mapBackground();
    // The outline the map draws around a zone whose configuration differs
    // from its service's.
    static QPen mismatchPen();

private:
    void add(const QString& section, const QString& text, const QString& detail, const QImage& swatch);
    void fill();

    QTreeWidget* m_view;
    QList<Entry> m_entries;
};

} // namespace Velmora
