#include "protocol/qt/protocol_window.h"

#include <QCloseEvent>
#include <QDate>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
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
#include <QTableWidget>
#include <QVBoxLayout>

#include "files/comment_browser.h"

namespace protocol {

namespace {

struct Field {
    const char* key;
    const char* label;
};

// In the order of HeaderField().
const Field kFields[ProtocolWindow::kHeaderFieldCount] = {
    {"organisation", "Организация:"},
    {"object", "Объект и адрес:"},
    {"date", "Дата измерений:"},
    {"conditions", "Условия измерений:"},
    {"instrument", "Средство измерений:"},
    {"serial", "Заводской номер:"},
    {"certificate", "Свидетельство о поверке:"},
};

QString Q(const std::string& s)
{
    return QString::fromStdString(s);
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
    top->addWidget(choose);
    top->addWidget(reread);

    auto* header = new QGroupBox(QStringLiteral("Шапка протокола"));
    auto* grid = new QGridLayout(header);
    for (int i = 0; i < kHeaderFieldCount; ++i) {
        auto* edit = new QLineEdit(settings_->value(QString::fromLatin1(kFields[i].key)).toString());
        fields_.push_back(edit);
        const int row = i % 4;
        const int col = i < 4 ? 0 : 2;
        grid->addWidget(new QLabel(QString::fromUtf8(kFields[i].label)), row, col);
        grid->addWidget(edit, row, col + 1);
        connect(edit, &QLineEdit::editingFinished, this, [this] { Remember(); });
    }
    if (fields_[2]->text().isEmpty())
        fields_[2]->setText(QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy")));
    if (fields_[4]->text().isEmpty())
        fields_[4]->setText(QStringLiteral("Люксметр-пульсметр СОВИКАН ТР07"));
    grid->addWidget(new QLabel(QStringLiteral("Норма Кп по умолчанию, %:")), 3, 2);
    limit_ = new QDoubleSpinBox;
    limit_->setRange(0.0, 100.0);
    limit_->setDecimals(1);
    limit_->setSingleStep(1.0);
    limit_->setValue(settings_->value(QStringLiteral("limit"), analysis::kDefaultPulsationLimit).toDouble());
    limit_->setToolTip(QStringLiteral("Точка с пометкой «Кп<=N» в комментарии проверяется по своей норме N %."));
    grid->addWidget(limit_, 3, 3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    connect(limit_, &QDoubleSpinBox::valueChanged, this, [this](double v) { SetDefaultLimit(v); });

    table_ = new QTableWidget(0, kColumnCount);
    QStringList titles;
    for (Column c : kColumns)
        titles << QString::fromUtf8(Info(c).title);
    table_->setHorizontalHeaderLabels(titles);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->verticalHeader()->setVisible(false);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setSectionResizeMode(static_cast<int>(Column::Place), QHeaderView::Stretch);

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
    layout->addWidget(table_, 1);
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
    resize(1180, 720);

    const QString last = settings_->value(QStringLiteral("folder")).toString();
    if (!last.isEmpty() && QDir(last).exists())
        OpenFolder(last);
}

ProtocolWindow::~ProtocolWindow()
{
    Remember();
}

void ProtocolWindow::closeEvent(QCloseEvent* event)
{
    Remember();
    event->accept();
}

void ProtocolWindow::Remember()
{
    for (int i = 0; i < kHeaderFieldCount; ++i)
        settings_->setValue(QString::fromLatin1(kFields[i].key), fields_[static_cast<std::size_t>(i)]->text());
    settings_->setValue(QStringLiteral("limit"), limit_->value());
    if (!folder_.isEmpty())
        settings_->setValue(QStringLiteral("folder"), folder_);
    settings_->sync();
}

bool ProtocolWindow::OpenFolder(const QString& folder)
{
    auto rows = BuildProtocol(FolderWithSeparator(QDir::fromNativeSeparators(folder).toStdString()), limit_->value());
    if (rows.empty()) {
        showMessage(QString::fromUtf8(files::kChoosePathMessage));
        return false;
    }
    folder_ = folder;
    folderEdit_->setText(QDir::toNativeSeparators(folder));
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

void ProtocolWindow::Refill()
{
    table_->setRowCount(static_cast<int>(rows_.size()));
    int fails = 0;
    int unusable = 0;
    for (std::size_t r = 0; r < rows_.size(); ++r) {
        const ProtocolRow& row = rows_[r];
        const RowCells cells = CellsOf(row, nf_);
        const bool failed = row.verdict == Verdict::Fails;
        fails += failed ? 1 : 0;
        unusable += row.Usable() ? 0 : 1;
        for (Column c : kColumns) {
            auto* item = new QTableWidgetItem(Q(cells[c]));
            if (Info(c).numeric)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (c == Column::Verdict && failed)
                item->setForeground(QColor(170, 0, 0));
            if (!row.Usable())
                item->setForeground(Qt::darkGray);
            if (c == Column::Limit && row.limitFromComment)
                item->setToolTip(QStringLiteral("Норма из комментария точки"));
            table_->setItem(static_cast<int>(r), static_cast<int>(c), item);
        }
    }
    summary_->setText(QStringLiteral("Точек: %1; не соответствуют норме: %2; файлов без результата: %3")
                          .arg(rows_.size())
                          .arg(fails)
                          .arg(unusable));
    for (QPushButton* b : needRows_)
        b->setEnabled(!rows_.empty());
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
    return PaperProtocol{h, rows_, limit_->value(), nf_};
}

bool ProtocolWindow::SaveCsv(const QString& path)
{
    const std::string csv = ProtocolCsv(rows_, nf_);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(csv.data(), static_cast<qint64>(csv.size())) != static_cast<qint64>(csv.size()) || !file.flush()) {
        showMessage(QStringLiteral("Не удалось записать файл %1: %2").arg(QDir::toNativeSeparators(path), file.errorString()));
        file.close();
        file.remove();
        return false;
    }
    return true;
}

bool ProtocolWindow::SavePdf(const QString& path)
{
    Remember();
    if (const auto error = WriteProtocolPdf(QDir::fromNativeSeparators(path).toStdString(), Paper())) {
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
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Сохранить протокол в CSV"),
                                                      SuggestedPath(QStringLiteral("csv")),
                                                      QStringLiteral("Таблица CSV (*.csv)"));
    if (!path.isEmpty())
        SaveCsv(path);
}

void ProtocolWindow::ChoosePdf()
{
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Сохранить протокол в PDF"),
                                                      SuggestedPath(QStringLiteral("pdf")),
                                                      QStringLiteral("Документ PDF (*.pdf)"));
    if (!path.isEmpty())
        SavePdf(path);
}

}  // namespace protocol
