#include "AreaEditDlg.h"
#include "ui_AreaEditDlg.h"

#include <QComboBox>
#include <QSet>
#include <QGraphicsScene>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>

#include "CalendarEditor.h"
#include "ControllersStateEditdlg.h"
#include "DomMetaType.h"
#include "InputMarks.h"
#include "Refusal.h"
#include "EditorPrompts.h"
#include "IdField.h"
#include "MapToolWindow.h"
#include "TableKeys.h"
#include "format/ConfigDiff.h"
#include "format/ConfigEdits.h"
#include "format/Vocabulary.h"
#include "format/XmlText.h"
#include "graphics/AreaGraphicsItem.h"
#include "graphics/GraphicsArea.h"
#include "import/KeepGeometry.h"
#include "import/TolImportDlg.h"

// The core is a static library: the form's icons are there only once its
// resources are registered, also in programs that link the core directly.
static void initAreaEditResources()
{
    Q_INIT_RESOURCE(velmora);
}

namespace Xml = Velmora::Xml;
namespace ConfigEdit = Velmora::ConfigEdit;
using Velmora::Editors::markField;

namespace {

void appendController(QDomElement state, const QString& number)
{
    QDomElement controller = state.ownerDocument().createElement(Xml::Controller);
    controller.setAttribute(Xml::id, number);
    controller.setAttribute(Xml::state, QStringLiteral("1"));
    state.appendChild(controller);
}

QDomElement elementOf(const QListWidgetItem* item)
{
    return item ? item->data(Qt::UserRole).value<QDomElement>() : QDomElement();
}

} // namespace

AreaEditDlg::AreaEditDlg(QDomElement areas, QDomElement area, QWidget* parent, QGraphicsScene* scene)
    : QDialog(parent)
    , ui(new Ui::AreaEditDlg)
    , m_scene(scene)
{
    static const bool resources = (initAreaEditResources(), true);
    Q_UNUSED(resources)
    Velmora::Editors::registerDomElementType();
    ui->setupUi(this);
    m_id = new Velmora::Editors::IdField(ui->areaId);
    m_calendar = new Velmora::Editors::CalendarEditor(this, {ui->daycards, ui->weekDistrib, ui->specilaDays}, Xml::States);

    // A copy: cancelling leaves the zone editor's document untouched.
    m_area = area.isNull() ? areas.ownerDocument().createElement(Xml::Area) : area.cloneNode(true).toElement();
    ensureSkeleton();

    const QString id = m_area.attribute(Xml::id);
    m_otherAreaIds = Velmora::Editors::siblingIds(areas, Xml::Area, id);
    if (id.isEmpty())
        m_id->setId(Velmora::Editors::nextId(m_otherAreaIds));

    ui->controllersFromMap->setEnabled(m_scene != nullptr);

    fillForm();
    m_overlay = new GraphicsArea(m_scene, geometryText());
    addChangesButton();
    m_reason = Velmora::Editors::addReasonLine(ui->mainLayout, ui->mainLayout->indexOf(ui->bottomLayout));
    m_refusal = new Velmora::Editors::Refusal(m_reason, [this] { return markFaults(); }, this);
    m_refusal->follow(ui->areaId, &QSpinBox::textChanged);
    m_refusal->follow(ui->areaName, &QLineEdit::textChanged);
    m_refusal->follow(ui->weekDistrib, &QTableWidget::itemChanged);
    new Velmora::Editors::TableKeys(this, ui->buttonBox);
    m_opened = formElement();
}

AreaEditDlg::~AreaEditDlg()
{
    // A tool window still open must not report to a dialog half gone.
    if (m_toolWindow)
        m_toolWindow->disconnect(this);
    // Whatever this editor put on the map leaves with it; the QPointers are
    // null when the scene went first and took the items along.
    delete m_creation;
    delete m_overlay;
    delete ui;
}

void AreaEditDlg::ensureSkeleton()
{
    QDomElement calendar = Xml::ensureChild(m_area, Xml::Calendar);
    Xml::ensureChild(calendar, Xml::DayCards);
    Xml::ensureTextNode(Xml::ensureChild(calendar, Xml::WeekDistribution));
    Xml::ensureTextNode(Xml::ensureChild(m_area, Xml::Geometry));
    // Older files may lack these; added controllers and states would go nowhere.
    Xml::ensureTextNode(Xml::ensureChild(m_area, Xml::Controllers));
    Xml::ensureChild(m_area, Xml::States);
}

QDomElement AreaEditDlg::statesElement() const
{
    return m_area.firstChildElement(Xml::States);
}

QString AreaEditDlg::geometryText() const
{
    return Xml::firstText(m_area.firstChildElement(Xml::Geometry));
}

void AreaEditDlg::setGeometryText(const QString& text)
{
    Xml::setText(Xml::ensureChild(m_area, Xml::Geometry), text);
}

void AreaEditDlg::fillForm()
{
    const QSignalBlocker blocker(ui->controllers);
    ui->controllers->clear();
    ui->states->clear();

    const QString id = m_area.attribute(Xml::id);
    if (!id.isEmpty())
        m_id->setId(id);
    ui->areaName->setText(m_area.attribute(Xml::name));

    const QStringList numbers =
        Xml::firstText(m_area.firstChildElement(Xml::Controllers)).split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString& number : numbers) {
        if (!number.trimmed().isEmpty())
            addController(number.trimmed());
    }

    const QDomElement states = statesElement();
    for (QDomElement state = states.firstChildElement(Xml::State); !state.isNull();
         state = state.nextSiblingElement(Xml::State))
        addStateItem(state);

    m_calendar->show(m_area);
}

// ---- controllers

void AreaEditDlg::addController(const QString& number)
{
    const QSignalBlocker blocker(ui->controllers);
    auto* item = new QListWidgetItem(number, ui->controllers);
    item->setData(Qt::UserRole, number);
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    ConfigEdit::addController(m_area, number);
}

void AreaEditDlg::on_addController_clicked()
{
    QListWidgetItem* item = nullptr;
    {
        const QSignalBlocker blocker(ui->controllers);
        item = new QListWidgetItem(ui->controllers);
        item->setFlags(item->flags() | Qt::ItemIsEditable);
    }
    ui->controllers->setCurrentItem(item);
    ui->controllers->editItem(item);
}

void AreaEditDlg::on_controllers_itemChanged(QListWidgetItem* item)
{
    if (!item)
        return;
    const QString previous = item->data(Qt::UserRole).toString();
    // Blanks typed around a number are no part of it.
    const QString number = item->text().trimmed();
    const QSignalBlocker blocker(ui->controllers);
    if (number != item->text())
        item->setText(number);
    if (number == previous)
        return;
    // Emptying a number is no deletion (Delete is): the states would keep a
    // controller that the area's list no longer names.
    if (number.isEmpty() || !Xml::isXmlText(number) ||
        ui->controllers->findItems(number, Qt::MatchExactly | Qt::MatchCaseSensitive).size() > 1) {
        item->setText(previous);
        return;
    }
    item->setData(Qt::UserRole, number);
    // A number listed twice is one controller: while another entry still shows
    // it, the states keep it and the new number comes as a new controller.
    const bool stillListed = listedControllers().contains(previous);
    ConfigEdit::renameController(m_area, stillListed ? QString() : previous, number);
}

void AreaEditDlg::on_delController_clicked()
{
    const QDomElement before = formElement();
    deleteControllers(ui->controllers->selectedItems());
    tellChangesSince(before);
}

void AreaEditDlg::tellChangesSince(const QDomElement& before)
{
    // A state a deletion took along, and the entries of cards and special days
    // that used it, are said where the user looks next.
    Velmora::Editors::showReasons(m_reason, Velmora::ConfigDiff::compareArea(before, formElement()));
}

void AreaEditDlg::deleteControllers(const QList<QListWidgetItem*>& items)
{
    QSet<QString> removed;
    for (QListWidgetItem* item : items) {
        for (const QString& number : {item->text(), item->data(Qt::UserRole).toString()}) {
            if (!number.isEmpty())
                removed.insert(number);
        }
        delete item;
    }
    // A number listed twice is one controller: the states keep it while an entry still shows it.
    forget(ConfigEdit::deleteControllers(m_area, removed - listedControllers()));
}

QSet<QString> AreaEditDlg::listedControllers() const
{
    QSet<QString> numbers;
    for (int row = 0; row < ui->controllers->count(); ++row)
        numbers.insert(ui->controllers->item(row)->text());
    return numbers;
}

void AreaEditDlg::forget(const ConfigEdit::Removed& removed)
{
    for (int row = ui->states->count() - 1; row >= 0; --row) {
        if (removed.states.contains(elementOf(ui->states->item(row))))
            delete ui->states->item(row);
    }
    m_calendar->forget(removed);
}

// ---- states

void AreaEditDlg::addStateItem(const QDomElement& state, QListWidgetItem* item)
{
    if (!item)
        item = new QListWidgetItem(ui->states);
    item->setText(state.attribute(Xml::id) + QStringLiteral(" (") + state.attribute(Xml::name) + QStringLiteral(")"));
    item->setData(Qt::UserRole, QVariant::fromValue(state));
}

void AreaEditDlg::on_addState_clicked()
{
    QDomDocument document = m_area.ownerDocument();
    QDomElement state = document.createElement(Xml::State);
    // A number listed twice is one controller, and one row of the state.
    QSet<QString> listed;
    for (int row = 0; row < ui->controllers->count(); ++row) {
        const QString number = ui->controllers->item(row)->text();
        if (!number.isEmpty() && !listed.contains(number)) {
            listed.insert(number);
            appendController(state, number);
        }
    }
    QDomElement states = statesElement();
    ControllersStateEditdlg editor(states, state, this);
    editor.setRpcObject(cnfStorage);
    if (editor.exec() != QDialog::Accepted)
        return;
    const QDomElement result = editor.stateElement(document);
    states.appendChild(result);
    addStateItem(result);
}

void AreaEditDlg::on_states_itemDoubleClicked(QListWidgetItem* item)
{
    const QDomElement old = elementOf(item);
    if (old.isNull())
        return;
    QDomElement states = old.parentNode().toElement();
    if (states.isNull())
        states = statesElement();
    ControllersStateEditdlg editor(states, old, this);
    editor.setRpcObject(cnfStorage);
    if (editor.exec() != QDialog::Accepted)
        return;
    const QDomElement result = editor.stateElement(m_area.ownerDocument());
    states.replaceChild(result, old);
    // Cards and special days name the state by id: a new id is theirs too,
    // or they would switch to a state that no longer exists. After the
    // replacement: a second state still under the old id keeps them.
    ConfigEdit::renumberState(m_area, old.attribute(Xml::id), result.attribute(Xml::id));
    addStateItem(result, item);
}

void AreaEditDlg::on_delState_clicked()
{
    const QDomElement before = formElement();
    const QList<QListWidgetItem*> selected = ui->states->selectedItems();
    for (QListWidgetItem* item : selected)
        deleteState(item);
    tellChangesSince(before);
}

void AreaEditDlg::deleteState(QListWidgetItem* item)
{
    const QDomElement state = elementOf(item);
    if (state.isNull()) {
        delete item;
        return;
    }
    // Entries of cards and special days that switch to it go, and what they leave empty.
    forget(ConfigEdit::deleteState(m_area, state));
}

// ---- day cards, the week and special days

void AreaEditDlg::on_addDaycard_clicked()
{
    m_calendar->addDayCard();
}

void AreaEditDlg::on_daycards_itemDoubleClicked(QListWidgetItem* item)
{
    m_calendar->editDayCard(item);
}

void AreaEditDlg::on_delDayCard_clicked()
{
    m_calendar->deleteSelectedDayCards();
}

void AreaEditDlg::on_daycards_customContextMenuRequested(QPoint pos)
{
    m_calendar->showDayCardMenu(pos);
}

void AreaEditDlg::useCurrentDaycardOnWholeWeek()
{
    m_calendar->useCurrentDayCardOnWholeWeek();
}

void AreaEditDlg::on_weekDistrib_itemDoubleClicked(QTableWidgetItem* item)
{
    if (QComboBox* editor = m_calendar->openWeekCell(item))
        connect(editor, &QComboBox::currentTextChanged, this, &AreaEditDlg::wdCellEditComplete);
}

void AreaEditDlg::wdCellEditComplete(QString daycard)
{
    m_calendar->setWeekCell(sender(), daycard);
}

void AreaEditDlg::on_weekDistrib_currentItemChanged(QTableWidgetItem* current, QTableWidgetItem* previous)
{
    Q_UNUSED(current)
    m_calendar->leaveWeekCell(previous);
}

void AreaEditDlg::on_addSpecialDay_clicked()
{
    m_calendar->addSpecialDay();
}

void AreaEditDlg::on_specilaDays_itemDoubleClicked(QListWidgetItem* item)
{
    m_calendar->editSpecialDay(item);
}

void AreaEditDlg::on_delSpecialDay_clicked()
{
    m_calendar->deleteSelectedSpecialDays();
}

// ---- TRANSYT report

void AreaEditDlg::on_loadTol_clicked()
{
    const QString report = TolImportDlg::selectReport(this);
    if (report.isEmpty())
        return;
    TolImportDlg import(report, this);
    import.setReplacedArea(formElement());
    if (import.exec() == QDialog::Accepted)
        applyImportedArea(import.result());
}

void AreaEditDlg::applyImportedArea(const QDomElement& imported)
{
    if (imported.isNull())
        return;
    // The report has no outline: the area keeps its own, with the text child
    // that outline editing and creation from the map write into.
    m_area = Velmora::keepGeometry(imported.cloneNode(true).toElement(), m_area);
    ensureSkeleton();
    fillForm();
}

// ---- the map

void AreaEditDlg::hideForMap()
{
    hide();
    if (parentWidget())
        parentWidget()->hide();
}

void AreaEditDlg::showAfterMap()
{
    if (parentWidget())
        parentWidget()->show();
    show();
}

void AreaEditDlg::openToolWindow(const QString& title, const QString& button, const QSize& size,
                                 void (AreaEditDlg::*finished)(int))
{
    auto* window = new Velmora::Editors::MapToolWindow(this, title, button, size);
    connect(window, &QDialog::finished, this, finished);
    window->show();
    m_toolWindow = window;
}

void AreaEditDlg::on_controllersFromMap_clicked()
{
    if (!m_scene || m_creation || m_toolWindow)
        return;
    hideForMap();
    openToolWindow(tr("Area creation"), tr("end creation"), QSize(100, 50), &AreaEditDlg::areaGraphicsFinished);
    m_creation = new AreaGraphicsItem(this, m_scene, true);
}

void AreaEditDlg::areaGraphicsFinished(int result)
{
    auto* window = qobject_cast<QDialog*>(sender());
    if (!window) {
        showAfterMap();
        return;
    }
    const QStringList picked = m_creation ? m_creation->lightIds() : QStringList();
    if (result == QDialog::Accepted && !picked.isEmpty()) {
        QList<QListWidgetItem*> dropped;
        for (int row = 0; row < ui->controllers->count(); ++row) {
            if (!picked.contains(ui->controllers->item(row)->text()))
                dropped.append(ui->controllers->item(row));
        }
        deleteControllers(dropped);
        for (const QString& id : picked) {
            if (ui->controllers->findItems(id, Qt::MatchExactly | Qt::MatchCaseSensitive).isEmpty())
                addController(id);
        }
        setGeometryText(m_creation->outlineText());
        Velmora::Editors::showStoredOutline(m_overlay, geometryText());
    }
    delete m_creation;
    if (m_scene)
        m_scene->clearSelection();
    window->deleteLater();
    m_toolWindow = nullptr;
    showAfterMap();
}

void AreaEditDlg::on_editGeometry_clicked()
{
    if (!m_scene || !m_overlay || m_toolWindow)
        return;
    hideForMap();
    openToolWindow(tr("Area edit"), tr("end edit"), QSize(150, 50), &AreaEditDlg::editGeometryFinished);
    m_overlay->setEditMode(true);
}

void AreaEditDlg::editGeometryFinished(int result)
{
    if (m_overlay) {
        m_overlay->setEditMode(false);
        if (result == QDialog::Accepted)
            setGeometryText(m_overlay->outlineText());
        Velmora::Editors::showStoredOutline(m_overlay, geometryText());
    }
    if (auto* window = qobject_cast<QDialog*>(sender()))
        window->deleteLater();
    m_toolWindow = nullptr;
    showAfterMap();
}

// ---- acceptance and the result

void AreaEditDlg::on_buttonBox_accepted()
{
    // An open week-cell editor has set its cell already.
    m_calendar->closeWeekCellEditors();
    if (m_refusal->check())
        accept();
}

QStringList AreaEditDlg::markFaults()
{
    // Marks change the cells; that is no edit to check again.
    const QSignalBlocker blocker(ui->weekDistrib);
    QStringList reasons;
    const bool idTaken = m_otherAreaIds.contains(m_id->id());
    const QString taken = tr("Another area of the zone has the id %1").arg(m_id->text());
    markField(ui->areaId, idTaken, taken);
    if (idTaken)
        reasons << taken;
    QString reason;
    if (Velmora::Editors::markName(ui->areaName, tr("The area has no name"), &reason))
        reasons << reason;
    reason = m_calendar->markEmptyDays();
    if (!reason.isEmpty())
        reasons << reason;
    return reasons;
}

QDomElement AreaEditDlg::areaElement()
{
    writeForm(m_area);
    return m_area;
}

QDomElement AreaEditDlg::formElement() const
{
    QDomElement copy = m_area.cloneNode(true).toElement();
    writeForm(copy);
    return copy;
}

void AreaEditDlg::writeForm(QDomElement area) const
{
    area.setAttribute(Xml::id, m_id->text());
    area.setAttribute(Xml::name, ui->areaName->text());

    QStringList numbers;
    for (int row = 0; row < ui->controllers->count(); ++row) {
        const QString number = ui->controllers->item(row)->text();
        if (!number.isEmpty())
            numbers.append(number);
    }
    Xml::setText(Xml::ensureChild(area, Xml::Controllers), numbers.join(QLatin1Char(',')));

    Xml::setText(Xml::ensureChild(Xml::ensureChild(area, Xml::Calendar), Xml::WeekDistribution), m_calendar->weekText());
}

// ---- changes

void AreaEditDlg::addChangesButton()
{
    auto* changes = new QPushButton(tr("Changes"), this);
    changes->setObjectName(QStringLiteral("showChanges"));
    changes->setToolTip(tr("List what this edit changes in the area"));
    ui->bottomLayout->insertWidget(ui->bottomLayout->indexOf(ui->loadTol) + 1, changes);
    connect(changes, &QPushButton::clicked, this, &AreaEditDlg::listChanges);
}

void AreaEditDlg::listChanges()
{
    Velmora::Editors::showChangeList(this, tr("Changes"), Velmora::ConfigDiff::compareArea(m_opened, formElement()),
                                     tr("No changes."));
}

void AreaEditDlg::reject()
{
    // Closing, Cancel and Escape all come here; work is not lost to one of them.
    // The area is named as it was opened, which a renamed one no longer shows.
    const QString name = m_opened.attribute(Xml::name).isEmpty() ? ui->areaName->text() : m_opened.attribute(Xml::name);
    if (!Velmora::ConfigDiff::compareArea(m_opened, formElement()).isEmpty()
        && !Velmora::Editors::confirmDiscard(
            this, tr("Discard changes to area %1 \"%2\"?").arg(m_opened.attribute(Xml::id), name)))
        return;
    QDialog::reject();
}
