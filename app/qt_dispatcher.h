#pragma once
// Runs the serial component's main-thread steps in the Qt event loop.

#include <QObject>

#include "serial/dispatcher.h"

namespace app {

class QtMainThreadDispatcher : public serial::MainThreadDispatcher {
public:
    QtMainThreadDispatcher();
    // Queues the task to the thread that created the dispatcher. Tasks posted
    // after the dispatcher is gone are dropped by Qt with their context object.
    void Post(std::function<void()> task) override;

private:
    QObject context_;
};

}  // namespace app
