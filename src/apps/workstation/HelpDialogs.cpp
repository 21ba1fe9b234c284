#include "HelpDialogs.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace Velmora {

void HelpDialogs::showAbout(QWidget* parent, const QString& moduleVersion, const QString& pluginFile)
{
    QMessageBox::about(parent, tr("About Velmora Workstation"),
                       tr("<h3>Velmora Workstation %1</h3>"
                          "<p>Zone module %2<br>loaded from %3</p>"
                          "<p>Qt %4</p>")
                           .arg(QStringLiteral(VELMORA_WORKSTATION_VERSION),
                                moduleVersion.isEmpty() ? tr("(version unknown)") : moduleVersion,
                                pluginFile.toHtmlEscaped(), QString::fromLatin1(qVersion())));
}

void HelpDialogs::showGettingStarted(QWidget* parent)
{
    auto* dialog = new QDialog(parent);
    dialog->setObjectName(QStringLiteral("GettingStarted"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(tr("Getting started"));
    auto* text = new QTextBrowser(dialog);
    text->setHtml(tr(
        "<h3>Getting started</h3>"
        "<ol>"
        "<li><b>Open a zone</b>: File → Open zone… and choose a <i>.xtsc</i> file. The zone appears on the map "
        "and in the object tree; its lights come from the <i>.lights.json</i> file beside it.</li>"
        "<li><b>Connect</b>: Service → Connect… and give the control service's address (host:port). The "
        "status bar and the tree's <i>Link</i> column say how the link is: connecting, linked, not answering "
        "or hash mismatch.</li>"
        "<li><b>Read the map</b>: the Legend dock explains every fill, hatch and outline. Hover an area for "
        "its state in words; click a light to find its controller.</li>"
        "<li><b>Send a command</b>: choose the zone beside the command line, type e.g. <tt>SET_STRAT 2 60</tt> "
        "and press Enter. Up and Down bring back earlier commands; the reply shows in the status bar and "
        "the log.</li>"
        "<li><b>Edit</b>: File → Edit zone… opens the zone editor; when you accept, the zone is saved and "
        "reloaded.</li>"
        "</ol>"
        "<p>The log's <i>Local time</i> is this computer's clock; <i>Service time</i> is the time stamp the "
        "service put on its replies and events.</p>"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::close);
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(text);
    layout->addWidget(buttons);
    dialog->resize(560, 420);
    dialog->show();
}

} // namespace Velmora
