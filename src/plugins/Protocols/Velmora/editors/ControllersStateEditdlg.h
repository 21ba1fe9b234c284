#pragma once

#include <QByteArray>
#include <QDialog>
#include <QDomDocument>
#include <QDomElement>
#include <QHash>
#include <QList>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QString>
#include <QStringList>

class QLabel;

class ComboBoxDelegate;
class QModelIndex;
class QPoint;
class QTableWidgetItem;

namespace Ui {
class ControllersStateEditdlg;
}

namespace Velmora {
namespace Editors {
class IdField;
class Refusal;
}
} // namespace Velmora

// Edits one area state: its id, its name and, controller by controller, the
// special state, signal program or special program it runs. Special programs
// are edited by the external program editor (morvix) on the controller's
// configuration, which comes from the host's storage service; both are
// reached only by name.
class ControllersStateEditdlg : public QDialog
{
    Q_OBJECT

public:
    // `states` is the area's States element, `state` the State to edit (a new
    // one or one of `states`).
    ControllersStateEditdlg(QDomElement states, QDomElement state, QWidget* parent = nullptr);
    ~ControllersStateEditdlg() override;

    // The storage service: an object with invoke(QString, QVariantList) and
    // the signals rpcConnected() and rpcDisconnected(); null switches program
    // editing off.
    void setRpcObject(QObject* rpcObject);

    // The edited State element, built in `doc`.
    QDomElement stateElement(QDomDocument doc);

private slots:
    void on_buttonBox_accepted();
    void on_states_customContextMenuRequested(const QPoint& pos);
    void changeCurrentStateItem();
    void changeLocalCurrentStateItem();
    void on_states_itemChanged(QTableWidgetItem* item);
    void on_states_currentItemChanged(QTableWidgetItem* current, QTableWidgetItem* previous);
    void on_states_doubleClicked(const QModelIndex& index);
    void progDelegateCreateEditor(const QModelIndex& index);
    void rpcConnected();
    void rpcDisconnected();

private:
    // The one selected item when it is in the special-program column.
    QTableWidgetItem* selectedProgramItem() const;
    void editProgram(int row, bool local);
    // The controller's configuration from the storage service; empty (after
    // telling the user why) when there is none.
    QByteArray readConfig(quint32 controllerId);
    // Runs the tool and waits for it, the user able to cancel; tells the user
    // why when it failed. True when it ran and exited with status 0.
    bool runTool(const QString& tool, const QStringList& arguments);
    // The names of the zone's controllers by id, when `zone` lists them.
    void readControllerNames(const QDomDocument& zone);
    // Puts the controller's name and what it runs in the row's tool tips.
    void describeRow(int row);
    // Every message box of the dialog goes through here.
    void showWarning(const QString& title, const QString& text);
    // Marks the fields that refuse the state, with the reasons in words.
    QStringList markFaults();

    Ui::ControllersStateEditdlg* ui;
    Velmora::Editors::IdField* m_id;
    QList<quint32> m_otherStateIds;
    QHash<QString, QString> m_controllerNames;
    QPointer<QObject> m_rpcObject;
    ComboBoxDelegate* m_stateDelegate;
    ComboBoxDelegate* m_progDelegate;
    QPersistentModelIndex m_editedCell; // the cell a delegate's editor was last made for
    QLabel* m_reason = nullptr;
    Velmora::Editors::Refusal* m_refusal = nullptr;
};
