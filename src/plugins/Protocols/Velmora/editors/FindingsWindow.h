#pragma once

#include <QDialog>
#include <QString>
#include <QVector>

class QListWidget;
class QListWidgetItem;

namespace Velmora {
struct ConfigFinding;

namespace Editors {

// What the checker found in the edited zone, a line each, in a tool window of
// the zone editor; its list is named "findings". Choosing a line, by click or
// key, tells the editor which of its rows the finding is about.
class FindingsWindow : public QDialog
{
    Q_OBJECT

public:
    // The row of the zone editor a checker path lies in.
    struct Place
    {
        enum Kind { None, Area, Strategy, DayCard };
        Kind kind = None;
        QString id;
    };
    // The area, strategy or zone day card `path` names or lies within.
    static Place placeOf(const QString& path);

    explicit FindingsWindow(QWidget* editor);

    // Lists `findings` in place of the last ones, errors in red, and brings
    // the window up.
    void showFindings(const QVector<ConfigFinding>& findings);

signals:
    void placeChosen(const Velmora::Editors::FindingsWindow::Place& place);

private:
    void choose(QListWidgetItem* item);

    QListWidget* m_list;
};

} // namespace Editors
} // namespace Velmora
