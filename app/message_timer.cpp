#include "app/message_timer.h"

#include <QTimer>

namespace app {

MessageTimer::MessageTimer(int intervalMs, bool enabled, QObject* parent)
    : QObject(parent), timer_(new QTimer(this)), interval_(intervalMs), enabled_(enabled)
{
    timer_->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer_, &QTimer::timeout, this, [this] {
        if (onTimer_)
            onTimer_();
    });
}

void MessageTimer::SetInterval(int ms)
{
    if (ms == interval_)
        return;
    interval_ = ms;
    Update();
}

void MessageTimer::SetEnabled(bool on)
{
    if (on == enabled_)
        return;
    enabled_ = on;
    Update();
}

void MessageTimer::SetOnTimer(std::function<void()> handler)
{
    onTimer_ = std::move(handler);
    Update();
}

bool MessageTimer::Running() const
{
    return timer_->isActive();
}

void MessageTimer::Update()
{
    timer_->stop();
    if (enabled_ && interval_ > 0 && onTimer_)
        timer_->start(interval_);
}

}  // namespace app
