// Saving, opening, stepping through a folder, the comment browser and the
// text export, driven through the window's handlers on a real folder.

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <tuple>

#include "files/folder.h"
#include "files/svk_file.h"
#include "form_fixture.h"
#include "helpers/sampled_record.h"

#ifndef _WIN32
#include <sys/resource.h>

#include <csignal>
#endif

namespace {

analysis::MeasurementRecord Wave(int n = 400)
{
    return SampledRecord(n, 0.5f, [](int i) { return 1000 + (i % 40) * 10; });
}

class FormFilesTest : public FormTest {
protected:
    void WriteSvk(const QString& name, const std::string& comment)
    {
        files::WriteMeasurementFile(Path(name).toStdString(), Wave(), comment);
    }
    QString Caption() const { return form->gbFile->title(); }
};

// Opening shows the file (its comment through the text box byte for byte, 0x98
// having no character in code page 1251) and saving writes it back. A name
// ending in ".txt" in lower case saves the text export and leaves the caption.
TEST_F(FormFilesTest, OpenShowsTheFileAndSaveWritesItBack)
{
    const std::string bytes = files::EncodeMeasurement(Wave(), 400,
                                                       "\xCB\xE0\xEC\xEF\xE0 a\x98"
                                                       "b\xA0"
                                                       "c\r\n\xC0\x01z");
    QFile in(Path("in.svk"));
    ASSERT_TRUE(in.open(QIODevice::WriteOnly));
    in.write(bytes.data(), static_cast<qint64>(bytes.size()));
    in.close();
    Open(in.fileName());
    ASSERT_TRUE(ui.errors.empty());
    EXPECT_TRUE(form->mComment->toPlainText().startsWith(QStringLiteral("Лампа a")));
    EXPECT_EQ(form->mComment->document()->blockCount(), 2);
    EXPECT_EQ(Caption(), QStringLiteral("ФАЙЛ in.svk"));
    EXPECT_EQ(form->CurrentFileName, Path("in.svk"));
    EXPECT_TRUE(form->btNextFile->isVisibleTo(form.get()));
    EXPECT_TRUE(form->btPrevFile->isVisibleTo(form.get()));
    EXPECT_EQ(form->Series1->PointCount(), 400);

    for (const auto& [name, svk, title] : {std::tuple{"out.svk", true, "ФАЙЛ out.svk"},
                                           {"upper.TXT", true, "ФАЙЛ upper.TXT"},
                                           {"lower.txt", false, "ФАЙЛ upper.TXT"}}) {
        EXPECT_EQ(Save(name) == QByteArray::fromStdString(bytes), svk) << name;
        EXPECT_EQ(Caption(), QString::fromUtf8(title));
    }
    EXPECT_TRUE(ui.errors.empty());
    EXPECT_EQ(form->CurrentFileName, Path("in.svk"));  // a save does not change it
}

TEST_F(FormFilesTest, NamesThatAreNotUtf8OpenStepAndShow)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows file names are UTF-16: a name is never a byte string of another code page";
#endif
    // "Изм.svk" written by a Windows machine: code page 1251 bytes.
    files::WriteMeasurementFile(dir.path().toStdString() + "/\xC8\xE7\xEC.svk", Wave(), "cp");
    WriteSvk("a.svk", "utf");
    const QString shown = QStringLiteral("ФАЙЛ Изм.svk");

    Open(Path("a.svk"));
    form->btNextFileClick();
    const bool listedAfter = Caption() == shown;
    if (!listedAfter)
        form->btPrevFileClick();  // the folder lists it first
    EXPECT_EQ(Caption(), shown);
    EXPECT_EQ(form->mComment->toPlainText(), QStringLiteral("cp"));
    // Stepping goes on from it, back to a.svk.
    listedAfter ? form->btPrevFileClick() : form->btNextFileClick();
    EXPECT_EQ(Caption(), QStringLiteral("ФАЙЛ a.svk"));

    form->btCommentsClick();
    const int header = static_cast<int>(
        form->mAllCmnt->toPlainText().split(QLatin1Char('\n')).indexOf(QStringLiteral("===Изм.svk:===")));
    ASSERT_GE(header, 0) << form->mAllCmnt->toPlainText().toStdString();
    Open(Path("a.svk"));
    form->mAllCmnt->setTextCursor(QTextCursor(form->mAllCmnt->document()->findBlockByNumber(header + 1)));
    form->btOpenFindClick();
    EXPECT_EQ(Caption(), shown);
    EXPECT_EQ(form->mComment->toPlainText(), QStringLiteral("cp"));
    EXPECT_TRUE(ui.errors.empty());
}

TEST_F(FormFilesTest, OpeningAMissingFileShowsTheMessageAndKeepsTheRecord)
{
    form->Record = Wave(100);
    StepTo(Path("gone.svk"));
    EXPECT_EQ(ui.errors, std::vector<QString>{QStringLiteral("Cannot open file ") + Path("gone.svk")});
    EXPECT_EQ(form->Record.SampleCount, 100);
    EXPECT_TRUE(ui.openDialogs.empty());  // the stepping sender opens without a dialog
}

// A save that fails, onto a read-only file or (the text export) a full disk,
// leaves the file as it was and says once which file and why; the caption stays.
// A comment with characters outside code page 1251 is refused before writing.
// (The whole-file writing and the reasons: tests/files/test_atomic_file.cpp.)
TEST_F(FormFilesTest, AFailedSaveLeavesTheOldFileAndSaysWhy)
{
    // The names, and whether the disk is full (else the old file is read-only).
    std::vector<std::pair<const char*, bool>> cases{{"r.svk", false}};
#ifndef _WIN32
    cases.push_back({"f.txt", true});
#endif
    form->Record = Wave();
    form->mComment->setPlainText(QStringLiteral("новый"));
    const QString caption = Caption();
    for (const auto& [name, fullDisk] : cases) {
        SCOPED_TRACE(name);
        const QString path = Path(name);
        WriteSvk(name, "старый");
        const QByteArray before = ReadBytes(path);
        if (!fullDisk)
            QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadUser);
        ui.errors.clear();
#ifndef _WIN32
        // The disk takes no more than 10 bytes of a file; writing on fails as on a full disk.
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        const rlimit full{fullDisk ? 10 : limit.rlim_cur, limit.rlim_max};
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &full);
#endif
        EXPECT_EQ(Save(name), before);
#ifndef _WIN32
        setrlimit(RLIMIT_FSIZE, &limit);
        std::signal(SIGXFSZ, oldHandler);
#endif
        EXPECT_EQ(
            ui.errors,
            std::vector<QString>{
                QStringLiteral("Файл %1 не сохранён: %2.")
                    .arg(path, fullDisk ? QStringLiteral("на диске нет места")
                                        : QStringLiteral("файл только для чтения или в эту папку нельзя писать"))});
        EXPECT_EQ(Caption(), caption);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    }

    form->mComment->setPlainText(QStringLiteral("лампа € ok 😀"));
    ui.errors.clear();
    EXPECT_TRUE(Save("e.svk").isEmpty());
    ASSERT_EQ(ui.errors.size(), 1u);
    EXPECT_TRUE(ui.errors[0].contains(QStringLiteral("😀")));
}

// The arrows open the folder's next file in its listing order (the order
// itself: FolderListing.SteppingThroughARealFolder) or say there is none.
TEST_F(FormFilesTest, TheArrowsStepThroughTheFolder)
{
    for (const char* name : {"a.svk", "b.svk", "c.svk"})
        WriteSvk(name, name);
    const std::vector<std::string> listing = files::ListSvkEntries(dir.path().toStdString() + "/");
    ASSERT_EQ(listing.size(), 3u);
    const QString last = QString::fromStdString(listing[2]);

    Open(Path(QString::fromStdString(listing[1])));
    form->btNextFileClick();
    EXPECT_EQ(form->CurrentFileName, Path(last));
    EXPECT_EQ(Caption(), QStringLiteral("ФАЙЛ ") + last);
    EXPECT_EQ(form->mComment->toPlainText(), last);
    form->btNextFileClick();
    EXPECT_EQ(ui.Texts(), QStringList{QStringLiteral("Больше нет файлов")});
    EXPECT_EQ(ui.messages[0].title, QStringLiteral("Information"));

    // The current file deleted: forward says so, backward does nothing.
    QFile::remove(Path(last));
    form->btNextFileClick();
    form->btPrevFileClick();
    EXPECT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(form->CurrentFileName, Path(last));
    EXPECT_TRUE(ui.errors.empty());
}

// The gathering and the search themselves: tests/files/test_comment_browser.cpp.
TEST_F(FormFilesTest, CommentBrowserShowsSearchesAndOpens)
{
    WriteSvk("a.svk", "x lamp");
    WriteSvk("b.svk", "");
    Open(Path("a.svk"));
    form->btCommentsClick();
    ASSERT_TRUE(form->gbCmnt->isVisibleTo(form.get()));
    EXPECT_TRUE(form->mAllCmnt->toPlainText().contains(QStringLiteral("===b.svk:===")));

    // Enter in the search field searches; the caret on the hit opens a.svk; Escape hides the panel.
    form->eFind->setText(QStringLiteral("lamp"));
    form->eFindKeyPress(QChar(13));
    EXPECT_EQ(form->mAllCmnt->textCursor().selectedText(), QStringLiteral("lamp"));
    form->Record = analysis::MeasurementRecord{};
    form->btOpenFindClick();
    EXPECT_EQ(form->CurrentFileName, Path("a.svk"));
    EXPECT_EQ(form->Record.SampleCount, 400);
    form->mAllCmntKeyPress(QChar(27));
    EXPECT_FALSE(form->gbCmnt->isVisibleTo(form.get()));
}

TEST_F(FormFilesTest, CommentBrowserWithoutFilesAsksThenExplains)
{
    form->CurrentFileName = Path("none.svk");
    form->btCommentsClick();  // empty folder: the dialog, cancelled
    EXPECT_EQ(ui.openDialogs.size(), 1u);
    EXPECT_EQ(ui.Texts(), QStringList{QStringLiteral("Выберите путь, содержащий файлы *.svk")});
    EXPECT_FALSE(form->gbCmnt->isVisibleTo(form.get()));

    WriteSvk("q.svk", "found");
    ui.openAnswers.push_back(Path("q.svk"));
    form->btPathClick();
    EXPECT_TRUE(form->gbCmnt->isVisibleTo(form.get()));
    EXPECT_TRUE(form->mAllCmnt->toPlainText().contains(QStringLiteral("found")));
}

// The export of the shown stretch with the file's origin and comment, and the
// clipboard in sample mode. (The rows, the origin lines and the line ends:
// tests/files/test_text_export.cpp; the stretch after a zoom: test_form_zoom.cpp.)
TEST_F(FormFilesTest, TextExportOfTheShownStretch)
{
    WriteSvk("t.svk", "comment line");
    Open(Path("t.svk"));
    form->show();
    PaintCharts();
    const QStringList lines = Export("all.txt");
    ASSERT_EQ(lines.size(), 400 + 4);  // rows, caption, origin, one comment line, and the end
    EXPECT_EQ(lines[401], QStringLiteral("Данные из файла ") + Path("t.svk"));
    EXPECT_EQ(lines[402], QStringLiteral("comment line"));
    // A comment ending in a line break gives no empty last line.
    form->mComment->setPlainText(QStringLiteral("comment line\n"));
    EXPECT_EQ(Export("break.txt"), lines);

    form->Chart1->Chart().BottomAxis().SetRange(100, 199);
    PaintCharts();
    form->cbX->setCurrentIndex(1);
    form->btClipBoardClick();
    ASSERT_TRUE(ui.clipboardText);
    EXPECT_TRUE(ui.clipboardText->startsWith(QStringLiteral("100\t600.0000\n")));
}

}  // namespace
