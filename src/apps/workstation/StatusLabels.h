#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>

class QLabel;
class QPointF;
class QStatusBar;

namespace Velmora {

// The permanent labels at the right of the window's status bar: the hash
// mismatch banner, the links' summary and the cursor's place on the map.
class StatusLabels
{
    Q_DECLARE_TR_FUNCTIONS(Velmora::StatusLabels)

public:
    // How long a passing message stays beside them, in ms.
    static constexpr int MessageTimeout = 8000;

    explicit StatusLabels(QStatusBar* bar);

    void showCursor(const QPointF& scenePos);
    // The links' summary, the reason for each zone's link in its tool tip.
    void showLinks(const QString& summary, const QString& reasons);
    // The banner with each mismatched zone's sentence; hidden when there is none.
    void showMismatches(const QStringList& mismatches);
    // The links' summary, and the banner while it shows.
    QString text() const;

private:
    QLabel* m_cursor;
    QLabel* m_link;
    QLabel* m_hash;
};

} // namespace Velmora
