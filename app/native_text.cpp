#include "app/native_text.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>

#include "files/cp1251.h"

namespace app {

namespace {

// Length of the well-formed UTF-8 character at the start of `s`, or 0.
std::size_t Utf8Length(std::string_view s)
{
    const auto b0 = static_cast<unsigned char>(s[0]);
    std::size_t len = 0;
    char32_t cp = 0;
    if (b0 < 0x80)
        return 1;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
        cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        cp = b0 & 0x0F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        cp = b0 & 0x07;
    } else {
        return 0;
    }
    if (s.size() < len)
        return 0;
    for (std::size_t i = 1; i < len; ++i) {
        const auto b = static_cast<unsigned char>(s[i]);
        if ((b & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

bool IsValidUtf8(std::string_view s)
{
    while (!s.empty()) {
        const std::size_t len = Utf8Length(s);
        if (len == 0)
            return false;
        s.remove_prefix(len);
    }
    return true;
}

constexpr char16_t kEscapeBase = 0xDC00;

}  // namespace

QString FromNativePath(std::string_view bytes)
{
    QString out;
    while (!bytes.empty()) {
        const std::size_t len = Utf8Length(bytes);
        if (len == 0) {
            out += QChar(static_cast<char16_t>(kEscapeBase + static_cast<unsigned char>(bytes[0])));
            bytes.remove_prefix(1);
        } else {
            out += QString::fromUtf8(bytes.data(), static_cast<qsizetype>(len));
            bytes.remove_prefix(len);
        }
    }
    return out;
}

std::string ToNativePath(const QString& path)
{
    std::string out;
    qsizetype start = 0;  // start of the run of ordinary text
    auto flush = [&](qsizetype end) {
        if (end > start)
            out += path.mid(start, end - start).toStdString();
    };
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char16_t u = path[i].unicode();
        const bool pairHigh = QChar::isHighSurrogate(u) && i + 1 < path.size() && path[i + 1].isLowSurrogate();
        if (pairHigh) {
            ++i;
            continue;
        }
        if (u >= kEscapeBase + 0x80 && u <= kEscapeBase + 0xFF) {
            flush(i);
            out += static_cast<char>(u - kEscapeBase);
            start = i + 1;
        }
    }
    flush(path.size());
    return out;
}

QString DisplayText(std::string_view bytes)
{
    if (IsValidUtf8(bytes))
        return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return QString::fromStdString(files::DecodeCp1251(bytes));
}

QString RawText(const QPlainTextEdit& box)
{
    // toPlainText() would turn no-break spaces into blanks.
    QStringList lines;
    for (QTextBlock block = box.document()->begin(); block.isValid(); block = block.next())
        lines << block.text();
    QString text = lines.join(QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return text;
}

}  // namespace app
