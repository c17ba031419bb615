#pragma once
// A message timer on the main thread with the classic timer semantics the
// window relies on: writing an unchanged interval or enabling an enabled timer
// changes nothing, a changed interval restarts the count, and a timer without
// a handler never runs.

#include <QObject>
#include <functional>

class QTimer;

namespace app {

class MessageTimer : public QObject {
public:
    MessageTimer(int intervalMs, bool enabled, QObject* parent);

    int Interval() const { return interval_; }
    bool Enabled() const { return enabled_; }
    void SetInterval(int ms);
    void SetEnabled(bool on);
    void SetOnTimer(std::function<void()> handler);
    // Whether the underlying timer is counting (for tests).
    bool Running() const;

private:
    void Update();

    QTimer* timer_;
    int interval_;
    bool enabled_;
    std::function<void()> onTimer_;
};

}  // namespace app
