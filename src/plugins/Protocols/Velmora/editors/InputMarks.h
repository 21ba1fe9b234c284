#pragma once

#include <QString>
#include <QStringList>

class QLabel;
class QLineEdit;
class QTableWidget;
class QTableWidgetItem;
class QVBoxLayout;
class QWidget;

namespace Velmora {
namespace Editors {

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

// `text` with every character XML cannot carry shown as its code, "[U+0001]".
QString withCodesShown(const QString& text);

// Marks a name field red when the name is empty or cannot be written; the
// reason (`emptyReason` for an empty one) becomes the field's tool tip, an
// unwritable character's shown at once. True when the name is refused; the
// reason goes to `reason` when given.
bool markName(QLineEdit* field, const QString& emptyReason = QString(), QString* reason = nullptr);

// Marks every empty day of the week red, its tool tip "Monday has no day
// card"; returns the days in one such line, or an empty one.
QString markEmptyDays(QTableWidget* week);

} // namespace Editors
} // namespace Velmora
