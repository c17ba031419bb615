// Program start-up: the application object, its help file, the main window
// and the message loop.

#include <QApplication>
#include <QLocale>
#include <QStyleFactory>

#include "app/form1.h"
#include "app/qt_ui_services.h"
#include "chart/number_picture.h"

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("sovikan"));
    QApplication::setApplicationDisplayName(QStringLiteral("СОВИКАН ТР07"));
    QGuiApplication::setDesktopFileName(QStringLiteral("sovikan"));
    application.setProperty("helpFile", QString::fromLatin1(app::kApplicationHelpFile));
    if (QStyle* style = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(style);

    const QLocale locale = QLocale::system();
    analysis::NumberFormat numbers{locale.decimalPoint().toStdString(),
                                   locale.groupSeparator().toStdString()};

    chart::SetNumberSeparators({numbers.decimalSeparator, numbers.thousandSeparator});

    app::QtUiServices ui;
    app::TForm1 Form1(ui, numbers);
    Form1.show();
    return QApplication::exec();
}
