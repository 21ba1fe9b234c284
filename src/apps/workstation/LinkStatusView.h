#pragma once

#include <QCoreApplication>
#include <QVariant>

#include <functional>

#include "semtra/Connection.h"

class QWidget;

namespace Velmora {

class LinkMonitor;
class ModuleHost;

class StatusLabels;
class ZoneFiles;

// How the zones' links look: the tree's Link column (with a file changed on
// disk that did not load), areas whose live values are not this file's, and
// the status bar's words on the links and on hash mismatches.
class LinkStatusView
{
    Q_DECLARE_TR_FUNCTIONS(Velmora::LinkStatusView)
public:
    using ToolTip = std::function<QString(QObject*)>;

    // The warning icon is in the style of window; tool tips of unreported
    // areas come from toolTip.
    LinkStatusView(ModuleHost* host, LinkMonitor* links, const ZoneFiles* files, StatusLabels* labels,
                   const QWidget* window, const ToolTip& toolTip);

    static QString connectionStateText(Semtra::Connection::State state);

    // The host column of a zone's row; invalid for other rows.
    QVariant linkColumn(const QObject* object, int role) const;
    // An area's icon and tool tip while its zone's live values are not this
    // file's: the module's would show what the service last said.
    QVariant unreportedArea(const QObject* object, int column, int role) const;

    void showServiceStatus();
    // The mismatch banner, from the zones' hashInvalid; a zone about to go
    // (leaving) no longer counts. The module sets hashInvalid before the
    // reply that carries the service's hash is announced as finished.
    void showHashStatus(const QObject* leaving = nullptr);

private:
    ModuleHost* m_host;
    LinkMonitor* m_links;
    const ZoneFiles* m_files;
    StatusLabels* m_labels;
    const QWidget* m_window;
    ToolTip m_toolTip;
};

} // namespace Velmora
