#pragma once
// A UiServices double for window tests: records every box, dialog, clipboard
// and help request and answers dialogs from a queue, so no test ever blocks.

#include <QImage>
#include <QStringList>
#include <deque>
#include <optional>
#include <vector>

#include "app/ui_services.h"

struct FakeUi : app::UiServices {
    struct Message {
        app::MessageIcon icon;
        QString title;
        QString text;
        int helpContext;
        QString details;
    };
    std::vector<Message> messages;
    std::vector<QString> errors;
    // The names the user picks, in turn; a null string or an empty queue: the user cancels.
    std::deque<QString> openAnswers;
    std::deque<QString> saveAnswers;
    std::vector<app::FileDialogSettings> openDialogs;
    std::vector<app::FileDialogSettings> saveDialogs;
    std::optional<QString> clipboardText;
    std::optional<QImage> clipboardImage;
    std::vector<int> helpRequests;

    // The texts of the boxes shown so far, in order.
    QStringList Texts() const
    {
        QStringList texts;
        for (const Message& m : messages)
            texts << m.text;
        return texts;
    }

    void ShowMessage(QWidget*, app::MessageIcon icon, const QString& title, const QString& text,
                     int helpContext) override
    {
        messages.push_back({icon, title, text, helpContext, {}});
    }
    void ShowMessageWithDetails(QWidget*, app::MessageIcon icon, const QString& title, const QString& text,
                                const QString& details, int helpContext) override
    {
        messages.push_back({icon, title, text, helpContext, details});
    }
    void ShowError(QWidget*, const QString& text) override { errors.push_back(text); }
    std::optional<QString> RunOpenDialog(QWidget*, const app::FileDialogSettings& s) override
    {
        openDialogs.push_back(s);
        return Pop(openAnswers);
    }
    std::optional<QString> RunSaveDialog(QWidget*, const app::FileDialogSettings& s) override
    {
        saveDialogs.push_back(s);
        return Pop(saveAnswers);
    }
    void SetClipboardText(const QString& text) override { clipboardText = text; }
    void SetClipboardImage(const QImage& image) override { clipboardImage = image; }
    void ShowHelp(int context) override { helpRequests.push_back(context); }

private:
    static std::optional<QString> Pop(std::deque<QString>& q)
    {
        if (q.empty())
            return std::nullopt;
        const QString name = q.front();
        q.pop_front();
        return name.isNull() ? std::nullopt : std::optional(name);
    }
};
