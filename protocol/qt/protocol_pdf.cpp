#include "protocol/qt/protocol_pdf.h"

#include <QFile>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <memory>
#include <set>

#include "chart/chart.h"
#include "chart/number_picture.h"
#include "chart/qt/qt_canvas.h"
#include "chart/series.h"
#include "files/atomic_file.h"
#include "files/cp1251.h"
#include "files/platform.h"
#include "protocol/core/point_charts.h"

namespace protocol {

namespace {

// Lengths are in units of 1/96 inch, the unit the chart engine draws in.
constexpr double kMargin = 36;
constexpr double kHeaderBlock = 199;
constexpr double kHeadRow = 34;
constexpr double kRow = 62;
constexpr double kFooter = 26;
constexpr double kSummaryChart = 420;

// On paper the table's columns are followed by one more, the waveform, which
// takes the width that is left.
constexpr const char* kWaveformTitle = "Осциллограмма, лк / мс";
constexpr int kWaveformColumn = kColumnCount;

Qt::Alignment Alignment(Column c)
{
    return c == Column::Number ? Qt::AlignCenter : Info(c).numeric ? Qt::AlignRight : Qt::AlignLeft;
}

QString Q(const std::string& s)
{
    return QString::fromStdString(s);
}

QFont PixelFont(int pixels, bool bold = false, bool italic = false)
{
    QFont f(QStringLiteral("Liberation Sans"));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(pixels);
    f.setBold(bold);
    f.setItalic(italic);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

struct Pages {
    double width = 0;
    double height = 0;
    std::vector<std::pair<int, int>> rows;  // per page: first row, end row
    // The table's pages, then the summary page with the notes and signatures.
    int Count() const { return static_cast<int>(rows.size()) + 1; }
};

Pages Paginate(double width, double height, int rowCount)
{
    Pages pages;
    pages.width = width;
    pages.height = height;
    const double bottom = height - kMargin - kFooter;
    int row = 0;
    do {
        const double top = kMargin + (pages.rows.empty() ? kHeaderBlock : 0) + kHeadRow;
        const int fit = std::max(1, static_cast<int>((bottom - top) / kRow));
        const int end = std::min(rowCount, row + fit);
        pages.rows.emplace_back(row, end);
        row = end;
    } while (row < rowCount);
    return pages;
}

class ProtocolPainter {
public:
    ProtocolPainter(QPainter& painter, const PaperProtocol& p, const Pages& pages)
        : painter_(painter), p_(p), pages_(pages), canvas_(painter)
    {
        SetUpPointChart(ieeeChart_);
        ieeeChart_.SetBufferedDisplay(false);
        series_ = &chart_.AddSeries(std::make_unique<chart::TFastLineSeries>());
        chart_.SetBufferedDisplay(false);
        chart_.SetView3D(false);
        chart_.SetBevelOuter(chart::TBevelCut::bvNone);
        chart_.SetColor(chart::clWhite);
        chart_.Title().SetVisible(false);
        chart_.Legend().Visible = false;
        chart_.SetMarginLeft(1);
        chart_.SetMarginRight(3);
        chart_.SetMarginTop(6);
        chart_.SetMarginBottom(2);
        chart_.RightAxis().SetLabels(false);
        for (chart::TChartAxis* axis : {&chart_.LeftAxis(), &chart_.BottomAxis()}) {
            axis->LabelsFont().SetSize(5);
            axis->Grid().SetColor(chart::clSilver);
            axis->SetAxisValuesFormat("0.###");
        }
        series_->Marks.Visible = false;
        series_->SetShowInLegend(false);
        series_->XValues().SetOrder(chart::TChartListOrder::loAscending);
        series_->SetSeriesColor(chart::clRed);

        double x = kMargin;
        for (Column c : kColumns) {
            columns_.emplace_back(x, Info(c).pdfWidth);
            x += Info(c).pdfWidth;
        }
        columns_.emplace_back(x, std::max(60.0, pages.width - kMargin - x));
        for (const auto& row : p.rows)
            if (row.Usable() && row.metrics.svm && row.metrics.SvmLimitedByNyquist())
                svmLimits_.insert(static_cast<int>(std::lround(row.metrics.svmUpperHz)));
    }

    void PaintPage(int page)
    {
        double y = kMargin;
        if (page == 0)
            y = PaintHeader();
        if (page < static_cast<int>(pages_.rows.size())) {
            y = PaintTableHead(y);
            const auto [first, end] = pages_.rows[static_cast<std::size_t>(page)];
            for (int r = first; r < end; ++r)
                y = PaintRow(p_.rows[static_cast<std::size_t>(r)], y);
        }
        if (page == pages_.Count() - 1)
            PaintClosing(PaintSummary() + 14);
        PaintFooter(page);
    }

private:
    void Text(const QRectF& r, const QString& text, const QFont& font, int flags, QColor color = Qt::black)
    {
        painter_.setFont(font);
        painter_.setPen(color);
        painter_.drawText(r, flags, text);
    }

    QString Elided(const QString& text, const QFont& font, double width)
    {
        return QFontMetricsF(font).elidedText(text, Qt::ElideRight, width);
    }

    double PaintHeader()
    {
        const double w = pages_.width - 2 * kMargin;
        Text(QRectF(kMargin, kMargin, w, 24), QStringLiteral("ПРОТОКОЛ ИЗМЕРЕНИЙ"), PixelFont(19, true),
             Qt::AlignHCenter | Qt::AlignTop);
        Text(QRectF(kMargin, kMargin + 24, w, 20), QStringLiteral("освещённости и коэффициента пульсации освещённости"),
             PixelFont(14), Qt::AlignHCenter | Qt::AlignTop);
        const auto& h = p_.header;
        const std::pair<const char*, std::string> fields[] = {
            {"Организация:", h.organisation},     {"Средство измерений:", h.instrument},
            {"Объект и адрес:", h.object},        {"Заводской номер:", h.serialNumber},
            {"Дата измерений:", h.date},          {"Свидетельство о поверке:", h.certificate},
            {"Условия измерений:", h.conditions}, {"Нормативный документ:", h.normative},
            {"Методика измерений:", h.method},    {"Норма Кп по умолчанию:", LimitText(p_.defaultLimit, p_.nf) + " %"},
        };
        const QFont label = PixelFont(12, true);
        const QFont value = PixelFont(12);
        const double half = w / 2;
        const double labelWidth = 170;
        double y = kMargin + 56;
        for (std::size_t i = 0; i < std::size(fields); ++i) {
            const double x = kMargin + (i % 2) * half;
            const double rowY = y + (i / 2) * 21;
            Text(QRectF(x, rowY, labelWidth, 18), QString::fromUtf8(fields[i].first), label,
                 Qt::AlignLeft | Qt::AlignBottom);
            const double vx = x + labelWidth;
            const double vw = half - labelWidth - 16;
            Text(QRectF(vx, rowY, vw, 18), Elided(Q(fields[i].second), value, vw), value,
                 Qt::AlignLeft | Qt::AlignBottom);
            painter_.setPen(QPen(Qt::gray, 0.6));
            painter_.drawLine(QPointF(vx, rowY + 19), QPointF(vx + vw, rowY + 19));
        }
        y += (std::size(fields) + 1) / 2 * 21 + 6;
        Text(QRectF(kMargin, y, w, 18), QStringLiteral("Измерено точек: %1.").arg(p_.rows.size()), PixelFont(12),
             Qt::AlignLeft | Qt::AlignVCenter);
        return kMargin + kHeaderBlock;
    }

    QRectF Cell(int column, double y, double height) const
    {
        const auto [x, w] = columns_[static_cast<std::size_t>(column)];
        return QRectF(x, y, w, height);
    }

    double PaintTableHead(double y)
    {
        const QFont font = PixelFont(11, true);
        for (int c = 0; c <= kWaveformColumn; ++c) {
            const QRectF r = Cell(c, y, kHeadRow);
            painter_.fillRect(r, QColor(232, 232, 232));
            painter_.setPen(QPen(Qt::black, 0.8));
            painter_.drawRect(r);
            const char* title = c == kWaveformColumn ? kWaveformTitle : Info(kColumns[c]).title;
            Text(r.adjusted(2, 1, -2, -1), QString::fromUtf8(title), font, Qt::AlignCenter | Qt::TextWordWrap);
        }
        return y + kHeadRow;
    }

    double PaintRow(const ProtocolRow& row, double y)
    {
        const QFont font = PixelFont(11);
        RowCells cells = CellsOf(row, p_.nf);
        if (row.Usable() && row.metrics.svm && row.metrics.SvmLimitedByNyquist())
            cells[Column::Svm] = analysis::OptionalText(row.metrics.svm, 3, p_.nf) + "*";
        painter_.setPen(QPen(Qt::black, 0.8));
        const QRectF waveform = Cell(kWaveformColumn, y, kRow);
        painter_.drawRect(waveform);
        if (row.Usable())
            PaintChart(row, waveform.adjusted(1, 1, -1, -1));
        for (Column c : kColumns) {
            const QRectF r = Cell(static_cast<int>(c), y, kRow);
            painter_.setPen(QPen(Qt::black, 0.8));
            painter_.drawRect(r);
            const QRectF inner = r.adjusted(3, 2, -3, -2);
            const int flags = static_cast<int>(Alignment(c)) | Qt::AlignVCenter;
            const QString text = Q(cells[c]);
            if (c == Column::Verdict) {
                const bool fails = row.verdict == Verdict::Fails;
                Text(inner, text, row.Usable() ? PixelFont(11, fails) : PixelFont(10, false, true),
                     flags | Qt::TextWordWrap,
                     fails          ? QColor(170, 0, 0)
                     : row.Usable() ? Qt::black
                                    : Qt::darkGray);
            } else if (c == Column::Place) {
                Text(inner, text, font, flags | Qt::TextWordWrap);
            } else {
                Text(inner, Elided(text, font, inner.width()), font, flags);
            }
        }
        return y + kRow;
    }

    void PaintChart(const ProtocolRow& row, const QRectF& r)
    {
        const auto& rec = row.record;
        const double ms = static_cast<double>(rec.TimeMultiplier) * rec.SampleInterval;
        const double lux = static_cast<double>(rec.LuxFactor) * rec.RangeDecade;
        series_->ClearPoints();
        for (int i = 0; i < row.metrics.stretchSamples; ++i)
            series_->AddPoint(i * ms, rec.Samples[static_cast<std::size_t>(i)] * lux);
        DrawChart(chart_, r);
    }

    // A chart of the engine in `r`, drawn as vector graphics.
    void DrawChart(chart::TChart& chart, const QRectF& r)
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

    // The IEEE 1789 chart of every point, numbered as in the table, and the
    // counts per class and per verdict. Returns the y below it.
    double PaintSummary()
    {
        const double w = pages_.width - 2 * kMargin;
        Text(QRectF(kMargin, kMargin, w, 24), QStringLiteral("Сводка по точкам протокола"), PixelFont(16, true),
             Qt::AlignLeft | Qt::AlignTop);
        const QRectF area(kMargin, kMargin + 30, std::min(640.0, w * 0.62), kSummaryChart);
        ieee_.Show(p_.rows, -1);
        DrawChart(ieeeChart_, area);

        int classes[3] = {0, 0, 0};
        int withoutFrequency = 0;
        int offChart = 0;
        int verdicts[3] = {0, 0, 0};
        for (const ProtocolRow& row : p_.rows) {
            ++verdicts[static_cast<int>(row.verdict)];
            if (!row.Usable())
                continue;
            ++classes[static_cast<int>(row.metrics.ieee)];
            if (!row.metrics.frequency)
                ++withoutFrequency;
            else if (*row.metrics.frequency > 3000 || *row.metrics.frequency < 1 || row.metrics.percentFlicker < 0.1)
                ++offChart;
        }
        using analysis::Ieee1789Class;
        QStringList lines;
        lines << QStringLiteral("Всего точек: %1").arg(p_.rows.size()) << QString();
        lines << QStringLiteral("Класс по IEEE 1789:");
        for (Ieee1789Class c : {Ieee1789Class::NoEffect, Ieee1789Class::LowRisk, Ieee1789Class::Risk})
            lines << QStringLiteral("    %1 — %2")
                         .arg(QString::fromUtf8(analysis::Ieee1789Text(c)))
                         .arg(classes[static_cast<int>(c)]);
        if (withoutFrequency > 0)
            lines << QStringLiteral("    из них без преобладающей частоты (нет на графике) — %1").arg(withoutFrequency);
        if (offChart > 0)
            lines << QStringLiteral("    вне поля графика — %1").arg(offChart);
        lines << QString() << QStringLiteral("Вывод по Кп:");
        for (Verdict v : {Verdict::Complies, Verdict::Fails})
            lines << QStringLiteral("    %1 — %2")
                         .arg(QString::fromUtf8(VerdictText(v)))
                         .arg(verdicts[static_cast<int>(v)]);
        lines << QStringLiteral("    без результата — %1").arg(verdicts[static_cast<int>(Verdict::Unusable)]);
        const double x = area.right() + 24;
        Text(QRectF(x, area.top() + 10, kMargin + w - x, area.height() - 10), lines.join(QLatin1Char('\n')),
             PixelFont(12), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap);
        return area.bottom();
    }

    void PaintClosing(double y)
    {
        const double w = pages_.width - 2 * kMargin;
        const QFont font = PixelFont(11);
        QStringList notes;
        notes << QStringLiteral("Кп — коэффициент пульсации освещённости; норма — %1 %, для точки с пометкой "
                                "«Кп<=N» в комментарии — N %. Вывод — Кп против нормы; класс IEEE 1789 дан отдельно.")
                     .arg(Q(LimitText(p_.defaultLimit, p_.nf)));
        notes << QStringLiteral("PF — глубина модуляции; F — частота сильнейшей составляющей; FI — индекс мерцания; "
                                "SVM — мера стробоскопической видимости (CIE TN 006:2016), предел ЕС 0,4; "
                                "IEEE 1789 — риск по IEEE 1789-2015.");
        if (!svmLimits_.empty()) {
            QStringList hz;
            for (int v : svmLimits_)
                hz << QString::number(v);
            notes << QStringLiteral("* SVM учитывает составляющие только до %1 Гц (половина частоты выборок), "
                                    "а не до 2000 Гц.")
                         .arg(hz.join(QStringLiteral(", ")));
        }
        for (const QString& note : notes) {
            const QRectF bound = QFontMetricsF(font).boundingRect(QRectF(kMargin, y, w, 100), Qt::TextWordWrap, note);
            Text(QRectF(kMargin, y, w, bound.height() + 2), note, font, Qt::AlignLeft | Qt::TextWordWrap);
            y += bound.height() + 4;
        }
        y += 22;
        const QFont label = PixelFont(12, true);
        const QFont small = PixelFont(9);
        for (const char* who : {"Измерения провёл:", "Протокол проверил:"}) {
            Text(QRectF(kMargin, y, 150, 20), QString::fromUtf8(who), label, Qt::AlignLeft | Qt::AlignBottom);
            const std::pair<double, const char*> lines[] = {
                {330, "(должность, фамилия и инициалы)"}, {160, "(подпись)"}, {140, "(дата)"}};
            double x = kMargin + 160;
            for (const auto& [length, caption] : lines) {
                painter_.setPen(QPen(Qt::black, 0.8));
                painter_.drawLine(QPointF(x, y + 20), QPointF(x + length, y + 20));
                Text(QRectF(x, y + 21, length, 12), QString::fromUtf8(caption), small, Qt::AlignHCenter | Qt::AlignTop);
                x += length + 24;
            }
            y += 46;
        }
    }

    void PaintFooter(int page)
    {
        const double y = pages_.height - kMargin - kFooter + 8;
        const double w = pages_.width - 2 * kMargin;
        const QFont font = PixelFont(10);
        painter_.setPen(QPen(Qt::gray, 0.6));
        painter_.drawLine(QPointF(kMargin, y), QPointF(kMargin + w, y));
        QString left = QStringLiteral("Протокол измерений");
        if (!p_.header.object.empty())
            left += QStringLiteral(" — ") + Q(p_.header.object);
        Text(QRectF(kMargin, y + 2, w * 0.7, 16), Elided(left, font, w * 0.7), font, Qt::AlignLeft | Qt::AlignTop,
             Qt::darkGray);
        Text(QRectF(kMargin, y + 2, w, 16), QStringLiteral("Страница %1 из %2").arg(page + 1).arg(pages_.Count()), font,
             Qt::AlignRight | Qt::AlignTop);
    }

    QPainter& painter_;
    const PaperProtocol& p_;
    const Pages& pages_;
    chart::TChart chart_;
    chart::TFastLineSeries* series_ = nullptr;
    chart::TChart ieeeChart_;
    Ieee1789Chart ieee_{ieeeChart_};
    chart::qt::QtCanvas canvas_;
    std::vector<std::pair<double, double>> columns_;
    std::set<int> svmLimits_;
};

double Scale(const QPaintDevice& device)
{
    return device.logicalDpiX() / 96.0;
}

Pages PagesFor(const QPaintDevice& device, const PaperProtocol& p)
{
    const double s = Scale(device);
    return Paginate(device.width() / s, device.height() / s, static_cast<int>(p.rows.size()));
}

}  // namespace

int ProtocolPageCount(const PaperProtocol& protocol)
{
    // The page of an A4 landscape sheet without margins.
    const QSizeF mm = QPageSize(QPageSize::A4).size(QPageSize::Millimeter);
    return Paginate(mm.height() / 25.4 * 96, mm.width() / 25.4 * 96, static_cast<int>(protocol.rows.size())).Count();
}

bool PaintProtocol(QPagedPaintDevice& device, const PaperProtocol& protocol)
{
    const Pages pages = PagesFor(device, protocol);
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    const double s = Scale(device);
    painter.scale(s, s);
    ProtocolPainter paint(painter, protocol, pages);
    for (int page = 0; page < pages.Count(); ++page) {
        if (page > 0)
            device.newPage();
        paint.PaintPage(page);
    }
    return painter.end();
}

std::optional<std::string> WriteProtocolPdf(const std::string& path, const PaperProtocol& protocol)
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
        writer.setTitle(QStringLiteral("Протокол измерений"));
        writer.setCreator(QStringLiteral("СОВИКАН ТР07: протокол измерений"));
        painted = painted && PaintProtocol(writer, protocol);
        file.close();
        painted = painted && file.error() == QFileDevice::NoError;
    }
    if (!painted)
        return failed;
    if (const int error = temporary.Commit())
        return failed + ": " + files::SystemErrorText(error);
    return std::nullopt;
}

std::optional<std::string> WriteProtocolPdfStandalone(const std::string& path, const ProtocolHeader& header,
                                                      const std::vector<ProtocolRow>& rows, double defaultLimit,
                                                      const analysis::NumberFormat& nf)
{
    static int argc = 1;
    static char name[] = "svktool";
    static char* argv[] = {name, nullptr};
    std::unique_ptr<QGuiApplication> app;
    if (!QCoreApplication::instance()) {
        // No display is needed: on Linux a terminal may have none. Windows always
        // has its platform, and only it gives the system's fonts to the PDF
        // (the offscreen platform there finds none and draws boxes).
#ifndef _WIN32
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
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
    return WriteProtocolPdf(path, PaperProtocol{header, rows, defaultLimit, nf});
}

}  // namespace protocol
