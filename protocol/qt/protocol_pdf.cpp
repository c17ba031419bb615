#include "protocol/qt/protocol_pdf.h"

#include <QGuiApplication>
#include <QPagedPaintDevice>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <memory>
#include <set>

#include "chart/chart.h"
#include "chart/series.h"
#include "protocol/core/pagination.h"
#include "protocol/core/point_charts.h"
#include "protocol/qt/paper.h"
#include "shell/qt_string.h"

namespace protocol {

namespace {

using namespace paper;

// Lengths are in units of 1/96 inch, the unit the chart engine draws in.
constexpr double kHeaderBlock = 220;
constexpr double kRow = 62;
constexpr double kSummaryChart = 420;

// The columns on paper: the table's without the verdicts per quantity (a
// value failing its norm is printed red instead), E and Kп with their
// uncertainties, SVM's band in the notes, the digests in the appendix; then
// the waveform, which takes the width that is left.
struct PaperColumn {
    Column column;
    const char* title;  // nullptr: the table's
    double width;       // in 1/96 inch
};
constexpr PaperColumn kPaperColumns[] = {
    {Column::Number, nullptr, 24},
    {Column::File, nullptr, 84},
    {Column::Room, nullptr, 86},
    {Column::Place, nullptr, 104},
    {Column::Illuminance, "E ± U, лк", 74},
    {Column::IlluminanceNorm, nullptr, 46},
    {Column::Pulsation, "Кп ± U, %", 64},
    {Column::Limit, nullptr, 44},
    {Column::Verdict, nullptr, 100},
    {Column::Frequency, nullptr, 44},
    {Column::PercentFlicker, nullptr, 38},
    {Column::FlickerIndex, nullptr, 36},
    {Column::Svm, nullptr, 42},
    {Column::Ieee1789, nullptr, 70},
};
constexpr int kPaperColumnCount = static_cast<int>(std::size(kPaperColumns));
constexpr const char* kWaveformTitle = "Осциллограмма, лк / мс";
constexpr int kWaveformColumn = kPaperColumnCount;

Qt::Alignment Alignment(Column c)
{
    return c == Column::Number ? Qt::AlignCenter : Info(c).numeric ? Qt::AlignRight : Qt::AlignLeft;
}

struct Pages : ProtocolPages {
    double width = 0;
    double height = 0;
};

Pages Paginate(double width, double height, int rowCount, int roomCount)
{
    const ProtocolPageMeasures measures{height - kMargin - kFooter,
                                        {kMargin + kHeaderBlock + kHeadRow, kMargin + kHeadRow, kRow},
                                        {kMargin + kPageTitle + kHeadRow, kMargin + kHeadRow, kListRow},
                                        {kMargin + kPageTitle + kListRow, kMargin + kListRow, kDigestRow}};
    return {PaginateProtocol(measures, rowCount, roomCount), width, height};
}

class ProtocolPainter : Sheet {
public:
    ProtocolPainter(QPainter& painter, const PaperProtocol& p, const std::vector<RoomRow>& rooms, const Pages& pages)
        : Sheet(painter, pages.width, pages.height), p_(p), rooms_(rooms), pages_(pages)
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
        for (const PaperColumn& c : kPaperColumns) {
            columns_.emplace_back(x, c.width);
            x += c.width;
        }
        columns_.emplace_back(x, std::max(60.0, pages.width - kMargin - x));
        for (const auto& row : p.rows)
            if (row.Usable() && row.metrics.svm && row.metrics.SvmLimitedByNyquist())
                svmLimits_.insert(static_cast<int>(std::lround(row.metrics.svmUpperHz)));
    }

    void PaintPage(int page)
    {
        double y = kMargin;
        const int tables = static_cast<int>(pages_.rows.size());
        if (page == 0)
            y = PaintHeader();
        if (page < tables) {
            y = PaintTableHead(y);
            const auto [first, end] = pages_.rows[static_cast<std::size_t>(page)];
            for (int r = first; r < end; ++r)
                y = PaintRow(p_.rows[static_cast<std::size_t>(r)], y);
        } else if (page < pages_.Summary()) {
            PaintRooms(page - tables);
        } else if (page == pages_.Summary()) {
            PaintClosing(PaintSummary() + 14);
        } else {
            PaintDigests(page - pages_.Summary() - 1);
        }
        PaintFooter(page);
    }

private:
    double PaintHeader()
    {
        const double w = pages_.width - 2 * kMargin;
        Text(QRectF(kMargin, kMargin, w, 24), QStringLiteral("ПРОТОКОЛ ИЗМЕРЕНИЙ"), PixelFont(19, true),
             Qt::AlignHCenter | Qt::AlignTop);
        Text(QRectF(kMargin, kMargin + 24, w, 20), QStringLiteral("освещённости и коэффициента пульсации освещённости"),
             PixelFont(14), Qt::AlignHCenter | Qt::AlignTop);
        const double y = HeaderFields(kMargin + 56, p_.header, p_.judging, p_.nf);
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
            const PaperColumn& pc = kPaperColumns[std::min(c, kPaperColumnCount - 1)];
            const char* title = c == kWaveformColumn ? kWaveformTitle : pc.title ? pc.title : Info(pc.column).title;
            Text(r.adjusted(2, 1, -2, -1), QString::fromUtf8(title), font, Qt::AlignCenter | Qt::TextWordWrap);
        }
        return y + kHeadRow;
    }

    double PaintRow(const ProtocolRow& row, double y)
    {
        const QFont font = PixelFont(11);
        RowCells cells = CellsOf(row, p_.nf);
        if (row.Usable() && row.metrics.svm && row.metrics.SvmLimitedByNyquist())
            cells[Column::Svm] += "*";
        if (row.illuminanceUncertainty)
            cells[Column::Illuminance] += " ± " + cells[Column::IlluminanceUncertainty];
        if (row.pulsationUncertainty)
            cells[Column::Pulsation] += " ± " + cells[Column::PulsationUncertainty];
        painter_.setPen(QPen(Qt::black, 0.8));
        const QRectF waveform = Cell(kWaveformColumn, y, kRow);
        painter_.drawRect(waveform);
        if (row.Usable())
            PaintChart(row, waveform.adjusted(1, 1, -1, -1));
        const QColor red(170, 0, 0);
        for (int i = 0; i < kPaperColumnCount; ++i) {
            const Column c = kPaperColumns[i].column;
            const QRectF r = Cell(i, y, kRow);
            painter_.setPen(QPen(Qt::black, 0.8));
            painter_.drawRect(r);
            const QRectF inner = r.adjusted(3, 2, -3, -2);
            const int flags = static_cast<int>(Alignment(c)) | Qt::AlignVCenter;
            const QString text = shell::FromUtf8(cells[c]);
            const bool failed = (c == Column::Illuminance && row.illuminanceVerdict == Verdict::Fails) ||
                                (c == Column::Pulsation && row.pulsationVerdict == Verdict::Fails);
            if (c == Column::Verdict) {
                const bool fails = row.verdict == Verdict::Fails;
                Wrapped(inner, text, row.Usable() ? PixelFont(11, fails) : PixelFont(10, false, true), flags,
                        fails          ? red
                        : row.Usable() ? Qt::black
                                       : Qt::darkGray);
            } else if (c == Column::Place || c == Column::Room || c == Column::File || c == Column::Ieee1789) {
                Wrapped(inner, text, font, flags);
            } else if (failed) {
                Text(inner, Elided(text, PixelFont(11, true), inner.width()), PixelFont(11, true), flags, red);
            } else {
                Text(inner, Elided(text, font, inner.width()), font, flags);
            }
        }
        return y + kRow;
    }

    void PaintRooms(int page)
    {
        double y = page == 0 ? PageTitle(QStringLiteral("Помещения")) : kMargin;
        const auto columns = ColumnsOf({260, 60, 90, 90, 90, 80, 80, 110});
        QStringList titles;
        for (int c = 0; c < kRoomColumnCount; ++c)
            titles << QString::fromUtf8(RoomColumnTitle(static_cast<RoomColumn>(c)));
        const std::vector<bool> right{false, true, true, true, true, true, true, true};
        ListRow(y, kHeadRow, columns, titles, PixelFont(11, true), right, true);
        y += kHeadRow;
        const auto [first, end] = pages_.rooms[static_cast<std::size_t>(page)];
        for (int r = first; r < end; ++r) {
            QStringList cells;
            for (const std::string& cell : RoomCells(rooms_[static_cast<std::size_t>(r)], p_.nf))
                cells << shell::FromUtf8(cell);
            ListRow(y, kListRow, columns, cells, PixelFont(11), right, false);
            y += kListRow;
        }
    }

    void PaintDigests(int page)
    {
        double y = page == 0 ? PageTitle(QStringLiteral("Приложение. Контрольные суммы файлов")) : kMargin;
        DigestHead(y);
        y += kListRow;
        const auto [first, end] = pages_.digests[static_cast<std::size_t>(page)];
        for (int r = first; r < end; ++r) {
            DigestRow(y, p_.rows[static_cast<std::size_t>(r)]);
            y += kDigestRow;
        }
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
        int verdicts[4] = {0, 0, 0, 0};
        int failsOnE = 0;
        int failsOnKp = 0;
        for (const ProtocolRow& row : p_.rows) {
            ++verdicts[static_cast<int>(row.verdict)];
            failsOnE += row.illuminanceVerdict == Verdict::Fails ? 1 : 0;
            failsOnKp += row.pulsationVerdict == Verdict::Fails ? 1 : 0;
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
        lines << QString() << QStringLiteral("Вывод:");
        for (Verdict v : {Verdict::Complies, Verdict::Fails})
            lines << QStringLiteral("    %1 — %2")
                         .arg(QString::fromUtf8(VerdictText(v)))
                         .arg(verdicts[static_cast<int>(v)]);
        lines << QStringLiteral("    из них не соответствуют по E — %1, по Кп — %2").arg(failsOnE).arg(failsOnKp);
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
        const Judging& j = p_.judging;
        notes << QStringLiteral("Кп — коэффициент пульсации освещённости; норма — %1 %, для точки с пометкой "
                                "«Кп<=N» в комментарии — N %. E — освещённость; норма — %2, для точки с пометкой "
                                "«Е>=N» в комментарии — N лк.")
                     .arg(shell::FromUtf8(LimitText(j.limit, p_.nf)),
                          j.illuminanceNorm
                              ? shell::FromUtf8(LimitText(*j.illuminanceNorm, p_.nf)) + QStringLiteral(" лк")
                              : QStringLiteral("не задана (E без пометки не оценивается)"));
        notes << QStringLiteral("Вывод — простое сравнение измеренного значения с нормой, без учёта неопределённости: "
                                "«соответствует», когда все оцениваемые величины соответствуют норме. Значение, "
                                "не соответствующее норме, выделено красным. Класс IEEE 1789 дан отдельно.");
        notes << QStringLiteral("U — расширенная неопределённость: U = 2·δ·x / (100·√3), где x — E или Кп, δ — предел "
                                "допускаемой относительной погрешности средства измерений (E: %1; Кп: %2), "
                                "распределённый равномерно; коэффициент охвата 2.")
                     .arg(shell::FromUtf8(ErrorText(j.illuminanceError, p_.nf)),
                          shell::FromUtf8(ErrorText(j.pulsationError, p_.nf)));
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
        QString left = QStringLiteral("Протокол измерений");
        if (!p_.header.object.empty())
            left += QStringLiteral(" — ") + shell::FromUtf8(p_.header.object);
        Footer(page, pages_.Count(), left);
    }

    const PaperProtocol& p_;
    const std::vector<RoomRow>& rooms_;
    const Pages& pages_;
    chart::TChart chart_;
    chart::TFastLineSeries* series_ = nullptr;
    chart::TChart ieeeChart_;
    Ieee1789Chart ieee_{ieeeChart_};
    std::vector<std::pair<double, double>> columns_;
    std::set<int> svmLimits_;
};

Pages PagesFor(const QPaintDevice& device, const PaperProtocol& p, int roomCount)
{
    const double s = Scale(device);
    return Paginate(device.width() / s, device.height() / s, static_cast<int>(p.rows.size()), roomCount);
}

}  // namespace

int ProtocolPageCount(const PaperProtocol& protocol)
{
    return Paginate(A4LandscapeWidth(), A4LandscapeHeight(), static_cast<int>(protocol.rows.size()),
                    static_cast<int>(RoomsOf(protocol.rows).size()))
        .Count();
}

bool PaintProtocol(QPagedPaintDevice& device, const PaperProtocol& protocol)
{
    const std::vector<RoomRow> rooms = RoomsOf(protocol.rows);
    const Pages pages = PagesFor(device, protocol, static_cast<int>(rooms.size()));
    return PaintPages(device, pages.Count(),
                      [&](QPainter& painter) { return ProtocolPainter(painter, protocol, rooms, pages); });
}

std::optional<std::string> WriteProtocolPdf(const std::string& path, const PaperProtocol& protocol)
{
    return paper::WritePdfWhole(path, QStringLiteral("Протокол измерений"),
                                QStringLiteral("СОВИКАН ТР07: протокол измерений"),
                                [&](QPagedPaintDevice& device) { return PaintProtocol(device, protocol); });
}

std::optional<std::string> WriteProtocolPdfStandalone(const std::string& path, const ProtocolHeader& header,
                                                      const std::vector<ProtocolRow>& rows, const Judging& judging,
                                                      const analysis::NumberFormat& nf)
{
    const auto app = paper::StandaloneApplication(nf);
    return WriteProtocolPdf(path, PaperProtocol{header, rows, judging, nf});
}

}  // namespace protocol
