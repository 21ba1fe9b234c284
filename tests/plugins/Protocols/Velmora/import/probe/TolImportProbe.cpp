// A stand-in plug-in: the module's core in a library that a host opens with
// RTLD_LOCAL, as QPluginLoader opens the real one, running one import.
#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDomDocument>
#include <QTextEdit>
#include <QTimerEvent>

#include "Velmora/import/TolImportDlg.h"

// Runs the dialog on the report until its worker has ended: true and the result's XML, or false and the log.
extern "C" Q_DECL_EXPORT bool tolImportProbe(const QString& report, QString* text)
{
    TolImportDlg dialog(report);
    // Each poll waits up to half a second for the worker; the dialog's own timer would first wait a second.
    for (int polls = 0; polls < 120; ++polls) {
        QCoreApplication::sendPostedEvents();
        const auto timers = QAbstractEventDispatcher::instance()->registeredTimers(&dialog);
        if (timers.isEmpty())
            break;
        QTimerEvent poll(timers.first().timerId);
        QCoreApplication::sendEvent(&dialog, &poll);
    }
    if (dialog.result().isNull()) {
        *text = dialog.findChild<QTextEdit*>()->toPlainText();
        return false;
    }
    QDomDocument document;
    document.appendChild(document.importNode(dialog.result(), true));
    *text = document.toString();
    return true;
}
