#include "OpenedText.h"

#include <QCoreApplication>
#include <QInputEvent>
#include <QWidget>

namespace Velmora {
namespace Editors {

namespace {

bool isInput(const QEvent* event)
{
    return dynamic_cast<const QInputEvent*>(event) || event->type() == QEvent::InputMethod
        || event->type() == QEvent::Drop;
}

} // namespace

OpenedText::OpenedText(QWidget* editor, std::function<QByteArray()> formText)
    : QObject(editor)
    , m_editor(editor)
    , m_formText(std::move(formText))
{
    // Sees every event of the application, the editor's first paint among them.
    QCoreApplication::instance()->installEventFilter(this);
}

OpenedText::~OpenedText()
{
    QCoreApplication::instance()->removeEventFilter(this);
}

const QByteArray& OpenedText::text()
{
    take();
    return m_text;
}

void OpenedText::take()
{
    if (m_taken)
        return;
    m_taken = true;
    QCoreApplication::instance()->removeEventFilter(this);
    m_text = m_formText();
}

bool OpenedText::eventFilter(QObject* watched, QEvent* event)
{
    if (isInput(event))
        take();
    else if (watched == m_editor && event->type() == QEvent::Paint)
        // After the paint, and after the drawn form reached the screen.
        QMetaObject::invokeMethod(this, &OpenedText::take, Qt::QueuedConnection);
    return QObject::eventFilter(watched, event);
}

} // namespace Editors
} // namespace Velmora
