#include "protocol/qt/comparison_pdf.h"

namespace protocol {

bool PaintComparison(QPagedPaintDevice&, const PaperComparison&)
{
    return false;
}

std::optional<std::string> WriteComparisonPdf(const std::string&, const PaperComparison&)
{
    return std::string("сравнение ещё не печатается");
}

std::optional<std::string> WriteComparisonPdfStandalone(const std::string& path, const PaperComparison& comparison)
{
    return WriteComparisonPdf(path, comparison);
}

}  // namespace protocol
