#pragma once
// Printing by the system: the protocol saved as a PDF in the temporary
// folder, then handed to PrintPdfFile (one implementation file per system).

#include <QString>

#include <optional>

namespace protocol {

// Starts printing a PDF file; nullopt when the system accepted it, else the
// message to show.
std::optional<QString> PrintPdfFile(const QString& path);

}  // namespace protocol
