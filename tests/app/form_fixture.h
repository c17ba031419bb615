#pragma once
// A TForm1 created offscreen with a FakeUi, for window tests.

#include <gtest/gtest.h>

#include <QApplication>
#include <memory>
#include <ostream>

#include "app/form1.h"
#include "fake_ui.h"

// Readable test output for Qt strings.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

// One QApplication for the whole test program.
QApplication& TestApplication();

class FormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApplication();
        form = std::make_unique<app::TForm1>(ui, analysis::NumberFormat{".", ","});
    }
    void TearDown() override { form.reset(); }

    template <typename T>
    T* Find(const char* name)
    {
        return form->findChild<T*>(QString::fromLatin1(name));
    }

    FakeUi ui;
    std::unique_ptr<app::TForm1> form;
};
