#pragma once

#include <QByteArray>
#include <QDialog>
#include <QDomDocument>
#include <QDomElement>
#include <QList>
#include <QPointer>
#include <QString>

#include <memory>

#include "FindingsWindow.h"

class GraphicsArea;
class QGraphicsScene;
class QLabel;
class QListWidgetItem;
class QPoint;
class QTableWidgetItem;

namespace Ui {
class ZoneEditDlg;
}

namespace Velmora {
namespace ConfigEdit {
struct Removed;
}
namespace Editors {
class AreaList;
class CalendarEditor;
class IdField;
class OpenedFile;
class OpenedText;
class Refusal;
class StrategyTable;
} // namespace Editors
} // namespace Velmora

// Edits one zone configuration: the zone's id and name, its areas, strategies,
// day cards and weekly schedule, and its outline on the map. Works on its own
// copy of the configuration; areas, strategies and day cards are edited in
// their own dialogs, whose elements are put in place here. Nothing reaches a
// file: the opener takes zoneDocument() after the dialog was accepted.
class ZoneEditDlg : public QDialog
{
    Q_OBJECT

public:
    // An empty or non-existent `fileName` starts a new zone. A file that
    // cannot be read or parsed is logged and the dialog closes itself as
    // rejected once the event loop runs. `scene` may be null: then nothing is
    // shown or edited on the map.
    ZoneEditDlg(QString fileName, QWidget* parent = nullptr, QGraphicsScene* scene = nullptr);
    ~ZoneEditDlg() override;

    // The host's storage service; the editor only hands it to every area
    // editor it opens. Set by the opener before the dialog is shown.
    QPointer<QObject> cnfStorage;

    // Writes the form into the document and returns a copy of it; after
    // acceptance the document itself, which the editor no longer changes.
    QDomDocument zoneDocument();

public slots:
    // Asks first when the editor holds changes; they go only when the user
    // says so.
    void reject() override;

protected:
    // The KML files to read and write; empty when the user cancelled.
    virtual QString selectKmlImportFile();
    virtual QString selectKmlExportFile();

private slots:
    void on_weekDistrib_itemDoubleClicked(QTableWidgetItem* item);
    void wdCellEditComplete(QString daycard);
    void on_daycards_itemDoubleClicked(QListWidgetItem* item);
    void on_weekDistrib_currentItemChanged(QTableWidgetItem* current, QTableWidgetItem* previous);
    void on_addDaycard_clicked();
    void on_delDayCard_clicked();
    void on_strategies_itemDoubleClicked(QTableWidgetItem* item);
    void on_addStrat_clicked();
    void on_delStrat_clicked();
    void on_areas_itemDoubleClicked(QListWidgetItem* item);
    void on_addArea_clicked();
    void on_delArea_clicked();
    void on_buttonBox_accepted();
    void on_importKml_clicked();
    void on_exportKml_clicked();
    void on_daycards_customContextMenuRequested(QPoint pos);
    void areaCreateFinished(int result);
    void areaEditFinished(int result);
    void kmlImportFinished(int result);
    void useCurrentDaycardOnWholeWeek();
    void on_areas_currentRowChanged(int currentRow);
    void zoneGraphicsEditFinished(int result);
    void on_editZoneGeometry_clicked();
    void checkZone();
    void listChanges();

private:
    bool readFile(const QString& fileName);
    void ensureSkeleton();
    void fillForm();
    void makeSplitter();
    void writeForm(QDomElement zone) const;
    // The form written into the document, and the parts a deletion may take
    // along copied (ConfigDiff::partsSnapshot).
    QDomDocument partsSnapshot() const;
    // The form written into the document, serialised without indentation:
    // two equal texts are one configuration.
    QByteArray formText() const;
    bool hasChanges() const;
    // Marks what keeps the dialog from accepting; the reasons in words.
    QStringList markFaults();
    // True unless the file was changed or deleted by someone else since it was
    // opened and the user goes back to editing.
    bool savingOverOtherSaveIsMeant();
    void tellChangesSince(const QDomDocument& before);
    void deleteSelectedAreas();
    // Drops the rows of what a cascading edit removed.
    void forget(const Velmora::ConfigEdit::Removed& removed);

    QDomElement strategiesElement() const;
    QDomElement areasElement() const;
    QString geometryText() const;
    void setGeometryText(const QString& text);

    void openAreaEditor(const QDomElement& area, void (ZoneEditDlg::*finished)(int), QListWidgetItem* item);

    void deleteStrategy(int row);
    void addCheckButton();
    // Makes the row of a finding's area, strategy or day card current.
    void selectPlace(const Velmora::Editors::FindingsWindow::Place& place);

    Ui::ZoneEditDlg* ui;
    Velmora::Editors::IdField* m_id;
    Velmora::Editors::CalendarEditor* m_calendar;
    // Owns the areas' previews, so that none outlives the editor.
    std::unique_ptr<Velmora::Editors::AreaList> m_areas;
    Velmora::Editors::StrategyTable* m_strategies;
    QDomDocument m_document;
    QDomElement m_zone;
    QPointer<QGraphicsScene> m_scene;
    QPointer<GraphicsArea> m_overlay;
    QPointer<Velmora::Editors::FindingsWindow> m_findings; // made on the first check
    QLabel* m_reason = nullptr;
    Velmora::Editors::Refusal* m_refusal = nullptr;
    // The form as it was opened, to tell whether anything changed; a text
    // holds a large zone in a fraction of a document's memory.
    Velmora::Editors::OpenedText* m_openedText = nullptr;
    QString m_openedId;
    QString m_openedName;
    std::unique_ptr<Velmora::Editors::OpenedFile> m_file;
};
