#include "chart/number_picture.h"

#include <charconv>
#include <cmath>
#include <vector>

namespace chart {

namespace {

TNumberSeparators& SeparatorStore()
{
    static TNumberSeparators store;
    return store;
}

std::vector<std::string_view> SplitSections(std::string_view picture)
{
    std::vector<std::string_view> sections;
    std::size_t start = 0;
    char quote = 0;
    for (std::size_t i = 0; i < picture.size(); ++i) {
        char c = picture[i];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == ';') {
            sections.push_back(picture.substr(start, i - start));
            start = i + 1;
        }
    }
    sections.push_back(picture.substr(start));
    return sections;
}

struct Section {
    std::string prefix;
    std::string suffix;
    bool hasDigits = false;
    bool grouping = false;
    int minInt = 0;
    int minDec = 0;
    int maxDec = 0;
};

Section ParseSection(std::string_view s)
{
    Section out;
    bool afterPoint = false;
    int decPlaces = 0;
    char quote = 0;
    for (char c : s) {
        if (quote) {
            if (c == quote)
                quote = 0;
            else
                (out.hasDigits ? out.suffix : out.prefix) += c;
            continue;
        }
        switch (c) {
        case '"':
        case '\'':
            quote = c;
            break;
        case '0':
        case '#':
            out.hasDigits = true;
            if (afterPoint) {
                ++decPlaces;
                if (c == '0')
                    out.minDec = decPlaces;
            } else if (c == '0') {
                ++out.minInt;
            }
            break;
        case '.':
            if (!afterPoint)
                afterPoint = true;
            else
                (out.hasDigits ? out.suffix : out.prefix) += c;
            break;
        case ',':
            if (!afterPoint)
                out.grouping = true;
            else
                out.suffix += c;
            break;
        default:
            (out.hasDigits ? out.suffix : out.prefix) += c;
        }
    }
    out.maxDec = decPlaces;
    return out;
}

std::string Group(const std::string& digits, const std::string& separator)
{
    std::string out;
    std::size_t n = digits.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            out += separator;
        out += digits[i];
    }
    return out;
}

std::string FormatSection(double magnitude, const Section& sec, const TNumberSeparators& sep, bool& allZero)
{
    allZero = true;
    if (!sec.hasDigits)
        return sec.prefix + sec.suffix;
    // 1e308 with the longest sensible decimal tail fits in 400 characters.
    char buf[400];
    int precision = sec.maxDec > 60 ? 60 : sec.maxDec;
    auto res = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::fixed, precision);
    std::string text(buf, res.ptr);
    std::string intPart = text;
    std::string fracPart;
    if (auto dot = text.find('.'); dot != std::string::npos) {
        intPart = text.substr(0, dot);
        fracPart = text.substr(dot + 1);
    }
    for (char c : text)
        if (c >= '1' && c <= '9')
            allZero = false;
    while (static_cast<int>(fracPart.size()) > sec.minDec && !fracPart.empty() && fracPart.back() == '0')
        fracPart.pop_back();
    std::size_t firstNonZero = intPart.find_first_not_of('0');
    intPart = firstNonZero == std::string::npos ? std::string() : intPart.substr(firstNonZero);
    if (static_cast<int>(intPart.size()) < sec.minInt)
        intPart.insert(0, static_cast<std::size_t>(sec.minInt) - intPart.size(), '0');
    if (sec.grouping)
        intPart = Group(intPart, sep.Grouping);
    std::string out = sec.prefix + intPart;
    if (!fracPart.empty())
        out += sep.Decimal + fracPart;
    return out + sec.suffix;
}

}  // namespace

int PictureDecimals(std::string_view picture)
{
    return ParseSection(SplitSections(picture).front()).maxDec;
}

const TNumberSeparators& NumberSeparators()
{
    return SeparatorStore();
}

void SetNumberSeparators(TNumberSeparators separators)
{
    SeparatorStore() = std::move(separators);
}

std::string FormatNumberPicture(double value, std::string_view picture, const TNumberSeparators& separators)
{
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value < 0 ? "-INF" : "INF";
    if (picture.empty())
        picture = "0.###############";
    auto sections = SplitSections(picture);
    bool negative = value < 0;
    std::string_view chosen = sections[0];
    bool signFromSection = false;
    if (value == 0 && sections.size() >= 3 && !sections[2].empty()) {
        chosen = sections[2];
    } else if (negative && sections.size() >= 2 && !sections[1].empty()) {
        chosen = sections[1];
        signFromSection = true;
    }
    bool allZero = true;
    std::string text = FormatSection(std::fabs(value), ParseSection(chosen), separators, allZero);
    // A value that rounds to zero is shown without a sign.
    if (negative && !signFromSection && !allZero)
        text = "-" + text;
    return text;
}

}  // namespace chart
