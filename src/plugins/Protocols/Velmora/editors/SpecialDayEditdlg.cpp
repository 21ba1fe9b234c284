#include "SpecialDayEditdlg.h"
#include "ui_SpecialDayEditdlg.h"

#include <QDate>
#include <QLocale>

#include "DaycardEditDlg.h"
#include "DomMetaType.h"
#include "InputMarks.h"
#include "format/Vocabulary.h"

namespace Xml = Velmora::Xml;

namespace {

const QString everyYearFormat = QStringLiteral("dd.MM");
const QString onceFormat = QStringLiteral("dd.MM.yyyy");

// A "dd.MM" text as a date in the current year. The day is read against a
// leap year, so that 29.02 is a day at all, and lands in the next leap year
// when this year has none.
QDate everyYearDate(const QString& text)
{
    const QDate parsed = QDate::fromString(text + QStringLiteral(".2000"), onceFormat);
    if (!parsed.isValid())
        return QDate();
    int year = QDate::currentDate().year();
    while (!QDate::isValid(year, parsed.month(), parsed.day()))
        ++year;
    return QDate(year, parsed.month(), parsed.day());
}

} // namespace

SpecialDayEditdlg::SpecialDayEditdlg(QDomElement states, QDomElement specialDays, QDomElement specialDay,
                                     QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::SpecialDayEditdlg)
{
    Velmora::Editors::registerDomElementType();
    ui->setupUi(this);
    m_document = states.ownerDocument();
    if (m_document.isNull())
        m_document = specialDays.isNull() ? specialDay.ownerDocument() : specialDays.ownerDocument();

    const QString day = specialDay.attribute(Xml::day);
    QDate date;
    if (day.isEmpty()) {
        date = QDate::currentDate();
    } else {
        date = everyYearDate(day);
        if (!date.isValid()) {
            ui->everyYear->setChecked(false);
            date = QDate::fromString(day, onceFormat);
        }
    }

    for (QDomElement other = specialDays.firstChildElement(Xml::SpecialDay); !other.isNull();
         other = other.nextSiblingElement(Xml::SpecialDay)) {
        const QString otherDay = other.attribute(Xml::day);
        if (otherDay != day)
            m_usedDays.append(otherDay);
    }

    if (day.isEmpty()) {
        // Propose the first free day from today on. Among n taken texts one
        // of n + 1 days in a row is free; with every day of the year taken
        // the texts only repeat, so the search stops there.
        const QString format = ui->dateEdit->displayFormat();
        for (int step = 0; step < m_usedDays.size() && m_usedDays.contains(QLocale::c().toString(date, format)); ++step)
            date = date.addDays(1);
    }
    ui->dateEdit->setDate(date);
    if (!date.isValid())
        markUnreadDay(day);

    auto* card = new DaycardEditDlg(states, specialDay, ui->dayCardGroup);
    card->setWindowFlags(Qt::Widget);
    card->hideButtonBox();
    ui->dayCardGroup->layout()->addWidget(card);
}

SpecialDayEditdlg::~SpecialDayEditdlg()
{
    delete ui;
}

void SpecialDayEditdlg::markUnreadDay(const QString& day)
{
    // The date box cannot show a day it cannot read; it would offer its own
    // default instead, which OK must not write as if the user had picked it.
    m_dayUnread = true;
    Velmora::Editors::markField(ui->dateEdit, true, tr("\"%1\" is no date; pick the day").arg(day));
    connect(ui->dateEdit, &QDateEdit::dateChanged, this, [this] {
        m_dayUnread = false;
        Velmora::Editors::markField(ui->dateEdit, false);
    });
}

void SpecialDayEditdlg::on_everyYear_toggled(bool checked)
{
    ui->dateEdit->setDisplayFormat(checked ? everyYearFormat : onceFormat);
}

void SpecialDayEditdlg::on_buttonBox_accepted()
{
    auto* card = findChild<DaycardEditDlg*>();
    if (!card)
        return;
    // Open cell editors would cover the cells that validation colours.
    card->closeCellEditors();
    if (card->validate() && !m_dayUnread)
        accept();
}

QDomElement SpecialDayEditdlg::specialDayElement()
{
    auto* card = findChild<DaycardEditDlg*>();
    if (!card)
        return QDomElement();
    card->closeCellEditors();
    QDomElement element = card->dayCardElement(m_document);
    // The file's digits, whatever the user's locale shows.
    element.setAttribute(Xml::day, QLocale::c().toString(ui->dateEdit->date(), ui->dateEdit->displayFormat()));
    element.setTagName(Xml::SpecialDay);
    return element;
}
