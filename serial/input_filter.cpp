#include "serial/input_filter.h"

namespace serial {

void InputFilter::Emit(std::uint8_t c, std::vector<std::uint8_t>& out, Result& result) const
{
    if (options_.nullStrip && c == 0)
        return;
    if (c == options_.eventChar)
        result.events |= EV_RXFLAG;
    out.push_back(c);
}

void InputFilter::Feed(const std::uint8_t* raw, std::size_t n, std::vector<std::uint8_t>& out, Result& result)
{
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t c = raw[i];
        switch (state_) {
        case 0:
            if (c == 0xFF) {
                state_ = 1;
            } else {
                Emit(c, out, result);
            }
            break;
        case 1:
            if (c == 0xFF) {
                Emit(0xFF, out, result);
                state_ = 0;
            } else if (c == 0) {
                state_ = 2;
            } else {
                // Not a mark; the driver passed a lone \377 through.
                Emit(0xFF, out, result);
                Emit(c, out, result);
                state_ = 0;
            }
            break;
        default:
            // A byte received in error is delivered as received (or as the error
            // character), as the UART hands it over: the meter's replies have no framing,
            // so dropping it would shift every later byte. A break arrives as a NUL.
            ++result.marks;
            if (c == 0) {
                // The driver marks a break and a NUL received in error alike; without its
                // counters the two cannot be told apart, and a break is the likelier.
                result.errors |= CE_BREAK;
                result.events |= EV_BREAK;
            } else {
                result.errors |= options_.parityCheck ? CE_RXPARITY : CE_FRAME;
            }
            if (options_.replaceErrors) {
                out.push_back(options_.errorChar);
            } else {
                Emit(c, out, result);
            }
            state_ = 0;
            break;
        }
    }
}

}  // namespace serial
