#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <random>

#include "files/cp1251.h"
#include "files/svk_file.h"

namespace {

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

class SvktoolTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::random_device rd;
        dir_ = std::filesystem::temp_directory_path() / ("svktool-test-" + std::to_string(rd()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    void Write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(dir_ / name, std::ios::binary) << bytes;
    }

    // Runs svktool with the arguments (already shell-quoted) in the C locale.
    ToolRun Svktool(const std::string& args) const
    {
        const std::string errFile = Path("stderr.log");
        const std::string cmd = "LC_ALL=C.UTF-8 '" SVKTOOL_PATH "' " + args + " 2>'" + errFile + "'";
        ToolRun run;
        FILE* pipe = popen(cmd.c_str(), "r");
        if (!pipe)
            return run;
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            run.out.append(buffer, n);
        const int rc = pclose(pipe);
        run.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
        std::ifstream in(errFile, std::ios::binary);
        run.err.assign(std::istreambuf_iterator<char>(in), {});
        return run;
    }

    std::filesystem::path dir_;
};

analysis::MeasurementRecord Wave()
{
    analysis::MeasurementRecord r;
    for (int j = 0; j < 400; ++j)
        r.Samples[static_cast<std::size_t>(j)] =
            static_cast<std::uint16_t>(std::lround(1000.0 + 500.0 * std::sin(2.0 * std::numbers::pi * j / 40)));
    r.SampleCount = 400;
    r.RangeIndex = 5;
    r.TimeMultiplier = 1;
    r.LuxFactor = 0.5f;
    r.SampleInterval = 0.25f;
    r.RangeDecade = 1.0;
    return r;
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

    const ToolRun run = Svktool("stats " + Quote(Path("wave.svk")) + " " + Quote(Path("broken.svk")) + " " +
                            Quote(Path("flat.svk")));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, Path("wave.svk") + "\n"
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

TEST_F(SvktoolTest, UsageAndHelp)
{
    const ToolRun help = Svktool("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("not wrapped"), std::string::npos);
    EXPECT_EQ(Svktool("frobnicate").status, 2);
    EXPECT_EQ(Svktool("stats").status, 2);
}

}  // namespace
