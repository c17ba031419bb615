#include <gtest/gtest.h>

#include <QApplication>

#include "shell/guarded_application.h"
#include "form_fixture.h"

namespace {
QApplication* application = nullptr;
}

QApplication& TestApplication()
{
    return *application;
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // The application lives on main's stack: Qt must be torn down before the
    // process's static objects are.
    shell::GuardedApplication app(argc, argv);
    application = &app;
    const int result = RUN_ALL_TESTS();
    application = nullptr;
    return result;
}
