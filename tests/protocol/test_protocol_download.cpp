// The protocol window's "Считать из прибора…" against the real stand-in: the
// progress dialog with the record number while it reads, then the table of
// the folder. With $SOVIKAN_SHOT_DIR set, screen pictures of both moments are
// written there.
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTableWidget>
#include <QTimer>

#include "shell/native_text.h"
#include "serial/scripted_meter.h"

#include "protocol/qt/printing.h"
#include "protocol/qt/download_dialog.h"
#include "protocol/qt/protocol_window.h"
#include "helpers/standin_fixture.h"

namespace {

struct NoPrinting : protocol::ProtocolPrinting {
    std::optional<QString> Print(QWidget*, const protocol::PaperProtocol&) override { return std::nullopt; }
};

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    const auto deadline = Clock::now() + limit;
    while (!done() && Clock::now() < deadline)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

void Shot(const char* name, std::chrono::milliseconds settle = std::chrono::milliseconds(300))
{
    if (const char* folder = std::getenv("SOVIKAN_SHOT_DIR")) {
        WaitFor([] { return false; }, settle);  // the paint reaches the screen
        QGuiApplication::primaryScreen()->grabWindow(0).save(QString::fromUtf8(folder) + "/" + name);
    }
}

TEST_F(StandIn, ProtocolWindowShowsProgressThenTheDownloadedFolder)
{
    ASSERT_NO_FATAL_FAILURE(
        Start({"--com", "47", "--ports", (dir / "ports").string(), "--sysfs", (dir / "sysfs").string()}));
    ::setenv("SOVIKAN_SYSFS_ROOT", (dir / "sysfs").c_str(), 1);
    EXPECT_EQ(protocol::MeterPortOrFirst(), 47) << "found as at the main window's start-up";
    ::unsetenv("SOVIKAN_SYSFS_ROOT");

    protocol::ProtocolWindow window(
        std::make_unique<QSettings>(QString::fromStdString((dir / "s.ini").string()), QSettings::IniFormat),
        std::make_unique<NoPrinting>());
    QStringList messages;
    window.showMessage = [&](const QString& m) { messages << m; };
    window.show();
    const QString folder = protocol::NewSurveyFolder(QString::fromStdString((dir / "old").string()));
    EXPECT_TRUE(folder.startsWith(QString::fromStdString((dir / "Из прибора ").string()))) << folder.toStdString();
    ASSERT_TRUE(QDir().mkpath(folder));

    protocol::DownloadRequest request;
    request.com = 47;
    request.folder = folder.toStdString();
    protocol::MeterDownload download(request, &window);
    std::optional<protocol::DownloadResult> result;
    download.onFinished = [&](const protocol::DownloadResult& r) { result = r; };
    download.Start();
    QProgressDialog* progress = download.Progress();
    ASSERT_TRUE(WaitFor([&] { return progress->value() >= 12; }, std::chrono::seconds(20)));
    EXPECT_TRUE(progress->isVisible());
    EXPECT_TRUE(progress->labelText().contains(QStringLiteral("запись 1"))) << progress->labelText().toStdString();
    Shot("protocol-download-during.png");

    ASSERT_TRUE(WaitFor([&] { return result.has_value(); }, std::chrono::seconds(30)));
    EXPECT_TRUE(result->AllSaved());
    EXPECT_FALSE(progress->isVisible());
    ASSERT_TRUE(window.OpenFolder(folder));
    ASSERT_EQ(window.Table()->rowCount(), 40);
    Shot("protocol-download-after.png");
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
}

// The same command on a scripted line, as the user meets it: one message at
// the end, the dialog up until the reading has stopped.
class ScriptedWindowDownload : public ::testing::Test {
protected:
    protocol::DownloadRequest Request(int first, int last, int replyMs = 30)
    {
        protocol::DownloadRequest request;
        request.com = 47;
        request.first = first;
        request.last = last;
        request.timing.replyWindow = std::chrono::milliseconds(replyMs);
        request.timing.answerTimeout = std::chrono::milliseconds(300);
        request.device = meter.Factory();
        return request;
    }
    std::optional<QString> Run(const protocol::DownloadRequest& request, const QString& target)
    {
        return protocol::RunDownload(&window, request, target, [&](const QString& text, const QString& details) {
            messages << text;
            detailTexts << details;
        });
    }
    static QProgressDialog* Dialog() { return qobject_cast<QProgressDialog*>(QApplication::activeModalWidget()); }
    // Runs `step` once the download's dialog shows record `number`.
    void When(int number, std::function<void(QProgressDialog&)> step)
    {
        auto* timer = new QTimer(&window);
        QObject::connect(timer, &QTimer::timeout, timer, [timer, number, step] {
            QProgressDialog* dialog = Dialog();
            if (!dialog || dialog->value() < number)
                return;
            timer->stop();
            timer->deleteLater();
            step(*dialog);
        });
        timer->start(10);
    }

    test_support::TempFolder temp;
    serial::ScriptedMeter meter;
    QWidget window;
    QStringList messages;
    QStringList detailTexts;
};

TEST_F(ScriptedWindowDownload, CancelShowsTheStopUntilTheReadingHasStopped)
{
    window.resize(700, 400);
    window.show();
    bool seenStopping = false;
    std::optional<QString> second = QStringLiteral("not tried");
    When(2, [&](QProgressDialog& dialog) {
        auto* cancel = dialog.findChild<QPushButton*>();
        ASSERT_NE(cancel, nullptr);
        cancel->click();
        seenStopping = dialog.isVisible() && dialog.labelText() == QStringLiteral("Чтение останавливается…") &&
                       !cancel->isEnabled();
        dialog.repaint();
        Shot("protocol-download-stopping.png", std::chrono::milliseconds(0));
        // A second download while this one stops is not started.
        second = Run(Request(0, 39), QString::fromStdString(temp / "second"));
    });
    const auto shown = Run(Request(0, 39, 300), QString::fromStdString(temp / "survey"));
    EXPECT_TRUE(seenStopping);
    EXPECT_FALSE(second.has_value());
    EXPECT_FALSE(fs::exists(temp.Path() / "second"));
    ASSERT_TRUE(shown.has_value());
    // One message: how many were saved, and that the reading was cancelled.
    ASSERT_EQ(messages.size(), 1) << messages.join('\n').toStdString();
    EXPECT_TRUE(messages[0].contains(QStringLiteral("Чтение отменено."))) << messages[0].toStdString();
    EXPECT_FALSE(meter.line->isOpen());
}

TEST_F(ScriptedWindowDownload, APortErrorIsOneRussianMessageWithTheDetails)
{
    meter.line->Fail(serial::ScriptedCall::Read, EIO, -1, 5);
    const auto shown = Run(Request(0, 39), QString::fromStdString(temp / "survey"));
    ASSERT_TRUE(shown.has_value());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("Сохранено 2 из 40 записей.\nСвязь с прибором потеряна.")))
        << messages[0].toStdString();
    EXPECT_FALSE(messages[0].contains(QStringLiteral("error"))) << messages[0].toStdString();
    EXPECT_TRUE(detailTexts[0].startsWith(QStringLiteral("Read error (5)"))) << detailTexts[0].toStdString();
    EXPECT_FALSE(meter.line->isOpen());
}

TEST_F(ScriptedWindowDownload, AFolderThatCannotBeMadeNamesWhyAndNothingIsRead)
{
    temp.Write("taken", "");
    EXPECT_FALSE(Run(Request(0, 39), QString::fromStdString(temp / "taken/survey")).has_value());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("Не удалось создать папку «"))) << messages[0].toStdString();
    EXPECT_TRUE(messages[0].contains(QStringLiteral("»: "))) << messages[0].toStdString();
    EXPECT_TRUE(meter.line->written().empty());
}

TEST_F(ScriptedWindowDownload, AFolderNamedInAnotherCodePageKeepsItsBytes)
{
    // "Протокол" in code page 1251: not UTF-8.
    const std::string parent = temp.Folder() + "\xcf\xf0\xee\xf2\xee\xea\xee\xeb";
    ASSERT_TRUE(fs::create_directory(parent));
    const QString target = protocol::NewSurveyFolder(shell::FromNativePath(parent + "/old"));
    EXPECT_TRUE(shell::ToNativePath(target).starts_with(parent + "/Из прибора ")) << shell::ToNativePath(target);
    const auto shown = Run(Request(0, 2), target);
    ASSERT_TRUE(shown.has_value());
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    EXPECT_TRUE(fs::exists(fs::path(shell::ToNativePath(target)) / "Запись 02.svk"));
    EXPECT_EQ(std::distance(fs::directory_iterator(temp.Path()), fs::directory_iterator()), 1);
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
