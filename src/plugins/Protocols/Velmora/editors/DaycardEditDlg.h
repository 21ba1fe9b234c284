#pragma once

#include <QDialog>
#include <QDomDocument>
#include <QDomElement>
#include <QMap>
#include <QString>
#include <QTime>

class QLabel;
class QTableWidgetItem;
class QWidget;

namespace Velmora {
namespace Editors {
class CellEditors;
class Refusal;
} // namespace Editors
} // namespace Velmora

namespace Ui {
class DaycardEditDlg;
}

// Edits the switching points of one day card: a start time and the strategy
// (zone cards) or area state (area cards, special days) chosen from then on.
// Works on its own table; the document changes only through dayCardElement().
class DaycardEditDlg : public QDialog
{
    Q_OBJECT

public:
    // `choices` is the zone's Strategies or an area's States; `dayCard` the
    // card to edit (null for a new special day).
    DaycardEditDlg(QDomElement choices, QDomElement dayCard, QWidget* parent = nullptr);
    ~DaycardEditDlg() override;

    // A new DayCard element in `doc` holding the table's rows in their order.
    QDomElement dayCardElement(QDomDocument doc);

    // True when every row has a time and a known choice and there is a row at
    // all; faults are coloured red.
    bool validate();
    // Removes every open cell editor; the cells already hold what was chosen.
    void closeCellEditors();
    // For an owner that embeds this dialog and brings its own buttons.
    void hideButtonBox();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private slots:
    void on_timeData_itemDoubleClicked(QTableWidgetItem* item);
    void dcCellEditComplete(int index);
    void dcCellEditComplete(QTime time);
    void on_timeData_currentItemChanged(QTableWidgetItem* current, QTableWidgetItem* previous);
    void on_addCard_clicked();
    void on_delCard_clicked();
    void on_buttonBox_accepted();

private:
    QString referenceAttribute() const;
    QString missingChoiceReason(int row, const QString& id) const;
    // Marks what keeps the card from being accepted; the reasons in words.
    QStringList markFaults();
    // Key handling that is not ours: the dialog's own when it is a window,
    // the embedding window's otherwise.
    void passKeyOn(QKeyEvent* event);

    Ui::DaycardEditDlg* ui;
    QDomDocument m_document; // the choices' document
    QMap<QString, QString> m_choices; // id -> "id (name)"
    QString m_cardId;
    bool m_stateChoices = false;
    QLabel* m_reason = nullptr;
    Velmora::Editors::Refusal* m_refusal = nullptr;
    Velmora::Editors::CellEditors* m_cellEditors;
};
