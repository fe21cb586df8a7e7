#include "ui/frame/qtDispatcher.h"

#include <QThread>

QtDispatcher::QtDispatcher(QObject* parent) : QObject(parent) {}

QtDispatcher::~QtDispatcher() { stop(); }

bool QtDispatcher::post(std::function<void()> task) {
    if (stopped_.load()) return false;
    // Queued events of a destroyed receiver are dropped by Qt, with the task.
    QMetaObject::invokeMethod(
        this,
        [this, task = std::move(task)] {
            if (!stopped_.load()) task();
        },
        Qt::QueuedConnection);
    return true;
}

bool QtDispatcher::isOwnerThread() const { return QThread::currentThread() == thread(); }

void QtDispatcher::stop() { stopped_.store(true); }
