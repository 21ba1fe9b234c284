#pragma once

#include <QStringList>
#include <QtGlobal>

namespace VelmoraHost {

// Collects the warnings (and worse) logged while it lives: the module tells
// why it refused a file only through the message log. Captures nest; every
// live one collects. Construct and destroy on one thread, innermost first.
class WarningCapture
{
public:
    enum Mode {
        PassOn, // messages still reach the handler that was there before
        Swallow // the capture is the only one to see them
    };

    explicit WarningCapture(Mode mode = PassOn);
    ~WarningCapture();
    WarningCapture(const WarningCapture&) = delete;
    WarningCapture& operator=(const WarningCapture&) = delete;

    QStringList messages() const;
    void clear();

private:
    static void handler(QtMsgType type, const QMessageLogContext& context, const QString& message);

    Mode m_mode;
    QStringList m_messages;
    WarningCapture* m_outer;
    QtMessageHandler m_previous;
};

} // namespace VelmoraHost
