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

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
