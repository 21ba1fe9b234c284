#pragma once

#include <QDialog>

class GraphicsArea;
class QSize;

namespace Velmora {
namespace Editors {

// While the user works on the map (drawing an outline, picking lights) the
// editors step aside and leave this small tool window at the mouse cursor:
// its one button accepts it and ends the work; closing it discards.
class MapToolWindow : public QDialog
{
    Q_OBJECT

public:
    MapToolWindow(QWidget* parent, const QString& title, const QString& button, const QSize& size);
};

// Shows stored outline text on an editor's overlay. The text holds scene
// coordinates, and an overlay dragged whole (Shift) keeps its offset: it goes
// back to the origin first, or the outline would show, and then be written,
// moved twice.
void showStoredOutline(GraphicsArea* overlay, const QString& outlineText);

} // namespace Editors
} // namespace Velmora
