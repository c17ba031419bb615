// Printing through Qt's print support: the print dialog, then the pages
// painted straight onto the printer.
#include "protocol/qt/printing.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>

namespace protocol {

namespace {

class QtPrinting : public ProtocolPrinting {
public:
    std::optional<QString> Print(QWidget* parent, const PaperProtocol& protocol) override
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setPageOrientation(QPageLayout::Landscape);
        printer.setDocName(QStringLiteral("Протокол измерений"));
        QPrintDialog dialog(&printer, parent);
        dialog.setWindowTitle(QStringLiteral("Печать протокола"));
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        if (!PaintProtocol(printer, protocol))
            return QStringLiteral("Не удалось напечатать протокол: принтер недоступен.");
        return std::nullopt;
    }
};

}  // namespace

std::unique_ptr<ProtocolPrinting> MakeProtocolPrinting()
{
    return std::make_unique<QtPrinting>();
}

}  // namespace protocol
