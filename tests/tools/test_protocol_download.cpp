// The protocol window's "Считать из прибора…" against the real stand-in: the
// progress dialog with the record number while it reads, then the table of
// the folder. With $SOVIKAN_SHOT_DIR set, screen pictures of both moments are
// written there.
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QProgressDialog>
#include <QScreen>
#include <QSettings>
#include <QTableWidget>

#include "protocol/qt/printing.h"
#include "protocol/qt/download_dialog.h"
#include "protocol/qt/protocol_window.h"
#include "standin_fixture.h"

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

void Shot(const char* name)
{
    if (const char* folder = std::getenv("SOVIKAN_SHOT_DIR")) {
        WaitFor([] { return false; }, std::chrono::milliseconds(300));  // the paint reaches the screen
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

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
