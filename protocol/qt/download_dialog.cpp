#include "protocol/qt/download_dialog.h"

#include <QDate>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>

#include "device/commands.h"
#include "device/port_discovery.h"

namespace protocol {

namespace {

QString Q(const std::string& s)
{
    return QString::fromStdString(s);
}

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
    QDir base(near.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) : near);
    base.makeAbsolute();
    if (!near.isEmpty())
        base.cdUp();
    const QString name = QStringLiteral("Из прибора ") + QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
    QString candidate = base.filePath(name);
    for (int copy = 2; QFileInfo::exists(candidate); ++copy)
        candidate = base.filePath(name + QStringLiteral(" (%1)").arg(copy));
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
    progress_ = std::make_unique<QProgressDialog>(RecordLabel(request_.first, 0, total), QStringLiteral("Отмена"), 0,
                                                  total, parent);
    progress_->setWindowTitle(QStringLiteral("Чтение из прибора"));
    progress_->setWindowModality(Qt::WindowModal);
    progress_->setAutoClose(false);
    progress_->setAutoReset(false);
    progress_->setMinimumDuration(0);
    QObject::connect(progress_.get(), &QProgressDialog::canceled, progress_.get(), [this] {
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
        DownloadResult result = download_.Run(request_, [&](const DownloadedRecord& r) {
            ++done;
            const int next = r.number + 1;
            QMetaObject::invokeMethod(
                dialog,
                [dialog, done, next, total, last = request_.last] {
                    if (dialog->wasCanceled())
                        return;
                    dialog->setValue(done);
                    if (next <= last)
                        dialog->setLabelText(RecordLabel(next, done, total));
                },
                Qt::QueuedConnection);
        });
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
    const QString target = folder->text().trimmed();
    const bool existed = QFileInfo(target).isDir();
    if (target.isEmpty() || !QDir().mkpath(target)) {
        showMessage(QStringLiteral("Не удалось создать папку «%1».").arg(target));
        return std::nullopt;
    }
    request.folder = QDir::fromNativeSeparators(target).toStdString();

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
            lines << Q(line);
        showMessage(lines.join(QLatin1Char('\n')));
    }
    if (result.SavedCount() == 0) {
        if (!existed)
            QDir().rmdir(target);  // only when still empty
        return std::nullopt;
    }
    return target;
}

}  // namespace protocol
