#pragma once
// File names and comment text between the window's QStrings and the bytes
// the data-file code works with.
//
// Paths are byte strings on POSIX systems and need not be UTF-8 (a name
// written by a Windows machine in code page 1251, say). The window keeps
// them in QStrings without loss: a byte that is not part of valid UTF-8
// becomes the lone surrogate U+DC80..U+DCFF and goes back to the same byte.

#include <QString>
#include <string>
#include <string_view>

class QPlainTextEdit;

namespace shell {

QString FromNativePath(std::string_view bytes);
std::string ToNativePath(const QString& path);

// A name or line as the user reads it: UTF-8 as it is, anything else as code
// page 1251.
QString DisplayText(std::string_view bytes);

// A text box's text exactly as it holds it (no-break spaces and controls
// included), lines joined by '\n'.
QString RawText(const QPlainTextEdit& box);

}  // namespace shell
