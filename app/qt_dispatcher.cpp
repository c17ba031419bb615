#include "app/qt_dispatcher.h"

#include <QMetaObject>

namespace app {

QtMainThreadDispatcher::QtMainThreadDispatcher() = default;

void QtMainThreadDispatcher::Post(std::function<void()> task)
{
    QMetaObject::invokeMethod(&context_, std::move(task), Qt::QueuedConnection);
}

}  // namespace app
