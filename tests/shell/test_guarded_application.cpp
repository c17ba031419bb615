// An exception that an event handler lets through: one message, the program goes on.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <stdexcept>

#include "shell/guarded_application.h"

TEST(GuardedApplication, AnExceptionFromAHandlerIsOneMessageAndTheLoopGoesOn)
{
    auto* application = dynamic_cast<shell::GuardedApplication*>(QCoreApplication::instance());
    ASSERT_NE(application, nullptr);
    const auto shown = application->showError;
    QStringList texts;
    QStringList details;
    application->showError = [&](const QString& text, const QString& detail) {
        texts << text;
        details << detail;
    };
    bool later = false;
    QTimer::singleShot(0, [] { throw std::runtime_error("vector::at"); });
    QTimer::singleShot(5, [&] { later = true; });
    QElapsedTimer waited;
    waited.start();
    while (!later && waited.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    application->showError = shown;
    EXPECT_TRUE(later);
    ASSERT_EQ(texts.size(), 1);
    EXPECT_TRUE(texts[0].startsWith(QStringLiteral("Внутренняя ошибка программы"))) << texts[0].toStdString();
    EXPECT_EQ(details, QStringList{QStringLiteral("vector::at")});
}
