// The window's side of the data files: save and open, stepping through the
// folder, the comment browser with its search, and the text export.

#include <QAbstractTextDocumentLayout>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextLayout>

#include "app/controls.h"
#include "app/form1.h"
#include "app/ui_services.h"
#include "chart/series.h"
#include "files/comment_browser.h"
#include "files/file_error.h"
#include "files/folder.h"
#include "files/svk_file.h"
#include "files/text_export.h"
#include "shell/native_text.h"
#include "shell/qt_string.h"

namespace app {

namespace {

const QString kFileCaption = QStringLiteral("ФАЙЛ ");
// A name whose folder part names no existing folder: its listing is empty,
// so the comment browser asks for a folder.
const QString kNoFolderName = QStringLiteral("zu:");

FileDialogSettings SaveDlgSettings()
{
    return {QStringLiteral("svk"), QStringLiteral("Sovikan files|*.svk|Text files|*.txt|All files|*.*"),
            QStringLiteral("DataSvk"), 1};
}

FileDialogSettings OpenDlgSettings()
{
    return {QStringLiteral("svk"), QStringLiteral("Sovikan files|*.svk|All files|*.*"), QStringLiteral("DataSvk"), 1};
}

using shell::DisplayText;
using shell::FromNativePath;
using shell::FromUtf8;
using shell::RawText;
using shell::ToNativePath;

// The extension of a path's file name, from its last point on.
QString Extension(const QString& path)
{
    const QString name = DisplayText(files::NamePart(ToNativePath(path)));
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot);
}

files::ExportMode ExportModeOf(const QComboBox& cbX)
{
    return cbX.currentIndex() == 1 ? files::ExportMode::Samples : files::ExportMode::Time;
}

}  // namespace

void TForm1::btFSaveClick()
{
    const std::optional<QString> chosen = ui_.RunSaveDialog(this, SaveDlgSettings());
    if (!chosen || chosen->isEmpty())
        return;
    if (Extension(*chosen) == QLatin1String(".txt")) {
        WriteTextExport(*chosen);
        return;
    }
    const files::SaveResult saved =
        files::WriteMeasurementFile(ToNativePath(*chosen), Record, RawText(*mComment).toStdString());
    OriginFileName = *chosen;
    gbFile->setTitle(kFileCaption + DisplayText(files::NamePart(ToNativePath(*chosen))));
    if (saved.samplesDropped > 0)
        ui_.ShowMessage(this, MessageIcon::Information, QStringLiteral("Information"),
                        QStringLiteral("Файл измерения хранит %1 выборок: последние %2 выборок "
                                       "этого измерения в файл не записаны.")
                            .arg(saved.samplesWritten)
                            .arg(saved.samplesDropped),
                        4);
}

void TForm1::btFLoadClick(QObject* sender)
{
    if (sender != btNextFile) {
        const std::optional<QString> chosen = ui_.RunOpenDialog(this, OpenDlgSettings());
        if (!chosen || chosen->isEmpty())
            return;
        CurrentFileName = *chosen;
    }
    // Raises before anything of the record or the comment box changes.
    files::MeasurementFile file = files::ReadMeasurementFile(ToNativePath(CurrentFileName));
    Record = file.record;
    QString comment = FromUtf8(file.commentUtf8);
    comment.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    mComment->clear();
    mComment->setPlainText(comment);
    Reprocess = true;
    btNextFile->show();
    btPrevFile->show();
    OriginFileName = CurrentFileName;
    gbFile->setTitle(kFileCaption + DisplayText(files::NamePart(ToNativePath(CurrentFileName))));
    ProcessReply();
}

void TForm1::OpenFolderStep(const files::FolderStep& step)
{
    switch (step.kind) {
    case files::StepKind::Nothing:
        return;
    case files::StepKind::NoMoreFiles:
        ui_.ShowMessage(this, MessageIcon::Information, QStringLiteral("Information"),
                        QString::fromUtf8(files::kNoMoreFiles), 0);
        return;
    case files::StepKind::Open:
        CurrentFileName = FromNativePath(step.path);
        gbFile->setTitle(kFileCaption + DisplayText(step.name));
        btFLoadClick(btNextFile);
        return;
    }
}

void TForm1::btNextFileClick()
{
    OpenFolderStep(files::StepToNextFile(ToNativePath(CurrentFileName)));
}

void TForm1::btPrevFileClick()
{
    OpenFolderStep(files::StepToPreviousFile(ToNativePath(CurrentFileName)));
}

void TForm1::btCommentsClick()
{
    mAllCmnt->clear();
    auto listingOf = [this] {
        if (CurrentFileName == kNoFolderName)
            return std::vector<std::string>{};
        return files::ListSvkEntries(files::FolderPart(ToNativePath(CurrentFileName)));
    };
    std::vector<std::string> listing = listingOf();
    if (listing.empty()) {
        const std::optional<QString> chosen = ui_.RunOpenDialog(this, OpenDlgSettings());
        if (chosen && !chosen->isEmpty()) {
            CurrentFileName = *chosen;
            listing = listingOf();
        }
    }
    if (listing.empty()) {
        ui_.ShowMessage(this, MessageIcon::Information, QStringLiteral("Information"),
                        QString::fromUtf8(files::kChoosePathMessage), 0);
    } else {
        gbCmnt->show();
        const files::GatheredComments gathered =
            files::GatherComments(files::FolderPart(ToNativePath(CurrentFileName)), listing);
        // Names are shown legibly and kept as the folder spells them, for
        // opening the file of a block.
        QStringList shown;
        for (const std::string& line : gathered.lines)
            shown << DisplayText(line);
        mAllCmnt->setPlainText(shown.join(QLatin1Char('\n')));
        GatheredLines = gathered.lines;
        GatheredText = mAllCmnt->toPlainText();
        if (gathered.error) {
            mAllCmnt->moveCursor(QTextCursor::Start);
            throw files::FileError(*gathered.error);
        }
    }
    mAllCmnt->moveCursor(QTextCursor::Start);
    mAllCmnt->ensureCursorVisible();
}

void TForm1::btPathClick()
{
    CurrentFileName = kNoFolderName;
    btCommentsClick();
}

void TForm1::btFindClick()
{
    const std::optional<files::SearchHit> hit =
        Search.FindNext(mAllCmnt->toPlainText().toStdString(), eFind->text().toStdString());
    if (!hit)
        return;
    mAllCmnt->setFocus();
    QTextCursor cursor = mAllCmnt->textCursor();
    cursor.setPosition(hit->plainStart);
    cursor.setPosition(hit->plainStart + hit->length, QTextCursor::KeepAnchor);
    mAllCmnt->setTextCursor(cursor);
}

void TForm1::btOpenFindClick()
{
    const QString text = mAllCmnt->toPlainText();
    const std::vector<std::string> lines = text == GatheredText ? GatheredLines : files::SplitLines(ToNativePath(text));
    const std::optional<std::string> name = files::FileNameAtLine(lines, mAllCmnt->textCursor().blockNumber());
    if (!name)
        return;
    CurrentFileName = FromNativePath(files::FolderPart(ToNativePath(CurrentFileName)) + *name);
    btFLoadClick(btNextFile);
}

void TForm1::btCancelClick()
{
    gbCmnt->hide();
}

bool TForm1::mAllCmntKeyPress(QChar key)
{
    if (key.unicode() == 13)
        btFindClick();
    else if (key.unicode() == 27)
        btCancelClick();
    return true;  // typing never changes the gathered text
}

bool TForm1::eFindKeyPress(QChar key)
{
    if (key.unicode() == 13) {
        btFindClick();
        return true;
    }
    return false;
}

QStringList TForm1::CommentBoxLines() const
{
    // One line per displayed line: the box wraps long lines at its width.
    QStringList lines;
    for (QTextBlock block = mComment->document()->begin(); block.isValid(); block = block.next()) {
        const QString text = block.text();
        const QTextLayout* layout = block.layout();
        if (!layout || layout->lineCount() == 0) {
            lines << text;
            continue;
        }
        for (int i = 0; i < layout->lineCount(); ++i) {
            const QTextLine line = layout->lineAt(i);
            QString piece = text.mid(line.textStart(), line.textLength());
            while (piece.endsWith(QLatin1Char(' ')) && i + 1 < layout->lineCount())
                piece.chop(1);  // the blank at a wrap is not part of the line
            lines << piece;
        }
    }
    // A line break at the very end starts no line of its own (an empty box
    // has no lines at all).
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    return lines;
}

void TForm1::WriteTextExport(const QString& path)
{
    std::vector<std::string> comment;
    for (const QString& line : CommentBoxLines())
        comment.push_back(line.toStdString());
    const files::ExportOrigin origin = files::OriginFromCaption(
        gbFile->title().toStdString(), DisplayText(ToNativePath(OriginFileName)).toStdString(), std::move(comment));
    files::WriteTextExport(ToNativePath(path), Record, Series1->FirstShownIndex(), Series1->LastShownIndex(),
                           ExportModeOf(*cbX), numberFormat_, origin);
}

void TForm1::btClipBoardClick()
{
    ui_.SetClipboardText(FromUtf8(files::ClipboardText(Record, Series1->FirstShownIndex(), Series1->LastShownIndex(),
                                                       ExportModeOf(*cbX), numberFormat_)));
}

}  // namespace app
