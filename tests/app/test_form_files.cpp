// Saving, opening, stepping through a folder, the comment browser and the
// text export, driven through the window's handlers on a real folder.

#include <QComboBox>
#include <QDir>
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

// A save writes the 818-byte measurement file (a record of 400 samples, no
// comment) and names it in the file group, unless the name ends in ".txt" in
// lower case: that is the text export, which leaves the caption.
TEST_F(FormFilesTest, ASaveIsTheMeasurementFileUnlessTheNameEndsInLowerCaseTxt)
{
    form->Record = Wave();
    for (const auto& [name, svk, title] : {std::tuple{"m.svk", true, "ФАЙЛ m.svk"},
                                           {"upper.TXT", true, "ФАЙЛ upper.TXT"},
                                           {"lower.txt", false, "ФАЙЛ upper.TXT"}}) {
        const QByteArray bytes = Save(name);
        EXPECT_EQ(bytes.size() == 818, svk) << name;
        EXPECT_TRUE(svk || bytes.endsWith("\r\n")) << name;
        EXPECT_EQ(Caption(), QString::fromUtf8(title));
    }
    EXPECT_TRUE(ui.errors.empty());
    EXPECT_TRUE(form->CurrentFileName.isEmpty());  // a save does not change it
}

TEST_F(FormFilesTest, SaveAndOpenRoundTripWithCyrillicComment)
{
    form->Record = Wave();
    form->mComment->setPlainText(QStringLiteral("Лампа ДРЛ\nкабинет 12"));
    const QByteArray bytes = Save("r.svk");
    // The comment is code page 1251 on disk, its lines end in CR LF.
    EXPECT_EQ(bytes.mid(818, 4), QByteArray("\xCB\xE0\xEC\xEF", 4));
    EXPECT_NE(bytes.indexOf("\r\n"), -1);

    form->Record = analysis::MeasurementRecord{};
    form->mComment->clear();
    Open(Path("r.svk"));
    ASSERT_TRUE(ui.errors.empty());
    EXPECT_EQ(form->Record.SampleCount, 400);
    EXPECT_EQ(form->Record.Samples[39], Wave().Samples[39]);
    EXPECT_EQ(form->Record.LuxFactor, 0.5f);
    EXPECT_EQ(form->mComment->toPlainText(), QStringLiteral("Лампа ДРЛ\nкабинет 12"));
    EXPECT_EQ(Caption(), QStringLiteral("ФАЙЛ r.svk"));
    EXPECT_EQ(form->CurrentFileName, Path("r.svk"));
    EXPECT_TRUE(form->btNextFile->isVisibleTo(form.get()));
    EXPECT_TRUE(form->btPrevFile->isVisibleTo(form.get()));
    EXPECT_FALSE(form->Reprocess);
    EXPECT_EQ(form->Series1->PointCount(), 400);
}

TEST_F(FormFilesTest, EveryByteOfACommentSurvivesOpenAndSave)
{
    // 0x98 has no character in code page 1251; 0xA0 is a no-break space.
    const std::string bytes = files::EncodeMeasurement(Wave(), 400,
                                                       "a\x98"
                                                       "b\xA0"
                                                       "c\r\n\xC0\x01z");
    QFile in(Path("in.svk"));
    ASSERT_TRUE(in.open(QIODevice::WriteOnly));
    in.write(bytes.data(), static_cast<qint64>(bytes.size()));
    in.close();
    Open(in.fileName());
    EXPECT_EQ(Save("out.svk"), QByteArray::fromStdString(bytes));
    EXPECT_TRUE(ui.errors.empty());
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

// A save that fails, through a full disk or onto a read-only file, leaves the
// file as it was and says once which file and why; the window stays as it was.
// A comment with characters outside code page 1251 is refused before writing.
TEST_F(FormFilesTest, AFailedSaveLeavesTheOldFileAndSaysWhy)
{
    // The names, and whether the disk is full (else the old file is read-only).
    std::vector<std::pair<const char*, bool>> cases{{"r.svk", false}, {"r.txt", false}};
#ifndef _WIN32
    cases.insert(cases.end(), {{"f.svk", true}, {"f.txt", true}});
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
    // No temporary file is left behind.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), static_cast<qsizetype>(cases.size()));

    form->mComment->setPlainText(QStringLiteral("лампа € ok 😀"));
    ui.errors.clear();
    EXPECT_TRUE(Save("e.svk").isEmpty());
    ASSERT_EQ(ui.errors.size(), 1u);
    EXPECT_TRUE(ui.errors[0].contains(QStringLiteral("😀")));
    EXPECT_FALSE(QFile::exists(Path("e.svk")));
}

TEST_F(FormFilesTest, SteppingThroughTheFolderInItsListingOrder)
{
    for (const char* name : {"a.svk", "b.svk", "c.svk"})
        WriteSvk(name, name);
    const std::vector<std::string> listing = files::ListSvkEntries(dir.path().toStdString() + "/");
    ASSERT_EQ(listing.size(), 3u);
    const QString first = QString::fromStdString(listing[0]);
    const QString last = QString::fromStdString(listing[2]);

    Open(Path(QString::fromStdString(listing[1])));
    form->btNextFileClick();
    EXPECT_EQ(form->CurrentFileName, Path(last));
    EXPECT_EQ(Caption(), QStringLiteral("ФАЙЛ ") + last);
    EXPECT_EQ(form->mComment->toPlainText(), last);
    form->btNextFileClick();
    EXPECT_EQ(ui.Texts(), QStringList{QStringLiteral("Больше нет файлов")});
    EXPECT_EQ(ui.messages[0].title, QStringLiteral("Information"));
    form->btPrevFileClick();
    form->btPrevFileClick();
    EXPECT_EQ(form->CurrentFileName, Path(first));
    form->btPrevFileClick();
    EXPECT_EQ(ui.messages.size(), 2u);

    // The current file deleted: forward says so, backward does nothing.
    QFile::remove(Path(first));
    ui.messages.clear();
    form->btNextFileClick();
    form->btPrevFileClick();
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(form->CurrentFileName, Path(first));
    EXPECT_TRUE(ui.errors.empty());
}

TEST_F(FormFilesTest, CommentBrowserGathersSearchesAndOpens)
{
    WriteSvk("a.svk", "x lamp\r\ny lamp");
    WriteSvk("b.svk", "");
    Open(Path("a.svk"));
    form->btCommentsClick();
    ASSERT_TRUE(form->gbCmnt->isVisibleTo(form.get()));
    const QStringList lines = form->mAllCmnt->toPlainText().split(QLatin1Char('\n'));
    EXPECT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines.contains(QStringLiteral("===a.svk:===")));
    EXPECT_TRUE(lines.contains(QStringLiteral("===b.svk:===")));

    // Enter in the search field searches; the two hits come in order.
    form->eFind->setText(QStringLiteral("lamp"));
    form->eFindKeyPress(QChar(13));
    const int firstHit = form->mAllCmnt->textCursor().selectionStart();
    EXPECT_EQ(form->mAllCmnt->textCursor().selectedText(), QStringLiteral("lamp"));
    form->btFindClick();
    EXPECT_GT(form->mAllCmnt->textCursor().selectionStart(), firstHit);
    form->btFindClick();  // not found: the selection stays
    form->btFindClick();  // from the top again
    EXPECT_EQ(form->mAllCmnt->textCursor().selectionStart(), firstHit);

    // The caret in a's comment opens a.svk; Escape hides the panel.
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

TEST_F(FormFilesTest, TextExportOfTheShownStretch)
{
    WriteSvk("t.svk", "comment line");
    Open(Path("t.svk"));
    form->show();
    PaintCharts();
    QStringList lines = Export("all.txt");
    ASSERT_EQ(lines.size(), 400 + 4);  // rows, caption, origin, one comment line, and the end
    EXPECT_EQ(lines[0], QStringLiteral("  0.0000\t500.0000"));
    EXPECT_EQ(lines[2], QStringLiteral("  0.5000\t510.0000"));
    EXPECT_EQ(lines[400], QStringLiteral("  T,ms          Люксы"));
    EXPECT_EQ(lines[401], QStringLiteral("Данные из файла ") + Path("t.svk"));
    EXPECT_EQ(lines[402], QStringLiteral("comment line"));
    EXPECT_EQ(lines[403], QString());
    // A comment ending in a line break gives no empty last line.
    form->mComment->setPlainText(QStringLiteral("comment line\n"));
    EXPECT_EQ(Export("break.txt"), lines);

    // Zoom into samples 100 .. 199 of the bottom axis.
    form->Chart1->Chart().BottomAxis().SetRange(100, 199);
    PaintCharts();
    lines = Export("zoom.txt");
    ASSERT_EQ(lines.size(), 100 + 4);
    EXPECT_EQ(lines[0], QStringLiteral(" 25.0000\t600.0000"));

    form->cbX->setCurrentIndex(1);
    form->btClipBoardClick();
    ASSERT_TRUE(ui.clipboardText);
    EXPECT_FALSE(ui.clipboardText->contains(QLatin1Char('\r')));
    EXPECT_TRUE(ui.clipboardText->startsWith(QStringLiteral("100\t600.0000\n")));
    EXPECT_TRUE(ui.clipboardText->endsWith(QLatin1Char('\n')));
}

TEST_F(FormFilesTest, ExportAfterAMeasurementNamesTheMeterMemory)
{
    Show(Wave());
    form->btnStartClick();  // caption "ФАЙЛ ": the data comes from the meter
    form->mComment->setPlainText(QStringLiteral("ignored"));
    form->show();
    PaintCharts();
    const QStringList lines = Export("m.txt");
    EXPECT_EQ(lines.mid(lines.size() - 2), (QStringList{QStringLiteral("Данные из памяти совикана"), QString()}));
    EXPECT_FALSE(lines.join(QString()).contains(QStringLiteral("ignored")));
}

}  // namespace
