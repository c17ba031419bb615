// Time of the window's whole reply processing for a 405-sample reply: read
// from the port, decode, statistics, refill of the measurement series,
// period search, and both charts painted offscreen. Prints the figures.
//
//   bench_process_reply [ITERATIONS]     (default 200; target: under 2 ms each)

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "app/controls.h"
#include "app/form1.h"
#include "app/message_timer.h"
#include "app/ui_services.h"
#include "chart/qt/chart_widget.h"
#include "chart/series.h"
#include "device/reply.h"
#include "serial/va_comm.h"
#include "helpers/quiet_toolkit.h"

namespace {

struct SilentUi : app::UiServices {
    void ShowMessage(QWidget*, app::MessageIcon, const QString&, const QString&, int) override {}
    void ShowError(QWidget*, const QString& text) override
    {
        std::fprintf(stderr, "error: %s\n", text.toUtf8().constData());
    }
    std::optional<QString> RunOpenDialog(QWidget*, const app::FileDialogSettings&) override { return {}; }
    std::optional<QString> RunSaveDialog(QWidget*, const app::FileDialogSettings&) override { return {}; }
    void SetClipboardText(const QString&) override {}
    void SetClipboardImage(const QImage&) override {}
    void ShowHelp(int) override {}
};

std::vector<std::uint8_t> Reply820()
{
    // 405 samples of a 100 Hz ripple at 0.25 ms per sample, range 5; the
    // longest reply the buffer takes, so the last high byte is the trailer's first.
    std::vector<std::uint16_t> samples;
    for (int i = 0; i < 405; ++i)
        samples.push_back(static_cast<std::uint16_t>(20000 + 3000 * std::sin(2 * M_PI * i / 40.0)));
    std::vector<std::uint8_t> r = device::EncodeMeasurementReply(samples, 0.025f, 5, 1, 2.5f);
    r.erase(r.begin() + 810);
    return r;
}

}  // namespace

int main(int argc, char** argv)
{
    const int iterations = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    char folder[] = "/tmp/sovikan-bench-XXXXXX";
    if (!mkdtemp(folder))
        return 1;
    qputenv("SOVIKAN_PORTS_DIR", folder);
    qputenv("SOVIKAN_SYSFS_ROOT", folder);
    test_support::QuietToolkit();
    QApplication application(argc, argv);

    int master = -1, slave = -1;
    char name[128] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&master, &slave, name, &raw, nullptr) != 0)
        return 1;
    const std::string link = std::string(folder) + "/com9";
    std::filesystem::create_symlink(name, link);

    SilentUi ui;
    app::TForm1 form(ui, analysis::NumberFormat{".", ","});
    form.sePort->setValue(9);
    form.btnPortClick();
    if (!form.VaComm1->Active()) {
        std::fprintf(stderr, "could not open the pseudo-terminal\n");
        return 1;
    }
    const std::vector<std::uint8_t> reply = Reply820();
    std::vector<double> times;
    for (int i = 0; i < iterations + 5; ++i) {
        if (write(master, reply.data(), reply.size()) != static_cast<ssize_t>(reply.size()))
            return 1;
        QElapsedTimer wait;
        wait.start();
        while (form.VaComm1->InQueCount() < static_cast<int>(reply.size()) && wait.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        form.TimRS->SetEnabled(false);

        const auto start = std::chrono::steady_clock::now();
        form.ProcessReply();
        form.Chart1->grab();
        form.ChartCorr->grab();
        const auto end = std::chrono::steady_clock::now();
        if (i >= 5)  // the first runs warm caches and fonts
            times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(times.begin(), times.end());
    double sum = 0;
    for (double t : times)
        sum += t;
    std::printf("ProcessReply of a 405-sample reply, charts painted offscreen, %d runs:\n", iterations);
    std::printf("  samples %d, correlation points %d\n", form.Record.SampleCount, form.SeriesCorr->PointCount());
    std::printf("  mean %.3f ms, median %.3f ms, 95th percentile %.3f ms (target < 2 ms)\n", sum / times.size(),
                times[times.size() / 2], times[times.size() * 95 / 100]);

    form.VaComm1->Close();
    close(master);
    close(slave);
    std::filesystem::remove_all(folder);
    return 0;
}
