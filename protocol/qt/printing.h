#pragma once
// Printing the protocol. With Qt's print support the pages go to a printer
// chosen in the print dialog; without it (the Windows build) the protocol is
// saved as a PDF and handed to the system's print command for PDF files.

#include <QString>

#include <memory>
#include <optional>

#include "protocol/qt/protocol_pdf.h"

class QWidget;

namespace protocol {

class ProtocolPrinting {
public:
    virtual ~ProtocolPrinting() = default;
    // Prints after asking the user where (when the system asks). nullopt when
    // printed or cancelled, else the message to show.
    virtual std::optional<QString> Print(QWidget* parent, const PaperProtocol& protocol) = 0;
};

// The printing of this build: one implementation file per way of printing.
std::unique_ptr<ProtocolPrinting> MakeProtocolPrinting();

}  // namespace protocol
