// Windows: the "print" verb of the program registered for PDF files.
#include "protocol/qt/printing_shell.h"

#include <windows.h>
#include <shellapi.h>

namespace protocol {

std::optional<QString> PrintPdfFile(const QString& path)
{
    const std::wstring file = path.toStdWString();
    const auto result =
        reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"print", file.c_str(), nullptr, nullptr, SW_HIDE));
    if (result > 32)
        return std::nullopt;
    return QStringLiteral("Не удалось отправить протокол на печать: в системе нет программы, печатающей файлы PDF. "
                          "Сохраните протокол в PDF и напечатайте его из программы просмотра.");
}

}  // namespace protocol
