#pragma once
// "Считать из прибора…" of the protocol window: the port (the meter's port as
// the main window finds it at start-up), the record range and a new folder;
// then the records are read on a worker thread behind a progress dialog with
// the record number and a cancel button.

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include "protocol/core/memory_download.h"

class QProgressDialog;

namespace protocol {

// A new dated folder beside `near` (its parent folder, or the user's
// documents when empty): "Из прибора 2026-12-09", " (2)" ... when taken.
QString NewSurveyFolder(const QString& near);

// The meter's port as at the main window's start-up, 1 when none is found.
int MeterPortOrFirst();

// One download with its progress dialog; the result comes back on the GUI thread.
class MeterDownload {
public:
    MeterDownload(DownloadRequest request, QWidget* parent);
    ~MeterDownload();
    MeterDownload(const MeterDownload&) = delete;
    MeterDownload& operator=(const MeterDownload&) = delete;

    // Called once, on the GUI thread, when the run has ended.
    std::function<void(const DownloadResult&)> onFinished;
    void Start();
    void Cancel() { download_.Cancel(); }
    QProgressDialog* Progress() const { return progress_.get(); }

private:
    DownloadRequest request_;
    MemoryDownload download_;
    std::unique_ptr<QProgressDialog> progress_;
    bool stopping_ = false;  // Cancel pressed (GUI thread)
    std::thread worker_;
};

// The whole command: asks, reads, tells the user what was not saved (one
// message through `showMessage`, or a box when the message has details). The
// folder to show when a record was saved. Nothing while a download runs.
std::optional<QString> DownloadFromMeter(QWidget* parent, const QString& near,
                                         const std::function<void(const QString&)>& showMessage);

// A message for the user and the component's or system's words behind it (may be empty).
using DownloadMessage = std::function<void(const QString& text, const QString& details)>;

// The command once asked: creates `target` when missing, reads into it and
// tells the user what was not saved, in one message. The folder to show when
// a record was saved; nothing (and no download) while another one runs.
std::optional<QString> RunDownload(QWidget* parent, DownloadRequest request, const QString& target,
                                   const DownloadMessage& showMessage);

}  // namespace protocol
