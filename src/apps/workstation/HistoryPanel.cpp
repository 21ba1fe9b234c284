#include "HistoryPanel.h"

#include "HistoryDock.h"
#include "HistoryRecorder.h"
#include "HistoryWriter.h"
#include "LogDock.h"
#include "ModuleHost.h"
#include "ReplayView.h"

#include <QMainWindow>
#include <QStatusBar>

namespace Velmora {

HistoryPanel::HistoryPanel(ModuleHost* host, LinkMonitor* links, HistoryWriter* writer, const Panels& panels)
    : QObject(panels.window)
    , m_host(host)
    , m_panels(panels)
    , m_recorder(new HistoryRecorder(host, links, writer, this))
{
    connect(writer, &HistoryWriter::opened, this,
            [this](const QString& where) { m_panels.log->logInfo(tr("History recorded in %1").arg(where)); });
    connect(writer, &HistoryWriter::warning, m_panels.log, &LogDock::logFailure);
    connect(writer, &HistoryWriter::unavailable, this, &HistoryPanel::unavailable);
    createDock(writer);
}

HistoryRecorder* HistoryPanel::recorder() const
{
    return m_recorder;
}

ReplayView* HistoryPanel::replay() const
{
    return m_replay;
}

void HistoryPanel::createDock(HistoryWriter* writer)
{
    m_dock = new HistoryDock(m_panels.window);
    m_dock->setHistory(writer->url());
    m_dock->setNow(m_panels.now);
    connect(writer, &HistoryWriter::committed, m_dock, &HistoryDock::recordsWritten);
    m_panels.window->addDockWidget(Qt::BottomDockWidgetArea, m_dock);
    m_panels.window->tabifyDockWidget(m_panels.log, m_dock);
    m_panels.log->raise();
    m_dock->setZoneSource([this] {
        QVector<HistoryDock::Zone> zones;
        for (QObject* zone : m_host->zones())
            zones.append({zone->property("id").toInt(), zone->property("name").toString(), ModuleHost::zoneFile(zone), zone});
        return zones;
    });
    m_replay = new ReplayView(m_dock, m_host, m_panels.map, m_panels.scene, this);
    m_replay->setPanels(m_panels.properties, m_panels.tree);
    connect(m_replay, &ReplayView::bandTextChanged, this, [this](const QString& text) {
        if (text.isEmpty())
            m_panels.window->statusBar()->clearMessage();
        else
            m_panels.window->statusBar()->showMessage(text);
    });
}

void HistoryPanel::unavailable(const QString& reason)
{
    // Everything else runs on; only the recording stops.
    delete m_recorder;
    m_recorder = nullptr;
    const QString text = tr("No history: %1").arg(reason);
    m_panels.log->logFailure(text);
    m_panels.window->statusBar()->showMessage(text);
}

} // namespace Velmora
