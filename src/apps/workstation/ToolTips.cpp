#include "ToolTips.h"

#include <QHelpEvent>
#include <QToolTip>

bool answerToolTip(QEvent* event, const QString& text, QWidget* widget)
{
    if (text.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
    } else {
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), text, widget);
    }
    return true;
}
