#include "KmlImportDlg.h"
#include "ui_KmlImportDlg.h"

#include <QComboBox>
#include <QGraphicsPathItem>
#include <QGraphicsScene>
#include <QPainterPath>
#include <QSet>

#include "KmlImport.h"
#include "Logging.h"
#include "editors/CellEditors.h"
#include "editors/PreviewLayer.h"
#include "format/GeometryText.h"


namespace {

enum Column { NameColumn, TypeColumn, KmlColumn };

constexpr int CoordinatesRole = Qt::UserRole;
constexpr int PreviewRole = Qt::UserRole + 1;

// Above the map items and the editors' outline overlays.
constexpr qreal PreviewZ = 110.0;

} // namespace

KmlImportDlg::KmlImportDlg(const QString& fileName, const QString& zoneName, const QStringList& areaNames,
                           QWidget* parent, QGraphicsScene* scene)
    : QDialog(parent)
    , ui(new Ui::KmlImportDlg)
    , m_scene(scene)
    , m_previews(std::make_unique<Velmora::Editors::PreviewLayer>(scene, PreviewZ))
{
    ui->setupUi(this);
    m_cellEditors = new Velmora::Editors::CellEditors(ui->velmoraItems);

    QList<Velmora::Kml::Placemark> placemarks;
    QString error;
    if (!Velmora::Kml::readPlacemarks(fileName, &placemarks, &error)) {
        // Nothing to assign: no rows either, so "OK" changes nothing.
        qCWarning(Velmora::lcEdit).noquote() << error;
        return;
    }

    for (const Velmora::Kml::Placemark& placemark : qAsConst(placemarks)) {
        // A row holds a name only, so a name that comes twice means its first placemark.
        if (!m_firstOutlines.contains(placemark.name)) {
            m_kmlNames.append(placemark.name);
            m_firstOutlines.insert(placemark.name, placemark.coordinates);
        }
        // Filled before it joins the list: an item that is in no list yet is
        // looked for in the whole list on every change of its data.
        auto* entry = new QListWidgetItem(placemark.name);
        entry->setData(CoordinatesRole, placemark.coordinates);
        if (QGraphicsPathItem* preview = addPreview(placemark.coordinates))
            entry->setData(PreviewRole, QVariant::fromValue<QGraphicsItem*>(preview));
        ui->kmlItems->addItem(entry);
    }

    addRow(zoneName, tr("zone"));
    m_zoneItem = ui->velmoraItems->item(0, NameColumn);
    QSet<QString> offered;
    for (const QString& area : areaNames) {
        // Areas are known by name: one row serves every area of that name,
        // and an unnamed area cannot be told apart at all.
        if (area.isEmpty() || offered.contains(area))
            continue;
        offered.insert(area);
        addRow(area, tr("area"));
    }
    ui->velmoraItems->resizeColumnsToContents();
}

KmlImportDlg::~KmlImportDlg()
{
    delete ui;
}

void KmlImportDlg::addRow(const QString& name, const QString& type)
{
    QTableWidget* table = ui->velmoraItems;
    const int row = table->rowCount();
    table->insertRow(row);
    table->setItem(row, NameColumn, new QTableWidgetItem(name));
    table->setItem(row, TypeColumn, new QTableWidgetItem(type));
    table->setItem(row, KmlColumn, new QTableWidgetItem(m_firstOutlines.contains(name) ? name : QString()));
}

QGraphicsPathItem* KmlImportDlg::addPreview(const QString& coordinates)
{
    if (!m_scene)
        return nullptr;
    const QVector<QPointF> points = Velmora::Geometry::parsePointsLenient(coordinates);
    QPainterPath path;
    for (const QPointF& point : points) {
        if (path.elementCount() == 0)
            path.moveTo(point);
        else
            path.lineTo(point);
    }
    path.closeSubpath();
    return m_previews->add(path);
}

QString KmlImportDlg::zoneKmlName() const
{
    return m_zoneKmlName;
}

QString KmlImportDlg::zoneCoordinates() const
{
    return m_zoneCoordinates;
}

bool KmlImportDlg::replaceNamesOn() const
{
    return ui->replaceNames->isChecked();
}

QString KmlImportDlg::areaKmlName(const QString& areaName) const
{
    return m_areaAssignments.value(areaName).first;
}

QString KmlImportDlg::areaCoordinates(const QString& areaName) const
{
    return m_areaAssignments.value(areaName).second;
}

void KmlImportDlg::on_velmoraItems_itemDoubleClicked(QTableWidgetItem* item)
{
    if (!item || item->column() != KmlColumn)
        return;
    auto* editor = new QComboBox;
    editor->addItem(tr("not using"));
    editor->addItems(m_kmlNames);
    // An empty cell has no current entry; "not using" is chosen explicitly.
    editor->setCurrentIndex(item->text().isEmpty()
                                ? -1
                                : editor->findText(item->text(), Qt::MatchExactly | Qt::MatchCaseSensitive));
    m_cellEditors->open(item, editor);
    connect(editor, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &KmlImportDlg::cellEditComplete);
}

void KmlImportDlg::cellEditComplete(int index)
{
    auto* editor = qobject_cast<QComboBox*>(sender());
    QTableWidgetItem* cell = m_cellEditors->cellOf(editor);
    if (!cell || index < 0)
        return;
    cell->setText(index == 0 ? QString() : editor->itemText(index));
}

void KmlImportDlg::on_velmoraItems_currentItemChanged(QTableWidgetItem* current, QTableWidgetItem* previous)
{
    Q_UNUSED(current)
    m_cellEditors->close(previous);
}

void KmlImportDlg::on_buttonBox_accepted()
{
    // Closes an open combo box; its choice is already in the cell.
    ui->velmoraItems->setCurrentItem(nullptr);

    m_zoneKmlName.clear();
    m_zoneCoordinates.clear();
    m_areaAssignments.clear();
    const QTableWidget* table = ui->velmoraItems;
    for (int row = 0; row < table->rowCount(); ++row) {
        const QString kmlName = table->item(row, KmlColumn)->text();
        const QString coordinates = m_firstOutlines.value(kmlName);
        if (coordinates.isEmpty())
            continue;
        if (table->item(row, NameColumn) == m_zoneItem) {
            m_zoneKmlName = kmlName;
            m_zoneCoordinates = coordinates;
        } else {
            m_areaAssignments.insert(table->item(row, NameColumn)->text(), qMakePair(kmlName, coordinates));
        }
    }
    accept();
}

void KmlImportDlg::on_kmlItems_currentRowChanged(int row)
{
    if (m_shownPreview && m_scene)
        m_shownPreview->hide();
    m_shownPreview = nullptr;
    const QListWidgetItem* entry = ui->kmlItems->item(row);
    if (!entry || !m_scene)
        return;
    m_shownPreview = qgraphicsitem_cast<QGraphicsPathItem*>(entry->data(PreviewRole).value<QGraphicsItem*>());
    if (m_shownPreview)
        m_shownPreview->show();
}
