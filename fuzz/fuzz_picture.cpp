// Number pictures of any text applied to any value, NaN, infinities, huge and
// tiny numbers included, with a few kinds of separators.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <limits>

#include "chart/number_picture.h"

namespace {

const chart::TNumberSeparators kSeparators[] = {
    {".", ","}, {",", " "}, {",", "\xC2\xA0"}, {"", ""}, {"'", "''"}, {".", "."},
};

double Value(FuzzedDataProvider& in)
{
    constexpr double kSpecial[] = {std::numeric_limits<double>::quiet_NaN(),
                                   std::numeric_limits<double>::infinity(),
                                   -std::numeric_limits<double>::infinity(),
                                   std::numeric_limits<double>::max(),
                                   -std::numeric_limits<double>::max(),
                                   std::numeric_limits<double>::denorm_min(),
                                   -0.0,
                                   0.5,
                                   -0.5,
                                   9.9999999999999999e22,
                                   1e-300,
                                   9223372036854775807.0,
                                   -9223372036854775808.0};
    const int pick = in.ConsumeIntegralInRange(0, 15);
    if (pick < static_cast<int>(std::size(kSpecial)))
        return kSpecial[pick];
    return in.ConsumeFloatingPoint<double>();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 2048)
        return 0;
    FuzzedDataProvider in(data, size);
    const auto& separators = kSeparators[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kSeparators) - 1)];
    const double a = Value(in);
    const double b = Value(in);
    const std::string picture = in.ConsumeRemainingBytesAsString();
    chart::FormatNumberPicture(a, picture, separators);
    chart::FormatNumberPicture(b, picture, separators);
    chart::FormatNumberPicture(a * b, picture, separators);
    chart::FormatNumberPicture(a, "#,##0.###", separators);
    return 0;
}
