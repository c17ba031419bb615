// The timer semantics the window relies on.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>

#include "app/message_timer.h"
#include "form_fixture.h"

namespace {

// Starts a 200 ms timer, sets `interval` 120 ms later and returns the time
// to the first firing.
qint64 FirstFiringAfterSettingInterval(int interval)
{
    TestApplication();
    app::MessageTimer timer(200, false, nullptr);
    int fired = 0;
    timer.SetOnTimer([&] {
        ++fired;
        timer.SetEnabled(false);
    });
    QElapsedTimer clock;
    clock.start();
    timer.SetEnabled(true);
    QTest::qWait(120);
    timer.SetInterval(interval);
    timer.SetEnabled(true);  // already enabled: nothing
    [&] { QTRY_COMPARE_WITH_TIMEOUT(fired, 1, 1000); }();
    return clock.elapsed();
}

TEST(MessageTimer, OnlyAChangedIntervalRestartsTheCount)
{
    EXPECT_LT(FirstFiringAfterSettingInterval(200), 300);
    EXPECT_GE(FirstFiringAfterSettingInterval(201), 300);
}

TEST(MessageTimer, WithoutHandlerOrWithZeroIntervalItNeverRuns)
{
    TestApplication();
    app::MessageTimer idle(10, true, nullptr);
    EXPECT_FALSE(idle.Running());
    int fired = 0;
    app::MessageTimer zero(0, true, nullptr);
    zero.SetOnTimer([&] { ++fired; });
    EXPECT_FALSE(zero.Running());
    zero.SetInterval(5);
    EXPECT_TRUE(zero.Running());
}

}  // namespace
