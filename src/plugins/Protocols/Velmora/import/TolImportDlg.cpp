#include "TolImportDlg.h"
#include "ui_TolImportDlg.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QTextCursor>
#include <QTimerEvent>

#include "EmbeddedPython.h"
#include "format/ConfigDiff.h"
#include "format/XmlDocument.h"

// The core is a static library: the plug-in registers its resources when
// loaded, but a dialog made by a program that links the core directly must
// not depend on that.
static void initVelmoraResources()
{
    Q_INIT_RESOURCE(velmora);
}

namespace {

const QString scriptPath = QStringLiteral(":/script/transyt2velmora.py");
const QString dirKey = QStringLiteral("TolOfdDir");

} // namespace

TolImportDlg::TolImportDlg(const QString& reportFile, QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::TolImportDlg)
{
    static const bool resources = (initVelmoraResources(), true);
    Q_UNUSED(resources)

    ui->setupUi(this);
    ui->buttonBox->button(QDialogButtonBox::Ok)->setEnabled(false);

    m_module = new Velmora::EmbeddedPython(this);
    connect(m_module, &Velmora::EmbeddedPython::stdOut, this, &TolImportDlg::stdOut);
    connect(m_module, &Velmora::EmbeddedPython::stdErr, this, &TolImportDlg::stdErr);

    // The script returns at once, leaving its worker thread "th" running. A
    // script that failed to start (a library missing) has no worker to poll.
    if (m_module->setVariable(QStringLiteral("report_file"), reportFile) && m_module->runFile(scriptPath))
        m_timer = startTimer(1000, Qt::CoarseTimer);
}

TolImportDlg::~TolImportDlg()
{
    // A worker still converting stops at its next step.
    if (m_timer)
        m_module->runScript(QStringLiteral("cancelled.set()"));
    // The module goes first: a worker still running writes nowhere from now on.
    delete m_module;
    delete ui;
}

QDomElement TolImportDlg::result() const
{
    return m_result;
}

void TolImportDlg::setReplacedArea(const QDomElement& area)
{
    m_replaced = area;
}

QString TolImportDlg::selectReport(QWidget* parent)
{
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, QCoreApplication::organizationName(),
                       QCoreApplication::applicationName());
    const QString dir = settings.value(dirKey).toString();
    const QString file =
        QFileDialog::getOpenFileName(parent, tr("Select transyt report"), dir, tr("HTML files (*.html *.htm)"));
    if (file.isEmpty())
        return QString();
    const QString chosenDir = QFileInfo(file).absolutePath();
    if (chosenDir != dir)
        settings.setValue(dirKey, chosenDir);
    return file;
}

void TolImportDlg::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_timer) {
        QDialog::timerEvent(event);
        return;
    }
    // A few milliseconds at most: the dialog stays responsive while the
    // worker runs.
    const bool joined = m_module->runScript(QStringLiteral("th.join(0.005)"));
    if (joined && m_module->call(QStringLiteral("th.is_alive")).toBool())
        return;
    finish();
}

void TolImportDlg::finish()
{
    killTimer(m_timer);
    m_timer = 0;

    const QVariant text = m_module->variable(QStringLiteral("result_string"));
    if (text.isNull())
        return; // the log shows what went wrong

    Velmora::Xml::ReadError error;
    if (Velmora::Xml::parseDocument(text.toString(), &m_document, &error)) {
        m_result = m_document.documentElement();
        if (!m_replaced.isNull())
            appendLine(tr("Pressing OK %1.").arg(Velmora::ConfigDiff::replacementSummary(m_replaced, m_result)));
        ui->buttonBox->button(QDialogButtonBox::Ok)->setEnabled(true);
        return;
    }
    appendLine(text.toString());
    stdErr(tr("output xml parsing error (line %1,column %2): %3").arg(error.line).arg(error.column).arg(error.message));
}

void TolImportDlg::stdOut(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (!trimmed.isEmpty())
        appendLine(trimmed);
}

void TolImportDlg::stdErr(const QString& text)
{
    if (text.trimmed().isEmpty())
        return;
    m_format.setForeground(QBrush(Qt::red, Qt::SolidPattern));
    ui->output->setCurrentCharFormat(m_format);
    // A trace comes a line at a time, each with its line break; keep the indentation.
    QString line = text;
    while (line.endsWith(QLatin1Char('\n')) || line.endsWith(QLatin1Char('\r')))
        line.chop(1);
    appendLine(line);
}

// Appends a paragraph as plain text. QTextEdit::append guesses the format and
// would render a line that starts with an HTML tag, such as a result text of
// "<p>...", as HTML.
void TolImportDlg::appendLine(const QString& text)
{
    QTextDocument* log = ui->output->document();
    QTextCursor cursor(log);
    cursor.movePosition(QTextCursor::End);
    if (!log->isEmpty())
        cursor.insertBlock(QTextBlockFormat(), m_format);
    cursor.insertText(text, m_format);
    QScrollBar* bar = ui->output->verticalScrollBar();
    bar->setValue(bar->maximum());
}
