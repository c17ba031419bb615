#include "app/qt_texts.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace app {

bool UseRussianQtTexts()
{
    const QStringList languages = QLocale::system().uiLanguages();
    if (languages.isEmpty() || !languages.constFirst().startsWith(QLatin1String("ru")))
        QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);

    auto* translator = new QTranslator(qApp);
    const QStringList folders{QCoreApplication::applicationDirPath() + QStringLiteral("/translations"),
                              QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
    for (const QString& folder : folders) {
        if (translator->load(QStringLiteral("qtbase_ru"), folder)) {
            QCoreApplication::installTranslator(translator);
            return true;
        }
    }
    delete translator;
    return false;
}

}  // namespace app
