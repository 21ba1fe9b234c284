// A stand-in plug-in: the module's core in a library that a host opens with
// RTLD_LOCAL, as QPluginLoader opens the real one, running one import.
#include <QDialogButtonBox>
#include <QDomDocument>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>

#include "Velmora/import/TolImportDlg.h"

// Runs the dialog on the report until it offers a result or a minute has
// passed. Returns whether it did; *text is the result's XML, or else the log.
extern "C" Q_DECL_EXPORT bool tolImportProbe(const QString& report, QString* text)
{
    TolImportDlg dialog(report);
    QPushButton* ok = dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (ok->isEnabled() || clock.elapsed() > 60000)
            loop.quit();
    });
    check.start(20);
    loop.exec();
    if (!ok->isEnabled()) {
        *text = dialog.findChild<QTextEdit*>()->toPlainText();
        return false;
    }
    QDomDocument document;
    document.appendChild(document.importNode(dialog.result(), true));
    *text = document.toString();
    return true;
}
