// The protocol program: the protocol window on its own.
#include <QApplication>
#include <QFont>
#include <QLocale>
#include <QSettings>
#include <QStyleFactory>

#include "chart/number_picture.h"
#include "protocol/qt/program_argument.h"
#include "protocol/qt/protocol_window.h"
#include "shell/guarded_application.h"
#include "shell/qt_texts.h"

int main(int argc, char* argv[])
{
    shell::GuardedApplication application(argc, argv);
    shell::UseRussianQtTexts();
    QApplication::setApplicationName(QStringLiteral("sovikan-protocol"));
    QApplication::setOrganizationName(QStringLiteral("sovikan"));
    QApplication::setApplicationDisplayName(QStringLiteral("Протокол измерений"));
    QGuiApplication::setDesktopFileName(QStringLiteral("sovikan-protocol"));
    if (QStyle* style = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(style);
    // The face the main window draws in (a sans serif one where it is missing),
    // at the system's size. The system's own dialog face on Windows is a
    // substitute name ("MS Shell Dlg 2"); where the face it stands for is
    // missing (Wine without its fonts), the font engine maps it to a face whose
    // Latin letters, digits and signs it cannot draw: a field holding only
    // those stays blank.
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(QApplication::font().pointSizeF());
    QApplication::setFont(font);
    const QLocale locale = QLocale::system();
    chart::SetNumberSeparators({locale.decimalPoint().toStdString(), locale.groupSeparator().toStdString()});

    protocol::ProtocolWindow window(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                                                QStringLiteral("sovikan"),
                                                                QStringLiteral("sovikan-protocol")),
                                    protocol::MakeProtocolPrinting());
    // The folder as given.
    if (argc > 1)
        window.OpenFolder(protocol::ProgramArgument(argv, 1));
    window.show();
    return application.exec();
}
