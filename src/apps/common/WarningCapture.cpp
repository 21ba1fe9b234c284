#include "WarningCapture.h"

#include <QMutex>
#include <QMutexLocker>

namespace VelmoraHost {

namespace {

// Messages may come from any thread; the chain of captures is shared.
QBasicMutex chainMutex;
WarningCapture* innermost = nullptr;

} // namespace

WarningCapture::WarningCapture(Mode mode)
    : m_mode(mode)
{
    QMutexLocker lock(&chainMutex);
    m_outer = innermost;
    innermost = this;
    m_previous = qInstallMessageHandler(handler);
}

WarningCapture::~WarningCapture()
{
    QMutexLocker lock(&chainMutex);
    Q_ASSERT(innermost == this);
    qInstallMessageHandler(m_previous);
    innermost = m_outer;
}

QStringList WarningCapture::messages() const
{
    QMutexLocker lock(&chainMutex);
    return m_messages;
}

void WarningCapture::clear()
{
    QMutexLocker lock(&chainMutex);
    m_messages.clear();
}

void WarningCapture::handler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    QtMessageHandler passTo = nullptr;
    {
        QMutexLocker lock(&chainMutex);
        bool passOn = true;
        for (WarningCapture* capture = innermost; capture; capture = capture->m_outer) {
            if (type != QtDebugMsg && type != QtInfoMsg)
                capture->m_messages.append(message);
            passOn = passOn && capture->m_mode == PassOn;
            // The outermost capture holds the handler from before any of them.
            if (!capture->m_outer && passOn)
                passTo = capture->m_previous;
        }
    }
    // Outside the lock: that handler may well log in turn.
    if (passTo)
        passTo(type, context, message);
}

} // namespace VelmoraHost
