#include "protocol/qt/paper.h"

#include <QFile>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QTextLayout>

#include <algorithm>

#include "chart/chart.h"
#include "chart/number_picture.h"
#include "files/atomic_file.h"
#include "files/cp1251.h"
#include "files/platform.h"
#include "protocol/qt/standalone_platform.h"
#include "shell/qt_string.h"

namespace protocol::paper {

Columns ColumnsOf(std::initializer_list<double> widths)
{
    Columns columns;
    double x = kMargin;
    for (double w : widths) {
        columns.emplace_back(x, w);
        x += w;
    }
    return columns;
}

QFont PixelFont(int pixels, bool bold, bool italic)
{
    QFont f(QStringLiteral("Liberation Sans"));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(pixels);
    f.setBold(bold);
    f.setItalic(italic);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

QFont MonoFont(int pixels)
{
    QFont f = PixelFont(pixels);
    f.setFamily(QStringLiteral("Liberation Mono"));
    f.setStyleHint(QFont::Monospace);
    return f;
}

std::string ErrorText(const std::optional<double>& percent, const analysis::NumberFormat& nf)
{
    return percent ? analysis::FormatFixed(*percent, 1, nf) + " %" : "не задана";
}

double A4LandscapeWidth()
{
    return QPageSize(QPageSize::A4).size(QPageSize::Millimeter).height() / 25.4 * 96;
}

double A4LandscapeHeight()
{
    return QPageSize(QPageSize::A4).size(QPageSize::Millimeter).width() / 25.4 * 96;
}

Sheet::Sheet(QPainter& painter, double width, double height)
    : painter_(painter), width_(width), height_(height), canvas_(painter)
{
}

void Sheet::Text(const QRectF& r, const QString& text, const QFont& font, int flags, const QColor& color)
{
    painter_.setFont(font);
    painter_.setPen(color);
    painter_.drawText(r, flags, text);
}

QString Sheet::Elided(const QString& text, const QFont& font, double width) const
{
    return QFontMetricsF(font).elidedText(text, Qt::ElideRight, width);
}

void Sheet::Wrapped(const QRectF& r, const QString& text, const QFont& font, int flags, const QColor& color)
{
    const QFontMetricsF fm(font);
    const int fit = std::max(1, static_cast<int>(r.height() / fm.lineSpacing()));
    QTextLayout layout(text, font);
    layout.beginLayout();
    QStringList lines;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(r.width());
        if (lines.size() == fit - 1) {
            lines << Elided(text.mid(line.textStart()).simplified(), font, r.width());
            break;
        }
        lines << text.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    Text(r, lines.join(QLatin1Char('\n')), font, flags & ~Qt::TextWordWrap, color);
}

double Sheet::PageTitle(const QString& title)
{
    Text(QRectF(kMargin, kMargin, width_ - 2 * kMargin, 24), title, PixelFont(16, true), Qt::AlignLeft | Qt::AlignTop);
    return kMargin + kPageTitle;
}

double Sheet::HeaderFields(double y, const ProtocolHeader& h, const Judging& j, const analysis::NumberFormat& nf)
{
    const std::pair<const char*, std::string> fields[] = {
        {"Организация:", h.organisation},
        {"Средство измерений:", h.instrument},
        {"Объект и адрес:", h.object},
        {"Заводской номер:", h.serialNumber},
        {"Дата измерений:", h.date},
        {"Свидетельство о поверке:", h.certificate},
        {"Условия измерений:", h.conditions},
        {"Нормативный документ:", h.normative},
        {"Методика измерений:", h.method},
        {"Норма Кп по умолчанию:", LimitText(j.limit, nf) + " %"},
        {"Норма E по умолчанию:", j.illuminanceNorm ? LimitText(*j.illuminanceNorm, nf) + " лк" : "не задана"},
        {"Погрешность E, Кп:", ErrorText(j.illuminanceError, nf) + "; " + ErrorText(j.pulsationError, nf)},
    };
    const QFont label = PixelFont(12, true);
    const QFont value = PixelFont(12);
    const double half = (width_ - 2 * kMargin) / 2;
    const double labelWidth = 170;
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        const double x = kMargin + (i % 2) * half;
        const double rowY = y + (i / 2) * 21;
        Text(QRectF(x, rowY, labelWidth, 18), QString::fromUtf8(fields[i].first), label,
             Qt::AlignLeft | Qt::AlignBottom);
        const double vx = x + labelWidth;
        const double vw = half - labelWidth - 16;
        Text(QRectF(vx, rowY, vw, 18), Elided(shell::FromUtf8(fields[i].second), value, vw), value,
             Qt::AlignLeft | Qt::AlignBottom);
        painter_.setPen(QPen(Qt::gray, 0.6));
        painter_.drawLine(QPointF(vx, rowY + 19), QPointF(vx + vw, rowY + 19));
    }
    return y + (std::size(fields) + 1) / 2 * 21 + 6;
}

void Sheet::ListRow(double y, double height, const Columns& columns, const QStringList& cells, const QFont& font,
                    const std::vector<bool>& right, bool head)
{
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const QRectF r(columns[i].first, y, columns[i].second, height);
        if (head)
            painter_.fillRect(r, QColor(232, 232, 232));
        painter_.setPen(QPen(Qt::black, 0.8));
        painter_.drawRect(r);
        const QRectF inner = r.adjusted(3, 1, -3, -1);
        const int align = head ? Qt::AlignCenter | Qt::TextWordWrap : (right[i] ? Qt::AlignRight : Qt::AlignLeft);
        Text(inner, head ? cells[static_cast<int>(i)] : Elided(cells[static_cast<int>(i)], font, inner.width()), font,
             align | Qt::AlignVCenter);
    }
}

void Sheet::DrawChart(chart::TChart& chart, const QRectF& r)
{
    const int w = static_cast<int>(r.width());
    const int h = static_cast<int>(r.height());
    chart.SetBounds(w, h);
    painter_.save();
    painter_.translate(r.topLeft());
    chart.DrawTo(canvas_, chart::TRect{0, 0, w, h});
    canvas_.End();
    painter_.restore();
}

void Sheet::Footer(int page, int count, const QString& left)
{
    const double y = height_ - kMargin - kFooter + 8;
    const double w = width_ - 2 * kMargin;
    const QFont font = PixelFont(10);
    painter_.setPen(QPen(Qt::gray, 0.6));
    painter_.drawLine(QPointF(kMargin, y), QPointF(kMargin + w, y));
    Text(QRectF(kMargin, y + 2, w * 0.7, 16), Elided(left, font, w * 0.7), font, Qt::AlignLeft | Qt::AlignTop,
         Qt::darkGray);
    Text(QRectF(kMargin, y + 2, w, 16), QStringLiteral("Страница %1 из %2").arg(page + 1).arg(count), font,
         Qt::AlignRight | Qt::AlignTop);
}

namespace {

const Columns& DigestColumns()
{
    static const Columns columns = ColumnsOf({40, 400, 520});
    return columns;
}

}  // namespace

void Sheet::DigestHead(double y)
{
    ListRow(y, kListRow, DigestColumns(), {QStringLiteral("№"), QStringLiteral("Файл"), QStringLiteral("SHA-256")},
            PixelFont(11, true), {true, false, false}, true);
}

void Sheet::DigestRow(double y, const ProtocolRow& row)
{
    const Columns& columns = DigestColumns();
    const QStringList cells{QString::number(row.number), shell::FromUtf8(files::DisplayText(row.fileName)),
                            row.digest.empty() ? QStringLiteral("файл не прочитан целиком")
                                               : shell::FromUtf8(row.digest)};
    ListRow(y, kDigestRow, {columns[0], columns[1]}, {cells[0], cells[1]}, PixelFont(11), {true, false}, false);
    ListRow(y, kDigestRow, {columns[2]}, {cells[2]}, MonoFont(11), {false}, false);
}

double Scale(const QPaintDevice& device)
{
    return device.logicalDpiX() / 96.0;
}

std::optional<std::string> WritePdfWhole(const std::string& path, const QString& title, const QString& creator,
                                         const std::function<bool(QPagedPaintDevice&)>& paint)
{
    // Written beside the target, then put in its place: a failure leaves the old file.
    const std::string failed = "Не удалось записать файл " + files::DisplayText(path);
    files::TemporaryFile temporary(path);
    if (!temporary.get())
        return failed + ": " + files::SystemErrorText(temporary.error());
    bool painted = false;
    {
        QFile file;
        painted = file.open(temporary.get(), QIODevice::WriteOnly);
        QPdfWriter writer(&file);
        writer.setResolution(1200);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageOrientation(QPageLayout::Landscape);
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setTitle(title);
        writer.setCreator(creator);
        painted = painted && paint(writer);
        file.close();
        painted = painted && file.error() == QFileDevice::NoError;
    }
    if (!painted)
        return failed;
    if (const int error = temporary.Commit())
        return failed + ": " + files::SystemErrorText(error);
    return std::nullopt;
}

std::unique_ptr<QGuiApplication> StandaloneApplication(const analysis::NumberFormat& nf)
{
    static int argc = 1;
    static char name[] = "svktool";
    static char* argv[] = {name, nullptr};
    std::unique_ptr<QGuiApplication> app;
    if (!QCoreApplication::instance()) {
        ChooseStandalonePlatform();
        // A command-line tool prints only its own words: the toolkit's notes
        // (no session's runtime folder in a script, say) are not for its user.
        static QtMessageHandler previous = nullptr;
        previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            if ((type == QtCriticalMsg || type == QtFatalMsg) && previous)
                previous(type, context, text);
        });
        app = std::make_unique<QGuiApplication>(argc, argv);
    }
    chart::SetNumberSeparators({nf.decimalSeparator, nf.thousandSeparator});
    return app;
}

}  // namespace protocol::paper
