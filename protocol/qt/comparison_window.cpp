#include "protocol/qt/comparison_window.h"

#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

#include "chart/qt/chart_widget.h"
#include "files/atomic_file.h"
#include "shell/native_text.h"
#include "shell/qt_string.h"

namespace protocol {

namespace {

const QString kTitle = QStringLiteral("Сравнение обследований");

// How many points have each change, in one line; "—" only when there are such points.
QString CountsText(const Comparison& comparison)
{
    const auto counts = comparison.Counts();
    QStringList parts;
    for (int c = 0; c < kChangeCount; ++c) {
        const auto change = static_cast<Change>(c);
        const int n = counts[static_cast<std::size_t>(c)];
        if (change == Change::NotCompared) {
            if (n > 0)
                parts << QStringLiteral("«—» (%1): %2").arg(shell::FromUtf8(kNotComparedMeaning)).arg(n);
            continue;
        }
        parts << QStringLiteral("%1: %2").arg(shell::FromUtf8(ChangeText(change))).arg(n);
    }
    return QStringLiteral("Точек: %1 — %2").arg(comparison.points.size()).arg(parts.join(QStringLiteral(", ")));
}

QTableWidget* ReadOnlyTable(const QStringList& titles)
{
    auto* table = new QTableWidget(0, static_cast<int>(titles.size()));
    table->setHorizontalHeaderLabels(titles);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->setVisible(false);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    return table;
}

}  // namespace

ComparisonWindow::ComparisonWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    showMessage = [this](const QString& text) { QMessageBox::warning(this, kTitle, text); };
    setWindowTitle(kTitle);

    folders_ = new QLabel;
    folders_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QStringList titles;
    for (int c = 0; c < kCompareColumnCount; ++c)
        titles << shell::FromUtf8(Info(static_cast<CompareColumn>(c)).title);
    table_ = ReadOnlyTable(titles);
    table_->horizontalHeader()->setSectionResizeMode(static_cast<int>(CompareColumn::Place), QHeaderView::Stretch);
    QStringList roomTitles;
    for (int c = 0; c < kCompareRoomColumnCount; ++c)
        roomTitles << shell::FromUtf8(Title(static_cast<CompareRoomColumn>(c)));
    rooms_ = ReadOnlyTable(roomTitles);
    rooms_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    counts_ = new QLabel;
    counts_->setWordWrap(true);
    arrows_ = new chart::qt::ChartWidget;
    SetUpPointChart(arrows_->Chart());
    arrows_->setMinimumSize(420, 360);
    arrowsChart_ = std::make_unique<Ieee1789ComparisonChart>(arrows_->Chart());
    // The selected row's arrow stands out; a click on an arrow selects its row.
    connect(table_, &QTableWidget::currentCellChanged, this,
            [this](int row) { arrowsChart_->Show(paper_.comparison, row); });
    arrows_->Chart().OnClickSeries = [this](chart::TChart&, chart::TChartSeries& series, int index, chart::TMouseButton,
                                            chart::TShiftState, int, int) {
        const int row = arrowsChart_->RowOfArrow(series, index);
        if (row >= 0)
            table_->selectRow(row);
    };

    auto* roomsBox = new QWidget;
    auto* roomsLayout = new QVBoxLayout(roomsBox);
    roomsLayout->setContentsMargins(0, 0, 0, 0);
    roomsLayout->addWidget(new QLabel(QStringLiteral("Помещения")));
    roomsLayout->addWidget(rooms_, 1);
    auto* tables = new QSplitter(Qt::Vertical);
    tables->addWidget(table_);
    tables->addWidget(roomsBox);
    tables->setSizes({560, 200});
    auto* split = new QSplitter;
    split->addWidget(tables);
    split->addWidget(arrows_);
    split->setSizes({940, 520});

    auto* bottom = new QHBoxLayout;
    auto* pdf = new QPushButton(QStringLiteral("Сохранить PDF…"));
    auto* csv = new QPushButton(QStringLiteral("Сохранить CSV…"));
    auto* close = new QPushButton(QStringLiteral("Закрыть"));
    bottom->addStretch(1);
    for (QPushButton* b : {pdf, csv, close})
        bottom->addWidget(b);
    connect(pdf, &QPushButton::clicked, this, [this] { ChoosePdf(); });
    connect(csv, &QPushButton::clicked, this, [this] { ChooseCsv(); });
    connect(close, &QPushButton::clicked, this, &QWidget::close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(folders_);
    layout->addWidget(split, 1);
    layout->addWidget(counts_);
    layout->addLayout(bottom);
    resize(1500, 820);
}

ComparisonWindow::~ComparisonWindow() = default;

void ComparisonWindow::Show(PaperComparison paper, const QString& afterFolder)
{
    paper_ = std::move(paper);
    afterFolder_ = afterFolder;
    const Comparison& c = paper_.comparison;
    folders_->setText(QStringLiteral("Обследование «до»: %1\nОбследование «после»: %2")
                          .arg(shell::FromUtf8(paper_.beforeFolder), shell::FromUtf8(paper_.afterFolder)));
    table_->setRowCount(static_cast<int>(c.points.size()));
    for (std::size_t r = 0; r < c.points.size(); ++r) {
        const auto cells = ComparisonCells(c, c.points[r], paper_.nf);
        for (int col = 0; col < kCompareColumnCount; ++col) {
            auto* item = new QTableWidgetItem(shell::FromUtf8(cells[static_cast<std::size_t>(col)]));
            if (Info(static_cast<CompareColumn>(col)).numeric)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (static_cast<CompareColumn>(col) == CompareColumn::Change) {
                if (c.points[r].change == Change::NoLongerComplies)
                    item->setForeground(QColor(170, 0, 0));
                if (c.points[r].change == Change::NowComplies)
                    item->setForeground(QColor(0, 120, 0));
            }
            table_->setItem(static_cast<int>(r), col, item);
        }
    }
    counts_->setText(CountsText(c));
    arrowsChart_->Show(c, table_->currentRow());
    const auto rooms = CompareRooms(c);
    rooms_->setRowCount(static_cast<int>(rooms.size()));
    for (std::size_t r = 0; r < rooms.size(); ++r) {
        const auto cells = ComparedRoomCells(rooms[r], paper_.nf);
        for (int col = 0; col < kCompareRoomColumnCount; ++col) {
            auto* item = new QTableWidgetItem(shell::FromUtf8(cells[static_cast<std::size_t>(col)]));
            if (col > 0)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            rooms_->setItem(static_cast<int>(r), col, item);
        }
    }
}

bool ComparisonWindow::SaveCsv(const QString& path)
{
    if (const int error =
            files::WriteFileWhole(shell::ToNativePath(path), ComparisonCsv(paper_.comparison, paper_.nf))) {
        showMessage(QStringLiteral("Не удалось записать файл %1: %2")
                        .arg(QDir::toNativeSeparators(path), shell::FromUtf8(files::SystemErrorText(error))));
        return false;
    }
    return true;
}

bool ComparisonWindow::SavePdf(const QString& path)
{
    if (currentHeader)
        paper_.header = currentHeader();
    if (const auto error = WriteComparisonPdf(shell::ToNativePath(QDir::toNativeSeparators(path)), paper_)) {
        showMessage(shell::FromUtf8(*error));
        return false;
    }
    return true;
}

QString ComparisonWindow::SuggestedPath(const QString& extension) const
{
    return QDir(afterFolder_).filePath(kTitle + QLatin1Char('.') + extension);
}

void ComparisonWindow::ChooseCsv()
{
    const QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("Сохранить сравнение в CSV"),
                                     SuggestedPath(QStringLiteral("csv")), QStringLiteral("Таблица CSV (*.csv)"));
    if (!path.isEmpty())
        SaveCsv(path);
}

void ComparisonWindow::ChoosePdf()
{
    const QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("Сохранить сравнение в PDF"),
                                     SuggestedPath(QStringLiteral("pdf")), QStringLiteral("Документ PDF (*.pdf)"));
    if (!path.isEmpty())
        SavePdf(path);
}

}  // namespace protocol
