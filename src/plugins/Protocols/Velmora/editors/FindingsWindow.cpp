#include "FindingsWindow.h"

#include <QListWidget>
#include <QRegularExpression>
#include <QVBoxLayout>

#include "format/ConfigChecker.h"

namespace Velmora {
namespace Editors {

FindingsWindow::Place FindingsWindow::placeOf(const QString& path)
{
    // Zone day cards only: an area's own cards lie within its Areas/Area step.
    static const QRegularExpression area(QStringLiteral("^Areas/Area\\[id=(\\d+)\\]"));
    static const QRegularExpression strategy(QStringLiteral("^Strategies/Strategy\\[id=(\\d+)\\]"));
    static const QRegularExpression card(QStringLiteral("^Calendar/DayCards/DayCard\\[id=(\\d+)\\]"));
    const std::pair<const QRegularExpression*, Place::Kind> kinds[] = {
        {&area, Place::Area}, {&strategy, Place::Strategy}, {&card, Place::DayCard}};
    for (const auto& kind : kinds) {
        const QRegularExpressionMatch match = kind.first->match(path);
        if (match.hasMatch())
            return Place{kind.second, match.captured(1)};
    }
    return Place();
}

FindingsWindow::FindingsWindow(QWidget* editor)
    : QDialog(editor, Qt::Tool)
    , m_list(new QListWidget(this))
{
    setWindowTitle(tr("Check"));
    resize(560, 240);
    auto* layout = new QVBoxLayout(this);
    m_list->setObjectName(QStringLiteral("findings"));
    layout->addWidget(m_list);
    // Arrow keys walk the findings as clicks do; a click on the current line jumps back to it.
    connect(m_list, &QListWidget::currentItemChanged, this, &FindingsWindow::choose);
    connect(m_list, &QListWidget::itemClicked, this, &FindingsWindow::choose);
}

void FindingsWindow::showFindings(const ConfigFindings& findings)
{
    m_list->clear();
    for (const ConfigFinding& finding : findings) {
        const QString severity = finding.isError() ? tr("error") : tr("warning");
        auto* item = new QListWidgetItem(finding.line > 0
                                             ? tr("%1: %2 (line %3)").arg(severity, finding.message).arg(finding.line)
                                             : tr("%1: %2").arg(severity, finding.message),
                                         m_list);
        item->setData(Qt::UserRole, finding.path);
        if (finding.isError())
            item->setForeground(Qt::red);
    }
    if (findings.isEmpty())
        new QListWidgetItem(tr("No faults found."), m_list);
    show();
    raise();
}

void FindingsWindow::choose(QListWidgetItem* item)
{
    if (item)
        emit placeChosen(placeOf(item->data(Qt::UserRole).toString()));
}

} // namespace Editors
} // namespace Velmora
