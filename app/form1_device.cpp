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
#include "device/port_discovery.h"
#include "display/presentation.h"
#include "serial/va_comm.h"

namespace app {

namespace {
const QString kNoFileCaption = QStringLiteral("ФАЙЛ ");
}

void TForm1::ConfigureSerial()
{
    VaComm1->SetBaudrate(serial::br38400);
    VaComm1->SetParity(serial::paOdd);
    VaComm1->SetParityCheck(true);
    VaComm1->FlowControl().SetControlDtr(serial::dtrDisabled);
    VaComm1->FlowControl().SetControlRts(serial::rtsEnabled);
    VaComm1->SetPortNum(1);
    VaComm1->SetDeviceName("COM%d");
    VaComm1->Buffers().SetReadTimeout(1);
    VaComm1->Buffers().SetWriteTimeout(1);
    VaComm1->OnRxChar = [this](serial::TVaCustomComm&, std::int32_t) { VaComm1RxChar(); };
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
    // The result of each write is not examined: with the port closed the
    // command is silently dropped.
    for (std::uint8_t b : bytes)
        VaComm1->WriteChar(b);
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
    } catch (const std::exception& e) {
        // What the system said goes into the box's details, so that the user
        // can learn why (a missing device, no permission, a port in use).
        const QString text = QStringLiteral("Невозможно открыть порт ") + QString::number(sePort->value());
        QString details = QString::fromStdString(firstError);
        if (firstError != e.what())
            details += (details.isEmpty() ? QString() : QStringLiteral("\n")) + QString::fromUtf8(e.what());
        ui_.ShowMessageWithDetails(this, MessageIcon::Warning, QStringLiteral("Предупреждение"), text,
                                   details, 0);
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
    Series1->ClearPoints();
    mResult->clear();
    TimRS->SetEnabled(false);

    // The read happens in every run; in a re-analysis its bytes are dropped.
    Rx.Received(VaComm1->ReadBuf(Rx.RxBuffer.data(), device::kRxBufferSize));

    if (Rx.IsMeasurement() || Reprocess) {
        if (!Reprocess) {
            Rx.DecodeMeasurement(Record);
            btEEnext->show();
            btEEprev->show();
            mComment->clear();  // a reply carries no file comment
        }
        ShowStatistics(0, Record.SampleCount - 1);
        TimeScale = cbX->currentIndex() == 1
                        ? 1.0
                        : Record.TimeMultiplier * static_cast<double>(Record.SampleInterval);
        ValueScale = cbY->currentIndex() == 1
                         ? 1.0
                         : static_cast<double>(Record.LuxFactor) * Record.RangeDecade;
        display::FillMeasurementSeries(*Series1, Record, ValueScale, TimeScale, numberFormat_);
        PeriodSearch();
        Reprocess = false;
        return;
    }

    // A short reply is the meter's calibration record. Its kT is not taken as
    // the sample interval: that would change the time scale of the record on
    // screen, which came from another reply.
    const device::CalibrationListing listing = device::ListCalibration(Rx.Calibration(), numberFormat_);
    SetResultLines(listing.lines);
    Reprocess = false;
}

}  // namespace app
