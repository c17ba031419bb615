#include "app/application.h"

#include <QApplication>
#include <QStyleFactory>
#include <QVariant>

#include "app/form1.h"
#include "shell/qt_texts.h"

namespace app {

void ConfigureApplication()
{
    QApplication::setApplicationName(QStringLiteral("sovikan"));
    shell::UseRussianQtTexts();
    // No display name: the desktop would append it to every window title,
    // and the captions of the window and the help already name the meter.
    QGuiApplication::setDesktopFileName(QStringLiteral("sovikan"));
    qApp->setProperty("helpFile", QString::fromLatin1(kApplicationHelpFile));
    if (QStyle* style = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(style);
}

}  // namespace app
