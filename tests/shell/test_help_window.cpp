// The help pages beside the programs: a topic per help context, every link
// resolved, and nothing shown where the folder or a page is missing.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QUrl>

#include "shell/help_window.h"

namespace {

TEST(Help, EveryContextHasItsTopicPage)
{
    const QString folder = shell::HelpFolder();
    ASSERT_FALSE(folder.isEmpty());
    for (int context = 0; context <= 6; ++context)
        EXPECT_TRUE(QFileInfo::exists(folder + QLatin1Char('/') + shell::HelpPageName(context))) << context;
    EXPECT_EQ(shell::HelpPageName(0), QStringLiteral("index.html"));
    EXPECT_EQ(shell::HelpPageName(42), QStringLiteral("index.html"));
    // The topic of the comment box (context 4) explains the box and the limit marker.
    QFile page(folder + QLatin1Char('/') + shell::HelpPageName(4));
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(page.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("КОММЕНТАРИЙ К ФАЙЛУ")));
    EXPECT_TRUE(text.contains(QStringLiteral("<code>Кп&lt;=N</code>")));
}

// Every link of every page leads to a page of the help folder, and to an anchor
// of that page when it names one; every page is reached from the contents, so
// the protocol's page and the walk-through are found from the main window's F1.
TEST(Help, EveryLinkResolvesAndEveryPageIsReachedFromTheContents)
{
    const QDir folder(shell::HelpFolder());
    ASSERT_FALSE(folder.path().isEmpty());
    struct Page {
        QStringList links;
        QStringList anchors;
    };
    QMap<QString, Page> pages;
    for (const QString& name : folder.entryList({QStringLiteral("*.html")}, QDir::Files)) {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        // The browser's own reading of the page: what it can follow and scroll to.
        QTextDocument document;
        document.setHtml(QString::fromUtf8(file.readAll()));
        Page& page = pages[name];
        for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextCharFormat format = it.fragment().charFormat();
                if (!format.anchorHref().isEmpty())
                    page.links << format.anchorHref();
                page.anchors << format.anchorNames();
            }
    }
    ASSERT_TRUE(pages.contains(QStringLiteral("index.html")));
    for (auto page = pages.cbegin(); page != pages.cend(); ++page)
        for (const QString& link : page->links) {
            const QUrl url(link);
            const QString target = url.path().isEmpty() ? page.key() : url.path();
            EXPECT_TRUE(url.scheme().isEmpty() && pages.contains(target))
                << page.key().toStdString() << ": " << link.toStdString();
            if (url.hasFragment() && pages.contains(target)) {
                EXPECT_TRUE(pages[target].anchors.contains(url.fragment()))
                    << page.key().toStdString() << ": " << link.toStdString();
            }
        }
    QStringList reached = {QStringLiteral("index.html")};
    for (int i = 0; i < reached.size(); ++i)
        for (const QString& link : pages.value(reached[i]).links) {
            const QString target = QUrl(link).path();
            if (pages.contains(target) && !reached.contains(target))
                reached << target;
        }
    reached.sort();
    EXPECT_EQ(reached, pages.keys());
}

// A help folder named in the environment without its contents page is passed
// over for the one beside the program; a page that is not there shows nothing.
TEST(Help, AMissingFolderOrPageShowsNothingOfItsOwn)
{
    QTemporaryDir empty;
    qputenv("SOVIKAN_HELP_DIR", empty.path().toLocal8Bit());
    EXPECT_NE(shell::HelpFolder(), QDir(empty.path()).absolutePath());
    shell::HelpWindow window;
    window.ShowPage(QStringLiteral("no-such-page.html"));
    EXPECT_FALSE(window.isVisible());
    window.ShowContext(3);
    EXPECT_EQ(window.isVisible(), !shell::HelpFolder().isEmpty());
    qunsetenv("SOVIKAN_HELP_DIR");
}

}  // namespace
