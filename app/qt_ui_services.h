#pragma once
// The desktop implementation of UiServices: Qt message boxes, file dialogs,
// the system clipboard and the program's help window.

#include <memory>

#include "app/ui_services.h"

namespace shell {
class HelpWindow;
}

namespace app {

class QtUiServices : public UiServices {
public:
    QtUiServices();
    ~QtUiServices() override;

    void ShowMessage(QWidget* parent, MessageIcon icon, const QString& title, const QString& text,
                     int helpContext) override;
    void ShowMessageWithDetails(QWidget* parent, MessageIcon icon, const QString& title, const QString& text,
                                const QString& details, int helpContext) override;
    void ShowError(QWidget* parent, const QString& text) override;
    std::optional<QString> RunOpenDialog(QWidget* parent, const FileDialogSettings& s) override;
    std::optional<QString> RunSaveDialog(QWidget* parent, const FileDialogSettings& s) override;
    void SetClipboardText(const QString& text) override;
    void SetClipboardImage(const QImage& image) override;
    void ShowHelp(int context) override;

private:
    std::unique_ptr<shell::HelpWindow> help_;
};

}  // namespace app
