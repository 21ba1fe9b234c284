#pragma once

class QEvent;
class QObject;
class QString;
class QWidget;

namespace Velmora {

class LinkMonitor;

// Answers a tool-tip event with a text worked out for its point: shown over
// `widget` when there is one, any earlier tip hidden when there is none.
// Returns true: the event is handled either way.
bool answerToolTip(QEvent* event, const QString& text, QWidget* widget);

// The workstation's tool-tip texts.
namespace ToolTips {

// A zone's, an area's or a light's state in words, as the map and the tree
// show it; empty for other objects.
QString objectText(QObject* object, const LinkMonitor& links);
// The tree's link column: the link's reason, and why the zone shown is not
// what its file holds when the file changed and does not load (`problem`).
QString linkText(const QString& reason, const QString& file, const QString& problem);

} // namespace ToolTips

} // namespace Velmora
