#pragma once

#include <QDomElement>
#include <QObject>
#include <QString>

class QComboBox;
class QDialog;
class QListWidget;
class QListWidgetItem;
class QPoint;
class QTableWidget;
class QTableWidgetItem;

namespace Velmora {
namespace ConfigEdit {
struct Removed;
}

namespace Editors {
class CellEditors;

// The calendar part of the zone and the area editor, on the widgets of the
// dialog's form: the day cards list, the one-row week table and, for an
// area, the special days list. The dialog's slots of those widgets call it.
// Day cards switch to the owner's strategies (a zone) or states (an area);
// cards and special days are edited in their own dialogs, run to their end.
class CalendarEditor : public QObject
{
    Q_OBJECT

public:
    struct Widgets
    {
        QListWidget* dayCards;
        QTableWidget* week;
        QListWidget* specialDays; // null for a zone
    };

    // `choicesTag` is Strategies or States: the owner's child whose children
    // the cards switch to. The "use for whole week" action of the day cards
    // list calls the dialog's useCurrentDaycardOnWholeWeek().
    CalendarEditor(QDialog* dialog, const Widgets& widgets, const QString& choicesTag);

    // Shows the calendar of `owner` (a Zone or an Area element with its
    // Calendar, DayCards and WeekDistribution), in place of what was shown.
    void show(const QDomElement& owner);

    void addDayCard();
    void editDayCard(QListWidgetItem* item);
    void deleteSelectedDayCards();
    void addSpecialDay();
    void editSpecialDay(QListWidgetItem* item);
    void deleteSelectedSpecialDays();
    // Drops the rows of what a cascading edit removed from the document, and
    // empties the weekdays of the removed cards.
    void forget(const ConfigEdit::Removed& removed);

    // Makes the day card of that id current; nothing when there is none.
    void selectDayCard(const QString& id);
    void showDayCardMenu(const QPoint& pos);
    void useCurrentDayCardOnWholeWeek();

    // A combo box of the day cards in a week cell; the dialog connects it to
    // its wdCellEditComplete(QString), which calls setWeekCell.
    QComboBox* openWeekCell(QTableWidgetItem* cell);
    void setWeekCell(const QObject* editor, const QString& card);
    void leaveWeekCell(QTableWidgetItem* previous);
    void closeWeekCellEditors();

    // The seven days as the WeekDistribution text writes them.
    QString weekText() const;
    // Marks the days without a card; the reason in words, or empty.
    QString markEmptyDays();

private:
    QDomElement calendar() const;
    QDomElement dayCardsElement() const;
    QDomElement choices() const;
    QString idAttribute() const;
    QString describeWeekCell(const QTableWidgetItem& cell) const;
    void fillWeek();
    void deleteDayCard(QListWidgetItem* item);
    // Every day set to `card`, or the days that name it emptied. Open cell
    // editors go first, so none writes its old choice back afterwards.
    void setWholeWeek(const QString& card);
    void clearDaysOf(const QString& card);

    QDialog* m_dialog;
    Widgets m_widgets;
    QString m_choicesTag;
    CellEditors* m_weekEditors;
    QDomElement m_owner;
};

} // namespace Editors
} // namespace Velmora
