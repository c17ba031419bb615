#pragma once
// What the papers of the protocol and of the comparison share: the fonts,
// the text in a box, the header fields, the plain tables, the charts of the
// engine drawn as vector graphics, the page footer, the digests' appendix,
// the PDF written whole and the GUI application a tool without one makes.
// Lengths are in units of 1/96 inch, the unit the chart engine draws in.

#include <QColor>
#include <QFont>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "analysis/number_format.h"
#include "chart/qt/qt_canvas.h"
#include "protocol/core/protocol.h"

class QGuiApplication;
class QPaintDevice;

namespace chart {
class TChart;
}

namespace protocol::paper {

constexpr double kMargin = 36;
constexpr double kHeadRow = 34;  // the titles of a table's columns
constexpr double kFooter = 26;
constexpr double kListRow = 20;    // a row of a plain table
constexpr double kDigestRow = 17;  // a row of the appendix
constexpr double kPageTitle = 30;

// Columns of a table from the left margin: (x, width) each.
using Columns = std::vector<std::pair<double, double>>;
Columns ColumnsOf(std::initializer_list<double> widths);

QFont PixelFont(int pixels, bool bold = false, bool italic = false);
QFont MonoFont(int pixels);

// An error limit as the header shows it: "8,0 %" or "не задана".
std::string ErrorText(const std::optional<double>& percent, const analysis::NumberFormat& nf);

// The size of an A4 landscape page without margins.
double A4LandscapeWidth();
double A4LandscapeHeight();

// The painting every page of both papers uses.
class Sheet {
public:
    Sheet(QPainter& painter, double width, double height);

    double Width() const { return width_; }
    double Height() const { return height_; }
    // Where the footer begins: a page's content ends above it.
    double Bottom() const { return height_ - kMargin - kFooter; }

    void Text(const QRectF& r, const QString& text, const QFont& font, int flags, const QColor& color = Qt::black);
    QString Elided(const QString& text, const QFont& font, double width) const;
    // Text wrapped into `r`; what does not fit ends its last line with an ellipsis.
    void Wrapped(const QRectF& r, const QString& text, const QFont& font, int flags, const QColor& color = Qt::black);
    // A page's title; the y below it.
    double PageTitle(const QString& title);
    // The header's fields in two columns from `y`, the judging's defaults
    // last; the y below them.
    double HeaderFields(double y, const ProtocolHeader& header, const Judging& judging,
                        const analysis::NumberFormat& nf);
    // One row of a plain table: the cells in their columns, framed; a head
    // row grey, its titles centred and wrapped.
    void ListRow(double y, double height, const Columns& columns, const QStringList& cells, const QFont& font,
                 const std::vector<bool>& right, bool head);
    // A chart of the engine in `r`, drawn as vector graphics.
    void DrawChart(chart::TChart& chart, const QRectF& r);
    // The line at the foot of the page: `left` (cut to fit) and "Страница N из M".
    void Footer(int page, int count, const QString& left);

    // The appendix's table: its head, and one file's row (its number, name and digest).
    void DigestHead(double y);
    void DigestRow(double y, const ProtocolRow& row);

protected:
    QPainter& painter_;

private:
    double width_, height_;
    chart::qt::QtCanvas canvas_;
};

// Device pixels per 1/96 inch.
double Scale(const QPaintDevice& device);

// Paints `pageCount` pages on `device` in units of 1/96 inch, a new page
// between them: `pagePainter(painter)` makes the object whose PaintPage(page)
// paints each once the painter is active. False when painting could not start.
template <class MakePagePainter>
bool PaintPages(QPagedPaintDevice& device, int pageCount, MakePagePainter pagePainter)
{
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    const double s = Scale(device);
    painter.scale(s, s);
    auto paint = pagePainter(painter);
    for (int page = 0; page < pageCount; ++page) {
        if (page > 0)
            device.newPage();
        paint.PaintPage(page);
    }
    return painter.end();
}

// Paints a PDF (A4 landscape, no margins) with `paint` into a file beside
// `path`, then puts it in its place: a failure leaves the old file. nullopt
// on success, else the Russian message to show.
std::optional<std::string> WritePdfWhole(const std::string& path, const QString& title, const QString& creator,
                                         const std::function<bool(QPagedPaintDevice&)>& paint);

// For a program without a GUI (svktool): an offscreen QGuiApplication when
// there is none yet (null when there is), the chart's numbers in `nf`.
std::unique_ptr<QGuiApplication> StandaloneApplication(const analysis::NumberFormat& nf);

}  // namespace protocol::paper
