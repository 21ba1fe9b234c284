#pragma once

#include <QObject>
#include <QPointer>

class QAbstractItemView;
class QDialog;
class QDialogButtonBox;
class QPushButton;
class QWidget;

namespace Velmora {
namespace Editors {

// Keys typed in an editor's tables and lists stay there. Enter moves to the
// next row; Escape and Enter in an open cell editor (a combo box or time
// editor put into a cell) close that editor only; Enter in an entry typed over
// (the view's own editor) keeps what was typed. While a view has the focus
// the button box's OK is not the default button: only a click on it accepts,
// never a key meant for the table, and never Escape meant for a cell.
class TableKeys : public QObject
{
public:
    // Watches every view `dialog` holds now; `buttons` holds its OK.
    TableKeys(QDialog* dialog, QDialogButtonBox* buttons);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void focusChanged(QWidget* now);
    static bool closeCellEditorHolding(QAbstractItemView* view, QWidget* focus);
    static void moveToNextRow(QAbstractItemView* view);

    QDialog* m_dialog;
    QPointer<QPushButton> m_ok;
};

} // namespace Editors
} // namespace Velmora
