#pragma once

#include <QDialog>
#include <QDomDocument>
#include <QDomElement>
#include <QTextCharFormat>

namespace Ui {
class TolImportDlg;
}

namespace Velmora {
class EmbeddedPython;
}

// Converts a TRANSYT report into an Area element with the embedded
// conversion script, showing the script's progress. The conversion runs on
// the script's own thread; the dialog polls it once a second.
class TolImportDlg : public QDialog
{
    Q_OBJECT

public:
    TolImportDlg(const QString& reportFile, QWidget* parent = nullptr);
    ~TolImportDlg() override;

    // The converted area; null until the conversion succeeded.
    QDomElement result() const;
    // The area the result is to replace: once converted, the log says what
    // accepting throws away of it.
    void setReplacedArea(const QDomElement& area);

    // Asks for a report, starting in the directory of the last one chosen
    // (user setting "TolOfdDir"), and remembers the new directory. Empty when
    // the user cancelled.
    static QString selectReport(QWidget* parent);

protected:
    void timerEvent(QTimerEvent* event) override;

private slots:
    void stdOut(const QString& text);
    void stdErr(const QString& text);

private:
    void appendLine(const QString& text);
    void finish();

    Ui::TolImportDlg* ui;
    Velmora::EmbeddedPython* m_module;
    QDomDocument m_document;
    QDomElement m_result;
    QDomElement m_replaced;
    QTextCharFormat m_format; // of the log's next lines
    int m_timer = 0;
};
