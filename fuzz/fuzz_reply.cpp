// The meter's replies as the window receives them: a few reads of any bytes
// into the one receive buffer, each decoded as a measurement (then analysed
// like a fresh reply) or listed as the calibration record, with a decimal
// point and a decimal comma.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <stdexcept>

#include "analysis/period.h"
#include "analysis/statistics.h"
#include "device/reply.h"
#include "fuzz_support.h"

namespace {

using fuzz::Require;

const analysis::NumberFormat kPoint{".", ","};
const analysis::NumberFormat kComma{",", " "};

void Process(device::ReplyReceiver& rx, analysis::MeasurementRecord& record, int smooth, bool showPeriod)
{
    for (const auto* nf : {&kPoint, &kComma}) {
        if (rx.IsMeasurement()) {
            rx.DecodeMeasurement(record);
            Require(record.SampleCount == rx.RxDataLength / 2);
            analysis::ShowStatistics(record, 0, record.SampleCount - 1, *nf);
            analysis::PeriodSearch(record, smooth, showPeriod, *nf);
        } else {
            const auto listing = device::ListCalibration(rx.Calibration(), *nf);
            Require(listing.lines.size() == 10);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 2048)
        return 0;
    FuzzedDataProvider in(data, size);
    const int smooth = in.ConsumeIntegralInRange(0, analysis::kMaxSmoothWidth);
    const bool showPeriod = in.ConsumeBool();
    device::ReplyReceiver rx;
    analysis::MeasurementRecord record;
    while (in.remaining_bytes() > 0) {
        // A read takes at most the buffer; a count from the port outside 0..820 is clamped.
        const int wanted = in.ConsumeIntegralInRange(-2, device::kRxBufferSize + 2);
        const auto bytes = in.ConsumeBytes<std::uint8_t>(static_cast<std::size_t>(std::max(wanted, 0)));
        const std::size_t copied = std::min(bytes.size(), rx.RxBuffer.size());
        if (copied > 0)
            std::memcpy(rx.RxBuffer.data(), bytes.data(), copied);
        rx.Received(wanted < 0 || wanted > device::kRxBufferSize ? wanted : static_cast<int>(copied));
        Process(rx, record, smooth, showPeriod);

        // The whole decoder on a reply of any size: only 111..820 bytes are one.
        try {
            analysis::MeasurementRecord other;
            device::DecodeMeasurementReply(bytes, other);
            Require(bytes.size() >= device::kMinMeasurementReplySize && bytes.size() <= device::kRxBufferSize);
        } catch (const std::invalid_argument&) {
            Require(bytes.size() < device::kMinMeasurementReplySize || bytes.size() > device::kRxBufferSize);
        }
    }
    return 0;
}
