#pragma once

#include <QStringList>
#include <QtGlobal>

// Collects the warnings logged while it lives, so tests can check what the
// code under test reported. Not nestable.
class MessageCapture
{
public:
    MessageCapture();
    ~MessageCapture();

    QStringList messages() const;
    // True when some message contains the text.
    bool contains(const QString& text) const;
    void clear();

private:
    static void handler(QtMsgType type, const QMessageLogContext& context, const QString& message);

    QtMessageHandler m_previous;
};
