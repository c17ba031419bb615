#include <gtest/gtest.h>

#include "shell/guarded_application.h"

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // The application lives on main's stack: Qt must be torn down before the
    // process's static objects are.
    shell::GuardedApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
