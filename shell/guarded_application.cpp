#include "shell/guarded_application.h"

#include <QMessageBox>

#include <exception>

namespace shell {

GuardedApplication::GuardedApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    showError = [](const QString& text, const QString& details) {
        QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(), text, QMessageBox::Ok,
                        QApplication::activeWindow());
        box.setDetailedText(details);
        box.exec();
    };
}

bool GuardedApplication::notify(QObject* receiver, QEvent* event)
{
    QString details;
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        details = QString::fromUtf8(e.what());
    } catch (...) {
    }
    const QString text = QStringLiteral("Внутренняя ошибка программы: действие не выполнено. Сохраните работу и "
                                        "перезапустите программу.");
    try {
        if (showError)
            showError(text, details);
    } catch (...) {
        // Nothing more can be said; the program goes on.
    }
    return false;
}

}  // namespace shell
