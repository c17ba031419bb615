#include "protocol/qt/protocol_window.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QDate>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QGuiApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "files/cp1251.h"
#include "files/atomic_file.h"
#include "files/comment_browser.h"
#include "protocol/core/cell_edit.h"
#include "protocol/qt/comparison_window.h"
#include "protocol/qt/download_dialog.h"
#include "protocol/qt/point_charts_panel.h"
#include "shell/help_window.h"
#include "shell/native_text.h"
#include "shell/qt_string.h"

namespace protocol {

namespace {

// The tool tip of a norm cell: where the point's norm comes from and how to change it.
QString NormToolTip(bool fromComment, const QString& marker)
{
    return fromComment ? QStringLiteral("Норма из комментария точки («%1»); двойной щелчок — изменить, пустое поле — "
                                        "норма по умолчанию")
                             .arg(marker)
                       : QStringLiteral("Норма по умолчанию; двойной щелчок — своя норма точки («%1» в комментарии "
                                        "файла)")
                             .arg(marker);
}

struct HeaderFieldInfo {
    const char* key;  // in the settings; none: not remembered
    const char* label;
    const char* first;  // the text of the first run
    int row;
    int column;
};

// In the order of HeaderField(). The date starts as today's at every run.
const HeaderFieldInfo kFields[ProtocolWindow::kHeaderFieldCount] = {
    {"organisation", "Организация:", "", 0, 0},
    {"object", "Объект и адрес:", "", 1, 0},
    {nullptr, "Дата измерений:", "", 2, 0},
    {"conditions", "Условия измерений:", "", 3, 0},
    {"instrument", "Средство измерений:", "Люксметр-пульсметр СОВИКАН ТР07", 0, 2},
    {"serial", "Заводской номер:", "", 1, 2},
    {"certificate", "Свидетельство о поверке:", "", 2, 2},
    {"method", "Методика измерений:", "ГОСТ 33393-2015", 4, 0},
    {"normative", "Нормативный документ:", "СанПиН 1.2.3685-21", 3, 2},
};

// The cells the user may edit; what is typed goes into the point's file.
bool Editable(Column c)
{
    return c == Column::Place || c == Column::Room || c == Column::Limit || c == Column::IlluminanceNorm;
}

struct JudgingFieldInfo {
    const char* key;
    const char* label;
    const char* tip;
};

// In the order of ProtocolWindow::JudgingField.
const JudgingFieldInfo kJudgingFields[] = {
    {"eNorm", "Норма E по умолчанию, лк:",
     "Точка с пометкой «Е>=N» в комментарии проверяется по своей норме N лк; пустое поле — E без пометки не "
     "оценивается."},
    {"eError", "Погрешность E, %:",
     "Предел допускаемой относительной погрешности средства измерений по E; пустое поле — не задан."},
    {"kpError", "Погрешность Кп, %:",
     "Предел допускаемой относительной погрешности средства измерений по Кп; пустое поле — не задан."},
};

// The lines of pasted text: a trailing line break ends the last line, it adds none.
QStringList PastedLines(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    QStringList lines = text.split(QLatin1Char('\n'));
    // A spreadsheet's row of several cells: its first cell.
    for (QString& line : lines)
        line = line.section(QLatin1Char('\t'), 0, 0);
    return lines;
}

}  // namespace

ProtocolWindow::ProtocolWindow(std::unique_ptr<QSettings> settings, std::unique_ptr<ProtocolPrinting> printing,
                               QWidget* parent)
    : QWidget(parent), settings_(std::move(settings)), printing_(std::move(printing))
{
    const QLocale locale;
    nf_ = {locale.decimalPoint().toStdString(), locale.groupSeparator().toStdString()};
    showMessage = [this](const QString& text) {
        QMessageBox::warning(this, QStringLiteral("Протокол измерений"), text);
    };
    setWindowTitle(QStringLiteral("Протокол измерений"));

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Папка с измерениями:")));
    folderEdit_ = new QLineEdit;
    folderEdit_->setReadOnly(true);
    folderEdit_->setPlaceholderText(QString::fromUtf8(files::kChoosePathMessage));
    top->addWidget(folderEdit_, 1);
    auto* choose = new QPushButton(QStringLiteral("Выбрать папку…"));
    auto* reread = new QPushButton(QStringLiteral("Обновить"));
    auto* fromMeter = new QPushButton(QStringLiteral("Считать из прибора…"));
    top->addWidget(choose);
    top->addWidget(reread);
    auto* compare = new QPushButton(QStringLiteral("Сравнить с…"));
    compare->setToolTip(QStringLiteral("Сравнить точки этой папки («после») с точками другой («до»)"));
    compare->setEnabled(false);
    needRows_.push_back(compare);
    top->addWidget(compare);
    // Reading the meter stays where it was, at the right end.
    top->addWidget(fromMeter);
    connect(compare, &QPushButton::clicked, this, [this] { ChooseBeforeFolder(); });
    connect(fromMeter, &QPushButton::clicked, this, [this] {
        if (const auto folder = DownloadFromMeter(this, folder_, showMessage))
            OpenFolder(*folder);
    });

    auto* header = new QGroupBox(QStringLiteral("Шапка протокола"));
    auto* grid = new QGridLayout(header);
    for (const HeaderFieldInfo& f : kFields) {
        const QString first =
            f.key ? QString::fromUtf8(f.first) : QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"));
        auto* edit = new QLineEdit(f.key ? settings_->value(QString::fromLatin1(f.key), first).toString() : first);
        fields_.push_back(edit);
        grid->addWidget(new QLabel(QString::fromUtf8(f.label)), f.row, f.column);
        grid->addWidget(edit, f.row, f.column + 1);
        connect(edit, &QLineEdit::editingFinished, this, [this] { Remember(); });
    }
    grid->addWidget(new QLabel(QStringLiteral("Норма Кп по умолчанию, %:")), 4, 2);
    limit_ = new QDoubleSpinBox;
    limit_->setRange(0.0, 100.0);
    limit_->setDecimals(1);
    limit_->setSingleStep(1.0);
    limit_->setValue(settings_->value(QStringLiteral("limit"), analysis::kDefaultPulsationLimit).toDouble());
    limit_->setToolTip(QStringLiteral("Точка с пометкой «Кп<=N» в комментарии проверяется по своей норме N %."));
    grid->addWidget(limit_, 4, 3);
    auto* judging = new QHBoxLayout;
    for (std::size_t i = 0; i < std::size(kJudgingFields); ++i) {
        const JudgingFieldInfo& f = kJudgingFields[i];
        auto* edit = new QLineEdit(settings_->value(QString::fromLatin1(f.key)).toString());
        edit->setToolTip(QString::fromUtf8(f.tip));
        judgingFields_.push_back(edit);
        judgingTexts_.push_back(edit->text());
        judging->addWidget(new QLabel(QString::fromUtf8(f.label)));
        judging->addWidget(edit, 1);
        connect(edit, &QLineEdit::editingFinished, this, [this, i] { JudgingEdited(static_cast<JudgingField>(i)); });
    }
    grid->addLayout(judging, 5, 0, 1, 4);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    connect(limit_, &QDoubleSpinBox::valueChanged, this, [this](double v) { SetDefaultLimit(v); });

    table_ = new QTableWidget(0, kColumnCount);
    QStringList titles;
    for (Column c : kColumns)
        titles << QString::fromUtf8(Info(c).title);
    table_->setHorizontalHeaderLabels(titles);
    table_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                            QAbstractItemView::AnyKeyPressed);
    connect(table_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) { CommitCell(item); });
    table_->setSelectionBehavior(QAbstractItemView::SelectItems);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->verticalHeader()->setVisible(false);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setSectionResizeMode(static_cast<int>(Column::Place), QHeaderView::Stretch);
    // The digest is shown for the selected point below the table.
    table_->setColumnHidden(static_cast<int>(Column::Digest), true);
    auto* paste = new QShortcut(QKeySequence::Paste, table_, nullptr, nullptr, Qt::WidgetShortcut);
    connect(paste, &QShortcut::activated, this, [this] { PasteLines(QGuiApplication::clipboard()->text()); });
    auto* fill = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_D), table_, nullptr, nullptr, Qt::WidgetShortcut);
    connect(fill, &QShortcut::activated, this, [this] { FillDown(); });
    charts_ = new PointChartsPanel(nf_);
    charts_->rowClicked = [this](int row) { table_->selectRow(row); };
    connect(table_, &QTableWidget::currentCellChanged, this, [this](int row) {
        charts_->Show(rows_, row);
        ShowDigest(row);
    });
    digest_ = new QLabel;
    digest_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    roomsTable_ = new QTableWidget(0, kRoomColumnCount);
    QStringList roomTitles;
    for (int c = 0; c < kRoomColumnCount; ++c)
        roomTitles << QString::fromUtf8(RoomColumnTitle(static_cast<RoomColumn>(c)));
    roomsTable_->setHorizontalHeaderLabels(roomTitles);
    roomsTable_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    roomsTable_->verticalHeader()->setVisible(false);
    roomsTable_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    roomsTable_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    auto* points = new QWidget;
    auto* pointsLayout = new QVBoxLayout(points);
    pointsLayout->setContentsMargins(0, 0, 0, 0);
    pointsLayout->addWidget(table_, 1);
    pointsLayout->addWidget(digest_);
    auto* rooms = new QWidget;
    auto* roomsLayout = new QVBoxLayout(rooms);
    roomsLayout->setContentsMargins(0, 0, 0, 0);
    roomsLayout->addWidget(new QLabel(QStringLiteral("Помещения")));
    roomsLayout->addWidget(roomsTable_, 1);
    auto* tables = new QSplitter(Qt::Vertical);
    tables->addWidget(points);
    tables->addWidget(rooms);
    tables->setSizes({560, 200});
    auto* split = new QSplitter;
    split->addWidget(tables);
    split->addWidget(charts_);
    split->setSizes({1060, 440});

    summary_ = new QLabel;
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(summary_, 1);
    auto* pdf = new QPushButton(QStringLiteral("Сохранить PDF…"));
    auto* csv = new QPushButton(QStringLiteral("Сохранить CSV…"));
    auto* print = new QPushButton(QStringLiteral("Печать…"));
    auto* close = new QPushButton(QStringLiteral("Закрыть"));
    for (QPushButton* b : {pdf, csv, print}) {
        bottom->addWidget(b);
        needRows_.push_back(b);
        b->setEnabled(false);
    }
    bottom->addWidget(close);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(header);
    layout->addWidget(split, 1);
    layout->addLayout(bottom);

    connect(choose, &QPushButton::clicked, this, [this] { ChooseFolder(); });
    connect(reread, &QPushButton::clicked, this, [this] {
        if (!folder_.isEmpty())
            OpenFolder(folder_);
    });
    connect(pdf, &QPushButton::clicked, this, [this] { ChoosePdf(); });
    connect(csv, &QPushButton::clicked, this, [this] { ChooseCsv(); });
    connect(print, &QPushButton::clicked, this, [this] { PrintProtocol(); });
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, [this] { ShowHelp(); });
    resize(1500, 820);

    const QString last = settings_->value(QStringLiteral("folder")).toString();
    if (!last.isEmpty() && QDir(last).exists())
        OpenFolder(last);
}

ProtocolWindow::~ProtocolWindow()
{
    Remember();
}

void ProtocolWindow::ShowHelp()
{
    if (!help_)
        help_ = std::make_unique<shell::HelpWindow>();
    help_->ShowPage(QStringLiteral("protocol.html"));
}

void ProtocolWindow::closeEvent(QCloseEvent* event)
{
    Remember();
    event->accept();
}

void ProtocolWindow::Remember()
{
    for (int i = 0; i < kHeaderFieldCount; ++i)
        if (kFields[i].key)
            settings_->setValue(QString::fromLatin1(kFields[i].key), fields_[static_cast<std::size_t>(i)]->text());
    settings_->setValue(QStringLiteral("limit"), limit_->value());
    for (std::size_t i = 0; i < judgingFields_.size(); ++i)
        settings_->setValue(QString::fromLatin1(kJudgingFields[i].key), judgingTexts_[i]);
    if (!folder_.isEmpty())
        settings_->setValue(QStringLiteral("folder"), folder_);
    settings_->sync();
}

bool ProtocolWindow::OpenFolder(const QString& folder)
{
    auto rows = BuildProtocol(NativeFolder(folder), CurrentJudging());
    if (rows.empty()) {
        showMessage(QString::fromUtf8(files::kChoosePathMessage));
        return false;
    }
    folder_ = folder;
    folderEdit_->setText(ShownFolder(folder));
    rows_ = std::move(rows);
    Refill();
    Remember();
    return true;
}

QString ProtocolWindow::ShownFolder(const QString& folder)
{
    return QDir::toNativeSeparators(shell::DisplayText(shell::ToNativePath(folder)));
}

bool ProtocolWindow::CompareWith(const QString& beforeFolder)
{
    auto before = BuildProtocol(NativeFolder(beforeFolder), CurrentJudging());
    if (before.empty() || rows_.empty()) {
        showMessage(QString::fromUtf8(files::kChoosePathMessage));
        return false;
    }
    beforeFolder_ = beforeFolder;
    beforeRows_ = std::move(before);
    if (!comparison_) {
        comparison_ = new ComparisonWindow(this);
        comparison_->showMessage = [this](const QString& text) { showMessage(text); };
        comparison_->currentHeader = [this] { return Paper().header; };
    }
    ShowComparison();
    comparison_->show();
    comparison_->raise();
    comparison_->activateWindow();
    return true;
}

void ProtocolWindow::ShowComparison()
{
    // The points before take the norms and limits the header gives now, as the open ones do.
    const PaperProtocol paper = Paper();
    ApplyJudging(beforeRows_, paper.judging);
    // Whole paths: a folder given on the command line may be relative.
    const auto shown = [](const QString& folder) { return ShownFolder(QDir(folder).absolutePath()).toStdString(); };
    comparison_->Show(
        {paper.header, paper.judging, shown(beforeFolder_), shown(folder_), Compare(beforeRows_, rows_), nf_}, folder_);
}

void ProtocolWindow::SetDefaultLimit(double limit)
{
    if (limit_->value() != limit) {
        limit_->setValue(limit);  // comes back here through valueChanged
        return;
    }
    ApplyJudging(rows_, CurrentJudging());
    Refill();
}

Judging ProtocolWindow::CurrentJudging() const
{
    Judging j;
    j.limit = limit_->value();
    double value = 0.0;
    const auto text = [this](JudgingField f) { return judgingTexts_[static_cast<std::size_t>(f)].toStdString(); };
    if (ParseNorm(text(JudgingField::IlluminanceNorm), Norm::Illuminance, value))
        j.illuminanceNorm = value;
    if (ParseError(text(JudgingField::IlluminanceError), value))
        j.illuminanceError = value;
    if (ParseError(text(JudgingField::PulsationError), value))
        j.pulsationError = value;
    return j;
}

void ProtocolWindow::JudgingEdited(JudgingField field)
{
    const auto i = static_cast<std::size_t>(field);
    QLineEdit* edit = judgingFields_[i];
    const QString text = edit->text().trimmed();
    if (text == judgingTexts_[i])
        return;
    double value = 0.0;
    const bool ok = text.isEmpty() ||
                    (field == JudgingField::IlluminanceNorm ? ParseNorm(text.toStdString(), Norm::Illuminance, value)
                                                            : ParseError(text.toStdString(), value));
    if (!ok) {
        edit->setText(judgingTexts_[i]);
        showMessage(field == JudgingField::IlluminanceNorm
                        ? QStringLiteral("Норма E — число больше 0 и не больше 100 000 (лк) или пустое поле.")
                        : QStringLiteral("Погрешность — число от 0 до 100 (%) или пустое поле."));
        return;
    }
    judgingTexts_[i] = text;
    edit->setText(text);
    Remember();
    ApplyJudging(rows_, CurrentJudging());
    Refill();
}

std::string ProtocolWindow::NativeFolder(const QString& folder) const
{
    return FolderWithSeparator(shell::ToNativePath(QDir::fromNativeSeparators(folder)));
}

void ProtocolWindow::CommitCell(QTableWidgetItem* item)
{
    const auto c = static_cast<Column>(item->column());
    if (static_cast<std::size_t>(item->row()) >= rows_.size() || !Editable(c))
        return;
    WriteCells(c, {{item->row(), item->text().toStdString()}});
}

void ProtocolWindow::WriteCells(Column column, const std::vector<std::pair<int, std::string>>& edits,
                                const QStringList& unplaced)
{
    const std::string folder = NativeFolder(folder_);
    const Judging judging = CurrentJudging();
    const int total = static_cast<int>(edits.size()) + static_cast<int>(unplaced.size());
    QStringList failures;
    for (const auto& [r, text] : edits) {
        ProtocolRow& row = rows_[static_cast<std::size_t>(r)];
        if (!row.readable) {
            failures << shell::FromUtf8(files::DisplayText(row.fileName) + ": " + row.problem);
            continue;
        }
        const std::string path = folder + row.fileName;
        std::optional<std::string> error;
        switch (column) {
        case Column::Place:
            error = WritePlace(path, text);
            break;
        case Column::Room:
            error = WriteRoom(path, text);
            break;
        case Column::Limit:
            error = WriteNorm(path, Norm::Pulsation, text);
            break;
        default:
            error = WriteNorm(path, Norm::Illuminance, text);
            break;
        }
        if (error)
            failures << (total == 1 ? shell::FromUtf8(*error)
                                    : shell::FromUtf8(files::DisplayText(row.fileName) + ": " + *error));
        // The row as its file now stands (as it was, when the edit was refused).
        const int number = row.number;
        row = ReadRow(folder, row.fileName, judging);
        row.number = number;
    }
    Refill();
    failures << unplaced;
    if (!failures.isEmpty())
        showMessage(total == 1 ? failures.front()
                               : QStringLiteral("Не записано: %1 из %2.\n%3")
                                     .arg(failures.size())
                                     .arg(total)
                                     .arg(failures.join(QLatin1Char('\n'))));
}

void ProtocolWindow::PasteLines(const QString& text)
{
    const int row = table_->currentRow();
    const int column = table_->currentColumn();
    if (row < 0 || column < 0 || !Editable(static_cast<Column>(column)) || text.isEmpty())
        return;
    const QStringList lines = PastedLines(text);
    std::vector<std::pair<int, std::string>> edits;
    QStringList beyond;  // lines below the last point
    for (int i = 0; i < lines.size(); ++i) {
        if (row + i < static_cast<int>(rows_.size()))
            edits.emplace_back(row + i, lines[i].toStdString());
        else
            beyond << QStringLiteral("«%1»: ниже нет точки").arg(lines[i]);
    }
    WriteCells(static_cast<Column>(column), edits, beyond);
}

void ProtocolWindow::FillDown()
{
    const QList<QTableWidgetItem*> selected = table_->selectedItems();
    if (selected.isEmpty())
        return;
    const int column = selected.front()->column();
    int first = selected.front()->row();
    for (const QTableWidgetItem* item : selected) {
        if (item->column() != column)
            return;  // more than one column: nothing is filled
        first = std::min(first, item->row());
    }
    if (!Editable(static_cast<Column>(column)))
        return;
    const std::string text = table_->item(first, column)->text().toStdString();
    std::vector<std::pair<int, std::string>> edits;
    for (const QTableWidgetItem* item : selected)
        if (item->row() != first)
            edits.emplace_back(item->row(), text);
    std::sort(edits.begin(), edits.end());
    if (!edits.empty())
        WriteCells(static_cast<Column>(column), edits);
}

void ProtocolWindow::ShowDigest(int row)
{
    const bool shown = row >= 0 && static_cast<std::size_t>(row) < rows_.size();
    const std::string digest = shown ? rows_[static_cast<std::size_t>(row)].digest : std::string();
    digest_->setText(
        shown ? QStringLiteral("SHA-256 файла точки %1: %2")
                    .arg(rows_[static_cast<std::size_t>(row)].number)
                    .arg(digest.empty() ? QStringLiteral("файл не прочитан целиком") : shell::FromUtf8(digest))
              : QString());
}

void ProtocolWindow::Refill()
{
    // Filling the cells is no edit of the user's.
    const QSignalBlocker quiet(table_);
    table_->setRowCount(static_cast<int>(rows_.size()));
    int fails = 0;
    int failsOnE = 0;
    int failsOnKp = 0;
    int unusable = 0;
    for (std::size_t r = 0; r < rows_.size(); ++r) {
        const ProtocolRow& row = rows_[r];
        const RowCells cells = CellsOf(row, nf_);
        const bool failed = row.verdict == Verdict::Fails;
        fails += failed ? 1 : 0;
        failsOnE += row.illuminanceVerdict == Verdict::Fails ? 1 : 0;
        failsOnKp += row.pulsationVerdict == Verdict::Fails ? 1 : 0;
        unusable += row.verdict == Verdict::Unusable ? 1 : 0;
        for (Column c : kColumns) {
            // Items are kept: the one just edited may be the caller's.
            QTableWidgetItem* item = table_->item(static_cast<int>(r), static_cast<int>(c));
            if (!item) {
                item = new QTableWidgetItem;
                table_->setItem(static_cast<int>(r), static_cast<int>(c), item);
            }
            item->setText(shell::FromUtf8(cells[c]));
            item->setFlags(Editable(c) && row.readable ? item->flags() | Qt::ItemIsEditable
                                                       : item->flags() & ~Qt::ItemIsEditable);
            item->setForeground(QBrush());
            item->setToolTip(QString());
            if (Info(c).numeric)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            const bool failedHere = (c == Column::Verdict && failed) ||
                                    (c == Column::IlluminanceVerdict && row.illuminanceVerdict == Verdict::Fails) ||
                                    (c == Column::PulsationVerdict && row.pulsationVerdict == Verdict::Fails);
            if (failedHere)
                item->setForeground(QColor(170, 0, 0));
            if (!row.Usable())
                item->setForeground(Qt::darkGray);
            if (c == Column::Place && row.readable)
                item->setToolTip(QStringLiteral("Первая строка комментария файла; двойной щелчок — изменить"));
            if (c == Column::Limit && row.readable)
                item->setToolTip(NormToolTip(row.limitFromComment, QStringLiteral("Кп<=N")));
            if (c == Column::IlluminanceNorm && row.readable)
                item->setToolTip(NormToolTip(row.illuminanceNormFromComment, QStringLiteral("Е>=N")));
            if (c == Column::Room && row.readable)
                item->setToolTip(QStringLiteral("Строка «Помещение: …» комментария файла; двойной щелчок — изменить, "
                                                "пустое поле — точка вне помещений"));
        }
    }
    summary_->setText(QStringLiteral("Точек: %1; не соответствуют норме: %2 (по E: %3, по Кп: %4); файлов без "
                                     "результата: %5")
                          .arg(rows_.size())
                          .arg(fails)
                          .arg(failsOnE)
                          .arg(failsOnKp)
                          .arg(unusable));
    const auto rooms = RoomsOf(rows_);
    roomsTable_->setRowCount(static_cast<int>(rooms.size()));
    for (std::size_t r = 0; r < rooms.size(); ++r) {
        const auto cells = RoomCells(rooms[r], nf_);
        for (int c = 0; c < kRoomColumnCount; ++c) {
            auto* item = new QTableWidgetItem(shell::FromUtf8(cells[static_cast<std::size_t>(c)]));
            if (c > 0)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (static_cast<RoomColumn>(c) == RoomColumn::Failing && rooms[r].failing > 0)
                item->setForeground(QColor(170, 0, 0));
            roomsTable_->setItem(static_cast<int>(r), c, item);
        }
    }
    for (QPushButton* b : needRows_)
        b->setEnabled(!rows_.empty());
    if (table_->currentRow() < 0 && !rows_.empty())
        table_->selectRow(0);
    charts_->Show(rows_, table_->currentRow());
    ShowDigest(table_->currentRow());
    // An edited place or room may now match a point before, a changed norm change a verdict.
    if (comparison_ && comparison_->isVisible())
        ShowComparison();
}

PaperProtocol ProtocolWindow::Paper() const
{
    auto text = [this](int i) { return fields_[static_cast<std::size_t>(i)]->text().trimmed().toStdString(); };
    ProtocolHeader h;
    h.organisation = text(0);
    h.object = text(1);
    h.date = text(2);
    h.conditions = text(3);
    h.instrument = text(4);
    h.serialNumber = text(5);
    h.certificate = text(6);
    h.method = text(7);
    h.normative = text(8);
    return PaperProtocol{h, rows_, CurrentJudging(), nf_};
}

bool ProtocolWindow::SaveCsv(const QString& path)
{
    // The points' table, then the rooms' beside it; each whole or not at all.
    const QString roomsPath = QString::fromStdString(RoomsCsvPath(path.toStdString()));
    const std::pair<QString, std::string> files[] = {{path, ProtocolCsv(rows_, nf_)},
                                                     {roomsPath, RoomsCsv(RoomsOf(rows_), nf_)}};
    for (const auto& [file, bytes] : files) {
        if (const int error = files::WriteFileWhole(shell::ToNativePath(file), bytes)) {
            showMessage(QStringLiteral("Не удалось записать файл %1: %2")
                            .arg(QDir::toNativeSeparators(file), shell::FromUtf8(files::SystemErrorText(error))));
            return false;
        }
    }
    return true;
}

bool ProtocolWindow::SavePdf(const QString& path)
{
    Remember();
    if (const auto error = WriteProtocolPdf(shell::ToNativePath(QDir::toNativeSeparators(path)), Paper())) {
        showMessage(shell::FromUtf8(*error));
        return false;
    }
    return true;
}

void ProtocolWindow::PrintProtocol()
{
    Remember();
    if (const auto error = printing_->Print(this, Paper()))
        showMessage(*error);
}

QString ProtocolWindow::SuggestedPath(const QString& extension) const
{
    return QDir(folder_).filePath(QStringLiteral("Протокол измерений.") + extension);
}

void ProtocolWindow::ChooseFolder()
{
    const QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("Папка с измерениями"), folder_);
    if (!folder.isEmpty())
        OpenFolder(folder);
}

void ProtocolWindow::ChooseBeforeFolder()
{
    // The surveys of one building usually lie side by side.
    QDir beside(folder_);
    beside.cdUp();
    const QString folder =
        QFileDialog::getExistingDirectory(this, QStringLiteral("Папка обследования «до»"), beside.path());
    if (!folder.isEmpty())
        CompareWith(folder);
}

void ProtocolWindow::ChooseCsv()
{
    const QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("Сохранить протокол в CSV"),
                                     SuggestedPath(QStringLiteral("csv")), QStringLiteral("Таблица CSV (*.csv)"));
    if (!path.isEmpty())
        SaveCsv(path);
}

void ProtocolWindow::ChoosePdf()
{
    const QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("Сохранить протокол в PDF"),
                                     SuggestedPath(QStringLiteral("pdf")), QStringLiteral("Документ PDF (*.pdf)"));
    if (!path.isEmpty())
        SavePdf(path);
}

}  // namespace protocol
