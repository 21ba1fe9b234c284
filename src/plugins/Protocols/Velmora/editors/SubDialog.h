#pragma once

#include <QDialog>
#include <QPointer>

namespace Velmora {
namespace Editors {

// A sub-dialog run to its end inside a slot. It goes with this scope, unless
// it already went with its parent while it ran (the host closed the editor).
template<typename Dialog>
class SubDialog
{
public:
    explicit SubDialog(Dialog* dialog)
        : m_dialog(dialog)
    {
    }
    ~SubDialog() { delete m_dialog.data(); }
    SubDialog(const SubDialog&) = delete;
    SubDialog& operator=(const SubDialog&) = delete;

    // True when the user accepted it and it, and so its opener, still lives.
    bool accepted() { return m_dialog->exec() == QDialog::Accepted && m_dialog; }
    Dialog* operator->() const { return m_dialog.data(); }

private:
    QPointer<Dialog> m_dialog;
};

} // namespace Editors
} // namespace Velmora
