#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QDate>
#include <QDir>
#include <QSettings>
#include <QShortcut>
#include <QTableWidget>
#include <QTextBrowser>

#include <filesystem>

#include "helpers/sampled_record.h"
#include "helpers/temp_folder.h"
#include "files/svk_file.h"
#include "shell/help_window.h"
#include "shell/native_text.h"
#include "chart/qt/chart_widget.h"
#include "protocol/qt/comparison_window.h"
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
    test_support::TempFolder dir;
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
        EXPECT_EQ(w.HeaderField(7)->text(), QStringLiteral("ГОСТ 33393-2015"));
        EXPECT_EQ(w.HeaderField(8)->text(), QStringLiteral("СанПиН 1.2.3685-21"));
        w.HeaderField(2)->setText(QStringLiteral("01.02.2020"));
        w.HeaderField(7)->setText(QStringLiteral("МИ 2-2026"));
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
                    return t->item(r, static_cast<int>(protocol::Column::Verdict))->text();
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
        bool tooLong = false;  // the name by its UTF-8 bytes, as the window writes it on every system
        EXPECT_EQ(files::ReadWholeFile(dir / "p_помещения.csv", 1 << 20, tooLong)
                      .value_or("")
                      .rfind("\xEF\xBB\xBFПомещение;Точек;", 0),
                  0u);
        // The judging fields: a wrong one is put back with a message, a good one judges.
        w.Field(protocol::ProtocolWindow::JudgingField::IlluminanceError)->setText(QStringLiteral("abc"));
        emit w.Field(protocol::ProtocolWindow::JudgingField::IlluminanceError)->editingFinished();
        ASSERT_EQ(messages.size(), 1);
        messages.clear();
        w.Field(protocol::ProtocolWindow::JudgingField::IlluminanceError)->setText(QStringLiteral("8"));
        emit w.Field(protocol::ProtocolWindow::JudgingField::IlluminanceError)->editingFinished();
        EXPECT_EQ(t->item(0, static_cast<int>(protocol::Column::IlluminanceUncertainty))->text(), QStringLiteral("92"));
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

    // The next run has the header, the limit and the folder again; the date is today's.
    protocol::ProtocolWindow again(settings(), std::make_unique<CountingPrinting>(&prints));
    EXPECT_EQ(again.HeaderField(0)->text(), QStringLiteral("ООО «Свет»"));
    EXPECT_EQ(again.HeaderField(6)->text(), QStringLiteral("С-123/2026"));
    EXPECT_EQ(again.HeaderField(7)->text(), QStringLiteral("МИ 2-2026"));
    EXPECT_EQ(again.HeaderField(2)->text(), QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy")));
    EXPECT_EQ(again.Paper().judging.limit, 8.0);
    EXPECT_EQ(again.Paper().judging.illuminanceError, 8.0);
    EXPECT_EQ(again.Table()->rowCount(), 3);
}

TEST(ProtocolWindow, ChartsFollowTheSelectedRowAndAPointSelectsItsRow)
{
    test_support::TempFolder dir;
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

struct WindowOnAFolder : ::testing::Test {
    test_support::TempFolder dir;
    QStringList messages;
    int prints = 0;
    std::unique_ptr<protocol::ProtocolWindow> w;

    // The folder as its bytes; the test's own folder unless given.
    void Open(const std::string& folder = {})
    {
        w = std::make_unique<protocol::ProtocolWindow>(
            std::make_unique<QSettings>(QString::fromStdString(dir / "settings.ini"), QSettings::IniFormat),
            std::make_unique<CountingPrinting>(&prints));
        w->showMessage = [this](const QString& m) { messages << m; };
        ASSERT_TRUE(w->OpenFolder(shell::FromNativePath(folder.empty() ? dir.Folder() : folder)));
    }
    QTableWidgetItem* Cell(protocol::Column c) const { return w->Table()->item(0, static_cast<int>(c)); }
};

TEST_F(WindowOnAFolder, PlaceAndLimitEditedIntoTheFileAndReadBackByTheMainWindowsReader)
{
    files::WriteMeasurementFile(dir / "a.svk", Ripple(100), "Кабинет 1\r\nстол у окна");  // Kп 10 %
    const std::string header = dir.Read("a.svk").substr(0, files::kCommentOffset);
    Open();
    using protocol::Column;
    for (Column c : protocol::kColumns)
        EXPECT_EQ((Cell(c)->flags() & Qt::ItemIsEditable) != 0,
                  c == Column::Place || c == Column::Room || c == Column::Limit || c == Column::IlluminanceNorm);
    EXPECT_EQ(Cell(Column::Verdict)->text(), QStringLiteral("не соответствует"));

    Cell(Column::Place)->setText(QStringLiteral("Кабинет 7"));
    Cell(Column::Limit)->setText(QStringLiteral("12"));
    Cell(Column::Room)->setText(QStringLiteral("Класс 3"));
    Cell(Column::IlluminanceNorm)->setText(QStringLiteral("1200"));
    EXPECT_TRUE(messages.isEmpty()) << messages.join(' ').toStdString();
    const auto file = files::ReadMeasurementFile(dir / "a.svk");
    EXPECT_EQ(file.commentUtf8, "Кабинет 7\r\nстол у окна\r\nКп<=12\r\nПомещение: Класс 3\r\nЕ>=1200");
    EXPECT_EQ(dir.Read("a.svk").substr(0, files::kCommentOffset), header);
    // The row again from its file: E 1000 fails its norm of 1200.
    EXPECT_EQ(Cell(Column::Place)->text(), QStringLiteral("Кабинет 7"));
    EXPECT_EQ(Cell(Column::Limit)->text(), QStringLiteral("12"));
    EXPECT_EQ(Cell(Column::Room)->text(), QStringLiteral("Класс 3"));
    EXPECT_EQ(Cell(Column::PulsationVerdict)->text(), QStringLiteral("соответствует"));
    EXPECT_EQ(Cell(Column::IlluminanceVerdict)->text(), QStringLiteral("не соответствует"));
    EXPECT_EQ(Cell(Column::Verdict)->text(), QStringLiteral("не соответствует"));
    ASSERT_EQ(w->Rooms()->rowCount(), 1);
    EXPECT_EQ(w->Rooms()->item(0, 0)->text(), QStringLiteral("Класс 3"));
    EXPECT_TRUE(w->Summary()->text().contains(QStringLiteral("(по E: 1, по Кп: 0)")))
        << w->Summary()->text().toStdString();
    Cell(Column::IlluminanceNorm)->setText(QString());
    EXPECT_EQ(Cell(Column::Verdict)->text(), QStringLiteral("соответствует"));

    // Text code page 1251 cannot hold: one message, the file and the cell as they were.
    const std::string before = dir.Read("a.svk");
    Cell(Column::Place)->setText(QStringLiteral("Кабинет ☺"));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("Windows-1251"))) << messages[0].toStdString();
    EXPECT_EQ(dir.Read("a.svk"), before);
    EXPECT_EQ(Cell(Column::Place)->text(), QStringLiteral("Кабинет 7"));
}

TEST_F(WindowOnAFolder, APastedColumnAndAFillDownReadBackFromTheFiles)
{
    for (const char* name : {"1.svk", "2.svk", "3.svk", "4.svk"})
        files::WriteMeasurementFile(dir / name, Ripple(100), "стол\r\nКп<=20");
    dir.Write("5.svk", "x");  // unusable: nothing is written into it
    Open();
    using protocol::Column;
    QTableWidget* t = w->Table();
    const auto comment = [&](const char* name) { return files::ReadMeasurementFile(dir / name).commentUtf8; };

    // A column of places from a spreadsheet, pasted from the second row on.
    t->setCurrentCell(1, static_cast<int>(Column::Place));
    QGuiApplication::clipboard()->setText(
        QStringLiteral("Кабинет 2\tлишнее\r\nКабинет ☺\r\nКабинет 4\r\nКабинет 5\r\nКабинет 6\r\n"));
    for (QShortcut* s : t->findChildren<QShortcut*>())
        if (s->key() == QKeySequence::Paste)
            emit s->activated();
    EXPECT_EQ(comment("1.svk"), "стол\r\nКп<=20");
    EXPECT_EQ(comment("2.svk"), "Кабинет 2\r\nКп<=20");
    EXPECT_EQ(comment("3.svk"), "стол\r\nКп<=20");  // refused, as it was
    EXPECT_EQ(comment("4.svk"), "Кабинет 4\r\nКп<=20");
    ASSERT_EQ(messages.size(), 1);
    // 3.svk refused the text, 5.svk cannot be edited, the last line finds no point.
    ASSERT_EQ(messages[0].count(QLatin1Char('\n')), 3) << messages[0].toStdString();
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("Не записано: 3 из 5.\n3.svk: "))) << messages[0].toStdString();
    EXPECT_TRUE(messages[0].endsWith(
        QStringLiteral("\n5.svk: файл повреждён: в нём нет заголовка измерения\n«Кабинет 6»: ниже нет точки")))
        << messages[0].toStdString();
    EXPECT_EQ(t->item(3, static_cast<int>(Column::Place))->text(), QStringLiteral("Кабинет 4"));

    // A room typed into the first row, then filled down over all four.
    t->item(0, static_cast<int>(Column::Room))->setText(QStringLiteral("Холл"));
    t->clearSelection();
    t->setRangeSelected(
        QTableWidgetSelectionRange(0, static_cast<int>(Column::Room), 4, static_cast<int>(Column::Room)), true);
    for (QShortcut* s : t->findChildren<QShortcut*>())
        if (s->key() == QKeySequence(Qt::CTRL | Qt::Key_D))
            emit s->activated();
    for (const char* name : {"1.svk", "2.svk", "3.svk", "4.svk"})
        EXPECT_TRUE(comment(name).ends_with("\r\nПомещение: Холл")) << name;
    EXPECT_EQ(dir.Read("5.svk"), "x");
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[1],
              QStringLiteral("Не записано: 1 из 4.\n5.svk: файл повреждён: в нём нет заголовка измерения"));
    ASSERT_EQ(w->Rooms()->rowCount(), 1);
    EXPECT_EQ(w->Rooms()->item(0, static_cast<int>(protocol::RoomColumn::Points))->text(), QStringLiteral("4"));
}

TEST_F(WindowOnAFolder, ReadOnlyProtocolFilesStayByteForByte)
{
    files::WriteMeasurementFile(dir / "a.svk", Ripple(100), "Кабинет 1");
    Open();
    for (const char* name : {"p.csv", "p.pdf"}) {
        dir.Write(name, "прежний протокол");
        std::filesystem::permissions(dir / name, std::filesystem::perms::owner_read);
    }
    EXPECT_FALSE(w->SaveCsv(QString::fromStdString(dir / "p.csv")));
    EXPECT_FALSE(w->SavePdf(QString::fromStdString(dir / "p.pdf")));
    ASSERT_EQ(messages.size(), 2);
    for (const char* name : {"p.csv", "p.pdf"})
        EXPECT_EQ(dir.Read(name), "прежний протокол") << name;
    // Both name the file as the system writes paths.
    for (int i : {0, 1})
        EXPECT_TRUE(messages[i].startsWith(
            QStringLiteral("Не удалось записать файл ") +
            QDir::toNativeSeparators(QString::fromStdString(dir / (i == 0 ? "p.csv" : "p.pdf")))))
            << messages[i].toStdString();
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Folder()), {}),
              4);  // no temporary left, no rooms' CSV after the points' failed
}

TEST_F(WindowOnAFolder, ComparedWithTheFolderBeforeItShowsTheChangesTheRoomsAndSavesTheCsv)
{
    for (const char* sub : {"before", "after", "empty"})
        std::filesystem::create_directory(dir / sub);
    files::WriteMeasurementFile(dir / "before/a.svk", Ripple(100), "стол 1\r\nПомещение: холл");  // Kп 10 %
    files::WriteMeasurementFile(dir / "before/b.svk", Ripple(100), "стол 2\r\nПомещение: холл");
    files::WriteMeasurementFile(dir / "after/a.svk", Ripple(20), " Стол 1\r\nПомещение: Холл");  // Kп 2 %
    files::WriteMeasurementFile(dir / "after/c.svk", Ripple(100), "стол 3\r\nПомещение: Холл");
    Open(dir / "after");
    EXPECT_FALSE(w->CompareWith(QString::fromStdString(dir / "empty")));
    ASSERT_EQ(messages, QStringList{QStringLiteral("Выберите путь, содержащий файлы *.svk")});
    EXPECT_FALSE(w->ComparisonView());

    ASSERT_TRUE(w->CompareWith(QString::fromStdString(dir / "before")));
    protocol::ComparisonWindow* cw = w->ComparisonView();
    ASSERT_TRUE(cw && cw->isVisible());
    const protocol::Comparison& c = cw->Paper().comparison;
    ASSERT_EQ(cw->Table()->rowCount(), 3);  // стол 1, стол 3 (только после), стол 2 (только до)
    for (int r = 0; r < 3; ++r) {
        const auto cells = protocol::ComparisonCells(c, c.points[static_cast<std::size_t>(r)], cw->Paper().nf);
        for (int col = 0; col < protocol::kCompareColumnCount; ++col)
            EXPECT_EQ(cw->Table()->item(r, col)->text().toStdString(), cells[static_cast<std::size_t>(col)]);
    }
    EXPECT_EQ(cw->Table()->item(0, static_cast<int>(protocol::CompareColumn::Change))->text(),
              QStringLiteral("стало соответствовать"));
    EXPECT_TRUE(cw->Counts()->text().contains(QStringLiteral("стало соответствовать: 1, перестало соответствовать: 0")))
        << cw->Counts()->text().toStdString();
    EXPECT_EQ(cw->Arrows()->Chart().Series(0).PointCount(), 1);
    ASSERT_EQ(cw->Rooms()->rowCount(), 1);
    const auto room = protocol::ComparedRoomCells(protocol::CompareRooms(c)[0], cw->Paper().nf);
    for (int col = 0; col < protocol::kCompareRoomColumnCount; ++col)
        EXPECT_EQ(cw->Rooms()->item(0, col)->text().toStdString(), room[static_cast<std::size_t>(col)]);

    ASSERT_TRUE(cw->SaveCsv(QString::fromStdString(dir / "c.csv")));
    EXPECT_EQ(dir.Read("c.csv").rfind("\xEF\xBB\xBFПомещение;Место;E до, лк;E после, лк;ΔE, %;Кп до, %;Кп после, %;"
                                      "ΔКп, п.п.;Вывод до;Вывод после;Изменение\r\n",
                                      0),
              0u);
    EXPECT_EQ(messages.size(), 1);

    // The place edited in the open protocol finds its point before.
    w->Table()->item(1, static_cast<int>(protocol::Column::Place))->setText(QStringLiteral("Стол 2"));
    EXPECT_EQ(cw->Table()->rowCount(), 2);
    EXPECT_EQ(cw->Table()->item(1, static_cast<int>(protocol::CompareColumn::Change))->text(),
              QStringLiteral("без изменений"));
    EXPECT_EQ(messages.size(), 1);
}

#ifndef _WIN32
TEST_F(WindowOnAFolder, AFolderNamedInCodePage1251OpensAndItsFilesAreEdited)
{
    // The bytes of "Замеры" in code page 1251, as a Windows machine may have written them.
    const std::string folder = dir / "\xC7\xE0\xEC\xE5\xF0\xFB";
    std::filesystem::create_directory(folder);
    files::WriteMeasurementFile(folder + "/a.svk", Ripple(100), "Кабинет 1");
    Open(folder);
    Cell(protocol::Column::Place)->setText(QStringLiteral("Кабинет 2"));
    EXPECT_TRUE(messages.isEmpty()) << messages.join(' ').toStdString();
    EXPECT_EQ(files::ReadMeasurementFile(folder + "/a.svk").commentUtf8, "Кабинет 2");
}
#endif

TEST_F(WindowOnAFolder, F1ShowsTheProtocolsHelpPage)
{
    files::WriteMeasurementFile(dir / "a.svk", Ripple(100), "");
    Open();
    for (QShortcut* s : w->findChildren<QShortcut*>())
        if (s->key() == QKeySequence(Qt::Key_F1))
            emit s->activated();
    ASSERT_TRUE(w->Help());
    EXPECT_TRUE(w->Help()->isVisible());
    EXPECT_TRUE(w->Help()->Browser()->source().toString().endsWith(QStringLiteral("protocol.html")));
    EXPECT_TRUE(w->Help()->Browser()->toPlainText().contains(QStringLiteral("Кп<=N")));
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
