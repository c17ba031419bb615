#pragma once
// The protocol on paper: A4 landscape pages with the header, the table with
// a small waveform chart per point (drawn by the chart engine, vector), the
// rooms' table, a summary page with the IEEE 1789 chart of all points, the
// counts per class and verdict, the notes and the signature lines, then the
// appendix of the files' digests; page numbers on each. The same painting
// serves the PDF file and the printer.

#include <optional>
#include <string>
#include <vector>

#include "analysis/number_format.h"
#include "protocol/core/protocol.h"

class QPagedPaintDevice;

namespace protocol {

struct PaperProtocol {
    ProtocolHeader header;
    std::vector<ProtocolRow> rows;
    Judging judging;
    analysis::NumberFormat nf;
};

// Paints every page on `device` (its page layout already set; A4 landscape
// expected). A QGuiApplication must exist. False when painting could not start.
bool PaintProtocol(QPagedPaintDevice& device, const PaperProtocol& protocol);

// The number of pages PaintProtocol paints.
int ProtocolPageCount(const PaperProtocol& protocol);

// Writes the PDF. nullopt on success, else the Russian message to show.
// A QGuiApplication must exist.
std::optional<std::string> WriteProtocolPdf(const std::string& path, const PaperProtocol& protocol);

// The same for a program without a GUI (svktool): makes an offscreen
// QGuiApplication first when there is none.
std::optional<std::string> WriteProtocolPdfStandalone(const std::string& path, const ProtocolHeader& header,
                                                      const std::vector<ProtocolRow>& rows, const Judging& judging,
                                                      const analysis::NumberFormat& nf);

}  // namespace protocol
