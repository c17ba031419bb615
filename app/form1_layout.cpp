// The main window's controls, made from one table of the layout: each
// control's name, parent, rectangle, help context and fixed caption. What a
// control needs beyond that (ranges, hints, items, colours of its text
// area) follows where it is made.

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextDocument>
#include <cstring>
#include <stdexcept>
#include <type_traits>

#include "app/controls.h"
#include "app/form1.h"
#include "app/message_timer.h"
#include "chart/qt/chart_widget.h"
#include "chart/series.h"
#include "display/main_charts.h"

namespace app {

namespace {

// Layout colours (0x00BBGGRR). The groups differ only in the green channel.
constexpr unsigned kWindowColor = 15109942;
constexpr unsigned kPortGroupColor = 15138614;
constexpr unsigned kMeasureGroupColor = 15134518;
constexpr unsigned kResultGroupColor = 15130422;
constexpr unsigned kMemoryGroupColor = 15126326;
constexpr unsigned kFileGroupColor = 15122230;
constexpr unsigned kCommentGroupColor = 15118134;
constexpr unsigned kCorrelationColor = 15114038;

// clang-format off
constexpr ControlPlacement kLayout[] = {
    // name           parent        left  top  width height help caption, colour
    {"btnCOM",        "Form1",        8,    8,  89,  25, 0, "Проверка"},
    {"GroupBox3",     "Form1",        0,   -1, 185,  42, 2, "COM-порт", kPortGroupColor},
    {"sePort",        "GroupBox3",   16,   15,  57,  22, 2},
    {"btnPort",       "GroupBox3",   96,   12,  81,  25, 2, "Установить"},
    {"GroupBox5",     "Form1",        0,   48, 185, 161, 3, "ИЗМЕРЕНИЕ", kMeasureGroupColor},
    {"rgRange",       "GroupBox5",    8,   16,  81, 137, 3, "ДИАПАЗОН"},
    {"GroupBox2",     "GroupBox5",   96,   16,  81,  49, 3, "ПАУЗА, с"},
    {"sePause",       "GroupBox2",    8,   15,  65,  22, 3},
    {"GroupBox1",     "GroupBox5",   96,   72,  81,  49, 3, "ВРЕМЯ Х"},
    {"seTime",        "GroupBox1",    8,   15,  65,  22, 3},
    {"btnStart",      "GroupBox5",   96,  128,  81,  25, 2, "Измерение"},
    {"GroupBox9",     "Form1",        0,  216, 185,  97, 2, "РЕЗУЛЬТАТ", kResultGroupColor},
    {"mResult",       "GroupBox9",    8,   16, 169,  73, 2},
    {"gbEEread",      "Form1",        0,  316, 185,  65, 4, "ПАМЯТЬ СОВИКАНА", kMemoryGroupColor},
    {"GroupBox6",     "gbEEread",     8,   16,  81,  41, 4, "№ ЗАПИСИ"},
    {"seRecord",      "GroupBox6",    8,   15,  57,  22, 4},
    {"btEEprev",      "gbEEread",    94,   28,  17,  25, 4},
    {"btLoad",        "gbEEread",   110,   28,  52,  25, 4, "Считать"},
    {"btEEnext",      "gbEEread",   162,   28,  17,  25, 4},
    {"gbFile",        "Form1",        0,  384, 185,  81, 4, "ФАЙЛ", kFileGroupColor},
    {"btFSave",       "gbFile",       6,   16,  83,  25, 4, "Сохранить"},
    {"btPrevFile",    "gbFile",      94,   16,  17,  25, 4},
    {"btFLoad",       "gbFile",     112,   16,  50,  25, 4, "Открыть"},
    {"btNextFile",    "gbFile",     162,   16,  17,  25, 4},
    {"btComments",    "gbFile",       8,   48, 169,  25, 4, "Просмотр комментариев"},
    {"GroupBox10",    "Form1",        0,  468, 185,  77, 4, "КОММЕНТАРИЙ К ФАЙЛУ", kCommentGroupColor},
    {"mComment",      "GroupBox10",   8,   16, 169,  52, 4},
    {"Chart1",        "Form1",      192,    0, 537, 305, 6},
    {"cbY",           "Chart1",       8,  280, 129,  21, 6},
    {"cbX",           "Chart1",     408,  280, 121,  21, 6},
    {"eY",            "Chart1",      48,  280,  89,  21, 6},
    {"eX",            "Chart1",     448,  280,  81,  21, 6},
    {"btClipBoard",   "Chart1",     312,    0, 129,  17, 4, "Копировать в буфер"},
    {"btHelp",        "Chart1",     448,    0,  83,  17, 1, "ПОМОЩЬ"},
    {"GroupBox7",     "Form1",      192,  312, 537, 233, 5, "АВТОКОРРЕЛЯЦИОННАЯ ФУНКЦИЯ", kCorrelationColor},
    {"ChartCorr",     "GroupBox7",    8,   16, 521, 185, 5},
    {"Label1",        "GroupBox7",    9,  206, 248,  13, 5, "Сгладить автокорр.функцию скользящим окном"},
    {"seSmooth",      "GroupBox7",  264,  203,  49,  22, 5},
    {"chPeriod",      "GroupBox7",  328,  206, 113,  17, 5, "Показать период"},
    {"gbCmnt",        "Form1",      192,  308, 537, 236, 4, nullptr, kCorrelationColor},
    {"mAllCmnt",      "gbCmnt",       8,    8, 521, 193, 4},
    {"eFind",         "gbCmnt",      48,  210, 129,  21, 4},
    {"btFind",        "gbCmnt",     184,  208,  81,  25, 4, "Поиск"},
    {"btOpenFind",    "gbCmnt",     272,  208,  81,  25, 4, "Открыть файл"},
    {"btPath",        "gbCmnt",     360,  208,  81,  25, 4, "Выбрать путь"},
    {"btCancel",      "gbCmnt",     448,  208,  81,  25, 4, "Отменить"},
};
// clang-format on

// Makes a control of the table: in its parent, with its caption, rectangle,
// help context and ground colour. A push button never becomes the default.
template <typename T, typename... Args>
T* Make(QWidget& window, const char* name, Args... args)
{
    const ControlPlacement* p = std::begin(kLayout);
    while (p != std::end(kLayout) && std::strcmp(p->name, name) != 0)
        ++p;
    if (p == std::end(kLayout))
        throw std::logic_error(std::string("no control ") + name + " in the layout");
    QWidget* parent = window.objectName() == QLatin1String(p->parent)
                          ? &window
                          : window.findChild<QWidget*>(QString::fromLatin1(p->parent));
    auto* w = new T(parent, args...);
    w->setObjectName(QString::fromLatin1(p->name));
    if (p->caption) {
        if constexpr (std::is_base_of_v<QGroupBox, T>)
            w->setTitle(QString::fromUtf8(p->caption));
        else if constexpr (requires { w->setText(QString()); })
            w->setText(QString::fromUtf8(p->caption));
    }
    w->setGeometry(p->left, p->top, p->width, p->height);
    SetHelpContext(w, p->helpContext);
    if (p->color != 0)
        SetWidgetColor(w, p->color);
    if constexpr (std::is_base_of_v<QPushButton, T>)
        w->setAutoDefault(false);
    return w;
}

}  // namespace

std::span<const ControlPlacement> WindowLayout()
{
    return kLayout;
}

void TForm1::BuildLayout()
{
    SetWidgetColor(this, kWindowColor);
    setFixedSize(729, 543);
    QWidget& w = *this;

    btnCOM = Make<QPushButton>(w, "btnCOM");
    btnCOM->hide();

    GroupBox3 = Make<QGroupBox>(w, "GroupBox3");
    sePort = Make<SpinEdit>(w, "sePort", 1, 99, 1);
    btnPort = Make<QPushButton>(w, "btnPort");

    GroupBox5 = Make<QGroupBox>(w, "GroupBox5");
    rgRange = Make<QGroupBox>(w, "rgRange");
    rgRange->setToolTip(QStringLiteral("ДИАПАЗОН измерения СОВИКАНА"));
    rgRangeItems = new QButtonGroup(rgRange);
    {
        const QStringList items = {
            QStringLiteral("АВТО"),     QStringLiteral("e-4  (1)"), QStringLiteral("e-3  (2)"),
            QStringLiteral("e-2  (3)"), QStringLiteral("e-1  (4)"), QStringLiteral("e0   (5)"),
            QStringLiteral("e1   (6)"), QStringLiteral("e2   (7)"), QStringLiteral("e3   (8)"),
        };
        // Items share the height below the caption evenly, as a radio group lays them out.
        const int fontHeight = 13;
        const int room = rgRange->height() - fontHeight - 5;
        const int itemHeight = room / static_cast<int>(items.size());
        const int top = fontHeight + 1 + (room % static_cast<int>(items.size())) / 2;
        for (int i = 0; i < items.size(); ++i) {
            auto* rb = new QRadioButton(items[i], rgRange);
            rb->setGeometry(8, top + i * itemHeight, rgRange->width() - 10, itemHeight);
            SetHelpContext(rb, 0);
            rgRangeItems->addButton(rb, i);
        }
        rgRangeItems->button(0)->setChecked(true);
    }
    GroupBox2 = Make<QGroupBox>(w, "GroupBox2");
    sePause = Make<SpinEdit>(w, "sePause", 0, 10, 0);
    sePause->setToolTip(QStringLiteral("ПАУЗА (секунды) перед измерением"));
    GroupBox1 = Make<QGroupBox>(w, "GroupBox1");
    seTime = Make<SpinEdit>(w, "seTime", 1, 255, 1);
    seTime->setToolTip(QStringLiteral("Коэффициент увеличения ВРЕМЕНИ ИЗМЕРЕНИЯ"));
    btnStart = Make<QPushButton>(w, "btnStart");

    GroupBox9 = Make<QGroupBox>(w, "GroupBox9");
    mResult = Make<QPlainTextEdit>(w, "mResult");
    mResult->setReadOnly(true);
    mResult->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    mResult->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    mResult->document()->setDocumentMargin(1);
    {
        QPalette pal = mResult->palette();
        pal.setColor(QPalette::Base, pal.color(QPalette::Button));
        mResult->setPalette(pal);
    }

    gbEEread = Make<QGroupBox>(w, "gbEEread");
    GroupBox6 = Make<QGroupBox>(w, "GroupBox6");
    seRecord = Make<SpinEdit>(w, "seRecord", 0, 39, 0);
    btEEprev = Make<SpeedButton>(w, "btEEprev", false);
    btEEprev->setToolTip(QStringLiteral("Считывание ПРЕДЫДУЩЕЙ записи из памяти совикана"));
    btEEprev->hide();
    btLoad = Make<QPushButton>(w, "btLoad");
    btLoad->setToolTip(QStringLiteral("Считывание ЗАПИСИ с указанным номером из памяти СОВИКАНА"));
    btEEnext = Make<SpeedButton>(w, "btEEnext", true);
    btEEnext->setToolTip(QStringLiteral("Считывание СЛЕДУЮЩЕЙ записи из памяти совикана"));
    btEEnext->hide();

    gbFile = Make<QGroupBox>(w, "gbFile");
    btFSave = Make<QPushButton>(w, "btFSave");
    btPrevFile = Make<SpeedButton>(w, "btPrevFile", false);
    btPrevFile->setToolTip(QStringLiteral("Считывание ПРЕДЫДУЩЕГО файла из того же пути"));
    btPrevFile->hide();
    btFLoad = Make<QPushButton>(w, "btFLoad");
    btFLoad->setToolTip(QStringLiteral("Считывание файла данных, выбранный путь используется соседними кнопками"));
    btNextFile = Make<SpeedButton>(w, "btNextFile", true);
    btNextFile->setToolTip(QStringLiteral("Считывание СЛЕДУЮЩЕГО файла из того же пути"));
    btNextFile->hide();
    btComments = Make<QPushButton>(w, "btComments");
    btComments->setToolTip(QStringLiteral("Все комментарии файлов открытого пути выводятся в одно окно"));

    GroupBox10 = Make<QGroupBox>(w, "GroupBox10");
    mComment = Make<QPlainTextEdit>(w, "mComment");
    mComment->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mComment->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    mComment->document()->setDocumentMargin(1);

    Chart1 = Make<chart::qt::ChartWidget>(w, "Chart1");
    Series1 = &Chart1->Chart().AddSeries(std::make_unique<chart::TFastLineSeries>());
    display::ConfigureMeasurementChart(Chart1->Chart(), *Series1);
    cbY = Make<QComboBox>(w, "cbY");
    cbY->addItems({QStringLiteral("Ось Y: ЛЮКСЫ"), QStringLiteral("Ось Y: единицы АЦП")});
    cbX = Make<QComboBox>(w, "cbX");
    cbX->addItems({QStringLiteral("Ось Х: ВРЕМЯ, мс"), QStringLiteral("Ось Х: ВЫБОРКИ")});
    eY = Make<QLineEdit>(w, "eY");
    eY->setEnabled(false);
    eY->hide();
    eX = Make<QLineEdit>(w, "eX");
    eX->setEnabled(false);
    eX->hide();
    btClipBoard = Make<QPushButton>(w, "btClipBoard");
    btHelp = Make<QPushButton>(w, "btHelp");

    GroupBox7 = Make<QGroupBox>(w, "GroupBox7");
    ChartCorr = Make<chart::qt::ChartWidget>(w, "ChartCorr");
    SeriesCorr = &ChartCorr->Chart().AddSeries(std::make_unique<chart::TFastLineSeries>());
    SeriesPeriod = &ChartCorr->Chart().AddSeries(std::make_unique<chart::TFastLineSeries>());
    display::ConfigureCorrelationChart(ChartCorr->Chart(), *SeriesCorr, *SeriesPeriod);
    Label1 = Make<QLabel>(w, "Label1");
    seSmooth = Make<SpinEdit>(w, "seSmooth", 0, 100, 0);
    chPeriod = Make<QCheckBox>(w, "chPeriod");
    chPeriod->setChecked(true);

    gbCmnt = Make<QGroupBox>(w, "gbCmnt");
    mAllCmnt = Make<QPlainTextEdit>(w, "mAllCmnt");
    mAllCmnt->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    {
        QPalette pal = mAllCmnt->palette();
        pal.setColor(QPalette::Base, FromTColor(kCorrelationColor));
        mAllCmnt->setPalette(pal);
    }
    eFind = Make<QLineEdit>(w, "eFind");
    eFindLabel = new QLabel(QStringLiteral("Искать:"), gbCmnt);
    {
        // A labelled edit with its label on the left, three pixels apart.
        const int width = eFindLabel->fontMetrics().horizontalAdvance(eFindLabel->text()) + 1;
        eFindLabel->setGeometry(eFind->x() - 3 - width, eFind->y() + (eFind->height() - 13) / 2, width, 13);
        eFindLabel->setBuddy(eFind);
    }
    btFind = Make<QPushButton>(w, "btFind");
    btOpenFind = Make<QPushButton>(w, "btOpenFind");
    btPath = Make<QPushButton>(w, "btPath");
    btCancel = Make<QPushButton>(w, "btCancel");
    gbCmnt->hide();

    TimRS = new MessageTimer(300, false, this);
    TimPause = new MessageTimer(1000, false, this);
    Timer3 = new MessageTimer(1000, true, this);  // enabled, with no handler: it never runs
}

}  // namespace app
