#include "shell/native_text.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>

#include "files/cp1251.h"

namespace shell {

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

}  // namespace

QString FromNativePath(std::string_view bytes)
{
    QString out;
    while (!bytes.empty()) {
        const std::size_t len = files::Utf8CharLength(bytes);
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
    return QString::fromStdString(files::DisplayText(bytes));
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

}  // namespace shell
