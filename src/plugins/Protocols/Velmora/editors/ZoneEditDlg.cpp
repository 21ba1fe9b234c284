#include "ZoneEditDlg.h"
#include "ui_ZoneEditDlg.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGraphicsPathItem>
#include <QGraphicsScene>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPainterPath>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <QSplitter>
#include <QStringList>

#include "AreaEditDlg.h"
#include "CalendarEditor.h"
#include "DescribedItem.h"
#include "DomMetaType.h"
#include "Refusal.h"
#include "EditorPrompts.h"
#include "IdField.h"
#include "Logging.h"
#include "MapToolWindow.h"
#include "PreviewLayer.h"
#include "StratEditDlg.h"
#include "SubDialog.h"
#include "TableKeys.h"
#include "format/ConfigChecker.h"
#include "format/ConfigDiff.h"
#include "format/ConfigEdits.h"
#include "format/ConfigReader.h"
#include "format/GeometryText.h"
#include "format/Vocabulary.h"
#include "format/XmlDocument.h"
#include "format/XmlText.h"
#include "graphics/GraphicsArea.h"
#include "import/KmlExport.h"
#include "import/KmlImport.h"
#include "import/KmlImportDlg.h"

// An area item keeps its outline preview, an area editor the item it edits.
Q_DECLARE_METATYPE(QGraphicsPathItem*)
Q_DECLARE_METATYPE(QListWidgetItem*)

namespace Xml = Velmora::Xml;
using Velmora::Editors::markCell;
using Velmora::Editors::markField;
using Velmora::Editors::SubDialog;

namespace {

enum StrategyColumn { IdColumn = 0, NameColumn = 1, DefaultColumn = 2 };
constexpr int PreviewRole = Qt::UserRole + 1;

template<typename Item>
QDomElement elementOf(const Item* item)
{
    return item ? item->data(Qt::UserRole).template value<QDomElement>() : QDomElement();
}

QString areaText(const QDomElement& area)
{
    return area.attribute(Xml::id) + QStringLiteral(" (") + area.attribute(Xml::name) + QStringLiteral(")");
}

QPainterPath outlinePath(const QString& geometry)
{
    QPainterPath path;
    const QVector<QPointF> points = Velmora::Geometry::parsePointsLenient(geometry);
    for (int i = 0; i < points.size(); ++i) {
        if (i == 0)
            path.moveTo(points.at(i));
        else
            path.lineTo(points.at(i));
    }
    return path;
}

// The file's bytes as they are now; false when it is gone or cannot be read.
bool readBytes(const QString& fileName, QByteArray* bytes, QString* error = nullptr)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    *bytes = file.readAll();
    return true;
}

} // namespace

ZoneEditDlg::ZoneEditDlg(QString fileName, QWidget* parent, QGraphicsScene* scene)
    : QDialog(parent)
    , ui(new Ui::ZoneEditDlg)
    , m_scene(scene)
    , m_previewLayer(std::make_unique<Velmora::Editors::PreviewLayer>(scene, 0.0))
    , m_fileName(fileName)
{
    Velmora::Editors::registerDomElementType();
    qRegisterMetaType<QGraphicsPathItem*>("QGraphicsPathItem*");
    ui->setupUi(this);
    m_id = new Velmora::Editors::IdField(ui->zoneId);
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
    m_openedText = formText();
    m_openedId = m_zone.attribute(Xml::id);
    m_openedName = m_zone.attribute(Xml::name);
}

ZoneEditDlg::~ZoneEditDlg()
{
    // No slot runs on a dialog being torn down: taking the previews away must
    // not make the list show another one, emptied lists check nothing.
    for (QObject* object : findChildren<QObject*>())
        object->blockSignals(true);
    // Nothing of the editor stays on the map.
    m_previewLayer.reset();
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
    // The bytes stay: a save over what someone else wrote since is noticed.
    m_fileExisted = readBytes(fileName, &m_fileBytes, &error.message);
    if (!m_fileExisted)
        error.kind = Velmora::Xml::ReadError::CannotOpen;
    else if (Velmora::Xml::parseDocumentAside(m_fileBytes, &m_document, &error))
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

    for (QDomElement area = areasElement().firstChildElement(Xml::Area); !area.isNull();
         area = area.nextSiblingElement(Xml::Area))
        fillAreaItem(area);

    for (QDomElement strategy = strategiesElement().firstChildElement(Xml::Strategy); !strategy.isNull();
         strategy = strategy.nextSiblingElement(Xml::Strategy))
        addStrategyRow(strategy);
    ui->strategies->resizeColumnsToContents();
    for (QPushButton* button : {ui->addStrat, ui->delStrat}) {
        auto* action = new QAction(button->icon(), button->text(), ui->strategies);
        connect(action, &QAction::triggered, button, &QPushButton::clicked);
        ui->strategies->addAction(action);
    }
    ui->strategies->setContextMenuPolicy(Qt::ActionsContextMenu);

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

QDomDocument ZoneEditDlg::formDocument() const
{
    QDomDocument copy = m_document.cloneNode(true).toDocument();
    writeForm(copy.documentElement());
    return copy;
}

QByteArray ZoneEditDlg::formText() const
{
    writeForm(m_zone);
    return m_document.toByteArray(-1);
}

bool ZoneEditDlg::hasChanges() const
{
    if (formText() == m_openedText)
        return false;
    // Texts differ also where the configurations do not (an edit taken back
    // in another order): the comparison decides.
    QDomDocument opened;
    opened.setContent(m_openedText);
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

void ZoneEditDlg::fillAreaItem(const QDomElement& area, QListWidgetItem* item)
{
    const bool isNew = !item;
    if (isNew)
        item = new QListWidgetItem;
    item->setText(areaText(area));
    item->setData(Qt::UserRole, QVariant::fromValue(area));
    const QDomElement geometry = area.firstChildElement(Xml::Geometry);
    if (m_scene && !geometry.isNull()) {
        const QPainterPath path = outlinePath(Xml::firstText(geometry));
        QGraphicsPathItem* preview = previewOf(item);
        if (preview) {
            preview->setPath(path);
        } else {
            preview = m_previewLayer->add(path);
            item->setData(PreviewRole, QVariant::fromValue(preview));
        }
        // The current area's outline stays in view.
        preview->setVisible(preview == m_shownPreview);
    }
    // Added with its data, so that becoming current shows its preview.
    if (isNew)
        ui->areas->addItem(item);
}

QGraphicsPathItem* ZoneEditDlg::previewOf(const QListWidgetItem* item) const
{
    // Previews of a scene that was deleted went with it.
    return item && m_scene ? item->data(PreviewRole).value<QGraphicsPathItem*>() : nullptr;
}

void ZoneEditDlg::deletePreview(QListWidgetItem* item)
{
    QGraphicsPathItem* preview = previewOf(item);
    if (!preview)
        return;
    if (preview == m_shownPreview)
        m_shownPreview = nullptr;
    item->setData(PreviewRole, QVariant());
    delete preview;
}

bool ZoneEditDlg::isAreaItem(const QListWidgetItem* item) const
{
    for (int row = 0; item && row < ui->areas->count(); ++row) {
        if (ui->areas->item(row) == item)
            return true;
    }
    return false;
}

void ZoneEditDlg::on_areas_currentRowChanged(int currentRow)
{
    if (m_shownPreview && m_scene)
        m_shownPreview->hide();
    m_shownPreview = previewOf(ui->areas->item(currentRow));
    if (m_shownPreview)
        m_shownPreview->show();
}

void ZoneEditDlg::openAreaEditor(const QDomElement& area, void (ZoneEditDlg::*finished)(int), QListWidgetItem* item)
{
    // Modal, but the zone editor does not wait: the area editor hides both
    // while the user works on the map.
    auto* editor = new AreaEditDlg(areasElement(), area, this, m_scene.data());
    editor->cnfStorage = cnfStorage.data();
    if (item)
        editor->setProperty("item", QVariant::fromValue(item));
    connect(editor, &QDialog::finished, this, finished);
    editor->setModal(true);
    editor->show();
}

void ZoneEditDlg::on_addArea_clicked()
{
    QDomElement area = m_document.createElement(Xml::Area);
    QDomElement controllers = m_document.createElement(Xml::Controllers);
    controllers.appendChild(m_document.createTextNode(QString()));
    area.appendChild(controllers);
    area.appendChild(m_document.createElement(Xml::States));
    QDomElement calendar = m_document.createElement(Xml::Calendar);
    QDomElement week = m_document.createElement(Xml::WeekDistribution);
    week.appendChild(m_document.createTextNode(QString()));
    calendar.appendChild(week);
    calendar.appendChild(m_document.createElement(Xml::DayCards));
    area.appendChild(calendar);
    openAreaEditor(area, &ZoneEditDlg::areaCreateFinished, nullptr);
}

void ZoneEditDlg::areaCreateFinished(int result)
{
    auto* editor = qobject_cast<AreaEditDlg*>(sender());
    if (!editor)
        return;
    if (result == QDialog::Accepted) {
        const QDomElement area = areasElement().appendChild(editor->areaElement()).toElement();
        fillAreaItem(area);
    }
    editor->deleteLater();
}

void ZoneEditDlg::on_areas_itemDoubleClicked(QListWidgetItem* item)
{
    const QDomElement area = elementOf(item);
    if (!area.isNull())
        openAreaEditor(area, &ZoneEditDlg::areaEditFinished, item);
}

void ZoneEditDlg::areaEditFinished(int result)
{
    auto* editor = qobject_cast<AreaEditDlg*>(sender());
    if (!editor)
        return;
    auto* item = editor->property("item").value<QListWidgetItem*>();
    const QDomElement old = isAreaItem(item) ? elementOf(item) : QDomElement();
    if (result == QDialog::Accepted && !old.isNull()) {
        const QString oldId = old.attribute(Xml::id);
        const QDomElement area = editor->areaElement();
        areasElement().replaceChild(area, old);
        // Strategies name their areas by id: a renumbered area stays theirs.
        Velmora::ConfigEdit::renumberArea(m_zone, oldId, area.attribute(Xml::id));
        // The preview follows an outline drawn in the area editor.
        fillAreaItem(area, item);
    }
    editor->deleteLater();
}

void ZoneEditDlg::on_delArea_clicked()
{
    const QDomDocument before = formDocument();
    deleteSelectedAreas();
    tellChangesSince(before);
}

void ZoneEditDlg::deleteSelectedAreas()
{
    const QList<QListWidgetItem*> selected = ui->areas->selectedItems();
    for (QListWidgetItem* item : selected) {
        const QDomElement area = elementOf(item);
        if (area.isNull())
            continue;
        deletePreview(item);
        // A strategy that used only this area has nothing left to drive.
        forget(Velmora::ConfigEdit::deleteArea(m_zone, area));
        delete item;
    }
}

void ZoneEditDlg::forget(const Velmora::ConfigEdit::Removed& removed)
{
    QTableWidget* table = ui->strategies;
    for (int row = table->rowCount() - 1; row >= 0; --row) {
        if (removed.strategies.contains(elementOf(table->item(row, IdColumn))))
            table->removeRow(row);
    }
    m_calendar->forget(removed);
}

// Strategies

void ZoneEditDlg::addStrategyRow(const QDomElement& strategy, int row)
{
    QTableWidget* table = ui->strategies;
    if (row < 0)
        row = table->rowCount();
    table->insertRow(row);
    auto* idCell = new QTableWidgetItem(strategy.attribute(Xml::id));
    idCell->setData(Qt::UserRole, QVariant::fromValue(strategy));
    table->setItem(row, IdColumn, idCell);
    table->setItem(row, NameColumn, new QTableWidgetItem(strategy.attribute(Xml::name)));
    auto* defaultCell = new Velmora::Editors::DescribedItem([](const QTableWidgetItem& cell) {
        return cell.data(Qt::EditRole).toBool() ? tr("The zone's default strategy") : tr("Not the default strategy");
    });
    defaultCell->setData(Qt::EditRole, Velmora::Config::isDefault(strategy));
    table->setItem(row, DefaultColumn, defaultCell);
}

void ZoneEditDlg::on_addStrat_clicked()
{
    SubDialog<StratEditDlg> editor(new StratEditDlg(areasElement(), strategiesElement(), QDomElement(), this));
    if (!editor.accepted())
        return;
    QDomElement strategy = editor->strategyElement(m_document);
    // A zone always has a default strategy; its first one is it.
    if (ui->strategies->rowCount() == 0)
        strategy.setAttribute(Xml::default_, 1);
    addStrategyRow(strategy);
    strategiesElement().appendChild(strategy);
}

void ZoneEditDlg::on_strategies_itemDoubleClicked(QTableWidgetItem* item)
{
    if (!item)
        return;
    QTableWidget* table = ui->strategies;
    const int row = item->row();
    if (item->column() == DefaultColumn) {
        item->setData(Qt::EditRole, !item->data(Qt::EditRole).toBool());
        for (int other = 0; other < table->rowCount(); ++other) {
            QDomElement strategy = elementOf(table->item(other, IdColumn));
            if (other == row) {
                strategy.setAttribute(Xml::default_, 1);
                continue;
            }
            if (QTableWidgetItem* cell = table->item(other, DefaultColumn))
                cell->setData(Qt::EditRole, false);
            strategy.removeAttribute(Xml::default_);
        }
        return;
    }

    QTableWidgetItem* idCell = table->item(row, IdColumn);
    const QDomElement old = elementOf(idCell);
    if (old.isNull())
        return;
    QDomElement strategies = old.parentNode().toElement();
    SubDialog<StratEditDlg> editor(new StratEditDlg(areasElement(), strategies, old, this));
    if (!editor.accepted())
        return;
    QDomElement strategy = editor->strategyElement(m_document);
    const QTableWidgetItem* defaultCell = table->item(row, DefaultColumn);
    if (defaultCell && defaultCell->data(Qt::EditRole).toBool())
        strategy.setAttribute(Xml::default_, 1);
    strategies.replaceChild(strategy, old);
    // Day cards name their strategies by id: a renumbered strategy stays theirs.
    Velmora::ConfigEdit::renumberStrategy(m_zone, old.attribute(Xml::id), strategy.attribute(Xml::id));
    idCell->setData(Qt::UserRole, QVariant::fromValue(strategy));
    idCell->setText(strategy.attribute(Xml::id));
    if (QTableWidgetItem* nameCell = table->item(row, NameColumn))
        nameCell->setText(strategy.attribute(Xml::name));
}

void ZoneEditDlg::on_delStrat_clicked()
{
    const QDomDocument before = formDocument();
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
        m_reason, Velmora::ConfigDiff::compareParts(before.documentElement(), formDocument().documentElement()));
}

void ZoneEditDlg::deleteStrategy(int row)
{
    const QDomElement strategy = elementOf(ui->strategies->item(row, IdColumn));
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

    QTableWidget* table = ui->strategies;
    markField(table, table->rowCount() == 0, tr("No strategy"));
    if (table->rowCount() == 0)
        return reasons << tr("No strategy");
    bool anyDefault = false;
    for (int row = 0; row < table->rowCount(); ++row) {
        const QTableWidgetItem* cell = table->item(row, DefaultColumn);
        anyDefault = anyDefault || (cell && cell->data(Qt::EditRole).toBool());
    }
    for (int row = 0; row < table->rowCount(); ++row) {
        if (QTableWidgetItem* cell = table->item(row, DefaultColumn))
            markCell(cell, !anyDefault, tr("No default strategy"));
    }
    if (!anyDefault)
        reasons << tr("No default strategy");
    return reasons;
}

bool ZoneEditDlg::savingOverOtherSaveIsMeant()
{
    if (!m_fileExisted)
        return true; // a new zone: where it goes is asked when it is written
    QByteArray now;
    const bool exists = readBytes(m_fileName, &now);
    if (exists && now == m_fileBytes)
        return true;
    QStringList changes;
    QString error;
    if (exists && !Velmora::ConfigDiff::compareTexts(m_fileBytes, now, &changes, &error))
        changes << error;
    return Velmora::Editors::confirmSaveOverOther(this, m_fileName, !exists, changes);
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
    QString fileName = selectKmlExportFile();
    // What the user typed without an extension is still a KML file.
    if (!fileName.isEmpty() && QFileInfo(fileName).suffix().isEmpty())
        fileName += QStringLiteral(".kml");
    QString error;
    if (!fileName.isEmpty() && !Velmora::Kml::exportZone(fileName, ui->zoneName->text(), m_zone, &error))
        QMessageBox::warning(this, tr("Error"), error);
}

void ZoneEditDlg::on_importKml_clicked()
{
    const QString fileName = selectKmlImportFile();
    if (fileName.isEmpty())
        return;
    auto* dialog = new KmlImportDlg(fileName, ui->zoneName->text(), Velmora::Kml::areaNames(m_zone), this,
                                    m_scene.data());
    connect(dialog, &QDialog::finished, this, &ZoneEditDlg::kmlImportFinished);
    // The user compares the placemarks' previews with the map.
    hide();
    dialog->setWindowFlags(dialog->windowFlags() | Qt::Tool);
    dialog->show();
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
        if (applied.areasRenamed || !applied.areas.isEmpty()) {
            for (int row = 0; row < ui->areas->count(); ++row) {
                QListWidgetItem* item = ui->areas->item(row);
                const QDomElement area = elementOf(item);
                if (!area.isNull())
                    fillAreaItem(area, item);
            }
        }
        Velmora::Editors::showStoredOutline(m_overlay, geometryText());
    }
    if (dialog)
        dialog->deleteLater();
    show();
    if (!refusedNames.isEmpty()) {
        for (QString& name : refusedNames)
            name = Velmora::Editors::withCodesShown(name);
        QMessageBox::warning(this, tr("Warning"),
                             tr("These names in the KML file hold characters a zone file cannot carry and were not "
                                "taken: %1").arg(refusedNames.join(QStringLiteral(", "))));
    }
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
    if (m_fileExisted && !Velmora::Xml::readDocument(m_fileName, &disk, &error)) {
        lines << tr("The file %1 cannot be read: %2").arg(QDir::toNativeSeparators(m_fileName), error.message);
        disk = QDomDocument();
    }
    if (disk.documentElement().isNull())
        disk.appendChild(disk.createElement(Xml::Zone));
    lines << Velmora::ConfigDiff::compare(disk.documentElement(), formDocument().documentElement());
    Velmora::Editors::showChangeList(this, tr("Changes"), lines, tr("No changes."));
}

void ZoneEditDlg::checkZone()
{
    // Checked where it is: a copy of a large zone costs more than the check.
    m_calendar->closeWeekCellEditors();
    writeForm(m_zone);
    const Velmora::ConfigFindings findings = Velmora::ConfigChecker::check(m_document);
    if (!m_findings) {
        auto* window = new QDialog(this, Qt::Tool);
        window->setWindowTitle(tr("Check"));
        window->resize(560, 240);
        auto* layout = new QVBoxLayout(window);
        m_findings = new QListWidget(window);
        m_findings->setObjectName(QStringLiteral("findings"));
        layout->addWidget(m_findings);
        connect(m_findings, &QListWidget::itemClicked, this, &ZoneEditDlg::showFinding);
    }
    m_findings->clear();
    for (const Velmora::ConfigFinding& finding : findings) {
        const QString severity = finding.isError() ? tr("error") : tr("warning");
        auto* item = new QListWidgetItem(
            finding.line > 0 ? tr("%1: %2 (line %3)").arg(severity, finding.message).arg(finding.line)
                             : tr("%1: %2").arg(severity, finding.message),
            m_findings);
        item->setData(Qt::UserRole, finding.path);
        if (finding.isError())
            item->setForeground(Qt::red);
    }
    if (findings.isEmpty())
        new QListWidgetItem(tr("No faults found."), m_findings);
    m_findings->parentWidget()->show();
    m_findings->parentWidget()->raise();
}

void ZoneEditDlg::showFinding(QListWidgetItem* item)
{
    if (item)
        selectElementAt(item->data(Qt::UserRole).toString());
}

void ZoneEditDlg::selectElementAt(const QString& path)
{
    static const QRegularExpression area(QStringLiteral("^Areas/Area\\[id=(\\d+)\\]"));
    static const QRegularExpression strategy(QStringLiteral("^Strategies/Strategy\\[id=(\\d+)\\]"));
    static const QRegularExpression card(QStringLiteral("^Calendar/DayCards/DayCard\\[id=(\\d+)\\]"));
    QRegularExpressionMatch match = area.match(path);
    if (match.hasMatch()) {
        for (int row = 0; row < ui->areas->count(); ++row) {
            const QDomElement element = ui->areas->item(row)->data(Qt::UserRole).value<QDomElement>();
            if (element.attribute(Xml::id) == match.captured(1)) {
                ui->areas->setCurrentRow(row);
                return;
            }
        }
        return;
    }
    match = strategy.match(path);
    if (match.hasMatch()) {
        for (int row = 0; row < ui->strategies->rowCount(); ++row) {
            if (ui->strategies->item(row, 0) && ui->strategies->item(row, 0)->text() == match.captured(1)) {
                ui->strategies->selectRow(row);
                return;
            }
        }
        return;
    }
    match = card.match(path);
    if (match.hasMatch()) {
        const QList<QListWidgetItem*> items = ui->daycards->findItems(match.captured(1), Qt::MatchExactly);
        if (!items.isEmpty())
            ui->daycards->setCurrentItem(items.first());
    }
}
