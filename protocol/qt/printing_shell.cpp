// Printing without Qt's print support: a PDF in the temporary folder, printed
// by the system's own handler.
#include <QDir>

#include "protocol/qt/printing.h"
#include "protocol/qt/printing_shell.h"

namespace protocol {

namespace {

class ShellPrinting : public ProtocolPrinting {
public:
    std::optional<QString> Print(QWidget*, const PaperProtocol& protocol) override
    {
        // The handler reads the file after we return, so it stays until the next print.
        const QString path = QDir::temp().filePath(QStringLiteral("sovikan-protocol-print.pdf"));
        if (const auto error = WriteProtocolPdf(path.toStdString(), protocol))
            return QString::fromStdString(*error);
        return PrintPdfFile(path);
    }
};

}  // namespace

std::unique_ptr<ProtocolPrinting> MakeProtocolPrinting()
{
    return std::make_unique<ShellPrinting>();
}

}  // namespace protocol
