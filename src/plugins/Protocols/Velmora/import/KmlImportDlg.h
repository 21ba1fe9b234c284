#pragma once

#include <QDialog>
#include <QHash>
#include <QList>
#include <QMap>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>

class QGraphicsPathItem;
class QGraphicsScene;
class QTableWidgetItem;

namespace Ui {
class KmlImportDlg;
}

namespace Velmora {
namespace Editors {
class CellEditors;
class PreviewLayer;
} // namespace Editors
} // namespace Velmora

// Lets the user assign the placemarks of a KML file to the zone and its areas.
// Rows whose name equals a placemark's are assigned from the start; a double
// click on a "Kml area" cell picks another placemark or none. Choosing a
// placemark in the list previews its outline on the map scene. The results
// are read after "OK" (see Velmora::Kml::applyImport); the previews leave
// the scene with the dialog.
class KmlImportDlg : public QDialog
{
    Q_OBJECT

public:
    // An unreadable file or one that is no XML is logged; the dialog then
    // shows no placemarks and no rows, and accepting it assigns nothing. `scene` may be null:
    // no previews then.
    KmlImportDlg(const QString& fileName, const QString& zoneName, const QStringList& areaNames,
                 QWidget* parent = nullptr, QGraphicsScene* scene = nullptr);
    ~KmlImportDlg() override;

    // The placemark assigned to the zone and its outline as Geometry text;
    // empty when none was.
    QString zoneKmlName() const;
    QString zoneCoordinates() const;
    // "Replace names" is ticked: assigned items take their placemark's name.
    bool replaceNamesOn() const;
    // The same for an area, by its name; empty for an area without assignment.
    QString areaKmlName(const QString& areaName) const;
    QString areaCoordinates(const QString& areaName) const;

private slots:
    void on_velmoraItems_itemDoubleClicked(QTableWidgetItem* item);
    void cellEditComplete(int index);
    void on_velmoraItems_currentItemChanged(QTableWidgetItem* current, QTableWidgetItem* previous);
    void on_buttonBox_accepted();
    void on_kmlItems_currentRowChanged(int row);

private:
    void addRow(const QString& name, const QString& type);
    // A hidden preview of the outline on the scene; null without a scene.
    QGraphicsPathItem* addPreview(const QString& coordinates);

    Ui::KmlImportDlg* ui;
    Velmora::Editors::CellEditors* m_cellEditors;
    QStringList m_kmlNames; // what a row can be assigned: each placemark name once
    QHash<QString, QString> m_firstOutlines; // placemark name -> outline of its first placemark
    QTableWidgetItem* m_zoneItem = nullptr;
    QString m_zoneKmlName;
    QString m_zoneCoordinates;
    QMap<QString, QPair<QString, QString>> m_areaAssignments; // area name -> (placemark, outline)
    QPointer<QGraphicsScene> m_scene;
    std::unique_ptr<Velmora::Editors::PreviewLayer> m_previews; // the placemarks' outlines, leaving with the dialog
    QGraphicsPathItem* m_shownPreview = nullptr;
};
