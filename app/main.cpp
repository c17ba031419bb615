// Program start-up: the application object, its help file, the main window
// and the message loop.

#include <QApplication>
#include <QLocale>

#include "app/application.h"
#include "app/form1.h"
#include "app/qt_ui_services.h"
#include "chart/number_picture.h"
#include "shell/guarded_application.h"

int main(int argc, char* argv[])
{
    shell::GuardedApplication application(argc, argv);
    app::ConfigureApplication();

    const QLocale locale = QLocale::system();
    analysis::NumberFormat numbers{locale.decimalPoint().toStdString(), locale.groupSeparator().toStdString()};

    chart::SetNumberSeparators({numbers.decimalSeparator, numbers.thousandSeparator});

    app::QtUiServices ui;
    app::TForm1 Form1(ui, numbers);
    Form1.show();
    return QApplication::exec();
}
