#include "protocol/qt/download_dialog.h"

#include <QDate>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QCloseEvent>
#include <QMessageBox>
#include <QScopeGuard>
#include <QStandardPaths>

#include <filesystem>
#include <system_error>

#include "device/commands.h"
#include "device/port_discovery.h"
#include "files/atomic_file.h"
#include "shell/native_text.h"
#include "shell/qt_string.h"

namespace protocol {

namespace {

// The file-system path of a folder the user named (native or '/' separators).
std::filesystem::path PathOf(const QString& folder)
{
    const std::string bytes = shell::ToNativePath(QDir::fromNativeSeparators(folder));
    return std::filesystem::path(std::u8string(bytes.begin(), bytes.end()));
}

// The one download of the program; a second is not started while it runs.
bool downloadRunning = false;

// A progress dialog that stays up when the user cancels (button, Escape or the
// window's close box): it tells the download to stop and goes when it has.
class StayingProgressDialog : public QProgressDialog {
public:
    StayingProgressDialog(const QString& label, int total, QWidget* parent)
        : QProgressDialog(label, QString(), 0, total, parent)
    {
        // The dialog's own reaction to canceled() hides it at once.
        QObject::disconnect(this, SIGNAL(canceled()), this, SLOT(cancel()));
        cancelButton = new QPushButton(QStringLiteral("Отмена"));
        setCancelButton(cancelButton);
    }
    QPushButton* cancelButton = nullptr;

protected:
    void reject() override { emit canceled(); }
    void closeEvent(QCloseEvent* event) override
    {
        event->ignore();
        emit canceled();
    }
};

QString RecordLabel(int number, int done, int total)
{
    return QStringLiteral("Считывается запись %1 (%2 из %3)…")
        .arg(number, 2, 10, QLatin1Char('0'))
        .arg(done + 1)
        .arg(total);
}

}  // namespace

QString NewSurveyFolder(const QString& near)
{
    // Names are joined as text and looked up by their bytes: a folder whose
    // name is not UTF-8 keeps its bytes (see shell::ToNativePath).
    const QString base =
        near.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
                       : QDir::cleanPath(QDir(QDir::fromNativeSeparators(near)).absoluteFilePath(QStringLiteral("..")));
    const QString name = QStringLiteral("Из прибора ") + QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
    QString candidate = base + QLatin1Char('/') + name;
    std::error_code ec;
    for (int copy = 2; std::filesystem::exists(PathOf(candidate), ec); ++copy)
        candidate = base + QLatin1Char('/') + name + QStringLiteral(" (%1)").arg(copy);
    return QDir::toNativeSeparators(candidate);
}

int MeterPortOrFirst()
{
    try {
        const int com = device::DiscoverMeterPort();
        return com > 0 ? com : 1;
    } catch (const std::exception&) {
        return 1;  // a registry entry that is not a port number: as at start-up, none found
    }
}

MeterDownload::MeterDownload(DownloadRequest request, QWidget* parent) : request_(std::move(request))
{
    const int total = request_.last - request_.first + 1;
    auto dialog = std::make_unique<StayingProgressDialog>(RecordLabel(request_.first, 0, total), total, parent);
    QPushButton* cancel = dialog->cancelButton;
    progress_ = std::move(dialog);
    progress_->setWindowTitle(QStringLiteral("Чтение из прибора"));
    progress_->setWindowModality(Qt::WindowModal);
    progress_->setAutoClose(false);
    progress_->setAutoReset(false);
    progress_->setMinimumDuration(0);
    QObject::connect(progress_.get(), &QProgressDialog::canceled, progress_.get(), [this, cancel] {
        if (stopping_)
            return;
        stopping_ = true;
        cancel->setEnabled(false);
        progress_->setLabelText(QStringLiteral("Чтение останавливается…"));
        Cancel();
    });
}

MeterDownload::~MeterDownload()
{
    download_.Cancel();
    if (worker_.joinable())
        worker_.join();
}

void MeterDownload::Start()
{
    progress_->show();
    // Steps posted to the dialog are dropped once it is gone; it lives until
    // the worker has been joined.
    QProgressDialog* dialog = progress_.get();
    const int total = request_.last - request_.first + 1;
    worker_ = std::thread([this, dialog, total] {
        int done = 0;
        DownloadResult result;
        try {
            result = download_.Run(request_, [&](const DownloadedRecord& r) {
                ++done;
                const int next = r.number + 1;
                QMetaObject::invokeMethod(
                    dialog,
                    [this, dialog, done, next, total, last = request_.last] {
                        if (stopping_)
                            return;
                        dialog->setValue(done);
                        if (next <= last)
                            dialog->setLabelText(RecordLabel(next, done, total));
                    },
                    Qt::QueuedConnection);
            });
        } catch (const std::exception& e) {
            // The run catches what it can; nothing leaves this thread.
            result.endMessage = "Чтение прервано из-за внутренней ошибки программы.";
            result.endDetails = e.what();
        }
        QMetaObject::invokeMethod(
            dialog,
            [this, dialog, result = std::move(result)] {
                dialog->hide();
                if (onFinished)
                    onFinished(result);
            },
            Qt::QueuedConnection);
    });
}

std::optional<QString> DownloadFromMeter(QWidget* parent, const QString& near,
                                         const std::function<void(const QString&)>& showMessage)
{
    if (downloadRunning)
        return std::nullopt;
    QDialog ask(parent);
    ask.setWindowTitle(QStringLiteral("Считать из прибора"));
    auto* form = new QFormLayout(&ask);
    auto* port = new QSpinBox;
    port->setRange(1, 255);
    port->setPrefix(QStringLiteral("COM"));
    port->setValue(MeterPortOrFirst());
    auto* first = new QSpinBox;
    auto* last = new QSpinBox;
    for (QSpinBox* s : {first, last})
        s->setRange(0, device::kStoredRecordCount - 1);
    last->setValue(device::kStoredRecordCount - 1);
    auto* range = new QHBoxLayout;
    range->addWidget(first);
    range->addWidget(new QLabel(QStringLiteral("–")));
    range->addWidget(last);
    range->addStretch(1);
    auto* folder = new QLineEdit(NewSurveyFolder(near));
    folder->setMinimumWidth(folder->fontMetrics().horizontalAdvance(QLatin1Char('x')) * 60);
    auto* browse = new QPushButton(QStringLiteral("Выбрать…"));
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(folder, 1);
    folderRow->addWidget(browse);
    form->addRow(QStringLiteral("Порт прибора:"), port);
    form->addRow(QStringLiteral("Записи памяти:"), range);
    form->addRow(QStringLiteral("Папка для файлов:"), folderRow);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Считать"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    form->addRow(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &ask, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &ask, &QDialog::reject);
    QObject::connect(browse, &QPushButton::clicked, &ask, [&] {
        const QString chosen =
            QFileDialog::getExistingDirectory(&ask, QStringLiteral("Папка для файлов"), folder->text());
        if (!chosen.isEmpty())
            folder->setText(QDir::toNativeSeparators(chosen));
    });
    if (ask.exec() != QDialog::Accepted)
        return std::nullopt;

    DownloadRequest request;
    request.com = port->value();
    request.first = std::min(first->value(), last->value());
    request.last = std::max(first->value(), last->value());
    return RunDownload(parent, request, folder->text().trimmed(), [&](const QString& text, const QString& details) {
        if (details.isEmpty()) {
            showMessage(text);
            return;
        }
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Протокол измерений"), text, QMessageBox::Ok, parent);
        box.setDetailedText(details);
        box.exec();
    });
}

std::optional<QString> RunDownload(QWidget* parent, DownloadRequest request, const QString& target,
                                   const DownloadMessage& showMessage)
{
    if (downloadRunning)
        return std::nullopt;
    downloadRunning = true;
    const auto running = qScopeGuard([] { downloadRunning = false; });

    // The folder's bytes as the program keeps them, not Qt's encoding of its name.
    const std::filesystem::path path = PathOf(target);
    const std::string bytes = shell::ToNativePath(QDir::fromNativeSeparators(target));
    const QString shown = QDir::toNativeSeparators(shell::DisplayText(bytes));
    std::error_code ec;
    const bool existed = std::filesystem::is_directory(path, ec);
    if (target.isEmpty() || (!existed && !std::filesystem::create_directories(path, ec))) {
        QString text = QStringLiteral("Не удалось создать папку «%1»").arg(shown);
        if (ec)
            text +=
                QStringLiteral(": ") + shell::FromUtf8(files::SystemErrorText(ec.default_error_condition().value()));
        showMessage(text + QLatin1Char('.'), QString());
        return std::nullopt;
    }
    request.folder = bytes;

    MeterDownload download(request, parent);
    QEventLoop loop;
    DownloadResult result;
    download.onFinished = [&](const DownloadResult& r) {
        result = r;
        loop.quit();
    };
    download.Start();
    loop.exec();
    if (!result.AllSaved()) {
        QStringList lines;
        for (const std::string& line : result.Summary())
            lines << shell::FromUtf8(line);
        showMessage(lines.join(QLatin1Char('\n')), shell::FromUtf8(result.endDetails));
    }
    if (result.SavedCount() == 0) {
        if (!existed)
            std::filesystem::remove(path, ec);  // only when still empty
        return std::nullopt;
    }
    return target;
}

}  // namespace protocol
