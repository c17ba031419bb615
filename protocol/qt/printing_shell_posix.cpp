// Other systems: the print spooler's lp command.
#include "protocol/qt/printing_shell.h"

#include <QProcess>

namespace protocol {

std::optional<QString> PrintPdfFile(const QString& path)
{
    QProcess lp;
    lp.start(QStringLiteral("lp"), {path});
    if (lp.waitForFinished(30000) && lp.exitStatus() == QProcess::NormalExit && lp.exitCode() == 0)
        return std::nullopt;
    return QStringLiteral("Не удалось отправить протокол на печать (команда lp). "
                          "Сохраните протокол в PDF и напечатайте его из программы просмотра.");
}

}  // namespace protocol
