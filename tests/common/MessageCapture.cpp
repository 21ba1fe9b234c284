#include "MessageCapture.h"

bool MessageCapture::contains(const QString& text) const
{
    const QStringList all = messages();
    for (const QString& message : all) {
        if (message.contains(text))
            return true;
    }
    return false;
}
