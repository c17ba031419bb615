#include "shell/qt_texts.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace shell {

namespace {

// The few texts Qt's Russian translation lacks: the type column of the file
// dialog's list (its words moved to a class the translation does not know).
class MissingQtTexts : public QTranslator {
public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* sourceText, const char* /*disambiguation*/,
                      int /*n*/) const override
    {
        if (qstrcmp(context, "QAbstractFileIconProvider") != 0)
            return {};
        if (qstrcmp(sourceText, "Folder") == 0 || qstrcmp(sourceText, "File Folder") == 0)
            return QStringLiteral("Папка");
        if (qstrcmp(sourceText, "Drive") == 0)
            return QStringLiteral("Диск");
        if (qstrcmp(sourceText, "File") == 0)
            return QStringLiteral("Файл");
        if (qstrcmp(sourceText, "%1 File") == 0)
            return QStringLiteral("Файл %1");
        if (qstrcmp(sourceText, "Shortcut") == 0 || qstrcmp(sourceText, "Alias") == 0)
            return QStringLiteral("Ярлык");
        return {};
    }
};

}  // namespace

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
            QCoreApplication::installTranslator(new MissingQtTexts(qApp));
            return true;
        }
    }
    delete translator;
    return false;
}

}  // namespace shell
