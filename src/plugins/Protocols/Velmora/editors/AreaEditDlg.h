#pragma once

#include <QDialog>
#include <QDomElement>
#include <QList>
#include <QPointer>
#include <QSet>
#include <QString>

class AreaGraphicsItem;
class GraphicsArea;
class QGraphicsScene;
class QLabel;
class QListWidgetItem;
class QPoint;
class QSize;
class QTableWidgetItem;

namespace Ui {
class AreaEditDlg;
}

namespace Velmora {
namespace ConfigEdit {
struct Removed;
}
namespace Editors {
class CalendarEditor;
class IdField;
class Refusal;
} // namespace Editors
} // namespace Velmora

// Edits one control area of the zone: id and name, its controllers, its
// states, day cards, special days and weekly schedule, and its outline on the
// map. Works on a deep copy of the area element, so that cancelling leaves the
// zone editor's document as it was; areaElement() hands the edited copy back.
// While the editor lives its outline is shown on the scene; the overlay and a
// running creation from the map go with the editor.
class AreaEditDlg : public QDialog
{
    Q_OBJECT

public:
    // `areas` is the zone's Areas element (for the ids taken), `area` the
    // element to edit: one of `areas` or an unattached new one. `scene` may be
    // null: then nothing is shown or picked on the map.
    AreaEditDlg(QDomElement areas, QDomElement area, QWidget* parent, QGraphicsScene* scene);
    ~AreaEditDlg() override;

    // The host's storage service, handed to every controllers state editor
    // opened from here; set by the opener before the dialog is shown.
    QPointer<QObject> cnfStorage;

    // Writes the form into the edited element and returns it.
    QDomElement areaElement();

    // Puts an area converted from a TRANSYT report in place of the edited
    // one: its id, name, controllers, states and calendar replace ours, the
    // outline stays, and the form shows the new area.
    void applyImportedArea(const QDomElement& imported);

public slots:
    // Asks first when the editor holds changes; they go only when the user
    // says so.
    void reject() override;

private slots:
    void on_daycards_itemDoubleClicked(QListWidgetItem* item);
    void on_addDaycard_clicked();
    void on_delDayCard_clicked();
    void on_states_itemDoubleClicked(QListWidgetItem* item);
    void on_addState_clicked();
    void on_delState_clicked();
    void on_addController_clicked();
    void on_delController_clicked();
    void on_weekDistrib_itemDoubleClicked(QTableWidgetItem* item);
    void on_weekDistrib_currentItemChanged(QTableWidgetItem* current, QTableWidgetItem* previous);
    void wdCellEditComplete(QString daycard);
    void on_controllers_itemChanged(QListWidgetItem* item);
    void on_buttonBox_accepted();
    void on_specilaDays_itemDoubleClicked(QListWidgetItem* item);
    void on_addSpecialDay_clicked();
    void on_delSpecialDay_clicked();
    void on_loadTol_clicked();
    void useCurrentDaycardOnWholeWeek();
    void on_daycards_customContextMenuRequested(QPoint pos);
    void on_controllersFromMap_clicked();
    void areaGraphicsFinished(int result);
    void on_editGeometry_clicked();
    void editGeometryFinished(int result);
    void listChanges();

private:
    void ensureSkeleton();
    void writeForm(QDomElement area) const;
    // The edited element with the form written into a copy.
    QDomElement formElement() const;
    // Marks what keeps the dialog from accepting; the reasons in words.
    QStringList markFaults();
    void tellChangesSince(const QDomElement& before);
    void addChangesButton();
    void fillForm();
    QDomElement statesElement() const;
    void setGeometryText(const QString& text);
    QString geometryText() const;

    void addController(const QString& number);
    void deleteControllers(const QList<QListWidgetItem*>& items);
    // The numbers the list shows, each once.
    QSet<QString> listedControllers() const;
    void addStateItem(const QDomElement& state, QListWidgetItem* item = nullptr);
    void deleteState(QListWidgetItem* item);
    // Drops the rows of what a cascading edit removed.
    void forget(const Velmora::ConfigEdit::Removed& removed);

    void hideForMap();
    void showAfterMap();
    void openToolWindow(const QString& title, const QString& button, const QSize& size,
                        void (AreaEditDlg::*finished)(int));

    Ui::AreaEditDlg* ui;
    Velmora::Editors::IdField* m_id;
    Velmora::Editors::CalendarEditor* m_calendar;
    QList<quint32> m_otherAreaIds;
    QDomElement m_area;
    QPointer<QGraphicsScene> m_scene;
    QPointer<AreaGraphicsItem> m_creation;
    QPointer<GraphicsArea> m_overlay;
    QPointer<QDialog> m_toolWindow;
    QDomElement m_opened; // the form as it was opened: what "Changes" and closing compare with
    QLabel* m_reason = nullptr;
    Velmora::Editors::Refusal* m_refusal = nullptr;
};
