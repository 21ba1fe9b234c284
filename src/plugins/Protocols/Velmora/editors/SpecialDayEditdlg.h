#pragma once

#include <QDialog>
#include <QDomDocument>
#include <QDomElement>
#include <QStringList>

class QWidget;

namespace Ui {
class SpecialDayEditdlg;
}

// Edits one special day of an area: its date, repeating every year ("dd.MM")
// or once ("dd.MM.yyyy"), and the day card that applies then, through an
// embedded day card editor. The document changes only through
// specialDayElement().
class SpecialDayEditdlg : public QDialog
{
    Q_OBJECT

public:
    // `states` is the area's States (the choices, and the document the result
    // is built in), `specialDays` its SpecialDays (may be null), `specialDay`
    // the day to edit or a null element for a new one.
    SpecialDayEditdlg(QDomElement states, QDomElement specialDays, QDomElement specialDay, QWidget* parent = nullptr);
    ~SpecialDayEditdlg() override;

    // A new SpecialDay element with the shown date and the card's rows.
    QDomElement specialDayElement();

private slots:
    void on_everyYear_toggled(bool checked);
    void on_buttonBox_accepted();

private:
    // Red until the user picks a date: the file's `day` could not be read.
    void markUnreadDay(const QString& day);

    Ui::SpecialDayEditdlg* ui;
    QStringList m_usedDays;
    QDomDocument m_document;
    bool m_dayUnread = false;
};
