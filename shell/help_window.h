#pragma once
// The program's help: HTML pages installed beside it, one topic per help
// context and a contents page, shown in a window of the program itself.

#include <QString>
#include <QWidget>

class QTextBrowser;

namespace shell {

// The folder holding the help pages, or an empty string when none is found.
QString HelpFolder();
// The page of a help context (0 = contents), e.g. "context-3.html".
QString HelpPageName(int context);

class HelpWindow : public QWidget {
public:
    HelpWindow();
    // Shows the topic of the context; a missing help folder shows nothing.
    void ShowContext(int context);
    // The same for a page of the help folder by its name ("protocol.html").
    void ShowPage(const QString& name);
    QTextBrowser* Browser() const { return browser_; }

private:
    QTextBrowser* browser_;
};

}  // namespace shell
