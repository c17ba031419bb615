// The system's texts for error codes, as UTF-8 on every system whatever the
// locale's encoding or the Windows code page: the serial component's messages
// and the data files' messages carry them. One implementation file per OS.
#pragma once

#include <string>

namespace systext {

// Text of an error code of the device calls: an errno value (strerror in the
// locale's language) on POSIX, a Win32 error code (FormatMessageW) on Windows.
// No trailing line end.
std::string SystemErrorText(int code);

// Text of a C library errno value on every system (strerror, _wcserror).
std::string ErrnoText(int errnum);

}  // namespace systext
