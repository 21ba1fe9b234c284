#pragma once

#include <QDomElement>
#include <QMetaType>
#include <QTableWidgetItem>

class GraphicsArea;
class QObject;
class QLineEdit;
class QLabel;
class QListWidget;
class QTableWidget;
class QVBoxLayout;
class QWidget;

// Types the editors keep in item data and in the cell editors' "item" property.
// Declared once here; every editor includes this header rather than declaring
// them again (a second declaration of the same type does not compile).
Q_DECLARE_METATYPE(QDomElement)
Q_DECLARE_METATYPE(QTableWidgetItem*)

namespace Velmora {
namespace Editors {

// Registers "QDomElement" by name; runs when the library is loaded and may be
// called again at no cost. Returns the type id.
int registerDomElementType();

// Invalid input is shown in red and keeps the dialog open: a cell gets a solid
// red background, a field a red base colour; false restores the default look.
// `reason` says why in words: the tool tip while the mark lasts.
void markCell(QTableWidgetItem* cell, bool fault, const QString& reason = QString());
void markField(QWidget* field, bool fault, const QString& reason = QString());

// One line above a dialog's button box, named "reason", that says in words
// why the dialog refuses to accept (or what a deletion took along); inserted
// into `layout` at `index`, hidden while there is nothing to say.
QLabel* addReasonLine(QVBoxLayout* layout, int index);
void showReasons(QLabel* line, const QStringList& reasons);

// Why `text` cannot go into a zone file (a character XML cannot carry), or
// empty when it can.
QString unwritableReason(const QString& text);
// `text` with every character XML cannot carry shown as its code, "[U+0001]".
QString withCodesShown(const QString& text);

// Marks a name field red when the name is empty or cannot be written; the
// reason (`emptyReason` for an empty one) becomes the field's tool tip, an
// unwritable character's shown at once. True when the name is refused; the
// reason goes to `reason` when given.
bool markName(QLineEdit* field, const QString& emptyReason = QString(), QString* reason = nullptr);

// The switching points of a day card in words, "06:30 Morning peak, 10:00
// Day": each entry's time and the name of the `choices` child (a strategy or
// state) its `idAttribute` names, or that id when there is no such child.
QString dayCardText(const QDomElement& card, const QDomElement& choices, const QString& idAttribute);

// Removes the editor a cell holds, if any: what the user leaves is taken as
// chosen. Through the view, which deletes the editor later.
void removeCellEditor(QTableWidget* table, const QTableWidgetItem* cell);

// Marks every empty day of the week red, its tool tip "Monday has no day
// card"; returns the days in one such line, or an empty one.
QString markEmptyDays(QTableWidget* week);

// The list's own actions as a context menu at `pos`, which comes in the
// coordinates of the list's viewport; nothing when no item is selected.
void showListMenu(QListWidget* list, const QPoint& pos);

// Shows stored outline text on an editor's overlay. The text holds scene
// coordinates, and an overlay dragged whole (Shift) keeps its offset: it goes
// back to the origin first, or the outline would show, and then be written,
// moved twice.
void showStoredOutline(GraphicsArea* overlay, const QString& outlineText);

} // namespace Editors
} // namespace Velmora
