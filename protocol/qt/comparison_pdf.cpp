#include "protocol/qt/comparison_pdf.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPagedPaintDevice>
#include <QPainter>

#include <algorithm>

#include "chart/chart.h"
#include "files/cp1251.h"
#include "protocol/core/pagination.h"
#include "protocol/core/point_charts.h"
#include "protocol/qt/paper.h"
#include "shell/qt_string.h"

namespace protocol {

namespace {

using namespace paper;

constexpr double kHeaderBlock = 256;  // the title, the "после" header, the folders
constexpr double kRow = 30;           // a row of the comparison table: two lines
constexpr double kSummaryChart = 420;
constexpr double kSection = 26;  // the title of a folder's part of the appendix

// The comparison table on paper: the row's number (the arrow's on the chart),
// then the columns of the table; "Изменение" takes the width that is left.
constexpr double kColumnWidths[] = {28, 118, 150, 62, 62, 56, 58, 58, 58, 128, 128};
constexpr int kPaperColumnCount = kCompareColumnCount + 1;
static_assert(std::size(kColumnWidths) == kPaperColumnCount - 1);

struct Pages : ComparisonPages {
    double width = 0;
    double height = 0;
};

Pages Paginate(double width, double height, const Comparison& c, int roomCount)
{
    // The appendix: a survey's title, the head, a line per file, a little space after the survey.
    const ComparisonPageMeasures measures{height - kMargin - kFooter,
                                          {kMargin + kHeaderBlock + kHeadRow, kMargin + kHeadRow, kRow},
                                          {kMargin + kPageTitle + kHeadRow, kMargin + kHeadRow, kListRow},
                                          {kMargin + kPageTitle, kMargin, kSection, kListRow, kDigestRow, 8}};
    return {PaginateComparison(measures, static_cast<int>(c.points.size()), static_cast<int>(c.before.size()),
                               static_cast<int>(c.after.size()), roomCount),
            width, height};
}

const QColor kRed(170, 0, 0);
const QColor kGreen(0, 110, 0);

class ComparisonPainter : Sheet {
public:
    ComparisonPainter(QPainter& painter, const PaperComparison& c, const std::vector<ComparedRoom>& rooms,
                      const Pages& pages)
        : Sheet(painter, pages.width, pages.height), c_(c), rooms_(rooms), pages_(pages)
    {
        SetUpPointChart(chart_);
        chart_.SetBufferedDisplay(false);
        double x = kMargin;
        for (double w : kColumnWidths) {
            columns_.emplace_back(x, w);
            x += w;
        }
        columns_.emplace_back(x, std::max(100.0, pages.width - kMargin - x));
    }

    void PaintPage(int page)
    {
        if (page < pages_.Summary()) {
            double y = page == 0 ? PaintHeader() : kMargin;
            y = PaintTableHead(y);
            const auto [first, end] = pages_.rows[static_cast<std::size_t>(page)];
            for (int r = first; r < end; ++r)
                y = PaintRow(r, y);
        } else if (page == pages_.Summary()) {
            PaintNotes(PaintSummary() + 14);
        } else if (page < pages_.Digests()) {
            PaintRooms(page - pages_.Rooms());
        } else {
            PaintDigests(page - pages_.Digests());
        }
        QString left = QStringLiteral("Сравнение обследований");
        if (!c_.header.object.empty())
            left += QStringLiteral(" — ") + shell::FromUtf8(c_.header.object);
        Footer(page, pages_.Count(), left);
    }

private:
    double PaintHeader()
    {
        const double w = Width() - 2 * kMargin;
        Text(QRectF(kMargin, kMargin, w, 24), QStringLiteral("Сравнение обследований"), PixelFont(19, true),
             Qt::AlignHCenter | Qt::AlignTop);
        Text(QRectF(kMargin, kMargin + 24, w, 20),
             QStringLiteral("освещённости и коэффициента пульсации освещённости: «до» и «после»"), PixelFont(14),
             Qt::AlignHCenter | Qt::AlignTop);
        double y = HeaderFields(kMargin + 56, c_.header, c_.judging, c_.nf);
        const QFont label = PixelFont(12, true);
        const QFont value = PixelFont(12);
        const double labelWidth = 170;
        for (const auto& [title, folder] :
             {std::pair{"Обследование «до»:", &c_.beforeFolder}, std::pair{"Обследование «после»:", &c_.afterFolder}}) {
            Text(QRectF(kMargin, y, labelWidth, 18), QString::fromUtf8(title), label, Qt::AlignLeft | Qt::AlignBottom);
            const double vw = w - labelWidth;
            Text(QRectF(kMargin + labelWidth, y, vw, 18),
                 QFontMetricsF(value).elidedText(shell::FromUtf8(*folder), Qt::ElideMiddle, vw), value,
                 Qt::AlignLeft | Qt::AlignBottom);
            y += 21;
        }
        const Comparison& c = c_.comparison;
        Text(QRectF(kMargin, y + 4, w, 18),
             QStringLiteral("Точек «до» — %1, «после» — %2; строк сравнения — %3. Шапка — протокола «после».")
                 .arg(c.before.size())
                 .arg(c.after.size())
                 .arg(c.points.size()),
             value, Qt::AlignLeft | Qt::AlignVCenter);
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
        for (int c = 0; c < kPaperColumnCount; ++c) {
            const QRectF r = Cell(c, y, kHeadRow);
            painter_.fillRect(r, QColor(232, 232, 232));
            painter_.setPen(QPen(Qt::black, 0.8));
            painter_.drawRect(r);
            const QString title =
                c == 0 ? QStringLiteral("№") : QString::fromUtf8(Info(static_cast<CompareColumn>(c - 1)).title);
            Text(r.adjusted(2, 1, -2, -1), title, font, Qt::AlignCenter | Qt::TextWordWrap);
        }
        return y + kHeadRow;
    }

    double PaintRow(int index, double y)
    {
        const Comparison& comparison = c_.comparison;
        const ComparedPoint& point = comparison.points[static_cast<std::size_t>(index)];
        auto cells = ComparisonCells(comparison, point, c_.nf);
        // A file that could not be read has neither room nor place: its name says which it is.
        const ProtocolRow* named = point.after >= 0 ? comparison.After(point) : comparison.Before(point);
        const bool unread = !named->readable;
        if (unread)
            cells[static_cast<std::size_t>(CompareColumn::Place)] = files::DisplayText(named->fileName);
        const QFont font = PixelFont(11);
        for (int i = 0; i < kPaperColumnCount; ++i) {
            const QRectF r = Cell(i, y, kRow);
            painter_.setPen(QPen(Qt::black, 0.8));
            painter_.drawRect(r);
            const QRectF inner = r.adjusted(3, 1, -3, -1);
            if (i == 0) {
                Text(inner, QString::number(index + 1), font, Qt::AlignCenter);
                continue;
            }
            const auto column = static_cast<CompareColumn>(i - 1);
            const QString text = shell::FromUtf8(cells[static_cast<std::size_t>(i - 1)]);
            const int flags = (Info(column).numeric ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
            if (column == CompareColumn::VerdictBefore || column == CompareColumn::VerdictAfter) {
                const ProtocolRow* row =
                    column == CompareColumn::VerdictBefore ? comparison.Before(point) : comparison.After(point);
                const bool fails = row && row->verdict == Verdict::Fails;
                const bool unusable = row && row->verdict == Verdict::Unusable;
                Wrapped(inner, text, unusable ? PixelFont(10, false, true) : PixelFont(11, fails), flags,
                        fails      ? kRed
                        : unusable ? Qt::darkGray
                                   : Qt::black);
            } else if (column == CompareColumn::Change) {
                const bool worse = point.change == Change::NoLongerComplies;
                const bool better = point.change == Change::NowComplies;
                Wrapped(inner, text, PixelFont(11, worse || better), flags, worse ? kRed : better ? kGreen : Qt::black);
            } else if (column == CompareColumn::Place && unread) {
                Wrapped(inner, text, PixelFont(10, false, true), flags, Qt::darkGray);
            } else if (column == CompareColumn::Room || column == CompareColumn::Place) {
                Wrapped(inner, text, font, flags);
            } else {
                Text(inner, Elided(text, font, inner.width()), font, flags);
            }
        }
        return y + kRow;
    }

    // The arrows' chart and the counts of each change. Returns the y below them.
    double PaintSummary()
    {
        const double w = Width() - 2 * kMargin;
        const double top = PageTitle(QStringLiteral("Сводка сравнения"));
        const QRectF area(kMargin, top, std::min(640.0, w * 0.62), kSummaryChart);
        arrows_.Show(c_.comparison);
        DrawChart(chart_, area);

        const Comparison& c = c_.comparison;
        const auto counts = c.Counts();
        QStringList lines;
        lines << QStringLiteral("Строк сравнения: %1").arg(c.points.size()) << QString()
              << QStringLiteral("Изменение:");
        for (Change change : {Change::NowComplies, Change::NoLongerComplies, Change::Unchanged, Change::OnlyBefore,
                              Change::OnlyAfter, Change::NotCompared}) {
            const QString text = change == Change::NotCompared
                                     ? QStringLiteral("«—» (%1)").arg(shell::FromUtf8(kNotComparedMeaning))
                                     : QString::fromUtf8(ChangeText(change));
            lines << QStringLiteral("    %1 — %2").arg(text).arg(counts[static_cast<std::size_t>(change)]);
        }
        lines << QString()
              << QStringLiteral("Стрелка на графике IEEE 1789 ведёт от положения точки «до» к её положению "
                                "«после» и подписана номером строки таблицы. Точка без преобладающей частоты в одном "
                                "из обследований на графике не показана.");
        const double x = area.right() + 24;
        Text(QRectF(x, area.top() + 10, kMargin + w - x, area.height() - 10), lines.join(QLatin1Char('\n')),
             PixelFont(12), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap);
        return area.bottom();
    }

    void PaintNotes(double y)
    {
        const double w = Width() - 2 * kMargin;
        const QFont font = PixelFont(11);
        const Judging& j = c_.judging;
        QStringList notes;
        notes << QStringLiteral(
            "Сопоставление: точка «после» сопоставлена с точкой «до» того же помещения и места («Помещение» и "
            "«Место» сравниваются без пробелов по краям, без учёта регистра букв, «ё» как «е»); место, которое "
            "повторяется в помещении, — n-е с n-м в естественном порядке имён файлов. Точка без пары — «только до» "
            "или «только после». Строки идут в порядке протокола «после», затем строки «только до» в порядке "
            "протокола «до». Файл, который не удалось прочитать, ни с чем не сопоставляется; вместо места у него — "
            "имя файла.");
        notes << QStringLiteral(
            "ΔE, % — изменение освещённости в процентах от E до: (E после − E до) / E до · 100; ΔКп, п.п. — Кп после "
            "− Кп до в процентных пунктах. Обе — по значениям, как их показывают протоколы, с одним знаком после "
            "запятой; «—» — разности нет.");
        notes << QStringLiteral("Вывод до и Вывод после — вывод каждого протокола по нормам, которые несут его точки: "
                                "пометки «Кп<=N» и «Е>=N» в комментарии файла, иначе нормы по умолчанию (Кп — %1 %, "
                                "E — %2). Для файла, который не может быть использован, — причина; разностей у "
                                "него нет.")
                     .arg(shell::FromUtf8(LimitText(j.limit, c_.nf)),
                          j.illuminanceNorm
                              ? shell::FromUtf8(LimitText(*j.illuminanceNorm, c_.nf)) + QStringLiteral(" лк")
                              : QStringLiteral("не задана"));
        notes << QStringLiteral("Изменение: «стало соответствовать» — вывод до «не соответствует», после "
                                "«соответствует»; «перестало соответствовать» — наоборот; «без изменений» — выводы "
                                "равны; «—» — один из двух файлов не может быть использован.");
        for (const QString& note : notes) {
            const QRectF bound = QFontMetricsF(font).boundingRect(QRectF(kMargin, y, w, 100), Qt::TextWordWrap, note);
            Text(QRectF(kMargin, y, w, bound.height() + 2), note, font, Qt::AlignLeft | Qt::TextWordWrap);
            y += bound.height() + 4;
        }
    }

    void PaintRooms(int page)
    {
        double y = page == 0 ? PageTitle(QStringLiteral("Помещения до и после")) : kMargin;
        const Columns columns = ColumnsOf({320, 140, 140, 140, 140});
        QStringList titles;
        for (int c = 0; c < kCompareRoomColumnCount; ++c)
            titles << QString::fromUtf8(Title(static_cast<CompareRoomColumn>(c)));
        const std::vector<bool> right{false, true, true, true, true};
        ListRow(y, kHeadRow, columns, titles, PixelFont(11, true), right, true);
        y += kHeadRow;
        const auto [first, end] = pages_.rooms[static_cast<std::size_t>(page)];
        for (int r = first; r < end; ++r) {
            QStringList cells;
            for (const std::string& cell : ComparedRoomCells(rooms_[static_cast<std::size_t>(r)], c_.nf))
                cells << shell::FromUtf8(cell);
            ListRow(y, kListRow, columns, cells, PixelFont(11), right, false);
            y += kListRow;
        }
    }

    void PaintDigests(int page)
    {
        if (page == 0)
            PageTitle(QStringLiteral("Приложение. Контрольные суммы файлов"));
        const Comparison& c = c_.comparison;
        for (const DigestLine& line : pages_.digests[static_cast<std::size_t>(page)]) {
            if (line.kind == DigestLine::Section) {
                const QString title =
                    line.after ? QStringLiteral("Обследование «после»: ") : QStringLiteral("Обследование «до»: ");
                const std::string& folder = line.after ? c_.afterFolder : c_.beforeFolder;
                Text(QRectF(kMargin, line.y + 2, Width() - 2 * kMargin, 20),
                     Elided(title + shell::FromUtf8(folder), PixelFont(12, true), Width() - 2 * kMargin),
                     PixelFont(12, true), Qt::AlignLeft | Qt::AlignVCenter);
            } else if (line.kind == DigestLine::Head) {
                DigestHead(line.y);
            } else {
                DigestRow(line.y, (line.after ? c.after : c.before)[static_cast<std::size_t>(line.row)]);
            }
        }
    }

    const PaperComparison& c_;
    const std::vector<ComparedRoom>& rooms_;
    const Pages& pages_;
    Columns columns_;
    chart::TChart chart_;
    Ieee1789ComparisonChart arrows_{chart_};
};

}  // namespace

int ComparisonPageCount(const PaperComparison& comparison)
{
    return Paginate(A4LandscapeWidth(), A4LandscapeHeight(), comparison.comparison,
                    static_cast<int>(CompareRooms(comparison.comparison).size()))
        .Count();
}

bool PaintComparison(QPagedPaintDevice& device, const PaperComparison& comparison)
{
    const std::vector<ComparedRoom> rooms = CompareRooms(comparison.comparison);
    const double s = Scale(device);
    const Pages pages =
        Paginate(device.width() / s, device.height() / s, comparison.comparison, static_cast<int>(rooms.size()));
    return PaintPages(device, pages.Count(),
                      [&](QPainter& painter) { return ComparisonPainter(painter, comparison, rooms, pages); });
}

std::optional<std::string> WriteComparisonPdf(const std::string& path, const PaperComparison& comparison)
{
    return paper::WritePdfWhole(path, QStringLiteral("Сравнение обследований"),
                                QStringLiteral("СОВИКАН ТР07: сравнение обследований"),
                                [&](QPagedPaintDevice& device) { return PaintComparison(device, comparison); });
}

std::optional<std::string> WriteComparisonPdfStandalone(const std::string& path, const PaperComparison& comparison)
{
    const auto app = paper::StandaloneApplication(comparison.nf);
    return WriteComparisonPdf(path, comparison);
}

}  // namespace protocol
