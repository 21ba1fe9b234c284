#pragma once

class QEvent;
class QString;
class QWidget;

// Answers a tool-tip event with a text worked out for its point: shown over
// `widget` when there is one, any earlier tip hidden when there is none.
// Returns true: the event is handled either way.
bool answerToolTip(QEvent* event, const QString& text, QWidget* widget);
