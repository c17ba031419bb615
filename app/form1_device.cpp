// The window's side of the meter link: choosing and opening the port, the
// measurement, check and memory commands, and reply processing.

#include <QGroupBox>
#include <QPlainTextEdit>
#include <QComboBox>
#include <QCheckBox>

#include "app/controls.h"
#include "app/form1.h"
#include "app/message_timer.h"
#include "app/ui_services.h"
#include "chart/chart.h"
#include "chart/qt/chart_widget.h"
#include "analysis/statistics.h"
#include "device/commands.h"
#include "device/line.h"
#include "device/port_discovery.h"
#include "display/presentation.h"
#include "serial/va_comm.h"

namespace app {

namespace {
const QString kNoFileCaption = QStringLiteral("ФАЙЛ ");
}

void TForm1::ConfigureSerial()
{
    device::ApplyLineSettings(*VaComm1);
    VaComm1->SetPortNum(1);
    VaComm1->SetDeviceName("COM%d");
    VaComm1->OnRxChar = [this](serial::TVaCustomComm&, std::int32_t) { VaComm1RxChar(); };
    VaComm1->OnLineLost = [this](serial::TVaCustomComm&, const std::string& detail) { VaComm1LineLost(detail); };
    VaComm1->OnException = [this](std::exception_ptr error) {
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            ReportError(e);
        }
    };
}

void TForm1::WriteCommand(const std::vector<std::uint8_t>& bytes)
{
    // A command for a port that is not open would go nowhere: say so, unless
    // the user has just been told that the meter's line is lost.
    if (!VaComm1->Active()) {
        if (!LineLostShown)
            ui_.ShowMessage(this, MessageIcon::Warning, QStringLiteral("Предупреждение"),
                            QStringLiteral("Порт COM%1 не открыт. Подключите прибор, выберите номер "
                                           "его порта и нажмите «Установить».")
                                .arg(VaComm1->PortNum()),
                            0);
        return;
    }
    // A byte refused on an open port means the line has just been lost; that
    // is reported once, by VaComm1LineLost. The rest of the command is dropped.
    for (std::uint8_t b : bytes)
        if (!VaComm1->WriteChar(b))
            return;
}

void TForm1::VaComm1LineLost(const std::string& detail)
{
    // The port has been closed. A reply cut off by the loss and a command
    // still waiting for its pause go nowhere.
    LineLostShown = true;
    TimRS->SetEnabled(false);
    TimPause->SetEnabled(false);
    // The system's own words go into the details, as with the port box.
    ui_.ShowMessageWithDetails(this, MessageIcon::Warning, QStringLiteral("Предупреждение"),
                               QStringLiteral("Связь с прибором на порту COM%1 потеряна. Подключите прибор "
                                              "и нажмите «Установить».")
                                   .arg(VaComm1->PortNum()),
                               QString::fromStdString(detail), 0);
}

void TForm1::btnPortClick()
{
    std::string firstError;
    try {
        if (VaComm1->Active())
            VaComm1->Close();
        if (sePort->value() != VaComm1->PortNum())
            VaComm1->SetPortNum(sePort->value());
        VaComm1->Open();
        LineLostShown = false;
        return;
    } catch (const std::exception& e) {
        firstError = e.what();  // not shown: port 1 is tried first
    }
    try {
        if (VaComm1->Active())
            VaComm1->Close();
        VaComm1->SetPortNum(1);
        sePort->setValue(1);
        VaComm1->Open();
        LineLostShown = false;
    } catch (const std::exception& e) {
        // What the system said goes into the box's details, so that the user
        // can learn why (a missing device, no permission, a port in use).
        const QString text = QStringLiteral("Невозможно открыть порт ") + QString::number(sePort->value());
        QString details = QString::fromStdString(firstError);
        if (firstError != e.what())
            details += (details.isEmpty() ? QString() : QStringLiteral("\n")) + QString::fromUtf8(e.what());
        ui_.ShowMessageWithDetails(this, MessageIcon::Warning, QStringLiteral("Предупреждение"), text, details, 0);
    }
}

void TForm1::btnStartClick()
{
    TimPause->SetInterval(sePause->value() > 0 ? sePause->value() * 1000 : 1);
    gbFile->setTitle(kNoFileCaption);
    TimPause->SetEnabled(true);
}

void TForm1::TimPauseTimer()
{
    TimPause->SetEnabled(false);
    WriteCommand(device::MeasureCommand(SelectedRangeItem(), seTime->value()));
}

void TForm1::btnCOMClick()
{
    WriteCommand(device::CheckCommand());
}

void TForm1::GroupBox3DblClick()
{
    WriteCommand(device::CheckCommand());
}

void TForm1::btLoadClick()
{
    gbFile->setTitle(kNoFileCaption);
    WriteCommand(device::ReadRecordCommand(seRecord->value()));
}

void TForm1::btEEprevClick()
{
    gbFile->setTitle(kNoFileCaption);
    if (seRecord->value() == 0)
        seRecord->setValue(device::kStoredRecordCount - 1);
    else
        seRecord->setValue(seRecord->value() - 1);
    btLoadClick();
}

void TForm1::btEEnextClick()
{
    gbFile->setTitle(kNoFileCaption);
    if (seRecord->value() > device::kStoredRecordCount - 2)
        seRecord->setValue(0);
    else
        seRecord->setValue(seRecord->value() + 1);
    btLoadClick();
}

void TForm1::seRecordChange()
{
    if (seRecord->value() < 0)
        seRecord->setValue(device::kStoredRecordCount - 1);
    if (seRecord->value() > device::kStoredRecordCount - 1)
        seRecord->setValue(0);
}

void TForm1::VaComm1RxChar()
{
    // Enabling an enabled timer does not restart it: the 300 ms run from the
    // first byte of a burst.
    if (!Closing)
        TimRS->SetEnabled(true);
}

void TForm1::SetResultLines(const std::vector<std::string>& lines)
{
    mResult->clear();
    for (const std::string& line : lines)
        mResult->appendPlainText(QString::fromStdString(line));
    // Back to the first line, as writing line 0 again would scroll there.
    mResult->moveCursor(QTextCursor::Start);
    mResult->ensureCursorVisible();
}

void TForm1::ShowStatistics(std::int32_t first, std::int32_t end)
{
    const analysis::StatisticsResult r = analysis::ShowStatistics(Record, first, end, numberFormat_);
    if (r.minMaxWritten) {
        SampleMin = r.SampleMin;
        SampleMax = r.SampleMax;
    }
    if (r.lines)
        SetResultLines(*r.lines);
}

void TForm1::ProcessReply()
{
    // One-shot: cleared on every way out of the run, also when the read or the
    // analysis raises, so that the next real reply is decoded, not dropped.
    const bool reanalysis = Reprocess;
    Reprocess = false;
    TimRS->SetEnabled(false);

    // The read happens in every run; in a re-analysis its bytes are dropped.
    // A read that finds the meter's line lost ends a reception run before the
    // screen changes: the loss is reported once, and there is nothing to show.
    const std::int32_t count = VaComm1->ReadBuf(Rx.RxBuffer.data(), device::kRxBufferSize);
    if (!reanalysis && VaComm1->LineLost())
        return;
    Series1->ClearPoints();
    mResult->clear();
    Rx.Received(count);

    if (Rx.IsMeasurement() || reanalysis) {
        if (!reanalysis) {
            Rx.DecodeMeasurement(Record);
            btEEnext->show();
            btEEprev->show();
            mComment->clear();  // a reply carries no file comment
        }
        ShowStatistics(0, Record.SampleCount - 1);
        TimeScale = cbX->currentIndex() == 1 ? 1.0 : Record.TimeMultiplier * static_cast<double>(Record.SampleInterval);
        ValueScale = cbY->currentIndex() == 1 ? 1.0 : static_cast<double>(Record.LuxFactor) * Record.RangeDecade;
        display::FillMeasurementSeries(*Series1, Record, ValueScale, TimeScale, numberFormat_);
        PeriodSearch();
        return;
    }

    // A short reply is the meter's calibration record. Its kT is not taken as
    // the sample interval: that would change the time scale of the record on
    // screen, which came from another reply.
    const device::CalibrationListing listing = device::ListCalibration(Rx.Calibration(), numberFormat_);
    SetResultLines(listing.lines);
}

}  // namespace app
