#pragma once

#include <QDialog>
#include <QDomDocument>
#include <QDomElement>
#include <QList>
#include <QMap>
#include <QString>

class QLabel;
class QTableWidgetItem;
class QWidget;

namespace Ui {
class StratEditDlg;
}

namespace Velmora {
namespace Editors {
class CellEditors;
class IdField;
class Refusal;
} // namespace Editors
} // namespace Velmora

// Edits one zone strategy: its id, its name and, area by area, whether it uses
// the area and which control source then drives it. Reads the zone's areas and
// strategies; the document changes only through strategyElement().
class StratEditDlg : public QDialog
{
    Q_OBJECT

public:
    // `strategy` is the element to edit, or a null element for a new strategy.
    StratEditDlg(QDomElement areas, QDomElement strategies, QDomElement strategy, QWidget* parent = nullptr);
    ~StratEditDlg() override;

    // A new Strategy element in `doc` with the used areas in table order.
    QDomElement strategyElement(QDomDocument doc);

private slots:
    void on_areas_itemDoubleClicked(QTableWidgetItem* item);
    void csCellEditComplete(int index);
    void on_areas_currentItemChanged(QTableWidgetItem* current, QTableWidgetItem* previous);
    void on_buttonBox_accepted();

private:
    // Marks what keeps the dialog from accepting; the reasons in words.
    QStringList markFaults();

    QDomDocument m_document; // the zone's, for a caller that hands none
    QString sourceName(const QString& value) const;

    Ui::StratEditDlg* ui;
    Velmora::Editors::IdField* m_id;
    QMap<QString, QString> m_controlSources; // stored value -> shown name
    QList<quint32> m_otherIds;
    QLabel* m_reason = nullptr;
    Velmora::Editors::Refusal* m_refusal = nullptr;
    Velmora::Editors::CellEditors* m_cellEditors;
};
