#pragma once
// What the main window asks of the desktop besides its own controls: message
// boxes, the file dialogs, the clipboard and the help window. Tests replace it
// so that nothing ever blocks on a modal box.

#include <QImage>
#include <QString>
#include <optional>

class QWidget;

namespace app {

enum class MessageIcon { Information, Warning, Error };

struct FileDialogSettings {
    QString defaultExt;   // without the point, e.g. "svk"
    QString filter;       // "Sovikan files|*.svk|All files|*.*"
    QString initialDir;   // relative to the working folder
    int filterIndex = 1;  // 1-based, the first filter selected
};

// Converts a "name|pattern|name|pattern" filter into Qt's "name (pattern);;..." form.
QString ToQtFilter(const QString& filter);

class UiServices {
public:
    virtual ~UiServices() = default;
    // A message box with one OK button; F1 in it opens the topic of a
    // non-zero help context.
    virtual void ShowMessage(QWidget* parent, MessageIcon icon, const QString& title, const QString& text,
                             int helpContext) = 0;
    // The same with the system's own words below the text, behind a button
    // that shows them (by default they are left out).
    virtual void ShowMessageWithDetails(QWidget* parent, MessageIcon icon, const QString& title, const QString& text,
                                        const QString& details, int helpContext)
    {
        (void)details;
        ShowMessage(parent, icon, title, text, helpContext);
    }
    // The application's standard error box for an error that ended a handler.
    virtual void ShowError(QWidget* parent, const QString& text) = 0;
    // File dialogs; nullopt when the user cancels.
    virtual std::optional<QString> RunOpenDialog(QWidget* parent, const FileDialogSettings& s) = 0;
    virtual std::optional<QString> RunSaveDialog(QWidget* parent, const FileDialogSettings& s) = 0;
    virtual void SetClipboardText(const QString& text) = 0;
    virtual void SetClipboardImage(const QImage& image) = 0;
    // Opens the help window at a context topic; 0 opens the contents page.
    virtual void ShowHelp(int context) = 0;
};

}  // namespace app
