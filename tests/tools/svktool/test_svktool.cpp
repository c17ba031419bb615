#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <map>
#include <numeric>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <sstream>

#include "helpers/tool_run.h"
#include "helpers/sampled_record.h"
#include "helpers/temp_folder.h"
#include "files/cp1251.h"
#include "files/folder.h"
#include "files/svk_file.h"

namespace {

class SvktoolTest : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    void Write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(dir_ / name, std::ios::binary) << bytes;
    }

    std::string Read(const std::string& name) const
    {
        std::ifstream in(dir_ / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // Runs svktool with the arguments (already shell-quoted) in the C locale,
    // under `env` (an env(1) command line) when given.
    ToolRun Svktool(const std::string& args, const std::string& env = "") const
    {
        return RunTool(env + "LC_ALL=C.UTF-8 '" SVKTOOL_PATH "' " + args, Path("stderr.log"));
    }

    test_support::TempFolder temp_;
    const std::filesystem::path dir_ = temp_.Path();
};

analysis::MeasurementRecord Wave()
{
    return SampledRecord(400, 0.5f,
                         [](int j) { return std::lround(1000.0 + 500.0 * std::sin(2.0 * std::numbers::pi * j / 40)); });
}

std::string Quote(const std::string& s)
{
    return "'" + s + "'";
}

TEST_F(SvktoolTest, StatsPrintsResultLinesAndPeriodForEachFile)
{
    files::WriteMeasurementFile(Path("wave.svk"), Wave(), "");
    auto flat = Wave();
    for (auto& s : flat.Samples)
        s = 800;
    files::WriteMeasurementFile(Path("flat.svk"), flat, "");
    Write("broken.svk", "short");

    const ToolRun run =
        Svktool("stats " + Quote(Path("wave.svk")) + " " + Quote(Path("broken.svk")) + " " + Quote(Path("flat.svk")));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, Path("wave.svk") +
                           "\n"
                           "СРЕДНЕЕ     500 e0 люкс\n"
                           "МАКСИМУМ 750 e0 люкс\n"
                           "МИНИМУМ  250 e0 люкс\n"
                           "К пульсаций  0.500\n"
                           "СКО, %      35.469\n"
                           "Число точек на период:40;  F=100Гц\n" +
                           Path("broken.svk") + "\n" + Path("flat.svk") +
                           "\n"
                           "СРЕДНЕЕ     400 e0 люкс\n"
                           "МАКСИМУМ 400 e0 люкс\n"
                           "МИНИМУМ  400 e0 люкс\n"
                           "К пульсаций  0.000\n"
                           "СКО, %      0.000\n"
                           "Выберите менее чувствительный диапазон или диапазон АВТО.\n");
    EXPECT_EQ(run.err, "svktool: Файл " + Path("broken.svk") + " повреждён: в нём нет заголовка измерения\n");

    const ToolRun ok = Svktool("stats " + Quote(Path("wave.svk")));
    EXPECT_EQ(ok.status, 0);
    const ToolRun missing = Svktool("stats " + Quote(Path("none.svk")));
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "svktool: Cannot open file " + Path("none.svk") + "\n");
}

TEST_F(SvktoolTest, ExportWritesWhatATxtSaveWrites)
{
    files::WriteMeasurementFile(Path("m.svk"), Wave(), "Цех 2\r\nлампа");
    const ToolRun run = Svktool("export " + Quote(Path("m.svk")));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.substr(0, 40), "  0.0000\t500.0000\r\n  0.2500\t539.0000\r\n  ");
    const std::string tail = "  T,ms          Люксы\r\nДанные из файла " + Path("m.svk") + "\r\nЦех 2\r\nлампа\r\n";
    EXPECT_EQ(run.out.substr(run.out.size() - tail.size()), tail);
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 404);

    const ToolRun samples = Svktool("export --samples " + Quote(Path("m.svk")));
    EXPECT_EQ(samples.out.substr(0, 28), "  0\t500.0000\r\n  1\t539.0000\r\n");
    EXPECT_NE(samples.out.find("\r\n№выборки  Люксы\r\n"), std::string::npos);

    const ToolRun cp = Svktool("export --cp1251 " + Quote(Path("m.svk")));
    EXPECT_EQ(cp.out, files::EncodeCp1251(run.out).bytes);

    const ToolRun bad = Svktool("export " + Quote(Path("none.svk")));
    EXPECT_NE(bad.status, 0);
    EXPECT_TRUE(bad.out.empty());
}

TEST_F(SvktoolTest, CommentsPrintsTheBrowserText)
{
    files::WriteMeasurementFile(Path("a.svk"), Wave(), "x\r\ny");
    const ToolRun run = Svktool("comments " + Quote(dir_.string()));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "===a.svk:===\nx\ny\n");
    const ToolRun withSlash = Svktool("comments " + Quote(dir_.string() + "/"));
    EXPECT_EQ(withSlash.out, run.out);

    std::filesystem::create_directory(dir_ / "empty");
    const ToolRun empty = Svktool("comments " + Quote(Path("empty")));
    EXPECT_EQ(empty.status, 1);
    EXPECT_EQ(empty.err, "svktool: Выберите путь, содержащий файлы *.svk\n");
}

// One point of the protocol test: a wave and what the protocol must say of it.
struct Point {
    std::string name;
    std::string comment;
    double level = 1000, modulation = 0;
    int period = 40;  // samples; 0: a square wave of 20 samples
    std::uint8_t range = 5, multiplier = 1;
    float lux = 1.0f, interval = 0.25f;
};

std::string Fixed(double v, int decimals)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

std::vector<std::string> SplitCells(const std::string& line)
{
    std::vector<std::string> cells(1);
    for (char c : line) {
        if (c == ';')
            cells.emplace_back();
        else
            cells.back() += c;
    }
    return cells;
}

// Sample i of the point's wave as written.
double Sample(const Point& p, int i)
{
    const double wave = p.period == 0 ? (i % 20 < 10 ? 1.0 : -1.0) : std::sin(2.0 * std::numbers::pi * i / p.period);
    return static_cast<double>(std::lround(p.level * (1.0 + p.modulation * wave)));
}

TEST_F(SvktoolTest, ProtocolCsvOfTwentyFiles)
{
    std::vector<Point> points;
    for (int k = 0; k < 16; ++k) {
        Point p;
        p.name = "p" + std::to_string(k) + ".svk";
        p.comment = "Кабинет " + std::to_string(100 + k) + (k % 4 == 1 ? "\r\nКп<=20" : "") + "\r\nстол";
        p.level = 300 + 977.0 * k;
        p.modulation = (k % 5) * 0.07;  // every fifth is constant
        p.period = k % 7 == 3 ? 0 : 16 + 6 * k;
        p.range = static_cast<std::uint8_t>(1 + k % 8);
        p.multiplier = static_cast<std::uint8_t>(1 + k % 3);
        p.lux = 0.25f + 0.125f * static_cast<float>(k % 6);
        p.interval = k % 2 ? 0.25f : 0.1f;
        points.push_back(p);
        analysis::MeasurementRecord r;
        r.SampleCount = 400;
        for (int i = 0; i < 400; ++i)
            r.Samples[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(Sample(p, i));
        r.RangeIndex = p.range;
        r.RangeDecade = analysis::RangeDecadeFor(p.range);
        r.TimeMultiplier = p.multiplier;
        r.LuxFactor = p.lux;
        r.SampleInterval = p.interval;
        files::WriteMeasurementFile(Path(p.name), r, p.comment);
        if (k == 0) {
            // Samples of 0: the mean rounds to 0; and the same for a file cut short.
            for (auto& s : r.Samples)
                s = 0;
            files::WriteMeasurementFile(Path("zero.svk"), r, "Коридор");
            r.SampleCount = 3;
            files::WriteMeasurementFile(Path("short.svk"), r, "");
        }
    }
    Write("broken.svk", "0123456789");
    std::filesystem::create_directory(dir_ / "folder.svk");

    const ToolRun run = Svktool("protocol " + Quote(dir_.string()) + " --csv " + Quote(Path("out.csv")));
    EXPECT_EQ(run.status, 1) << run.err;  // some files cannot be used
    const std::string csv = Read("out.csv");
    ASSERT_EQ(csv.substr(0, 3), "\xEF\xBB\xBF");
    std::vector<std::string> lines;
    for (std::size_t at = 3; at < csv.size();) {
        const std::size_t end = csv.find("\r\n", at);
        ASSERT_NE(end, std::string::npos);
        lines.push_back(csv.substr(at, end - at));
        at = end + 2;
    }
    ASSERT_EQ(lines.front(), "№;Файл;Помещение;Место;E, лк;U(E), лк;Норма E, лк;Вывод по E;Кп, %;U(Кп), %;Норма Кп, %;"
                             "Вывод по Кп;Вывод;F, Гц;PF, %;FI;SVM;SVM до, Гц;IEEE 1789;SHA-256");
    // The natural order of the names, whatever the file system's.
    std::vector<std::string> listing{"broken.svk", "folder.svk"};
    for (int k = 0; k < 16; ++k)
        listing.push_back("p" + std::to_string(k) + ".svk");
    listing.insert(listing.end(), {"short.svk", "zero.svk"});
    ASSERT_EQ(files::ListSvkEntries(dir_.string() + "/").size(), 20u);
    ASSERT_EQ(lines.size(), 21u);

    for (std::size_t row = 0; row < listing.size(); ++row) {
        const auto cells = SplitCells(lines[row + 1]);
        ASSERT_EQ(cells.size(), 20u) << lines[row + 1];
        EXPECT_EQ(cells[0], std::to_string(row + 1));
        EXPECT_EQ(cells[1], listing[row]);
        const auto p = std::find_if(points.begin(), points.end(), [&](const Point& q) { return q.name == cells[1]; });
        if (p == points.end()) {
            const std::map<std::string, std::pair<std::string, std::string>> unusable{
                {"zero.svk", {"Коридор", "среднее равно 0: выберите более чувствительный диапазон"}},
                {"short.svk", {"", "слишком мало выборок (3)"}},
                {"broken.svk", {"", "файл повреждён: в нём нет заголовка измерения"}},
                {"folder.svk", {"", "файл не удалось прочитать"}},
            };
            const auto& [place, why] = unusable.at(cells[1]);
            EXPECT_EQ(cells[3], place);
            EXPECT_EQ(cells[12], why);
            EXPECT_EQ(cells[4] + cells[8] + cells[13] + cells[14] + cells[15] + cells[16] + cells[18], "");
            continue;
        }
        // Everything again, from the samples as written.
        std::vector<double> s;
        for (int i = 0; i < 399; ++i)
            s.push_back(Sample(*p, i));
        const double sum = std::accumulate(s.begin(), s.end(), 0.0);
        const double hi = *std::max_element(s.begin(), s.end());
        const double lo = *std::min_element(s.begin(), s.end());
        const double lux = p->lux;
        const double M = std::nearbyint(sum * lux / 399);
        const int e = p->range - 5;
        const double kp = std::stod(Fixed((hi - lo) * lux / 2 / M, 3)) * 100;
        const double limit = p->comment.find("Кп<=20") != std::string::npos ? 20 : 5;
        const double pf = 100 * (hi - lo) / (hi + lo);
        SCOPED_TRACE(lines[row + 1]);
        EXPECT_EQ(cells[3], p->comment.substr(0, p->comment.find('\r')));
        EXPECT_EQ(cells[4], Fixed(M * std::pow(10.0, e), std::max(0, -e)));
        EXPECT_EQ(cells[8], Fixed(kp, 1));
        EXPECT_EQ(cells[10], limit == 20 ? "20" : "5");
        EXPECT_EQ(cells[12], std::stod(cells[8]) <= limit ? "соответствует" : "не соответствует");
        EXPECT_EQ(cells[14], Fixed(pf, 1));
        if (p->modulation == 0) {
            EXPECT_EQ(cells[13], "—");
            EXPECT_EQ(cells[18], "нет эффекта");
            continue;
        }
        const int period = p->period == 0 ? 20 : p->period;
        const double ms = p->multiplier * static_cast<double>(p->interval);
        const double f = 1000.0 / ms / period;
        EXPECT_NEAR(std::stod(cells[13]), f, 0.5);
        // FI and SVM over the whole periods.
        const int run = 399 / period * period;
        const double runSum = std::accumulate(s.begin(), s.begin() + run, 0.0);
        double above = 0;
        for (int i = 0; i < run; ++i)
            above += std::max(0.0, s[i] - runSum / run);
        EXPECT_NEAR(std::stod(cells[15]), above / runSum, 0.0015);
        const double fs = 1000.0 / ms;
        double svm = 0;
        for (int m = 1; m < run / 2 + 1; ++m) {
            const double fm = m * fs / run;
            if (fm < 80 || fm > 2000 || fm >= fs / 2)
                continue;
            std::complex<double> x = 0;
            for (int i = 0; i < run; ++i)
                x += s[i] * std::polar(1.0, -2 * std::numbers::pi * m * i / run);
            const double c = 2 * std::abs(x) / run / (runSum / run);
            const double t = 1 / (1 + std::exp(-0.00518 * (fm - 306.6))) + 20 * std::exp(-fm / 10);
            svm += std::pow(c / t, 3.7);
        }
        EXPECT_NEAR(std::stod(cells[16]), std::pow(svm, 1 / 3.7), 0.003);
        EXPECT_EQ(cells[17], Fixed(std::min(fs / 2, 2000.0), 0));
        const char* ieee = f > 3000 || pf <= (f >= 90 ? 0.0333 : 0.01) * f            ? "нет эффекта"
                           : (f >= 90 ? f > 1250 || pf <= 0.08 * f : pf <= 0.025 * f) ? "низкий риск"
                                                                                      : "риск";
        EXPECT_EQ(cells[18], ieee);
    }

    // The default limit from the command line; the point's own limit stays.
    const ToolRun strict = Svktool("protocol " + Quote(dir_.string()) + " --limit 0,5");
    EXPECT_NE(strict.out.find(";20;"), std::string::npos);
    EXPECT_NE(strict.out.find(";0.5;не соответствует;"), std::string::npos);
}

TEST_F(SvktoolTest, APdfMadeWithoutADesktopSessionPrintsNothingButItsOwnWords)
{
    // As from a script or a CI job: no session, no runtime folder.
    files::WriteMeasurementFile(Path("wave.svk"), Wave(), "");
    const ToolRun run = Svktool("protocol " + Quote(dir_.string()) + " --pdf " + Quote(Path("out.pdf")),
                                "env -u XDG_RUNTIME_DIR -u DISPLAY -u WAYLAND_DISPLAY ");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(std::filesystem::exists(Path("out.pdf")));
}

TEST_F(SvktoolTest, ProtocolNormsErrorsAndRooms)
{
    // E 1000 lx, Kп 10 %: 1.svk and 2.svk fail the default E norm of 1200, 3.svk meets its own.
    const std::pair<const char*, const char*> points[] = {
        {"1.svk", "Помещение: Холл\r\nКп<=20"}, {"2.svk", "Помещение: Холл"}, {"3.svk", "Помещение: 101\r\nЕ>=900"}};
    for (const auto& [name, comment] : points)
        files::WriteMeasurementFile(Path(name),
                                    SampledRecord(400, 1.0f, [](int i) { return i % 40 < 20 ? 1100 : 900; }), comment);
    const ToolRun run = Svktool("protocol " + Quote(dir_.string()) + " --e-norm 1200 --e-error 8 --kp-error 10" +
                                " --csv " + Quote(Path("p.csv")) + " --rooms-csv " + Quote(Path("r.csv")));
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string csv = Read("p.csv");
    const auto cells = SplitCells(csv.substr(csv.find("\r\n2;"), csv.find("\r\n3;") - csv.find("\r\n2;")));
    ASSERT_EQ(cells.size(), 20u);
    EXPECT_EQ(cells[5] + "|" + cells[6] + "|" + cells[7] + "|" + cells[9] + "|" + cells[11] + "|" + cells[12],
              "92|1200|не соответствует|1.2|не соответствует|не соответствует");
    EXPECT_EQ(Read("r.csv"),
              "\xEF\xBB\xBFПомещение;Точек;Eср, лк;Emin, лк;Emax, лк;Emin/Eср;Кп max, %;Не соответствуют\r\n"
              "Холл;2;1000;1000;1000;1.00;10.0;2\r\n"
              "101;1;1000;1000;1000;1.00;10.0;1\r\n");  // its Kп fails the default 5 %
}

TEST_F(SvktoolTest, CompareTwoSurveys)
{
    // Kп = swing / (2 * 1000 lx): 10 % before, 2 % after at the centre; a
    // place only before, one only after, a file that cannot be read.
    const auto light = [](int swing, int level = 1000) {
        return SampledRecord(400, 1.0f, [=](int i) { return level + (i % 40 < 20 ? swing : -swing); });
    };
    std::filesystem::create_directories(dir_ / "до");
    std::filesystem::create_directories(dir_ / "после");
    files::WriteMeasurementFile(Path("до/1.svk"), light(100), "Центр\r\nПомещение: Зал №1");
    files::WriteMeasurementFile(Path("до/2.svk"), light(30), "Угол\r\nПомещение: Зал №1");
    files::WriteMeasurementFile(Path("после/1.svk"), light(20, 1250), " ЦЕНТР \r\nПомещение: зал №1");
    files::WriteMeasurementFile(Path("после/2.svk"), light(30), "Дверь\r\nПомещение: Зал №1");
    Write("после/3.svk", "x");
    const std::string folders = Quote(Path("до")) + " " + Quote(Path("после"));
    const ToolRun run = Svktool("compare " + folders + " --csv " + Quote(Path("c.csv")));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(Read("c.csv"),
              "\xEF\xBB\xBFПомещение;Место;E до, лк;E после, лк;ΔE, %;Кп до, %;Кп после, %;ΔКп, п.п.;Вывод до;"
              "Вывод после;Изменение\r\n"
              "зал №1; ЦЕНТР ;1000;1250;25.0;10.0;1.6;-8.4;не соответствует;соответствует;стало соответствовать\r\n"
              "Зал №1;Дверь;—;1000;—;—;3.0;—;—;соответствует;только после\r\n"
              ";;—;—;—;—;—;—;—;файл повреждён: в нём нет заголовка измерения;только после\r\n"
              "Зал №1;Угол;1000;—;—;3.0;—;—;соответствует;—;только до\r\n");

    std::filesystem::create_directories(dir_ / "пусто");
    const ToolRun empty = Svktool("compare " + Quote(Path("до")) + " " + Quote(Path("пусто")));
    EXPECT_EQ(empty.status, 1);
    EXPECT_EQ(empty.err, "svktool: Выберите путь, содержащий файлы *.svk\n");
    EXPECT_EQ(Svktool("compare " + folders).status, 0);  // the table on the standard output
}

TEST_F(SvktoolTest, SpectrumPrintsHarmonicsThenLines)
{
    // 1000 +- 500 lux every 40 samples of 0.25 ms: 100 Hz of 50 %, 400 samples.
    files::WriteMeasurementFile(Path("wave.svk"), Wave(), "");
    const ToolRun run = Svktool("spectrum " + Quote(Path("wave.svk")));
    ASSERT_EQ(run.status, 0) << run.err;
    std::istringstream in(run.out);
    std::string line;
    std::vector<std::string> harmonics;
    int lines = 0;
    while (std::getline(in, line)) {
        if (line.starts_with("harmonic\t"))
            harmonics.push_back(line);
        else if (line.starts_with("spectrum\t"))
            ++lines;
        else
            ADD_FAILURE() << line;
    }
    ASSERT_EQ(harmonics.size(), 20u);  // 100 .. 2000 Hz
    EXPECT_TRUE(harmonics[0].starts_with("harmonic\t1\t100.00\t50.0")) << harmonics[0];
    EXPECT_EQ(lines, 180);  // 9 whole periods of 40 samples: 360 / 2 lines

    Write("broken.svk", "short");
    EXPECT_EQ(Svktool("spectrum " + Quote(Path("broken.svk"))).status, 1);
}

TEST_F(SvktoolTest, UsageAndHelp)
{
    const ToolRun help = Svktool("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("not wrapped"), std::string::npos);
    // The help gives every exit status there is.
    EXPECT_NE(help.out.find("2 when the command line is wrong"), std::string::npos);
    EXPECT_NE(help.out.find("svktool download COMn DIR [--records A-B]"), std::string::npos);
    EXPECT_EQ(Svktool("-h").out, help.out);

    // Each command's help is its part of the whole help, and its usage when its
    // command line is wrong.
    std::map<std::string, std::string> usage{{"", help.out}};
    for (const char* command : {"stats", "export", "spectrum", "comments", "protocol", "compare", "download"}) {
        const ToolRun own = Svktool(std::string(command) + " --help");
        EXPECT_EQ(own.status, 0) << command;
        const std::string part = own.out.substr(0, own.out.find("\n\n"));
        EXPECT_TRUE(part.starts_with("Usage:\n  svktool " + std::string(command) + " ")) << own.out;
        EXPECT_EQ(part.find("  svktool ", 8), std::string::npos) << own.out;
        EXPECT_NE(help.out.find(part.substr(7)), std::string::npos) << command;
        usage[command] = own.out;
    }
    // No arguments, an unknown command or option, a missing or extra argument,
    // an empty folder, an option without its value or of another command.
    // Each goes with the usage of its command, or the whole usage.
    for (const std::string args :
         {"", "frobnicate", "--samples", "stats", "stats -x f", "export a b", "export --csv a", "spectrum",
          "comments a b", "protocol ''", "protocol a --limit", "protocol a --records 1-2", "compare a",
          "compare a '' --limit 5", "compare a b --e-norm", "download COM5", "download COM5 d e",
          "download COM5 d --records"}) {
        const std::string command = args.substr(0, args.find(' '));
        const ToolRun run = Svktool(args);
        EXPECT_EQ(run.status, 2) << args;
        EXPECT_EQ(run.err, usage.count(command) ? usage[command] : usage[""]) << args;
        EXPECT_TRUE(run.out.empty()) << args;
    }
    // Bad values are named in a message of their own.
    for (const char* bad : {"protocol d --limit x", "protocol d --e-norm 0", "protocol d --e-error x",
                            "protocol d --kp-error 101", "compare a b --limit x", "download COMx d", "download COM0 d",
                            "download COM5 d --records 5-2", "download COM5 d --records 40"}) {
        const ToolRun run = Svktool(bad);
        EXPECT_EQ(run.status, 2) << bad;
        EXPECT_TRUE(run.err.starts_with("svktool: неверн")) << bad << run.err;
    }
}

}  // namespace
