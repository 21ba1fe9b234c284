#include "ProgramEditorRun.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QEventLoop>
#include <QLabel>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <memory>

#include "Logging.h"

namespace Velmora {
namespace Editors {

namespace {

// A tool asked to end gets this long to do so before it is killed.
constexpr int TerminateGraceMs = 2000;
// A tool that answers at once (a program list) is done before the waiting
// window would only flash up.
constexpr int ShowWaitingAfterMs = 400;

// Cancel, Esc and closing the window all reject it.
QDialog* makeWaitingWindow(QWidget* parent)
{
    auto* window = new QDialog(parent);
    window->setObjectName(QStringLiteral("waitingForProgramEditor"));
    window->setWindowTitle(ProgramEditorRun::tr("Program editor"));
    auto* layout = new QVBoxLayout(window);
    layout->addWidget(new QLabel(ProgramEditorRun::tr("Waiting for the program editor…"), window));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, window);
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelProgramEditor"));
    QObject::connect(buttons, &QDialogButtonBox::rejected, window, &QDialog::reject);
    layout->addWidget(buttons);
    return window;
}

// Disables every enabled top-level window but `usable`; returns those it disabled.
QList<QPointer<QWidget>> disableWindowsBut(QWidget* usable)
{
    QList<QPointer<QWidget>> disabled;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        if (window != usable && window->isEnabled()) {
            window->setEnabled(false);
            disabled.append(window);
        }
    }
    // A window takes its parent's disabling too; enabled on its own it stays usable.
    usable->setEnabled(true);
    return disabled;
}

void enableWindows(const QList<QPointer<QWidget>>& windows)
{
    for (const QPointer<QWidget>& window : windows) {
        if (window)
            window->setEnabled(true);
    }
}

// Why the finished run failed, in words; empty when it did not.
QString failure(const QProcess& process, const QString& tool, bool failedToStart)
{
    const QString shownTool = QDir::toNativeSeparators(tool);
    if (failedToStart)
        return ProgramEditorRun::tr("The program editor %1 could not be started: %2")
            .arg(shownTool, process.errorString());
    if (process.exitStatus() != QProcess::NormalExit)
        return ProgramEditorRun::tr("The program editor %1 crashed. Nothing was changed.").arg(shownTool);
    if (process.exitCode() != 0)
        return ProgramEditorRun::tr("The program editor %1 ended with error status %2. Nothing was changed.")
            .arg(shownTool)
            .arg(process.exitCode());
    return QString();
}

} // namespace

bool ProgramEditorRun::run(const QString& tool, const QStringList& arguments, QWidget* parent, QString* reason)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    QEventLoop loop;
    bool ended = false;
    bool failedToStart = false;
    bool cancelled = false;
    QObject::connect(&process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), &loop, [&] {
        ended = true;
        loop.quit();
    });
    // A tool that never starts never finishes either: stop waiting at once.
    QObject::connect(&process, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        failedToStart = true;
        ended = true;
        loop.quit();
    });

    const std::unique_ptr<QDialog> waiting(makeWaitingWindow(parent));
    QTimer showLater;
    showLater.setSingleShot(true);
    QObject::connect(&showLater, &QTimer::timeout, waiting.get(), &QWidget::show);
    QTimer killLater;
    killLater.setSingleShot(true);
    QObject::connect(&killLater, &QTimer::timeout, &process, &QProcess::kill);
    QObject::connect(waiting.get(), &QDialog::rejected, &loop, [&] {
        cancelled = true;
        showLater.stop();
        process.terminate();
        killLater.start(TerminateGraceMs);
    });

    process.start(tool, arguments);
    const QList<QPointer<QWidget>> disabled = disableWindowsBut(waiting.get());
    if (!ended) {
        showLater.start(ShowWaitingAfterMs);
        loop.exec();
    }
    enableWindows(disabled);

    if (cancelled) {
        reason->clear();
        return false;
    }
    *reason = failure(process, tool, failedToStart);
    if (reason->isEmpty())
        return true;
    qCWarning(Velmora::lcEdit).noquote() << *reason;
    return false;
}

} // namespace Editors
} // namespace Velmora
