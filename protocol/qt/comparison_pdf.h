#pragma once
// The comparison of two surveys on paper: A4 landscape pages with the header
// of the "после" protocol, the comparison table, the IEEE 1789 chart of the
// arrows from "до" to "после", the counts of each change, the rooms before
// and after, and the digests of both folders' files; page numbers on each.

#include <optional>
#include <string>

#include "analysis/number_format.h"
#include "protocol/core/comparison.h"
#include "protocol/core/protocol.h"

class QPagedPaintDevice;

namespace protocol {

struct PaperComparison {
    ProtocolHeader header;                  // of the "после" protocol
    Judging judging;                        // the defaults both protocols were read with
    std::string beforeFolder, afterFolder;  // as shown to the user
    Comparison comparison;
    analysis::NumberFormat nf;
};

// Paints every page on `device` (A4 landscape expected). A QGuiApplication
// must exist. False when painting could not start.
bool PaintComparison(QPagedPaintDevice& device, const PaperComparison& comparison);

// The number of pages PaintComparison paints.
int ComparisonPageCount(const PaperComparison& comparison);

// Writes the PDF whole or not at all. nullopt on success, else the Russian
// message to show. A QGuiApplication must exist.
std::optional<std::string> WriteComparisonPdf(const std::string& path, const PaperComparison& comparison);

// The same for a program without a GUI (svktool): makes an offscreen
// QGuiApplication first when there is none.
std::optional<std::string> WriteComparisonPdfStandalone(const std::string& path, const PaperComparison& comparison);

}  // namespace protocol
