// Saving, opening, stepping through a folder, the comment browser and the
// text export, driven through the window's handlers on a real folder.

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QPushButton>
#include <QToolButton>
#include <tuple>

#include "helpers/sampled_record.h"
#include "app/controls.h"
#include "chart/chart.h"
#include "chart/series.h"
#include "files/cp1251.h"
#include "files/folder.h"
#include "files/svk_file.h"
#include "form_fixture.h"

#ifndef _WIN32
#include <sys/resource.h>

#include <csignal>
#endif

namespace {

analysis::MeasurementRecord Wave(int n)
{
    return SampledRecord(n, 0.5f, [](int i) { return 1000 + (i % 40) * 10; });
}

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

QStringList Decoded(const QString& path)
{
    const QByteArray bytes = ReadAll(path);
    return QString::fromStdString(files::DecodeCp1251(bytes.toStdString())).split(QStringLiteral("\r\n"));
}

class FormFilesTest : public FormTest {
protected:
    void SetUp() override
    {
        FormTest::SetUp();
        ASSERT_TRUE(dir.isValid());
    }
    QString Path(const QString& name) const { return dir.path() + QLatin1Char('/') + name; }
    void WriteSvk(const QString& name, const analysis::MeasurementRecord& r, const std::string& comment)
    {
        files::WriteMeasurementFile(Path(name).toStdString(), r, comment);
    }
    void Open(const QString& path)
    {
        ui.openAnswers.push_back(path);
        form->Guarded([&] { form->btFLoadClick(form->btFLoad); });
    }
    QTemporaryDir dir;
};

// A save writes the 818-byte measurement file (a record of 400 samples, no
// comment) and names it in the file group, unless the name ends in ".txt" in
// lower case: that is the text export, which leaves the caption.
TEST_F(FormFilesTest, ASaveIsTheMeasurementFileUnlessTheNameEndsInLowerCaseTxt)
{
    form->Record = Wave(400);
    for (const auto& [name, svk, title] : {std::tuple{"m.svk", true, "ФАЙЛ m.svk"},
                                           {"upper.TXT", true, "ФАЙЛ upper.TXT"},
                                           {"lower.txt", false, "ФАЙЛ upper.TXT"}}) {
        ui.saveAnswers.push_back(Path(name));
        form->Guarded([&] { form->btFSaveClick(); });
        const QByteArray bytes = ReadAll(Path(name));
        EXPECT_EQ(bytes.size() == 818, svk) << name;
        EXPECT_TRUE(svk || bytes.endsWith("\r\n")) << name;
        EXPECT_EQ(form->gbFile->title(), QString::fromUtf8(title));
    }
    EXPECT_TRUE(ui.errors.empty());
    EXPECT_TRUE(form->CurrentFileName.isEmpty());  // a save does not change it
}

TEST_F(FormFilesTest, SaveAndOpenRoundTripWithCyrillicComment)
{
    form->Record = Wave(400);
    form->mComment->setPlainText(QStringLiteral("Лампа ДРЛ\nкабинет 12"));
    ui.saveAnswers.push_back(Path("r.svk"));
    form->Guarded([&] { form->btFSaveClick(); });
    ASSERT_TRUE(ui.errors.empty());

    form->Record = analysis::MeasurementRecord{};
    form->mComment->clear();
    Open(Path("r.svk"));
    ASSERT_TRUE(ui.errors.empty());
    EXPECT_EQ(form->Record.SampleCount, 400);
    EXPECT_EQ(form->Record.Samples[39], Wave(400).Samples[39]);
    EXPECT_EQ(form->Record.LuxFactor, 0.5f);
    EXPECT_EQ(form->mComment->toPlainText(), QStringLiteral("Лампа ДРЛ\nкабинет 12"));
    EXPECT_EQ(form->gbFile->title(), QStringLiteral("ФАЙЛ r.svk"));
    EXPECT_EQ(form->CurrentFileName, Path("r.svk"));
    EXPECT_TRUE(form->btNextFile->isVisibleTo(form.get()));
    EXPECT_TRUE(form->btPrevFile->isVisibleTo(form.get()));
    EXPECT_FALSE(form->Reprocess);
    EXPECT_EQ(form->Series1->PointCount(), 400);
    // The comment is code page 1251 on disk.
    const QByteArray bytes = ReadAll(Path("r.svk"));
    EXPECT_EQ(bytes.mid(818, 4), QByteArray("\xCB\xE0\xEC\xEF", 4));
    EXPECT_NE(bytes.indexOf("\r\n"), -1);
}

TEST_F(FormFilesTest, EveryByteOfACommentSurvivesOpenAndSave)
{
    // 0x98 has no character in code page 1251; 0xA0 is a no-break space.
    const std::string comment = "a\x98"
                                "b\xA0"
                                "c\r\n\xC0\x01z";
    {
        QFile f(Path("in.svk"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        const std::string bytes = files::EncodeMeasurement(Wave(400), 400, comment);
        f.write(bytes.data(), static_cast<qint64>(bytes.size()));
    }
    Open(Path("in.svk"));
    ui.saveAnswers.push_back(Path("out.svk"));
    form->Guarded([&] { form->btFSaveClick(); });
    EXPECT_TRUE(ui.errors.empty());
    EXPECT_EQ(ReadAll(Path("out.svk")), ReadAll(Path("in.svk")));
}

TEST_F(FormFilesTest, NamesThatAreNotUtf8OpenStepAndShow)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows file names are UTF-16: a name is never a byte string of another code page";
#endif
    // "Изм.svk" written by a Windows machine: code page 1251 bytes.
    const std::string folder = dir.path().toStdString() + "/";
    const std::string cpName = "\xC8\xE7\xEC.svk";
    files::WriteMeasurementFile(folder + cpName, Wave(400), "cp");
    WriteSvk("a.svk", Wave(400), "utf");
    const QString shown = QStringLiteral("ФАЙЛ Изм.svk");

    Open(Path("a.svk"));
    form->btNextFileClick();
    const bool listedAfter = form->gbFile->title() == shown;
    if (!listedAfter)
        form->btPrevFileClick();  // the folder lists it first
    EXPECT_EQ(form->gbFile->title(), shown);
    EXPECT_EQ(form->mComment->toPlainText(), QStringLiteral("cp"));
    // Stepping goes on from it, back to a.svk.
    if (listedAfter)
        form->btPrevFileClick();
    else
        form->btNextFileClick();
    EXPECT_EQ(form->gbFile->title(), QStringLiteral("ФАЙЛ a.svk"));
    EXPECT_TRUE(ui.errors.empty());

    form->btCommentsClick();
    const QStringList lines = form->mAllCmnt->toPlainText().split(QLatin1Char('\n'));
    const int header = static_cast<int>(lines.indexOf(QStringLiteral("===Изм.svk:===")));
    ASSERT_GE(header, 0) << form->mAllCmnt->toPlainText().toStdString();
    Open(Path("a.svk"));
    QTextCursor cursor(form->mAllCmnt->document()->findBlockByNumber(header + 1));
    form->mAllCmnt->setTextCursor(cursor);
    form->btOpenFindClick();
    EXPECT_EQ(form->gbFile->title(), shown);
    EXPECT_EQ(form->mComment->toPlainText(), QStringLiteral("cp"));
    EXPECT_TRUE(ui.errors.empty());
}

TEST_F(FormFilesTest, OpeningAMissingFileShowsTheMessageAndKeepsTheRecord)
{
    form->Record = Wave(100);
    form->CurrentFileName = Path("gone.svk");
    form->Guarded([&] { form->btFLoadClick(form->btNextFile); });
    ASSERT_EQ(ui.errors.size(), 1u);
    EXPECT_EQ(ui.errors[0], QStringLiteral("Cannot open file ") + Path("gone.svk"));
    EXPECT_EQ(form->Record.SampleCount, 100);
    EXPECT_TRUE(ui.openDialogs.empty());  // the stepping sender opens without a dialog
}

// A save that fails, through a full disk or onto a read-only file, leaves the
// file as it was and says once which file and why; the window stays as it was.
TEST_F(FormFilesTest, AFailedSaveLeavesTheOldFileAndSaysWhy)
{
    struct Case {
        const char* name;
        bool fullDisk;  // else the old file is read-only
        const char* reason;
    };
    std::vector<Case> cases{{"r.svk", false, "файл только для чтения или в эту папку нельзя писать"},
                            {"r.txt", false, "файл только для чтения или в эту папку нельзя писать"}};
#ifndef _WIN32
    cases.push_back({"f.svk", true, "на диске нет места"});
    cases.push_back({"f.txt", true, "на диске нет места"});
#endif
    for (const Case& c : cases) {
        const QString path = Path(QString::fromLatin1(c.name));
        WriteSvk(QString::fromLatin1(c.name), Wave(400), "старый");
        const QByteArray before = ReadAll(path);
        if (!c.fullDisk)
            QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadUser);
        form->Record = Wave(400);
        form->mComment->setPlainText(QStringLiteral("новый"));
        const QString caption = form->gbFile->title();
        ui.errors.clear();
        ui.saveAnswers.push_back(path);
#ifndef _WIN32
        // The disk takes no more than 10 bytes of a file; writing on fails as on a full disk.
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        const rlimit full{10, limit.rlim_max};
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        if (c.fullDisk)
            setrlimit(RLIMIT_FSIZE, &full);
#endif
        form->Guarded([&] { form->btFSaveClick(); });
#ifndef _WIN32
        setrlimit(RLIMIT_FSIZE, &limit);
        std::signal(SIGXFSZ, oldHandler);
#endif
        ASSERT_EQ(ui.errors.size(), 1u) << c.name;
        EXPECT_EQ(ui.errors[0], QStringLiteral("Файл %1 не сохранён: %2.").arg(path, QString::fromUtf8(c.reason)));
        EXPECT_EQ(ReadAll(path), before) << c.name;
        EXPECT_EQ(form->gbFile->title(), caption);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    }
    // No temporary file is left behind.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), static_cast<qsizetype>(cases.size()));
}

TEST_F(FormFilesTest, CharactersOutside1251AreReportedBeforeWriting)
{
    form->Record = Wave(400);
    form->mComment->setPlainText(QStringLiteral("лампа € ok 😀"));
    ui.saveAnswers.push_back(Path("e.svk"));
    form->Guarded([&] { form->btFSaveClick(); });
    ASSERT_EQ(ui.errors.size(), 1u);
    EXPECT_TRUE(ui.errors[0].contains(QStringLiteral("😀")));
    EXPECT_FALSE(QFile::exists(Path("e.svk")));
}

TEST_F(FormFilesTest, SteppingThroughTheFolderInItsListingOrder)
{
    for (const char* name : {"a.svk", "b.svk", "c.svk"})
        WriteSvk(QString::fromLatin1(name), Wave(400), name);
    const std::vector<std::string> listing = files::ListSvkEntries(dir.path().toStdString() + "/");
    ASSERT_EQ(listing.size(), 3u);
    const QString first = QString::fromStdString(listing[0]);
    const QString middle = QString::fromStdString(listing[1]);
    const QString last = QString::fromStdString(listing[2]);

    Open(Path(middle));
    form->btNextFileClick();
    EXPECT_EQ(form->CurrentFileName, Path(last));
    EXPECT_EQ(form->gbFile->title(), QStringLiteral("ФАЙЛ ") + last);
    EXPECT_EQ(form->mComment->toPlainText(), last);
    form->btNextFileClick();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, QStringLiteral("Больше нет файлов"));
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
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(form->CurrentFileName, Path(first));
    EXPECT_TRUE(ui.errors.empty());
}

TEST_F(FormFilesTest, CommentBrowserGathersSearchesAndOpens)
{
    WriteSvk("a.svk", Wave(400), "x lamp\r\ny lamp");
    WriteSvk("b.svk", Wave(400), "");
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
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, QStringLiteral("Выберите путь, содержащий файлы *.svk"));
    EXPECT_FALSE(form->gbCmnt->isVisibleTo(form.get()));

    WriteSvk("q.svk", Wave(400), "found");
    ui.openAnswers.push_back(Path("q.svk"));
    form->btPathClick();
    EXPECT_TRUE(form->gbCmnt->isVisibleTo(form.get()));
    EXPECT_TRUE(form->mAllCmnt->toPlainText().contains(QStringLiteral("found")));
}

TEST_F(FormFilesTest, TextExportOfTheShownStretch)
{
    WriteSvk("t.svk", Wave(400), "comment line");
    Open(Path("t.svk"));
    form->show();
    PaintCharts();
    ASSERT_EQ(form->Series1->FirstShownIndex(), 0);
    ASSERT_EQ(form->Series1->LastShownIndex(), 399);

    form->Guarded([&] { form->WriteTextExport(Path("all.txt")); });
    QStringList lines = Decoded(Path("all.txt"));
    ASSERT_EQ(lines.size(), 400 + 4);  // rows, caption, origin, one comment line, and the end
    EXPECT_EQ(lines[0], QStringLiteral("  0.0000\t500.0000"));
    EXPECT_EQ(lines[2], QStringLiteral("  0.5000\t510.0000"));
    EXPECT_EQ(lines[400], QStringLiteral("  T,ms          Люксы"));
    EXPECT_EQ(lines[401], QStringLiteral("Данные из файла ") + Path("t.svk"));
    EXPECT_EQ(lines[402], QStringLiteral("comment line"));
    EXPECT_EQ(lines[403], QString());
    // A comment ending in a line break gives no empty last line.
    form->mComment->setPlainText(QStringLiteral("comment line\n"));
    form->Guarded([&] { form->WriteTextExport(Path("break.txt")); });
    EXPECT_EQ(Decoded(Path("break.txt")), lines);

    // Zoom into samples 100 .. 199 of the bottom axis.
    form->Chart1->Chart().BottomAxis().SetRange(100, 199);
    PaintCharts();
    form->Guarded([&] { form->WriteTextExport(Path("zoom.txt")); });
    lines = Decoded(Path("zoom.txt"));
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
    form->Record = Wave(400);
    form->Reprocess = true;
    form->ProcessReply();
    form->btnStartClick();  // caption "ФАЙЛ ": the data comes from the meter
    form->mComment->setPlainText(QStringLiteral("ignored"));
    form->show();
    PaintCharts();
    form->Guarded([&] { form->WriteTextExport(Path("m.txt")); });
    const QByteArray bytes = ReadAll(Path("m.txt"));
    EXPECT_TRUE(bytes.endsWith("\xC4\xE0\xED\xED\xFB\xE5 \xE8\xE7 \xEF\xE0\xEC\xFF\xF2\xE8 "
                               "\xF1\xEE\xE2\xE8\xEA\xE0\xED\xE0\r\n"));
    EXPECT_FALSE(bytes.contains("ignored"));
}

}  // namespace
