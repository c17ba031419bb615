#include <iconv.h>
#include <langinfo.h>

#include <cstring>

#include "systext/system_text.h"

namespace systext {
namespace {

// strerror_r comes in a GNU flavour (returns the text) and a POSIX one (fills
// the buffer); either way this gives the text.
[[maybe_unused]] const char* StrerrorText(const char* text, const char*)
{
    return text;
}
[[maybe_unused]] const char* StrerrorText(int rc, const char* buffer)
{
    return rc == 0 ? buffer : "";
}

// A text of the locale's encoding as UTF-8; as it stands when the locale is
// UTF-8 already or no converter is at hand.
std::string LocaleTextToUtf8(const std::string& text)
{
    const char* codeset = ::nl_langinfo(CODESET);
    if (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "ANSI_X3.4-1968") == 0)
        return text;
    const iconv_t cd = ::iconv_open("UTF-8", codeset);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return text;
    std::string out(text.size() * 4, '\0');     // a byte is at most four in UTF-8
    char* in = const_cast<char*>(text.data());  // iconv's prototype is not const-correct
    std::size_t inLeft = text.size();
    char* to = out.data();
    std::size_t outLeft = out.size();
    const bool whole = ::iconv(cd, &in, &inLeft, &to, &outLeft) != static_cast<std::size_t>(-1);
    ::iconv_close(cd);
    if (!whole)
        return text;
    out.resize(out.size() - outLeft);
    return out;
}

}  // namespace

std::string ErrnoText(int errnum)
{
    char buffer[256] = "";
    return LocaleTextToUtf8(StrerrorText(::strerror_r(errnum, buffer, sizeof buffer), buffer));
}

std::string SystemErrorText(int code)
{
    return ErrnoText(code);
}

}  // namespace systext
