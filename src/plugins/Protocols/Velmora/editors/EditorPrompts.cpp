#include "EditorPrompts.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace Velmora {
namespace Editors {

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("Velmora::Editors", text);
}

// Runs `box` with `yes` and `no`, `no` the safe default; true for `yes`.
bool ask(QMessageBox* box, const QString& yes, const QString& no)
{
    QPushButton* confirm = box->addButton(yes, QMessageBox::AcceptRole);
    QPushButton* back = box->addButton(no, QMessageBox::RejectRole);
    box->setDefaultButton(back);
    box->setEscapeButton(back);
    box->exec();
    return box->clickedButton() == confirm;
}

} // namespace

bool confirmDiscard(QWidget* parent, const QString& question)
{
    QMessageBox box(QMessageBox::Question, tr("Discard changes"), question, QMessageBox::NoButton, parent);
    box.setObjectName(QStringLiteral("discardChanges"));
    return ask(&box, tr("Discard"), tr("Keep editing"));
}

bool confirmSaveOverOther(QWidget* parent, const QString& fileName, bool deleted, const QStringList& changes)
{
    const QString file = QDir::toNativeSeparators(fileName);
    QMessageBox box(QMessageBox::Warning, tr("File changed"), QString(), QMessageBox::NoButton, parent);
    box.setObjectName(QStringLiteral("fileChanged"));
    if (deleted) {
        box.setText(tr("The file %1 was deleted after this editor opened it.").arg(file));
        box.setInformativeText(tr("Save anyway writes it again."));
    } else {
        box.setText(tr("The file %1 was saved by someone else after this editor opened it.").arg(file));
        box.setInformativeText(changes.isEmpty()
                                   ? tr("The other save changed only the file's layout.")
                                   : tr("The other save changed:\n%1\n\nSave anyway replaces these changes; the other "
                                        "version is kept as the backup file.")
                                         .arg(changes.join(QLatin1Char('\n'))));
    }
    return ask(&box, tr("Save anyway"), tr("Back to editing"));
}

QListWidget* showChangeList(QWidget* owner, const QString& title, const QStringList& lines, const QString& none)
{
    // Its own window, not one of an editor it opened.
    auto* window = owner->findChild<QDialog*>(QStringLiteral("changesWindow"), Qt::FindDirectChildrenOnly);
    QListWidget* list = window ? window->findChild<QListWidget*>(QStringLiteral("changes")) : nullptr;
    if (!list) {
        window = new QDialog(owner, Qt::Tool);
        window->setObjectName(QStringLiteral("changesWindow"));
        window->resize(560, 240);
        auto* layout = new QVBoxLayout(window);
        list = new QListWidget(window);
        list->setObjectName(QStringLiteral("changes"));
        list->setWordWrap(true);
        layout->addWidget(list);
    }
    window->setWindowTitle(title);
    list->clear();
    list->addItems(lines.isEmpty() ? QStringList{none} : lines);
    window->show();
    window->raise();
    return list;
}

} // namespace Editors
} // namespace Velmora
