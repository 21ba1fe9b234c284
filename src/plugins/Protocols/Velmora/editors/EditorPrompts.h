#pragma once

#include <QString>
#include <QStringList>

class QListWidget;
class QWidget;

namespace Velmora {
namespace Editors {

// Asks before an editor holding changes closes: `question` names what is
// edited. True when the user chose Discard; Keep editing is the default and
// what Escape answers. The box is named "discardChanges".
bool confirmDiscard(QWidget* parent, const QString& question);

// Tells that the file an editor opened was changed (`changes`: what the other
// save changed) or deleted (`deleted`) since, and asks whether to save over
// it. True for Save anyway; Back to editing is the default and what Escape
// answers. The box is named "fileChanged".
bool confirmSaveOverOther(QWidget* parent, const QString& fileName, bool deleted, const QStringList& changes);

// Shows `lines` (or `none` when there are none) in the tool window of
// `owner` titled `title`, made on first use; its list is named "changes".
QListWidget* showChangeList(QWidget* owner, const QString& title, const QStringList& lines, const QString& none);

} // namespace Editors
} // namespace Velmora
