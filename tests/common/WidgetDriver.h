#pragma once

#include <QDialogButtonBox>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <functional>

class QAbstractItemView;
class QAction;
class QDialog;
class QMainWindow;
class QComboBox;
class QListWidget;
class QMenu;
class QMessageBox;
class QModelIndex;
class QTableWidget;
class QTableWidgetItem;
class QWidget;

// Widgets driven as a user drives them: clicks where the item is shown.
namespace Drive {

// Clicks the item's centre; `twice` adds a double click, which opens an editor.
void clickIndex(QAbstractItemView* view, const QModelIndex& index, bool twice = false,
                Qt::KeyboardModifiers modifiers = {});
void clickCell(QTableWidget* table, int row, int column, bool twice = false, Qt::KeyboardModifiers modifiers = {});
void clickRow(QListWidget* list, int row, bool twice = false);
// Double-clicks the cell; the editor it opened, or nullptr.
QWidget* openCellEditor(QTableWidget* table, int row, int column);
// Sets a combo box (an editor) to the entry whose data, or else text, is `value`; false when none.
bool choose(QWidget* combo, const QString& value);
QStringList entries(const QComboBox* combo);
// The texts a view shows in one column, top down.
QStringList texts(const QAbstractItemView* view, int column = 0);
// The context menu event a right click sends.
void rightClick(QAbstractItemView* view, const QModelIndex& index);
// Clicks the button of the dialog's visible button box.
void clickButton(QWidget* dialog, QDialogButtonBox::StandardButton which = QDialogButtonBox::Ok);
// A drag with the left button held, in three moves: QTest's own moves carry no buttons.
void drag(QWidget* widget, const QPoint& from, const QPoint& to, Qt::KeyboardModifiers modifiers = {});
// Replaces a field's text: select all, delete, type.
void retype(QWidget* field, const QString& text);
// Marked red, as the dialogs mark what they refuse.
bool isRed(const QWidget* field);
bool isRed(const QTableWidgetItem* item);
// "row:column" of every red cell.
QStringList redCells(const QTableWidget* table);

// A visible dialog of that name, wherever it was parented; null when none is shown.
QDialog* shownDialog(const QString& name);
// The window's menu entry of that text ("&Edit zone…"); null when it has none.
QAction* menuAction(QMainWindow* window, const QString& text);

} // namespace Drive

// Answers what opens inside nested event loops, polling as a user would look:
// message boxes are noted (see note()) and get the button whose text is
// `boxButton`, OK when that is empty, or are closed when they have no such
// button; a context menu is read and closed, or `menuChoice` is activated; a
// modal window goes to the next expectation when it is of its class. A modal
// window nobody expects is closed after two seconds: the test fails instead of
// hanging.
class PopupAnswerer : public QObject
{
public:
    explicit PopupAnswerer(const QString& menuChoice = QString(), const QString& boxButton = QString());
    // "NAME: TEXT", the title standing in for a name the box lacks, and " | INFORMATIVE" when it has that.
    static QString note(const QMessageBox* box);
    void expect(const char* className, std::function<void(QWidget*)> act);
    bool allAnswered() const { return m_expected.isEmpty(); }

    QStringList boxes;
    QList<QStringList> menus;
    QString menuChoice;

private:
    void look();
    void answerBox(QMessageBox* box);
    void answerMenu(QMenu* menu);

    struct Expectation
    {
        const char* className;
        std::function<void(QWidget*)> act;
    };
    QList<Expectation> m_expected;
    QTimer m_timer;
    QString m_boxButton;
    QPointer<QMenu> m_pendingMenu;
    QList<QPointer<QWidget>> m_present; // open before: the test's own windows
    int m_unanswered = 0;
};
