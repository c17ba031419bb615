// The timer semantics the window relies on.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>

#include "app/message_timer.h"
#include "form_fixture.h"

namespace {

TEST(MessageTimer, UnchangedIntervalDoesNotRestartTheCount)
{
    TestApplication();
    app::MessageTimer timer(200, false, nullptr);
    int fired = 0;
    timer.SetOnTimer([&] { ++fired; timer.SetEnabled(false); });
    QElapsedTimer clock;
    clock.start();
    timer.SetEnabled(true);
    QTest::qWait(120);
    timer.SetInterval(200);  // unchanged: the count goes on
    timer.SetEnabled(true);  // already enabled: nothing
    QTRY_COMPARE_WITH_TIMEOUT(fired, 1, 1000);
    EXPECT_LT(clock.elapsed(), 300);
}

TEST(MessageTimer, ChangedIntervalRestartsTheCount)
{
    TestApplication();
    app::MessageTimer timer(200, false, nullptr);
    int fired = 0;
    timer.SetOnTimer([&] { ++fired; timer.SetEnabled(false); });
    QElapsedTimer clock;
    clock.start();
    timer.SetEnabled(true);
    QTest::qWait(120);
    timer.SetInterval(201);
    QTRY_COMPARE_WITH_TIMEOUT(fired, 1, 1000);
    EXPECT_GE(clock.elapsed(), 300);
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
