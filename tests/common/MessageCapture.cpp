#include "MessageCapture.h"

namespace {
QStringList* captured = nullptr;
}

MessageCapture::MessageCapture()
{
    static QStringList storage;
    storage.clear();
    captured = &storage;
    m_previous = qInstallMessageHandler(handler);
}

MessageCapture::~MessageCapture()
{
    qInstallMessageHandler(m_previous);
    captured = nullptr;
}

QStringList MessageCapture::messages() const
{
    return captured ? *captured : QStringList();
}

bool MessageCapture::contains(const QString& text) const
{
    const QStringList all = messages();
    for (const QString& message : all) {
        if (message.contains(text))
            return true;
    }
    return false;
}

void MessageCapture::clear()
{
    if (captured)
        captured->clear();
}

void MessageCapture::handler(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (captured && type != QtDebugMsg && type != QtInfoMsg)
        captured->append(message);
}
