#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>

class QWidget;

namespace Velmora {
namespace Editors {

// One run of the external program editor, waited for in a local event loop.
// Every other top-level window of the application is disabled meanwhile, so
// that nothing changes under the tool; a small window, the one left usable,
// says what the application waits for and offers Cancel, which ends the tool.
class ProgramEditorRun
{
    Q_DECLARE_TR_FUNCTIONS(Velmora::Editors::ProgramEditorRun)

public:
    // True when the tool ran and exited with status 0. Otherwise `reason`
    // says in words why not, and is empty when the user cancelled. `parent`
    // is the window the waiting window belongs to.
    static bool run(const QString& tool, const QStringList& arguments, QWidget* parent, QString* reason);
};

} // namespace Editors
} // namespace Velmora
