#pragma once
// Text of the plain code (UTF-8 in std::string) as a QString, for the window
// programs and the papers alike. Header only: the papers and svktool need no
// more of the shell than this.

#include <QString>

#include <string_view>

namespace shell {

inline QString FromUtf8(std::string_view utf8)
{
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

}  // namespace shell
