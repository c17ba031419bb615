#include <gtest/gtest.h>

#include <QApplication>

#include "form_fixture.h"

QApplication& TestApplication()
{
    static int argc = 1;
    static char name[] = "test_app";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    TestApplication();
    return RUN_ALL_TESTS();
}
