#pragma once
// The application object of the programs: an exception that an event handler
// let through ends in one Russian message instead of ending the program (and
// with it whatever the user has not saved).

#include <QApplication>
#include <QString>

#include <functional>

namespace shell {

class GuardedApplication : public QApplication {
public:
    GuardedApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

    // How the message is shown: a warning box with the exception's words as
    // its details, unless replaced (tests count the messages).
    std::function<void(const QString& text, const QString& details)> showError;
};

}  // namespace shell
