#pragma once

#include <QPoint>
#include <Qt>

class QWidget;

namespace Drive {

// A drag with the left button held, in three moves: QTest's own moves carry no buttons.
void drag(QWidget* widget, const QPoint& from, const QPoint& to, Qt::KeyboardModifiers modifiers = {});

} // namespace Drive
