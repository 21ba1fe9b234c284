#pragma once

#include <QDialog>

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

} // namespace Editors
} // namespace Velmora
