#pragma once

#include <QApplication>
#include <QMouseEvent>
#include <QTest>

namespace Drive {

// A drag with the left button held, in three moves: QTest's own moves carry no buttons.
inline void drag(QWidget* widget, const QPoint& from, const QPoint& to, Qt::KeyboardModifiers modifiers = {})
{
    QTest::mousePress(widget, Qt::LeftButton, modifiers, from);
    for (int step = 1; step <= 3; ++step) {
        const QPoint pos = from + (to - from) * step / 3;
        QMouseEvent move(QEvent::MouseMove, pos, widget->mapToGlobal(pos), Qt::NoButton, Qt::LeftButton, modifiers);
        QApplication::sendEvent(widget, &move);
    }
    QTest::mouseRelease(widget, Qt::LeftButton, modifiers, to);
}

} // namespace Drive
