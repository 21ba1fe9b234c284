#include "ZoneEditDlg.h"
#include "ui_ZoneEditDlg.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStringList>

#include "AreaEditDlg.h"
#include "AreaList.h"
#include "CalendarEditor.h"
#include "DomMetaType.h"
#include "InputMarks.h"
#include "Refusal.h"
#include "EditorPrompts.h"
#include "FindingsWindow.h"
#include "IdField.h"
#include "Logging.h"
#include "MapToolWindow.h"
#include "OpenedFile.h"
#include "OpenedText.h"
#include "StratEditDlg.h"
#include "StrategyTable.h"
#include "SubDialog.h"
#include "TableKeys.h"
#include "ZoneKml.h"
#include "format/ConfigChecker.h"
#include "format/ConfigDiff.h"
#include "format/ConfigEdits.h"
#include "format/Vocabulary.h"
#include "format/XmlDocument.h"
#include "format/XmlText.h"
#include "graphics/GraphicsArea.h"
#include "import/KmlExport.h"
#include "import/KmlImport.h"
#include "import/KmlImportDlg.h"

namespace Xml = Velmora::Xml;
using Velmora::Editors::AreaList;
using Velmora::Editors::FindingsWindow;
using Velmora::Editors::SubDialog;
using Velmora::Editors::ZoneKml;

ZoneEditDlg::ZoneEditDlg(QString fileName, QWidget* parent, QGraphicsScene* scene)
    : QDialog(parent)
    , ui(new Ui::ZoneEditDlg)
    , m_scene(scene)
    , m_file(std::make_unique<Velmora::Editors::OpenedFile>(fileName))
{
    Velmora::Editors::registerDomElementType();
    ui->setupUi(this);
    m_id = new Velmora::Editors::IdField(ui->zoneId);
    m_areas = std::make_unique<AreaList>(ui->areas, scene);
    m_strategies = new Velmora::Editors::StrategyTable(ui->strategies, ui->addStrat, ui->delStrat);
    m_calendar = new Velmora::Editors::CalendarEditor(this, {ui->daycards, ui->weekDistrib, nullptr}, Xml::Strategies);

    if (!fileName.isEmpty() && QFileInfo::exists(fileName) && !readFile(fileName)) {
        // Nothing of a file we could not read is offered for editing, or saved.
        m_document = QDomDocument();
        QMetaObject::invokeMethod(this, &QDialog::reject, Qt::QueuedConnection);
    }
    if (m_document.documentElement().isNull())
        m_document.appendChild(m_document.createElement(Xml::Zone));
    m_zone = m_document.documentElement();
    ensureSkeleton();
    fillForm();
    makeSplitter();
    addCheckButton();
    m_reason = Velmora::Editors::addReasonLine(ui->mainLayout, ui->mainLayout->indexOf(ui->bottomLayout));
    m_refusal = new Velmora::Editors::Refusal(m_reason, [this] { return markFaults(); }, this);
    m_refusal->follow(ui->zoneName, &QLineEdit::textChanged);
    m_refusal->follow(ui->weekDistrib, &QTableWidget::itemChanged);
    m_refusal->follow(ui->strategies, &QTableWidget::itemChanged);
    m_refusal->follow(ui->strategies->model(), &QAbstractItemModel::rowsRemoved);
    m_refusal->follow(ui->strategies->model(), &QAbstractItemModel::rowsInserted);
    new Velmora::Editors::TableKeys(this, ui->buttonBox);
    m_openedText = new Velmora::Editors::OpenedText(this, [this] { return formText(); });
    writeForm(m_zone);
    m_openedId = m_zone.attribute(Xml::id);
    m_openedName = m_zone.attribute(Xml::name);
}

ZoneEditDlg::~ZoneEditDlg()
{
    // Events still come while the widgets go: none may write the form now.
    delete m_openedText;
    // No slot runs on a dialog being torn down: taking the previews away must
    // not make the list show another one, emptied lists check nothing.
    for (QObject* object : findChildren<QObject*>())
        object->blockSignals(true);
    // Nothing of the editor stays on the map.
    m_areas.reset();
    delete m_overlay.data();
    delete ui;
    // Lists, tables and sub-editors hold elements of the document and call
    // back into the dialog: they go while all of it is still whole.
    while (!children().isEmpty())
        delete children().constFirst();
    // The document's nodes came from the parsing thread's heap, not the GUI
    // thread's: they are freed off the GUI thread, which goes on.
    m_zone = QDomElement();
    Velmora::Xml::releaseAside(&m_document);
}

bool ZoneEditDlg::readFile(const QString& fileName)
{
    Velmora::Xml::ReadError error;
    if (m_file->read(&m_document, &error))
        return true;
    const QString message = error.kind == Velmora::Xml::ReadError::CannotOpen
        ? tr("Error opening file %1: %2").arg(fileName, error.message)
        : tr("Error processing file %1 (%2:%3): %4").arg(fileName).arg(error.line).arg(error.column).arg(error.message);
    qCCritical(Velmora::lcEdit, "%s", qUtf8Printable(message));
    return false;
}

void ZoneEditDlg::ensureSkeleton()
{
    QDomElement calendar = Xml::ensureChild(m_zone, Xml::Calendar);
    Xml::ensureChild(calendar, Xml::DayCards);
    Xml::ensureTextNode(Xml::ensureChild(calendar, Xml::WeekDistribution));
    Xml::ensureChild(m_zone, Xml::Strategies);
    Xml::ensureChild(m_zone, Xml::Areas);
}

void ZoneEditDlg::fillForm()
{
    ui->exportKml->setEnabled(!geometryText().isEmpty());
    m_id->setId(m_zone.attribute(Xml::id));
    ui->zoneName->setText(m_zone.attribute(Xml::name));

    m_areas->fill(areasElement());
    m_strategies->fill(strategiesElement());
    m_calendar->show(m_zone);

    m_overlay = new GraphicsArea(m_scene.data(), geometryText());
}

void ZoneEditDlg::makeSplitter()
{
    // The three lists share the width as the user drags it.
    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setObjectName(QStringLiteral("splitter"));
    for (QWidget* box : {ui->areasBox, ui->strategiesBox, ui->daycardsBox}) {
        ui->groupsLayout->removeWidget(box);
        splitter->addWidget(box);
    }
    ui->mainLayout->removeItem(ui->groupsLayout);
    delete ui->groupsLayout;
    ui->groupsLayout = nullptr;
    ui->mainLayout->insertWidget(1, splitter);
}

QDomElement ZoneEditDlg::strategiesElement() const
{
    return m_zone.firstChildElement(Xml::Strategies);
}

QDomElement ZoneEditDlg::areasElement() const
{
    return m_zone.firstChildElement(Xml::Areas);
}

QString ZoneEditDlg::geometryText() const
{
    return Xml::firstText(m_zone.firstChildElement(Xml::Geometry));
}

void ZoneEditDlg::setGeometryText(const QString& text)
{
    Xml::ensureTextNode(Xml::ensureChild(m_zone, Xml::Geometry)).setData(text);
}

QDomDocument ZoneEditDlg::zoneDocument()
{
    m_calendar->closeWeekCellEditors();
    writeForm(m_zone);
    // Once accepted the editor is done with its document: the opener gets it
    // as it is, without a second copy of a large zone.
    if (result() == QDialog::Accepted && !isVisible())
        return m_document;
    return m_document.cloneNode(true).toDocument();
}

void ZoneEditDlg::writeForm(QDomElement zone) const
{
    zone.setAttribute(Xml::id, m_id->text());
    zone.setAttribute(Xml::name, ui->zoneName->text());
    const QDomElement week = Xml::ensureChild(Xml::ensureChild(zone, Xml::Calendar), Xml::WeekDistribution);
    Xml::ensureTextNode(week).setData(m_calendar->weekText());
}

QDomDocument ZoneEditDlg::partsSnapshot() const
{
    writeForm(m_zone);
    return Velmora::ConfigDiff::partsSnapshot(m_zone);
}

QByteArray ZoneEditDlg::formText() const
{
    writeForm(m_zone);
    return m_document.toByteArray(-1);
}

bool ZoneEditDlg::hasChanges() const
{
    const QByteArray& openedText = m_openedText->text();
    if (formText() == openedText)
        return false;
    // Texts differ also where the configurations do not (an edit taken back
    // in another order): the comparison decides.
    QDomDocument opened;
    opened.setContent(openedText);
    return !Velmora::ConfigDiff::compare(opened.documentElement(), m_zone).isEmpty();
}

void ZoneEditDlg::reject()
{
    // Closing, Cancel and Escape all come here; work is not lost to one of them.
    // The zone is named as it was opened, which a renamed one no longer shows.
    const QString name = m_openedName.isEmpty() ? ui->zoneName->text() : m_openedName;
    if (hasChanges()
        && !Velmora::Editors::confirmDiscard(this, tr("Discard changes to zone %1 \"%2\"?").arg(m_openedId, name)))
        return;
    QDialog::reject();
}

// Areas

void ZoneEditDlg::on_areas_currentRowChanged(int currentRow)
{
    m_areas->showPreviewOf(currentRow);
}

void ZoneEditDlg::openAreaEditor(const QDomElement& area, void (ZoneEditDlg::*finished)(int), QListWidgetItem* item)
{
    // Modal, but the zone editor does not wait: the area editor hides both
    // while the user works on the map.
    AreaEditDlg* editor = m_areas->openEditor(this, area, item);
    editor->cnfStorage = cnfStorage.data();
    connect(editor, &QDialog::finished, this, finished);
    editor->setModal(true);
    editor->show();
}

void ZoneEditDlg::on_addArea_clicked()
{
    openAreaEditor(AreaList::blankArea(m_document), &ZoneEditDlg::areaCreateFinished, nullptr);
}

void ZoneEditDlg::areaCreateFinished(int result)
{
    auto* editor = qobject_cast<AreaEditDlg*>(sender());
    if (!editor)
        return;
    if (result == QDialog::Accepted) {
        const QDomElement area = areasElement().appendChild(editor->areaElement()).toElement();
        m_areas->fillItem(area);
    }
    editor->deleteLater();
}

void ZoneEditDlg::on_areas_itemDoubleClicked(QListWidgetItem* item)
{
    const QDomElement area = AreaList::elementOf(item);
    if (!area.isNull())
        openAreaEditor(area, &ZoneEditDlg::areaEditFinished, item);
}

void ZoneEditDlg::areaEditFinished(int result)
{
    auto* editor = qobject_cast<AreaEditDlg*>(sender());
    if (!editor)
        return;
    QListWidgetItem* item = m_areas->editedItem(editor);
    const QDomElement old = AreaList::elementOf(item);
    if (result == QDialog::Accepted && !old.isNull()) {
        const QString oldId = old.attribute(Xml::id);
        const QDomElement area = editor->areaElement();
        areasElement().replaceChild(area, old);
        // Strategies name their areas by id: a renumbered area stays theirs.
        Velmora::ConfigEdit::renumberArea(m_zone, oldId, area.attribute(Xml::id));
        // The preview follows an outline drawn in the area editor.
        m_areas->fillItem(area, item);
    }
    editor->deleteLater();
}

void ZoneEditDlg::on_delArea_clicked()
{
    const QDomDocument before = partsSnapshot();
    deleteSelectedAreas();
    tellChangesSince(before);
}

void ZoneEditDlg::deleteSelectedAreas()
{
    const QList<QListWidgetItem*> selected = ui->areas->selectedItems();
    for (QListWidgetItem* item : selected) {
        const QDomElement area = AreaList::elementOf(item);
        if (area.isNull())
            continue;
        // A strategy that used only this area has nothing left to drive.
        forget(Velmora::ConfigEdit::deleteArea(m_zone, area));
        m_areas->remove(item);
    }
}

void ZoneEditDlg::forget(const Velmora::ConfigEdit::Removed& removed)
{
    m_strategies->forget(removed.strategies);
    m_calendar->forget(removed);
}

// Strategies

void ZoneEditDlg::on_addStrat_clicked()
{
    SubDialog<StratEditDlg> editor(new StratEditDlg(areasElement(), strategiesElement(), QDomElement(), this));
    if (!editor.accepted())
        return;
    QDomElement strategy = editor->strategyElement(m_document);
    // A zone always has a default strategy; its first one is it.
    if (m_strategies->rowCount() == 0)
        strategy.setAttribute(Xml::default_, 1);
    m_strategies->addRow(strategy);
    strategiesElement().appendChild(strategy);
}

void ZoneEditDlg::on_strategies_itemDoubleClicked(QTableWidgetItem* item)
{
    if (!item)
        return;
    const int row = item->row();
    if (item->column() == Velmora::Editors::StrategyTable::DefaultColumn) {
        m_strategies->makeDefault(row);
        return;
    }
    const QDomElement old = m_strategies->elementAt(row);
    if (old.isNull())
        return;
    QDomElement strategies = old.parentNode().toElement();
    SubDialog<StratEditDlg> editor(new StratEditDlg(areasElement(), strategies, old, this));
    if (!editor.accepted())
        return;
    QDomElement strategy = editor->strategyElement(m_document);
    if (m_strategies->isDefaultRow(row))
        strategy.setAttribute(Xml::default_, 1);
    strategies.replaceChild(strategy, old);
    // Day cards name their strategies by id: a renumbered strategy stays theirs.
    Velmora::ConfigEdit::renumberStrategy(m_zone, old.attribute(Xml::id), strategy.attribute(Xml::id));
    m_strategies->replace(row, strategy);
}

void ZoneEditDlg::on_delStrat_clicked()
{
    const QDomDocument before = partsSnapshot();
    QTableWidget* table = ui->strategies;
    for (QList<QTableWidgetItem*> selected = table->selectedItems(); !selected.isEmpty();
         selected = table->selectedItems())
        deleteStrategy(selected.first()->row());
    tellChangesSince(before);
}

void ZoneEditDlg::tellChangesSince(const QDomDocument& before)
{
    // What a deletion took along (other strategies, entries of day cards) is
    // said where the user looks next.
    Velmora::Editors::showReasons(
        m_reason, Velmora::ConfigDiff::compareParts(before.documentElement(), partsSnapshot().documentElement()));
}

void ZoneEditDlg::deleteStrategy(int row)
{
    const QDomElement strategy = m_strategies->elementAt(row);
    // Switching to a strategy that is gone means nothing; a card left without
    // switching points goes too.
    if (!strategy.isNull())
        forget(Velmora::ConfigEdit::deleteStrategy(m_zone, strategy));
    else
        ui->strategies->removeRow(row);
}

// Day cards and the week

void ZoneEditDlg::on_addDaycard_clicked()
{
    m_calendar->addDayCard();
}

void ZoneEditDlg::on_daycards_itemDoubleClicked(QListWidgetItem* item)
{
    m_calendar->editDayCard(item);
}

void ZoneEditDlg::on_delDayCard_clicked()
{
    m_calendar->deleteSelectedDayCards();
}

void ZoneEditDlg::on_daycards_customContextMenuRequested(QPoint pos)
{
    m_calendar->showDayCardMenu(pos);
}

void ZoneEditDlg::useCurrentDaycardOnWholeWeek()
{
    m_calendar->useCurrentDayCardOnWholeWeek();
}

void ZoneEditDlg::on_weekDistrib_itemDoubleClicked(QTableWidgetItem* item)
{
    if (QComboBox* editor = m_calendar->openWeekCell(item))
        connect(editor, &QComboBox::currentTextChanged, this, &ZoneEditDlg::wdCellEditComplete);
}

void ZoneEditDlg::wdCellEditComplete(QString daycard)
{
    m_calendar->setWeekCell(sender(), daycard);
}

void ZoneEditDlg::on_weekDistrib_currentItemChanged(QTableWidgetItem* current, QTableWidgetItem* previous)
{
    Q_UNUSED(current)
    m_calendar->leaveWeekCell(previous);
}

// Acceptance

void ZoneEditDlg::on_buttonBox_accepted()
{
    m_calendar->closeWeekCellEditors();
    if (m_refusal->check() && savingOverOtherSaveIsMeant())
        accept();
}

QStringList ZoneEditDlg::markFaults()
{
    // Marks change the cells; that is no edit to check again.
    const QSignalBlocker weekBlocker(ui->weekDistrib);
    const QSignalBlocker strategiesBlocker(ui->strategies);
    QStringList reasons;
    QString reason;
    if (Velmora::Editors::markName(ui->zoneName, tr("The zone has no name"), &reason))
        reasons << reason;
    reason = m_calendar->markEmptyDays();
    if (!reason.isEmpty())
        reasons << reason;
    return reasons << m_strategies->markFaults();
}

bool ZoneEditDlg::savingOverOtherSaveIsMeant()
{
    // A new zone is not yet on disk: where it goes is asked when it is written.
    bool deleted = false;
    QStringList changes;
    return !m_file->changedOnDisk(&deleted, &changes)
        || Velmora::Editors::confirmSaveOverOther(this, m_file->name(), deleted, changes);
}

// The outline on the map

void ZoneEditDlg::on_editZoneGeometry_clicked()
{
    if (!m_scene || !m_overlay)
        return;
    // The map is the user's while the outline is edited.
    hide();
    auto* tool = new Velmora::Editors::MapToolWindow(this, tr("Zone edit"), tr("end edit"), QSize(150, 50));
    connect(tool, &QDialog::finished, this, &ZoneEditDlg::zoneGraphicsEditFinished);
    tool->show();
    m_overlay->setEditMode(true);
}

void ZoneEditDlg::zoneGraphicsEditFinished(int result)
{
    if (m_overlay) {
        m_overlay->setEditMode(false);
        if (result == QDialog::Accepted)
            setGeometryText(m_overlay->outlineText());
        // A discarded edit shows the stored outline again; so does a kept one,
        // now that the text holds where it was dragged.
        Velmora::Editors::showStoredOutline(m_overlay, geometryText());
    }
    if (auto* tool = qobject_cast<QDialog*>(sender()); tool && tool->parent() == this)
        tool->deleteLater();
    show();
}

// KML

QString ZoneEditDlg::selectKmlImportFile()
{
    return Velmora::Kml::selectImportFile(this);
}

QString ZoneEditDlg::selectKmlExportFile()
{
    return Velmora::Kml::selectExportFile(this);
}

void ZoneEditDlg::on_exportKml_clicked()
{
    ZoneKml::exportTo(this, selectKmlExportFile(), ui->zoneName->text(), m_zone);
}

void ZoneEditDlg::on_importKml_clicked()
{
    const QString fileName = selectKmlImportFile();
    if (fileName.isEmpty())
        return;
    hide();
    KmlImportDlg* dialog = ZoneKml::showImport(this, fileName, ui->zoneName->text(), m_zone, m_scene.data());
    connect(dialog, &QDialog::finished, this, &ZoneEditDlg::kmlImportFinished);
}

void ZoneEditDlg::kmlImportFinished(int result)
{
    auto* dialog = qobject_cast<KmlImportDlg*>(sender());
    QStringList refusedNames;
    if (dialog && result == QDialog::Accepted) {
        QString zoneName = ui->zoneName->text();
        const Velmora::Kml::AppliedImport applied = Velmora::Kml::applyImport(*dialog, m_zone, &zoneName);
        refusedNames = applied.refusedNames;
        if (applied.zoneRenamed)
            ui->zoneName->setText(zoneName);
        // Items show the names, previews the outlines the import replaced.
        if (applied.areasRenamed || !applied.areas.isEmpty())
            m_areas->fillAgain();
        Velmora::Editors::showStoredOutline(m_overlay, geometryText());
    }
    if (dialog)
        dialog->deleteLater();
    show();
    ZoneKml::tellRefusedNames(this, refusedNames);
}

// Checking: what the checker finds in the form as it stands. It informs and
// never blocks acceptance; the dialog's own validation does that.

void ZoneEditDlg::addCheckButton()
{
    auto* check = new QPushButton(tr("Check"), this);
    check->setObjectName(QStringLiteral("checkZone"));
    check->setToolTip(tr("List what the configuration refers to but lacks, repeats or gets wrong"));
    ui->bottomLayout->insertWidget(ui->bottomLayout->indexOf(ui->exportKml) + 1, check);
    connect(check, &QPushButton::clicked, this, &ZoneEditDlg::checkZone);

    auto* changes = new QPushButton(tr("Changes"), this);
    changes->setObjectName(QStringLiteral("showChanges"));
    changes->setToolTip(tr("List what saving changes in the file on disk"));
    ui->bottomLayout->insertWidget(ui->bottomLayout->indexOf(check) + 1, changes);
    connect(changes, &QPushButton::clicked, this, &ZoneEditDlg::listChanges);
}

void ZoneEditDlg::listChanges()
{
    // Against the file as it is on disk now; the editor's document stays as it is.
    QDomDocument disk;
    QStringList lines;
    Velmora::Xml::ReadError error;
    if (m_file->wasRead() && !m_file->readAsOnDisk(&disk, &error)) {
        lines << tr("The file %1 cannot be read: %2").arg(QDir::toNativeSeparators(m_file->name()), error.message);
        Velmora::Xml::releaseAside(&disk);
    }
    if (disk.documentElement().isNull())
        disk.appendChild(disk.createElement(Xml::Zone));
    writeForm(m_zone);
    lines << Velmora::ConfigDiff::compare(disk.documentElement(), m_zone);
    Velmora::Xml::releaseAside(&disk);
    Velmora::Editors::showChangeList(this, tr("Changes"), lines, tr("No changes."));
}

void ZoneEditDlg::checkZone()
{
    // Checked where it is: a copy of a large zone costs more than the check.
    m_calendar->closeWeekCellEditors();
    writeForm(m_zone);
    if (!m_findings) {
        m_findings = new FindingsWindow(this);
        connect(m_findings, &FindingsWindow::placeChosen, this, &ZoneEditDlg::selectPlace);
    }
    m_findings->showFindings(Velmora::ConfigChecker::check(m_document));
}

void ZoneEditDlg::selectPlace(const FindingsWindow::Place& place)
{
    switch (place.kind) {
    case FindingsWindow::Place::Area:
        m_areas->selectArea(place.id);
        break;
    case FindingsWindow::Place::Strategy:
        m_strategies->selectStrategy(place.id);
        break;
    case FindingsWindow::Place::DayCard:
        m_calendar->selectDayCard(place.id);
        break;
    case FindingsWindow::Place::None:
        break;
    }
}
