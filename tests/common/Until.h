#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>

// Runs the event loop until the condition holds, looking after every batch of
// events: QTRY_* and qWaitFor sleep between their looks. Deferred deletes are
// delivered too, so objects a condition waits to see gone do go.
template<typename Condition>
bool until(Condition condition, int timeout = 5000)
{
    QTimer wake; // so that the time limit holds when nothing happens
    wake.start(5);
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.hasExpired(timeout))
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}
