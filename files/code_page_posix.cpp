// Code page 1251 through the C library's iconv.
#include <iconv.h>

#include <cerrno>

#include "files/code_page.h"

namespace files::platform {

namespace {

class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter()
    {
        if (valid())
            iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts as much of `in` as it can; advances `in` and appends to `out`.
    // Returns false when it stopped at an unconvertible or incomplete input.
    bool Convert(std::string_view& in, std::string& out)
    {
        char buffer[256];
        while (!in.empty()) {
            char* inPtr = const_cast<char*>(in.data());  // iconv's prototype is not const-correct
            std::size_t inLeft = in.size();
            char* outPtr = buffer;
            std::size_t outLeft = sizeof buffer;
            const std::size_t rc = iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft);
            out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
            in.remove_prefix(in.size() - inLeft);
            if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
                iconv(cd_, nullptr, nullptr, nullptr, nullptr);
                return false;
            }
        }
        return true;
    }

private:
    iconv_t cd_;
};

}  // namespace

std::vector<std::optional<char>> EncodeCp1251Characters(const std::vector<std::string_view>& characters)
{
    std::vector<std::optional<char>> bytes(characters.size());
    Converter cd("CP1251", "UTF-8");
    if (!cd.valid())
        return bytes;  // no converter installed: nothing can be encoded
    for (std::size_t i = 0; i < characters.size(); ++i) {
        std::string_view in = characters[i];
        std::string out;
        if (cd.Convert(in, out) && out.size() == 1)
            bytes[i] = out[0];
    }
    return bytes;
}

std::string DecodeCp1251Bytes(std::string_view bytes)
{
    std::string text;
    Converter cd("UTF-8", "CP1251");
    while (!bytes.empty()) {
        if (cd.valid() && cd.Convert(bytes, text))
            break;
        // The one undefined byte of the code page (0x98); without a converter
        // only ASCII is known.
        if (!cd.valid() && static_cast<unsigned char>(bytes.front()) < 0x80)
            text += bytes.front();
        else
            text += "\xEF\xBF\xBD";
        bytes.remove_prefix(1);
    }
    return text;
}

}  // namespace files::platform
