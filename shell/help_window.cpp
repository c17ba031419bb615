#include "shell/help_window.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace shell {

QString HelpFolder()
{
    const QString exeDir = QCoreApplication::applicationDirPath();
    const QStringList candidates = {
        qEnvironmentVariable("SOVIKAN_HELP_DIR"),
        exeDir + QStringLiteral("/../share/sovikan/help"),
        exeDir + QStringLiteral("/help"),
    };
    for (const QString& dir : candidates)
        if (!dir.isEmpty() && QFileInfo::exists(dir + QStringLiteral("/index.html")))
            return QDir(dir).absolutePath();
    return {};
}

QString HelpPageName(int context)
{
    if (context >= 1 && context <= 6)
        return QStringLiteral("context-%1.html").arg(context);
    return QStringLiteral("index.html");
}

HelpWindow::HelpWindow() : browser_(new QTextBrowser(this))
{
    setWindowTitle(QStringLiteral("СОВИКАН ТР07 — справка"));
    // The program ends with its main window, whatever help is still open.
    setAttribute(Qt::WA_QuitOnClose, false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);
    browser_->setOpenLinks(true);
    resize(640, 520);
}

void HelpWindow::ShowContext(int context)
{
    ShowPage(HelpPageName(context));
}

void HelpWindow::ShowPage(const QString& name)
{
    const QString folder = HelpFolder();
    if (folder.isEmpty())
        return;  // no help installed: nothing of ours is shown
    const QString page = folder + QLatin1Char('/') + name;
    if (!QFileInfo::exists(page))
        return;
    browser_->setSearchPaths({folder});
    browser_->setSource(QUrl::fromLocalFile(page));
    show();
    raise();
    activateWindow();
}

}  // namespace shell
