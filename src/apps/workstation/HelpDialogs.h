#pragma once

#include <QCoreApplication>

class QWidget;

namespace Velmora {

// The Help menu's windows: what this workstation is, and how to begin.
class HelpDialogs
{
    Q_DECLARE_TR_FUNCTIONS(HelpDialogs)
public:
    // moduleVersion empty: the module did not say.
    static void showAbout(QWidget* parent, const QString& moduleVersion, const QString& pluginFile);
    // Not modal: the user follows the steps in the window beside it.
    static void showGettingStarted(QWidget* parent);
};

} // namespace Velmora
