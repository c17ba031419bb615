#include <gtest/gtest.h>

#include <QApplication>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLineEdit>
#include <QSettings>
#include <QTableWidget>

#include "../analysis/sampled_record.h"
#include "../files/temp_folder.h"
#include "files/svk_file.h"
#include "chart/qt/chart_widget.h"
#include "protocol/qt/point_charts_panel.h"
#include "protocol/qt/protocol_window.h"

namespace {

struct CountingPrinting : protocol::ProtocolPrinting {
    int* calls;
    explicit CountingPrinting(int* c) : calls(c) {}
    std::optional<QString> Print(QWidget*, const protocol::PaperProtocol&) override
    {
        ++*calls;
        return std::nullopt;
    }
};

analysis::MeasurementRecord Ripple(int depth)
{
    return SampledRecord(400, 1.0f, [depth](int i) { return i % 40 < 20 ? 1000 + depth : 1000 - depth; });
}

TEST(ProtocolWindow, FolderTableLimitSavingAndRememberedHeader)
{
    testing_files::TempFolder dir;
    files::WriteMeasurementFile(dir / "a.svk", Ripple(100), "Кабинет 1");            // Kп 10 %
    files::WriteMeasurementFile(dir / "b.svk", Ripple(100), "Кабинет 2\r\nКп<=20");  // its own limit
    dir.Write("c.svk", "x");
    std::filesystem::create_directory(dir.Folder() + "empty");
    const QString ini = QString::fromStdString(dir / "settings.ini");
    auto settings = [&] { return std::make_unique<QSettings>(ini, QSettings::IniFormat); };
    QStringList messages;
    int prints = 0;

    {
        protocol::ProtocolWindow w(settings(), std::make_unique<CountingPrinting>(&prints));
        w.showMessage = [&](const QString& m) { messages << m; };
        w.HeaderField(0)->setText(QStringLiteral("ООО «Свет»"));
        w.HeaderField(6)->setText(QStringLiteral("С-123/2026"));
        ASSERT_TRUE(w.OpenFolder(QString::fromStdString(dir.Folder())));
        QTableWidget* t = w.Table();
        ASSERT_EQ(t->rowCount(), 3);
        for (int r = 0; r < 3; ++r) {
            const auto cells = protocol::CellsOf(w.Rows()[static_cast<std::size_t>(r)], {".", ","});
            for (int c = 0; c < protocol::kColumnCount; ++c)
                EXPECT_EQ(t->item(r, c)->text().toStdString(), cells.text[static_cast<std::size_t>(c)]);
        }
        auto verdictOf = [&](const QString& name) {
            for (int r = 0; r < t->rowCount(); ++r)
                if (t->item(r, 1)->text() == name)
                    return t->item(r, 6)->text();
            return QString();
        };
        EXPECT_EQ(verdictOf("a.svk"), QStringLiteral("не соответствует"));
        EXPECT_EQ(verdictOf("b.svk"), QStringLiteral("соответствует"));
        // The default limit changes the verdicts of the points without their own.
        w.findChild<QDoubleSpinBox*>()->setValue(12);
        EXPECT_EQ(verdictOf("a.svk"), QStringLiteral("соответствует"));
        w.SetDefaultLimit(8);
        EXPECT_EQ(verdictOf("a.svk"), QStringLiteral("не соответствует"));
        EXPECT_EQ(verdictOf("b.svk"), QStringLiteral("соответствует"));

        ASSERT_TRUE(w.SaveCsv(QString::fromStdString(dir / "p.csv")));
        EXPECT_EQ(dir.Read("p.csv").rfind("\xEF\xBB\xBF№;Файл;", 0), 0u);
        ASSERT_TRUE(w.SavePdf(QString::fromStdString(dir / "p.pdf")));
        EXPECT_EQ(dir.Read("p.pdf").substr(0, 5), "%PDF-");
        w.PrintProtocol();
        EXPECT_EQ(prints, 1);
        EXPECT_TRUE(messages.isEmpty());

        // Failures: one message each; the table stays.
        EXPECT_FALSE(w.SaveCsv(QString::fromStdString(dir / "no/such/p.csv")));
        EXPECT_FALSE(w.OpenFolder(QString::fromStdString(dir.Folder() + "empty")));
        ASSERT_EQ(messages.size(), 2);
        EXPECT_TRUE(messages[0].startsWith(QStringLiteral("Не удалось записать файл")));
        EXPECT_EQ(messages[1], QStringLiteral("Выберите путь, содержащий файлы *.svk"));
        EXPECT_EQ(t->rowCount(), 3);
    }

    // The next run has the header, the limit and the folder again.
    protocol::ProtocolWindow again(settings(), std::make_unique<CountingPrinting>(&prints));
    EXPECT_EQ(again.HeaderField(0)->text(), QStringLiteral("ООО «Свет»"));
    EXPECT_EQ(again.HeaderField(6)->text(), QStringLiteral("С-123/2026"));
    EXPECT_EQ(again.Paper().defaultLimit, 8.0);
    EXPECT_EQ(again.Table()->rowCount(), 3);
}

TEST(ProtocolWindow, ChartsFollowTheSelectedRowAndAPointSelectsItsRow)
{
    testing_files::TempFolder dir;
    files::WriteMeasurementFile(dir / "a.svk", Ripple(100), "Кабинет 1");
    files::WriteMeasurementFile(dir / "b.svk", Ripple(0), "Кабинет 2");  // constant light
    files::WriteMeasurementFile(dir / "c.svk", Ripple(300), "Кабинет 3");
    const QString ini = QString::fromStdString(dir / "settings.ini");
    int prints = 0;
    protocol::ProtocolWindow w(std::make_unique<QSettings>(ini, QSettings::IniFormat),
                               std::make_unique<CountingPrinting>(&prints));
    ASSERT_TRUE(w.OpenFolder(QString::fromStdString(dir.Folder())));
    auto& wave = w.Charts()->Waveform()->Chart();
    auto& spectrum = w.Charts()->Spectrum()->Chart();
    auto& ieee = w.Charts()->Ieee1789()->Chart();

    auto rowOf = [&](const std::string& name) {
        for (std::size_t r = 0; r < w.Rows().size(); ++r)
            if (w.Rows()[r].fileName == name)
                return static_cast<int>(r);
        return -1;
    };
    auto numberOf = [&](const std::string& name) { return std::to_string(rowOf(name) + 1); };

    w.Table()->selectRow(rowOf("b.svk"));
    EXPECT_EQ(wave.Series(0).PointCount(), 399);
    EXPECT_GT(spectrum.Series(0).PointCount(), 0);
    EXPECT_EQ(ieee.Series(0).PointCount(), 2);  // the points with an F, none selected
    EXPECT_EQ(ieee.Title().Text()[1], "у точки " + numberOf("b.svk") + " нет преобладающей частоты");

    w.Table()->selectRow(rowOf("a.svk"));
    ASSERT_EQ(ieee.Series(1).PointCount(), 1);  // the selected point, larger
    EXPECT_EQ(ieee.Series(1).PointLabel(0), numberOf("a.svk"));
    // A click on the dot of c.svk selects its row.
    w.Charts()->Ieee1789()->resize(400, 300);
    w.Charts()->Ieee1789()->grab();
    const auto& dots = ieee.Series(0);
    const int dot = dots.PointLabel(0) == numberOf("c.svk") ? 0 : 1;
    ieee.MouseDown(chart::TMouseButton::mbLeft, {}, dots.PointScreenX(dot), dots.PointScreenY(dot));
    EXPECT_EQ(w.Table()->currentRow(), rowOf("c.svk"));
    EXPECT_EQ(ieee.Series(1).PointLabel(0), numberOf("c.svk"));
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
