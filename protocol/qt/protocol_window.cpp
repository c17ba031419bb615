#include "protocol/qt/protocol_window.h"

#include <QCloseEvent>
#include <QDate>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileDialog>
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

#include "app/help_window.h"
#include "app/native_text.h"
#include "files/atomic_file.h"
#include "files/comment_browser.h"
#include "protocol/core/cell_edit.h"
#include "protocol/qt/download_dialog.h"
#include "protocol/qt/point_charts_panel.h"

namespace protocol {

namespace {

struct Field {
    const char* key;  // in the settings; none: not remembered
    const char* label;
    const char* first;  // the text of the first run
    int row;
    int column;
};

// In the order of HeaderField(). The date starts as today's at every run.
const Field kFields[ProtocolWindow::kHeaderFieldCount] = {
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

QString Q(const std::string& s)
{
    return QString::fromStdString(s);
}

// The cells the user may edit; what is typed goes into the point's file.
bool Editable(Column c)
{
    return c == Column::Place || c == Column::Limit;
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
    top->addWidget(fromMeter);
    connect(fromMeter, &QPushButton::clicked, this, [this] {
        if (const auto folder = DownloadFromMeter(this, folder_, showMessage))
            OpenFolder(*folder);
    });

    auto* header = new QGroupBox(QStringLiteral("Шапка протокола"));
    auto* grid = new QGridLayout(header);
    for (const Field& f : kFields) {
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
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->verticalHeader()->setVisible(false);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setSectionResizeMode(static_cast<int>(Column::Place), QHeaderView::Stretch);
    charts_ = new PointChartsPanel(nf_);
    charts_->rowClicked = [this](int row) { table_->selectRow(row); };
    connect(table_, &QTableWidget::currentCellChanged, this, [this](int row) { charts_->Show(rows_, row); });
    auto* split = new QSplitter;
    split->addWidget(table_);
    split->addWidget(charts_);
    split->setSizes({960, 540});

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
        help_ = std::make_unique<app::HelpWindow>();
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
    if (!folder_.isEmpty())
        settings_->setValue(QStringLiteral("folder"), folder_);
    settings_->sync();
}

bool ProtocolWindow::OpenFolder(const QString& folder)
{
    auto rows = BuildProtocol(NativeFolder(folder), limit_->value());
    if (rows.empty()) {
        showMessage(QString::fromUtf8(files::kChoosePathMessage));
        return false;
    }
    folder_ = folder;
    folderEdit_->setText(QDir::toNativeSeparators(app::DisplayText(app::ToNativePath(folder))));
    rows_ = std::move(rows);
    Refill();
    Remember();
    return true;
}

void ProtocolWindow::SetDefaultLimit(double limit)
{
    if (limit_->value() != limit) {
        limit_->setValue(limit);  // comes back here through valueChanged
        return;
    }
    ApplyDefaultLimit(rows_, limit);
    Refill();
}

std::string ProtocolWindow::NativeFolder(const QString& folder) const
{
    return FolderWithSeparator(app::ToNativePath(QDir::fromNativeSeparators(folder)));
}

void ProtocolWindow::CommitCell(QTableWidgetItem* item)
{
    const auto r = static_cast<std::size_t>(item->row());
    const auto c = static_cast<Column>(item->column());
    if (r >= rows_.size() || !Editable(c))
        return;
    const std::string folder = NativeFolder(folder_);
    const std::string path = folder + rows_[r].fileName;
    const std::string text = item->text().toStdString();
    if (const auto error = c == Column::Place ? WritePlace(path, text) : WriteLimit(path, text))
        showMessage(Q(*error));
    // The row as its file now stands (as it was, when the edit was refused).
    const int number = rows_[r].number;
    rows_[r] = ReadRow(folder, rows_[r].fileName, limit_->value());
    rows_[r].number = number;
    Refill();
}

void ProtocolWindow::Refill()
{
    // Filling the cells is no edit of the user's.
    const QSignalBlocker quiet(table_);
    table_->setRowCount(static_cast<int>(rows_.size()));
    int fails = 0;
    int unusable = 0;
    for (std::size_t r = 0; r < rows_.size(); ++r) {
        const ProtocolRow& row = rows_[r];
        const RowCells cells = CellsOf(row, nf_);
        const bool failed = row.verdict == Verdict::Fails;
        fails += failed ? 1 : 0;
        unusable += row.verdict == Verdict::Unusable ? 1 : 0;
        for (Column c : kColumns) {
            // Items are kept: the one just edited may be the caller's.
            QTableWidgetItem* item = table_->item(static_cast<int>(r), static_cast<int>(c));
            if (!item) {
                item = new QTableWidgetItem;
                table_->setItem(static_cast<int>(r), static_cast<int>(c), item);
            }
            item->setText(Q(cells[c]));
            item->setFlags(Editable(c) && row.readable ? item->flags() | Qt::ItemIsEditable
                                                       : item->flags() & ~Qt::ItemIsEditable);
            item->setForeground(QBrush());
            item->setToolTip(QString());
            if (Info(c).numeric)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (c == Column::Verdict && failed)
                item->setForeground(QColor(170, 0, 0));
            if (!row.Usable())
                item->setForeground(Qt::darkGray);
            if (c == Column::Place && row.readable)
                item->setToolTip(QStringLiteral("Первая строка комментария файла; двойной щелчок — изменить"));
            if (c == Column::Limit && row.readable)
                item->setToolTip(row.limitFromComment
                                     ? QStringLiteral("Норма из комментария точки («Кп<=N»); двойной щелчок — "
                                                      "изменить, пустое поле — норма по умолчанию")
                                     : QStringLiteral("Норма по умолчанию; двойной щелчок — своя норма точки "
                                                      "(«Кп<=N» в комментарии файла)"));
        }
    }
    summary_->setText(QStringLiteral("Точек: %1; не соответствуют норме: %2; файлов без результата: %3")
                          .arg(rows_.size())
                          .arg(fails)
                          .arg(unusable));
    for (QPushButton* b : needRows_)
        b->setEnabled(!rows_.empty());
    if (table_->currentRow() < 0 && !rows_.empty())
        table_->selectRow(0);
    charts_->Show(rows_, table_->currentRow());
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
    return PaperProtocol{h, rows_, limit_->value(), nf_};
}

bool ProtocolWindow::SaveCsv(const QString& path)
{
    if (const int error = files::WriteFileWhole(app::ToNativePath(path), ProtocolCsv(rows_, nf_))) {
        showMessage(QStringLiteral("Не удалось записать файл %1: %2")
                        .arg(QDir::toNativeSeparators(path), Q(files::SystemErrorText(error))));
        return false;
    }
    return true;
}

bool ProtocolWindow::SavePdf(const QString& path)
{
    Remember();
    if (const auto error = WriteProtocolPdf(app::ToNativePath(QDir::toNativeSeparators(path)), Paper())) {
        showMessage(Q(*error));
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
