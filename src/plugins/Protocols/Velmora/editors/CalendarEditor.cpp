#include "CalendarEditor.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QListWidget>
#include <QMenu>
#include <QStringList>
#include <QTableWidget>

#include "CellEditors.h"
#include "DaycardEditDlg.h"
#include "DescribedItem.h"
#include "DomMetaType.h"
#include "IdField.h"
#include "InputMarks.h"
#include "SpecialDayEditdlg.h"
#include "SubDialog.h"
#include "format/ConfigEdits.h"
#include "format/Vocabulary.h"
#include "format/XmlText.h"

namespace Velmora {
namespace Editors {

namespace {

constexpr int DaysOfWeek = 7;

// The switching points of a day card in words, "06:30 Morning peak, 10:00
// Day": each entry's time and the name of the `choices` child (a strategy or
// state) its `idAttribute` names, or that id when there is no such child.
QString dayCardText(const QDomElement& card, const QDomElement& choices, const QString& idAttribute)
{
    QStringList entries;
    for (QDomElement time = card.firstChildElement(Xml::Time); !time.isNull(); time = time.nextSiblingElement(Xml::Time)) {
        const QString id = time.attribute(idAttribute);
        QString name = id;
        for (QDomElement choice = choices.firstChildElement(); !choice.isNull(); choice = choice.nextSiblingElement()) {
            if (choice.attribute(Xml::id) == id) {
                name = choice.attribute(Xml::name);
                break;
            }
        }
        entries << Xml::firstText(time) + QLatin1Char(' ') + name;
    }
    return entries.join(QStringLiteral(", "));
}

// The list's own actions as a context menu at `pos`, which comes in the
// coordinates of the list's viewport; nothing when no item is selected.
void showListMenu(QListWidget* list, const QPoint& pos)
{
    if (list->selectedItems().isEmpty())
        return;
    QMenu::exec(list->actions(), list->viewport()->mapToGlobal(pos), nullptr, list);
}

QDomElement elementOf(const QListWidgetItem* item)
{
    return item ? item->data(Qt::UserRole).value<QDomElement>() : QDomElement();
}

QListWidgetItem* addItem(QListWidget* list, const QString& text, const QDomElement& element)
{
    // Filled before it joins the list, which would otherwise look for it on every change.
    auto* item = new QListWidgetItem(text);
    item->setData(Qt::UserRole, QVariant::fromValue(element));
    list->addItem(item);
    return item;
}

void deleteItemsOf(QListWidget* list, const QList<QDomElement>& elements)
{
    for (int row = list ? list->count() - 1 : -1; row >= 0; --row) {
        if (elements.contains(elementOf(list->item(row))))
            delete list->item(row);
    }
}

} // namespace

CalendarEditor::CalendarEditor(QDialog* dialog, const Widgets& widgets, const QString& choicesTag)
    : QObject(dialog)
    , m_dialog(dialog)
    , m_widgets(widgets)
    , m_choicesTag(choicesTag)
    , m_weekEditors(new CellEditors(widgets.week))
{
    auto* wholeWeek = new QAction(tr("use for whole week"), m_widgets.dayCards);
    connect(wholeWeek, SIGNAL(triggered()), dialog, SLOT(useCurrentDaycardOnWholeWeek()));
    m_widgets.dayCards->addAction(wholeWeek);
}

QDomElement CalendarEditor::calendar() const
{
    return m_owner.firstChildElement(Xml::Calendar);
}

QDomElement CalendarEditor::dayCardsElement() const
{
    return calendar().firstChildElement(Xml::DayCards);
}

QDomElement CalendarEditor::choices() const
{
    return m_owner.firstChildElement(m_choicesTag);
}

QString CalendarEditor::idAttribute() const
{
    return m_choicesTag == Xml::States ? QString(Xml::state_id) : QString(Xml::strategy_id);
}

void CalendarEditor::show(const QDomElement& owner)
{
    closeWeekCellEditors();
    m_owner = owner;
    m_widgets.dayCards->clear();
    for (QDomElement card = dayCardsElement().firstChildElement(Xml::DayCard); !card.isNull();
         card = card.nextSiblingElement(Xml::DayCard))
        addItem(m_widgets.dayCards, card.attribute(Xml::id), card);
    fillWeek();
    if (!m_widgets.specialDays)
        return;
    m_widgets.specialDays->clear();
    for (QDomElement day = calendar().firstChildElement(Xml::SpecialDays).firstChildElement(Xml::SpecialDay);
         !day.isNull(); day = day.nextSiblingElement(Xml::SpecialDay))
        addItem(m_widgets.specialDays, day.attribute(Xml::day), day);
}

void CalendarEditor::fillWeek()
{
    // A text of another length is no week; the user fills all seven days again.
    const QStringList days = Xml::firstText(calendar().firstChildElement(Xml::WeekDistribution)).split(QLatin1Char(','));
    for (int day = 0; day < DaysOfWeek; ++day) {
        QTableWidgetItem* cell = m_widgets.week->item(0, day);
        if (!dynamic_cast<DescribedItem*>(cell)) {
            // A week cell shows its card's id; its tool tip what the card switches to when.
            cell = new DescribedItem([this](const QTableWidgetItem& item) { return describeWeekCell(item); });
            m_widgets.week->setItem(0, day, cell);
        }
        cell->setText(days.size() == DaysOfWeek ? days.at(day) : QString());
    }
}

QString CalendarEditor::describeWeekCell(const QTableWidgetItem& cell) const
{
    // A file may put blanks around a week's ids; the cell keeps its text, so that a save changes nothing unasked.
    const QString id = cell.text().trimmed();
    if (id.isEmpty())
        return QString();
    for (QDomElement card = dayCardsElement().firstChildElement(Xml::DayCard); !card.isNull();
         card = card.nextSiblingElement(Xml::DayCard)) {
        if (card.attribute(Xml::id) == id)
            return dayCardText(card, choices(), idAttribute());
    }
    return QString();
}

void CalendarEditor::addDayCard()
{
    QDomDocument document = m_owner.ownerDocument();
    QDomElement card = document.createElement(Xml::DayCard);
    card.setAttribute(Xml::id, QString::number(nextId(siblingIds(dayCardsElement(), Xml::DayCard))));
    SubDialog<DaycardEditDlg> editor(new DaycardEditDlg(choices(), card, m_dialog));
    if (!editor.accepted())
        return;
    const QDomElement built = dayCardsElement().appendChild(editor->dayCardElement(document)).toElement();
    addItem(m_widgets.dayCards, built.attribute(Xml::id), built);
}

void CalendarEditor::editDayCard(QListWidgetItem* item)
{
    const QDomElement old = elementOf(item);
    if (old.isNull())
        return;
    SubDialog<DaycardEditDlg> editor(new DaycardEditDlg(choices(), old, m_dialog));
    if (!editor.accepted())
        return;
    const QDomElement card = editor->dayCardElement(m_owner.ownerDocument());
    old.parentNode().replaceChild(card, old);
    item->setData(Qt::UserRole, QVariant::fromValue(card));
}

void CalendarEditor::deleteSelectedDayCards()
{
    const QList<QListWidgetItem*> selected = m_widgets.dayCards->selectedItems();
    for (QListWidgetItem* item : selected)
        deleteDayCard(item);
}

void CalendarEditor::deleteDayCard(QListWidgetItem* item)
{
    const QDomElement card = elementOf(item);
    if (!card.isNull())
        ConfigEdit::deleteDayCard(m_owner, card);
    // A weekday without its card is empty again, and blocks acceptance.
    clearDaysOf(item->text());
    delete item;
}

void CalendarEditor::forget(const ConfigEdit::Removed& removed)
{
    for (int row = m_widgets.dayCards->count() - 1; row >= 0; --row) {
        QListWidgetItem* item = m_widgets.dayCards->item(row);
        if (removed.dayCards.contains(elementOf(item))) {
            clearDaysOf(item->text());
            delete item;
        }
    }
    deleteItemsOf(m_widgets.specialDays, removed.specialDays);
}

void CalendarEditor::addSpecialDay()
{
    QDomElement specialDays = calendar().firstChildElement(Xml::SpecialDays);
    SubDialog<SpecialDayEditdlg> editor(new SpecialDayEditdlg(choices(), specialDays, QDomElement(), m_dialog));
    if (!editor.accepted())
        return;
    const QDomElement day = editor->specialDayElement();
    if (day.isNull())
        return;
    if (specialDays.isNull())
        specialDays = Xml::ensureChild(calendar(), Xml::SpecialDays);
    specialDays.appendChild(day);
    addItem(m_widgets.specialDays, day.attribute(Xml::day), day);
}

void CalendarEditor::editSpecialDay(QListWidgetItem* item)
{
    const QDomElement old = elementOf(item);
    if (old.isNull())
        return;
    QDomElement specialDays = old.parentNode().toElement();
    SubDialog<SpecialDayEditdlg> editor(new SpecialDayEditdlg(choices(), specialDays, old, m_dialog));
    if (!editor.accepted())
        return;
    const QDomElement day = editor->specialDayElement();
    if (day.isNull())
        return;
    specialDays.replaceChild(day, old);
    item->setText(day.attribute(Xml::day));
    item->setData(Qt::UserRole, QVariant::fromValue(day));
}

void CalendarEditor::deleteSelectedSpecialDays()
{
    const QList<QListWidgetItem*> selected = m_widgets.specialDays->selectedItems();
    for (QListWidgetItem* item : selected) {
        QDomElement day = elementOf(item);
        if (!day.isNull())
            day.parentNode().removeChild(day);
        delete item;
    }
}

void CalendarEditor::selectDayCard(const QString& id)
{
    const QList<QListWidgetItem*> items = m_widgets.dayCards->findItems(id, Qt::MatchExactly);
    if (!items.isEmpty())
        m_widgets.dayCards->setCurrentItem(items.first());
}

void CalendarEditor::showDayCardMenu(const QPoint& pos)
{
    showListMenu(m_widgets.dayCards, pos);
}

void CalendarEditor::useCurrentDayCardOnWholeWeek()
{
    const QList<QListWidgetItem*> selected = m_widgets.dayCards->selectedItems();
    if (!selected.isEmpty() && !selected.first()->text().isEmpty())
        setWholeWeek(selected.first()->text());
}

void CalendarEditor::setWholeWeek(const QString& card)
{
    closeWeekCellEditors();
    for (int day = 0; day < m_widgets.week->columnCount(); ++day) {
        if (QTableWidgetItem* cell = m_widgets.week->item(0, day))
            cell->setText(card);
    }
}

void CalendarEditor::clearDaysOf(const QString& card)
{
    closeWeekCellEditors();
    for (int day = 0; day < m_widgets.week->columnCount(); ++day) {
        QTableWidgetItem* cell = m_widgets.week->item(0, day);
        if (cell && cell->text().trimmed() == card) {
            cell->setText(QString());
            cell->setData(Qt::UserRole, QVariant());
        }
    }
}

QComboBox* CalendarEditor::openWeekCell(QTableWidgetItem* cell)
{
    if (!cell)
        return nullptr;
    auto* editor = new QComboBox;
    for (int row = 0; row < m_widgets.dayCards->count(); ++row)
        editor->addItem(m_widgets.dayCards->item(row)->text());
    // The cell's card, or none: adding the first entry made that one current.
    editor->setCurrentIndex(editor->findText(cell->text().trimmed(), Qt::MatchExactly | Qt::MatchCaseSensitive));
    m_weekEditors->open(cell, editor);
    return editor;
}

void CalendarEditor::setWeekCell(const QObject* editor, const QString& card)
{
    if (QTableWidgetItem* cell = m_weekEditors->cellOf(editor))
        cell->setText(card);
}

void CalendarEditor::leaveWeekCell(QTableWidgetItem* previous)
{
    m_weekEditors->close(previous);
}

void CalendarEditor::closeWeekCellEditors()
{
    m_weekEditors->closeAll();
}

QString CalendarEditor::weekText() const
{
    QStringList days;
    for (int day = 0; day < DaysOfWeek; ++day) {
        const QTableWidgetItem* cell = m_widgets.week->item(0, day);
        days << (cell ? cell->text() : QString());
    }
    return days.join(QLatin1Char(','));
}

QString CalendarEditor::markEmptyDays()
{
    return Editors::markEmptyDays(m_widgets.week);
}

} // namespace Editors
} // namespace Velmora
