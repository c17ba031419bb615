#include "protocol/core/natural_order.h"

#include <algorithm>

#include "files/cp1251.h"

namespace protocol {

namespace {

char32_t NextCodePoint(std::string_view& s)
{
    const std::size_t len = files::Utf8CharLength(s);
    const auto b0 = static_cast<unsigned char>(s[0]);
    char32_t cp = len == 1 ? b0 : len == 2 ? b0 & 0x1F : len == 3 ? b0 & 0x0F : b0 & 0x07;
    for (std::size_t i = 1; i < len; ++i)
        cp = (cp << 6) | (static_cast<unsigned char>(s[i]) & 0x3F);
    s.remove_prefix(std::max<std::size_t>(len, 1));
    return cp;
}

// Small letters for the Latin and Cyrillic capitals.
char32_t Folded(char32_t c)
{
    if (c >= U'A' && c <= U'Z')
        return c + 32;
    if (c >= U'А' && c <= U'Я')
        return c + 32;
    if (c >= U'Ѐ' && c <= U'Џ')
        return c + 80;
    return c;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A digit run's value is its digits without leading zeros: a longer one is larger.
int CompareNumbers(std::string_view& a, std::string_view& b)
{
    auto take = [](std::string_view& s) {
        std::size_t n = 0;
        while (n < s.size() && IsDigit(s[n]))
            ++n;
        std::string_view run = s.substr(0, n);
        s.remove_prefix(n);
        const std::size_t lead = std::min(run.find_first_not_of('0'), run.size());
        return run.substr(lead);
    };
    const std::string_view x = take(a);
    const std::string_view y = take(b);
    if (x.size() != y.size())
        return x.size() < y.size() ? -1 : 1;
    return x.compare(y);
}

int NaturalCompare(std::string_view a, std::string_view b)
{
    while (!a.empty() && !b.empty()) {
        if (IsDigit(a[0]) && IsDigit(b[0])) {
            if (const int c = CompareNumbers(a, b))
                return c;
            continue;
        }
        const char32_t x = Folded(NextCodePoint(a));
        const char32_t y = Folded(NextCodePoint(b));
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.empty() ? (b.empty() ? 0 : -1) : 1;
}

}  // namespace

bool NaturalLess(std::string_view a, std::string_view b)
{
    const std::string x = files::DisplayText(a);
    const std::string y = files::DisplayText(b);
    const int c = NaturalCompare(x, y);
    // Names equal but for case or leading zeros keep one order all the same.
    return c != 0 ? c < 0 : a < b;
}

void SortNaturally(std::vector<std::string>& names)
{
    std::stable_sort(names.begin(), names.end(),
                     [](const std::string& a, const std::string& b) { return NaturalLess(a, b); });
}

}  // namespace protocol
