#include "protocol/qt/protocol_pdf.h"

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
constexpr double kHeaderBlock = 220;
constexpr double kHeadRow = 34;
constexpr double kRow = 62;
constexpr double kFooter = 26;
constexpr double kSummaryChart = 420;
constexpr double kListRow = 20;    // a row of the rooms' table
constexpr double kDigestRow = 17;  // a row of the appendix
constexpr double kPageTitle = 30;

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

// Rows of a list split over pages: per page its first and end row.
using PageRows = std::vector<std::pair<int, int>>;

PageRows Split(int count, double firstTop, double top, double bottom, double row)
{
    PageRows pages;
    int at = 0;
    do {
        const double from = pages.empty() ? firstTop : top;
        const int fit = std::max(1, static_cast<int>((bottom - from) / row));
        const int end = std::min(count, at + fit);
        pages.emplace_back(at, end);
        at = end;
    } while (at < count);
    return pages;
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
    PageRows rows;     // the points' table
    PageRows rooms;    // the rooms' table; none without rooms
    PageRows digests;  // the appendix
    // The table's pages, the rooms' pages, the summary page with the notes and
    // signatures, then the appendix.
    int Summary() const { return static_cast<int>(rows.size() + rooms.size()); }
    int Count() const { return Summary() + 1 + static_cast<int>(digests.size()); }
};

Pages Paginate(double width, double height, int rowCount, int roomCount)
{
    Pages pages;
    pages.width = width;
    pages.height = height;
    const double bottom = height - kMargin - kFooter;
    pages.rows = Split(rowCount, kMargin + kHeaderBlock + kHeadRow, kMargin + kHeadRow, bottom, kRow);
    if (roomCount > 0)
        pages.rooms = Split(roomCount, kMargin + kPageTitle + kHeadRow, kMargin + kHeadRow, bottom, kListRow);
    pages.digests = Split(rowCount, kMargin + kPageTitle + kListRow, kMargin + kListRow, bottom, kDigestRow);
    return pages;
}

class ProtocolPainter {
public:
    ProtocolPainter(QPainter& painter, const PaperProtocol& p, const std::vector<RoomRow>& rooms, const Pages& pages)
        : painter_(painter), p_(p), rooms_(rooms), pages_(pages), canvas_(painter)
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

    // Text wrapped into `r`; what does not fit ends its last line with an ellipsis.
    void Wrapped(const QRectF& r, const QString& text, const QFont& font, int flags, QColor color = Qt::black)
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

    std::string ErrorText(const std::optional<double>& percent) const
    {
        return percent ? analysis::FormatFixed(*percent, 1, p_.nf) + " %" : "не задана";
    }

    // A page's title; the y below it.
    double PageTitle(const QString& title)
    {
        Text(QRectF(kMargin, kMargin, pages_.width - 2 * kMargin, 24), title, PixelFont(16, true),
             Qt::AlignLeft | Qt::AlignTop);
        return kMargin + kPageTitle;
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
            {"Организация:", h.organisation},
            {"Средство измерений:", h.instrument},
            {"Объект и адрес:", h.object},
            {"Заводской номер:", h.serialNumber},
            {"Дата измерений:", h.date},
            {"Свидетельство о поверке:", h.certificate},
            {"Условия измерений:", h.conditions},
            {"Нормативный документ:", h.normative},
            {"Методика измерений:", h.method},
            {"Норма Кп по умолчанию:", LimitText(p_.judging.limit, p_.nf) + " %"},
            {"Норма E по умолчанию:",
             p_.judging.illuminanceNorm ? LimitText(*p_.judging.illuminanceNorm, p_.nf) + " лк" : "не задана"},
            {"Погрешность E, Кп:",
             ErrorText(p_.judging.illuminanceError) + "; " + ErrorText(p_.judging.pulsationError)},
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
            const QString text = Q(cells[c]);
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

    // One row of a plain table: the cells in their columns (x, width), framed.
    void ListRow(double y, double height, const std::vector<std::pair<double, double>>& columns,
                 const QStringList& cells, const QFont& font, const std::vector<bool>& right, bool head)
    {
        for (std::size_t i = 0; i < columns.size(); ++i) {
            const QRectF r(columns[i].first, y, columns[i].second, height);
            if (head)
                painter_.fillRect(r, QColor(232, 232, 232));
            painter_.setPen(QPen(Qt::black, 0.8));
            painter_.drawRect(r);
            const QRectF inner = r.adjusted(3, 1, -3, -1);
            const int align = head ? Qt::AlignCenter | Qt::TextWordWrap : (right[i] ? Qt::AlignRight : Qt::AlignLeft);
            Text(inner, head ? cells[static_cast<int>(i)] : Elided(cells[static_cast<int>(i)], font, inner.width()),
                 font, align | Qt::AlignVCenter);
        }
    }

    static std::vector<std::pair<double, double>> Columns(std::initializer_list<double> widths)
    {
        std::vector<std::pair<double, double>> columns;
        double x = kMargin;
        for (double w : widths) {
            columns.emplace_back(x, w);
            x += w;
        }
        return columns;
    }

    void PaintRooms(int page)
    {
        double y = page == 0 ? PageTitle(QStringLiteral("Помещения")) : kMargin;
        const auto columns = Columns({260, 60, 90, 90, 90, 80, 80, 110});
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
                cells << Q(cell);
            ListRow(y, kListRow, columns, cells, PixelFont(11), right, false);
            y += kListRow;
        }
    }

    void PaintDigests(int page)
    {
        double y = page == 0 ? PageTitle(QStringLiteral("Приложение. Контрольные суммы файлов")) : kMargin;
        const auto columns = Columns({40, 400, 520});
        const std::vector<bool> right{true, false, false};
        ListRow(y, kListRow, columns, {QStringLiteral("№"), QStringLiteral("Файл"), QStringLiteral("SHA-256")},
                PixelFont(11, true), right, true);
        y += kListRow;
        const QFont mono = [] {
            QFont f = PixelFont(11);
            f.setFamily(QStringLiteral("Liberation Mono"));
            f.setStyleHint(QFont::Monospace);
            return f;
        }();
        const auto [first, end] = pages_.digests[static_cast<std::size_t>(page)];
        for (int r = first; r < end; ++r) {
            const ProtocolRow& row = p_.rows[static_cast<std::size_t>(r)];
            const QStringList cells{QString::number(row.number), Q(files::DisplayText(row.fileName)),
                                    row.digest.empty() ? QStringLiteral("файл не прочитан целиком") : Q(row.digest)};
            ListRow(y, kDigestRow, {columns[0], columns[1]}, {cells[0], cells[1]}, PixelFont(11), right, false);
            ListRow(y, kDigestRow, {columns[2]}, {cells[2]}, mono, {false}, false);
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
                     .arg(Q(LimitText(j.limit, p_.nf)),
                          j.illuminanceNorm ? Q(LimitText(*j.illuminanceNorm, p_.nf)) + QStringLiteral(" лк")
                                            : QStringLiteral("не задана (E без пометки не оценивается)"));
        notes << QStringLiteral("Вывод — простое сравнение измеренного значения с нормой, без учёта неопределённости: "
                                "«соответствует», когда все оцениваемые величины соответствуют норме. Значение, "
                                "не соответствующее норме, выделено красным. Класс IEEE 1789 дан отдельно.");
        notes << QStringLiteral("U — расширенная неопределённость: U = 2·δ·x / (100·√3), где x — E или Кп, δ — предел "
                                "допускаемой относительной погрешности средства измерений (E: %1; Кп: %2), "
                                "распределённый равномерно; коэффициент охвата 2.")
                     .arg(Q(ErrorText(j.illuminanceError)), Q(ErrorText(j.pulsationError)));
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
    const std::vector<RoomRow>& rooms_;
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

Pages PagesFor(const QPaintDevice& device, const PaperProtocol& p, int roomCount)
{
    const double s = Scale(device);
    return Paginate(device.width() / s, device.height() / s, static_cast<int>(p.rows.size()), roomCount);
}

}  // namespace

int ProtocolPageCount(const PaperProtocol& protocol)
{
    // The page of an A4 landscape sheet without margins.
    const QSizeF mm = QPageSize(QPageSize::A4).size(QPageSize::Millimeter);
    return Paginate(mm.height() / 25.4 * 96, mm.width() / 25.4 * 96, static_cast<int>(protocol.rows.size()),
                    static_cast<int>(RoomsOf(protocol.rows).size()))
        .Count();
}

bool PaintProtocol(QPagedPaintDevice& device, const PaperProtocol& protocol)
{
    const std::vector<RoomRow> rooms = RoomsOf(protocol.rows);
    const Pages pages = PagesFor(device, protocol, static_cast<int>(rooms.size()));
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    const double s = Scale(device);
    painter.scale(s, s);
    ProtocolPainter paint(painter, protocol, rooms, pages);
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
                                                      const std::vector<ProtocolRow>& rows, const Judging& judging,
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
    return WriteProtocolPdf(path, PaperProtocol{header, rows, judging, nf});
}

}  // namespace protocol
