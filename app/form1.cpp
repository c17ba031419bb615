#include "app/form1.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QComboBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QWhatsThis>
#include <utility>

#include "app/controls.h"
#include "app/qt_dispatcher.h"
#include "chart/chart.h"
#include "display/main_charts.h"
#include "chart/number_picture.h"
#include "chart/qt/chart_widget.h"
#include "chart/series.h"
#include "device/port_discovery.h"
#include "serial/va_comm.h"
#include "app/message_timer.h"
#include "app/ui_services.h"

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

// Hands chart pictures to the window's clipboard service.
class UiChartClipboard : public chart::TClipboardTarget {
public:
    explicit UiChartClipboard(UiServices& ui) : ui_(ui) {}
    void SetPicture(chart::TBitmap& picture) override
    {
        if (auto* bitmap = dynamic_cast<chart::qt::QtBitmap*>(&picture))
            ui_.SetClipboardImage(bitmap->Image());
    }

private:
    UiServices& ui_;
};

template <typename W>
W* Place(W* w, int left, int top, int width, int height, int helpContext)
{
    w->setGeometry(left, top, width, height);
    SetHelpContext(w, helpContext);
    return w;
}

QGroupBox* Group(QWidget* parent, const QString& caption, int l, int t, int w, int h, int hc, unsigned color = 0)
{
    auto* box = Place(new QGroupBox(caption, parent), l, t, w, h, hc);
    if (color != 0)
        SetWidgetColor(box, color);
    return box;
}

QPushButton* Button(QWidget* parent, const QString& caption, int l, int t, int w, int h, int hc)
{
    auto* b = Place(new QPushButton(caption, parent), l, t, w, h, hc);
    b->setAutoDefault(false);
    return b;
}

bool IsUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::ContextMenu:
        return true;
    default:
        return false;
    }
}

}  // namespace

QFont WindowFont()
{
    // "Liberation Sans" has the metrics of the classic 8-point dialog fonts
    // the layout was drawn for; other sans serif faces are a fall-back.
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    return font;
}

TForm1::TForm1(UiServices& ui, const analysis::NumberFormat& numberFormat, serial::CommDeviceFactory deviceFactory)
    : QWidget(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint),
      Dispatcher(std::make_unique<QtMainThreadDispatcher>()),
      VaComm1(std::make_unique<serial::TVaComm>(*Dispatcher, std::move(deviceFactory))),
      ui_(ui),
      numberFormat_(numberFormat),
      chartClipboard_(std::make_unique<UiChartClipboard>(ui))
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("СОВИКАН ТР07.        люксметр-пульсметр"));
    setFont(WindowFont());
    SetWidgetColor(this, kWindowColor);
    setFixedSize(729, 543);
    ConfigureSerial();
    BuildLayout();
    ConnectHandlers();
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    qApp->installEventFilter(this);
    FormCreate();
}

TForm1::~TForm1()
{
    qApp->removeEventFilter(this);
}

void TForm1::BuildLayout()
{
    btnCOM = Button(this, QStringLiteral("Проверка"), 8, 8, 89, 25, 0);
    btnCOM->hide();

    GroupBox3 = Group(this, QStringLiteral("COM-порт"), 0, -1, 185, 42, 2, kPortGroupColor);
    sePort = Place(new SpinEdit(GroupBox3, 1, 99, 1), 16, 15, 57, 22, 2);
    btnPort = Button(GroupBox3, QStringLiteral("Установить"), 96, 12, 81, 25, 2);

    GroupBox5 = Group(this, QStringLiteral("ИЗМЕРЕНИЕ"), 0, 48, 185, 161, 3, kMeasureGroupColor);
    rgRange = Group(GroupBox5, QStringLiteral("ДИАПАЗОН"), 8, 16, 81, 137, 3);
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
            auto* rb = Place(new QRadioButton(items[i], rgRange), 8, top + i * itemHeight, rgRange->width() - 10,
                             itemHeight, 0);
            rgRangeItems->addButton(rb, i);
        }
        rgRangeItems->button(0)->setChecked(true);
    }
    GroupBox2 = Group(GroupBox5, QStringLiteral("ПАУЗА, с"), 96, 16, 81, 49, 3);
    sePause = Place(new SpinEdit(GroupBox2, 0, 10, 0), 8, 15, 65, 22, 3);
    sePause->setToolTip(QStringLiteral("ПАУЗА (секунды) перед измерением"));
    GroupBox1 = Group(GroupBox5, QStringLiteral("ВРЕМЯ Х"), 96, 72, 81, 49, 3);
    seTime = Place(new SpinEdit(GroupBox1, 1, 255, 1), 8, 15, 65, 22, 3);
    seTime->setToolTip(QStringLiteral("Коэффициент увеличения ВРЕМЕНИ ИЗМЕРЕНИЯ"));
    btnStart = Button(GroupBox5, QStringLiteral("Измерение"), 96, 128, 81, 25, 2);

    GroupBox9 = Group(this, QStringLiteral("РЕЗУЛЬТАТ"), 0, 216, 185, 97, 2, kResultGroupColor);
    mResult = Place(new QPlainTextEdit(GroupBox9), 8, 16, 169, 73, 2);
    mResult->setReadOnly(true);
    mResult->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    mResult->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    mResult->document()->setDocumentMargin(1);
    {
        QPalette pal = mResult->palette();
        pal.setColor(QPalette::Base, pal.color(QPalette::Button));
        mResult->setPalette(pal);
    }

    gbEEread = Group(this, QStringLiteral("ПАМЯТЬ СОВИКАНА"), 0, 316, 185, 65, 4, kMemoryGroupColor);
    GroupBox6 = Group(gbEEread, QStringLiteral("№ ЗАПИСИ"), 8, 16, 81, 41, 4);
    seRecord = Place(new SpinEdit(GroupBox6, 0, 39, 0), 8, 15, 57, 22, 4);
    btEEprev = Place(new SpeedButton(gbEEread, false), 94, 28, 17, 25, 4);
    btEEprev->setToolTip(QStringLiteral("Считывание ПРЕДЫДУЩЕЙ записи из памяти совикана"));
    btEEprev->hide();
    btLoad = Button(gbEEread, QStringLiteral("Считать"), 110, 28, 52, 25, 4);
    btLoad->setToolTip(QStringLiteral("Считывание ЗАПИСИ с указанным номером из памяти СОВИКАНА"));
    btEEnext = Place(new SpeedButton(gbEEread, true), 162, 28, 17, 25, 4);
    btEEnext->setToolTip(QStringLiteral("Считывание СЛЕДУЮЩЕЙ записи из памяти совикана"));
    btEEnext->hide();

    gbFile = Group(this, QStringLiteral("ФАЙЛ"), 0, 384, 185, 81, 4, kFileGroupColor);
    btFSave = Button(gbFile, QStringLiteral("Сохранить"), 6, 16, 83, 25, 4);
    btPrevFile = Place(new SpeedButton(gbFile, false), 94, 16, 17, 25, 4);
    btPrevFile->setToolTip(QStringLiteral("Считывание ПРЕДЫДУЩЕГО файла из того же пути"));
    btPrevFile->hide();
    btFLoad = Button(gbFile, QStringLiteral("Открыть"), 112, 16, 50, 25, 4);
    btFLoad->setToolTip(QStringLiteral("Считывание файла данных, выбранный путь используется соседними кнопками"));
    btNextFile = Place(new SpeedButton(gbFile, true), 162, 16, 17, 25, 4);
    btNextFile->setToolTip(QStringLiteral("Считывание СЛЕДУЮЩЕГО файла из того же пути"));
    btNextFile->hide();
    btComments = Button(gbFile, QStringLiteral("Просмотр комментариев"), 8, 48, 169, 25, 4);
    btComments->setToolTip(QStringLiteral("Все комментарии файлов открытого пути выводятся в одно окно"));

    GroupBox10 = Group(this, QStringLiteral("КОММЕНТАРИЙ К ФАЙЛУ"), 0, 468, 185, 77, 4, kCommentGroupColor);
    mComment = Place(new QPlainTextEdit(GroupBox10), 8, 16, 169, 52, 4);
    mComment->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mComment->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    mComment->document()->setDocumentMargin(1);

    Chart1 = Place(new chart::qt::ChartWidget(this), 192, 0, 537, 305, 6);
    Series1 = &Chart1->Chart().AddSeries(std::make_unique<chart::TFastLineSeries>());
    display::ConfigureMeasurementChart(Chart1->Chart(), *Series1);
    cbY = Place(new QComboBox(Chart1), 8, 280, 129, 21, 6);
    cbY->addItems({QStringLiteral("Ось Y: ЛЮКСЫ"), QStringLiteral("Ось Y: единицы АЦП")});
    cbX = Place(new QComboBox(Chart1), 408, 280, 121, 21, 6);
    cbX->addItems({QStringLiteral("Ось Х: ВРЕМЯ, мс"), QStringLiteral("Ось Х: ВЫБОРКИ")});
    eY = Place(new QLineEdit(Chart1), 48, 280, 89, 21, 6);
    eY->setEnabled(false);
    eY->hide();
    eX = Place(new QLineEdit(Chart1), 448, 280, 81, 21, 6);
    eX->setEnabled(false);
    eX->hide();
    btClipBoard = Button(Chart1, QStringLiteral("Копировать в буфер"), 312, 0, 129, 17, 4);
    btHelp = Button(Chart1, QStringLiteral("ПОМОЩЬ"), 448, 0, 83, 17, 1);

    GroupBox7 = Group(this, QStringLiteral("АВТОКОРРЕЛЯЦИОННАЯ ФУНКЦИЯ"), 192, 312, 537, 233, 5, kCorrelationColor);
    ChartCorr = Place(new chart::qt::ChartWidget(GroupBox7), 8, 16, 521, 185, 5);
    SeriesCorr = &ChartCorr->Chart().AddSeries(std::make_unique<chart::TFastLineSeries>());
    SeriesPeriod = &ChartCorr->Chart().AddSeries(std::make_unique<chart::TFastLineSeries>());
    display::ConfigureCorrelationChart(ChartCorr->Chart(), *SeriesCorr, *SeriesPeriod);
    Label1 =
        Place(new QLabel(QStringLiteral("Сгладить автокорр.функцию скользящим окном"), GroupBox7), 9, 206, 248, 13, 5);
    seSmooth = Place(new SpinEdit(GroupBox7, 0, 100, 0), 264, 203, 49, 22, 5);
    chPeriod = Place(new QCheckBox(QStringLiteral("Показать период"), GroupBox7), 328, 206, 113, 17, 5);
    chPeriod->setChecked(true);

    gbCmnt = Group(this, QString(), 192, 308, 537, 236, 4, kCorrelationColor);
    mAllCmnt = Place(new QPlainTextEdit(gbCmnt), 8, 8, 521, 193, 4);
    mAllCmnt->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    {
        QPalette pal = mAllCmnt->palette();
        pal.setColor(QPalette::Base, FromTColor(kCorrelationColor));
        mAllCmnt->setPalette(pal);
    }
    eFind = Place(new QLineEdit(gbCmnt), 48, 210, 129, 21, 4);
    eFindLabel = new QLabel(QStringLiteral("Искать:"), gbCmnt);
    {
        // A labelled edit with its label on the left, three pixels apart.
        const int w = eFindLabel->fontMetrics().horizontalAdvance(eFindLabel->text()) + 1;
        eFindLabel->setGeometry(48 - 3 - w, 210 + (21 - 13) / 2, w, 13);
        eFindLabel->setBuddy(eFind);
    }
    btFind = Button(gbCmnt, QStringLiteral("Поиск"), 184, 208, 81, 25, 4);
    btOpenFind = Button(gbCmnt, QStringLiteral("Открыть файл"), 272, 208, 81, 25, 4);
    btPath = Button(gbCmnt, QStringLiteral("Выбрать путь"), 360, 208, 81, 25, 4);
    btCancel = Button(gbCmnt, QStringLiteral("Отменить"), 448, 208, 81, 25, 4);
    gbCmnt->hide();

    // Controls are found by their layout names (tests, help, diagnostics).
    const std::pair<QWidget*, const char*> named[] = {
        {btnCOM, "btnCOM"},
        {GroupBox3, "GroupBox3"},
        {sePort, "sePort"},
        {btnPort, "btnPort"},
        {GroupBox5, "GroupBox5"},
        {rgRange, "rgRange"},
        {GroupBox2, "GroupBox2"},
        {sePause, "sePause"},
        {GroupBox1, "GroupBox1"},
        {seTime, "seTime"},
        {btnStart, "btnStart"},
        {GroupBox9, "GroupBox9"},
        {mResult, "mResult"},
        {gbEEread, "gbEEread"},
        {GroupBox6, "GroupBox6"},
        {seRecord, "seRecord"},
        {btEEprev, "btEEprev"},
        {btLoad, "btLoad"},
        {btEEnext, "btEEnext"},
        {gbFile, "gbFile"},
        {btFSave, "btFSave"},
        {btPrevFile, "btPrevFile"},
        {btFLoad, "btFLoad"},
        {btNextFile, "btNextFile"},
        {btComments, "btComments"},
        {GroupBox10, "GroupBox10"},
        {mComment, "mComment"},
        {Chart1, "Chart1"},
        {cbY, "cbY"},
        {cbX, "cbX"},
        {eY, "eY"},
        {eX, "eX"},
        {btClipBoard, "btClipBoard"},
        {btHelp, "btHelp"},
        {GroupBox7, "GroupBox7"},
        {ChartCorr, "ChartCorr"},
        {Label1, "Label1"},
        {seSmooth, "seSmooth"},
        {chPeriod, "chPeriod"},
        {gbCmnt, "gbCmnt"},
        {mAllCmnt, "mAllCmnt"},
        {eFind, "eFind"},
        {btFind, "btFind"},
        {btOpenFind, "btOpenFind"},
        {btPath, "btPath"},
        {btCancel, "btCancel"},
    };
    for (const auto& [w, name] : named)
        w->setObjectName(QString::fromLatin1(name));

    TimRS = new MessageTimer(300, false, this);
    TimPause = new MessageTimer(1000, false, this);
    Timer3 = new MessageTimer(1000, true, this);  // enabled, with no handler: it never runs
}

void TForm1::ConnectHandlers()
{
    // Each handler runs to completion; an error it raises goes to the error box.
    auto on = [this](QAbstractButton* button, void (TForm1::*handler)()) {
        QObject::connect(button, &QAbstractButton::clicked, this,
                         [this, handler] { Guarded([&] { (this->*handler)(); }); });
    };
    on(btHelp, &TForm1::btHelpClick);
    on(btnPort, &TForm1::btnPortClick);
    on(btnStart, &TForm1::btnStartClick);
    on(btnCOM, &TForm1::btnCOMClick);
    on(btLoad, &TForm1::btLoadClick);
    on(btEEprev, &TForm1::btEEprevClick);
    on(btEEnext, &TForm1::btEEnextClick);
    on(chPeriod, &TForm1::chPeriodClick);
    on(btClipBoard, &TForm1::btClipBoardClick);
    on(btFSave, &TForm1::btFSaveClick);
    on(btNextFile, &TForm1::btNextFileClick);
    on(btPrevFile, &TForm1::btPrevFileClick);
    on(btComments, &TForm1::btCommentsClick);
    on(btFind, &TForm1::btFindClick);
    on(btOpenFind, &TForm1::btOpenFindClick);
    on(btPath, &TForm1::btPathClick);
    on(btCancel, &TForm1::btCancelClick);
    QObject::connect(btFLoad, &QAbstractButton::clicked, this, [this] { Guarded([&] { btFLoadClick(btFLoad); }); });

    seRecord->OnChange = [this] { Guarded([&] { seRecordChange(); }); };
    seSmooth->OnChange = [this] { Guarded([&] { seSmoothChange(); }); };
    QObject::connect(cbY, &QComboBox::activated, this, [this](int) { Guarded([&] { cbYClick(); }); });
    QObject::connect(cbX, &QComboBox::activated, this, [this](int) { Guarded([&] { cbXClick(); }); });
    QObject::connect(eFind, &QLineEdit::returnPressed, this, [this] { Guarded([&] { eFindKeyPress(QChar(13)); }); });

    TimPause->SetOnTimer([this] { Guarded([&] { TimPauseTimer(); }); });
    TimRS->SetOnTimer([this] { Guarded([&] { ProcessReply(); }); });

    // The gathered comments can be read and searched, never edited.
    mAllCmnt->setReadOnly(true);
    mAllCmnt->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    GroupBox3->installEventFilter(this);
    mAllCmnt->installEventFilter(this);

    Chart1->Chart().OnAfterDraw = [this](chart::TChart&) { Guarded([&] { Chart1AfterDraw(); }); };
    QObject::connect(Chart1, &chart::qt::ChartWidget::mouseMoved, this,
                     [this](int x, int y) { Guarded([&] { Chart1MouseMove(x, y); }); });
    QObject::connect(Chart1, &chart::qt::ChartWidget::doubleClicked, this,
                     [this] { Guarded([&] { Chart1DblClick(); }); });
    QObject::connect(ChartCorr, &chart::qt::ChartWidget::doubleClicked, this,
                     [this] { Guarded([&] { ChartCorrDblClick(); }); });
    // Chart pictures go to the clipboard through the window's services.
    Chart1->Chart().SetClipboardTarget(chartClipboard_.get());
    ChartCorr->Chart().SetClipboardTarget(chartClipboard_.get());
}

void TForm1::ReportError(const std::exception& e)
{
    ui_.ShowError(this, QString::fromUtf8(e.what()));
}

void TForm1::FormCreate()
{
    // The record spin edit may step one past either end; its change handler wraps.
    seRecord->setRange(-1, 40);
    Reprocess = false;
    SmoothWidth = seSmooth->value();

    int port = -1;
    Guarded([&] { port = device::DiscoverMeterPort(); });
    if (port > 0) {
        sePort->setValue(port);
        Guarded([&] { btnPortClick(); });
    }
}

void TForm1::FormClose()
{
    // Once closing, no pending command and no input of the user runs: the
    // pause and reply timers stop before the check byte goes out. Silent when
    // there is no port: the window is going away. The check byte goes through
    // the write queue; closing the port sends it before the threads stop.
    Closing = true;
    TimPause->SetEnabled(false);
    TimRS->SetEnabled(false);
    if (VaComm1->Active())
        Guarded([&] { btnCOMClick(); });
}

void TForm1::btHelpClick()
{
    ui_.ShowHelp(0);
}

void TForm1::ShowContextHelp(QWidget* control)
{
    ui_.ShowHelp(HelpContextOf(control ? control : this));
}

int TForm1::SelectedRangeItem() const
{
    const int id = rgRangeItems->checkedId();
    return id < 0 ? 0 : id;
}

void TForm1::SetSelectedRangeItem(int item)
{
    if (QAbstractButton* b = rgRangeItems->button(item))
        b->setChecked(true);
}

void TForm1::closeEvent(QCloseEvent* event)
{
    FormClose();
    event->accept();
    // The program ends with its main window, whatever help is still open. Qt
    // would see to it on most platforms; on Windows it keeps the loop running
    // while the help window is open. (Outside the main loop this does nothing.)
    QCoreApplication::quit();
}

void TForm1::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1) {
        ShowContextHelp(QApplication::focusWidget());
        return;
    }
    QWidget::keyPressEvent(event);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || (widget != this && !isAncestorOf(widget)))
        return QWidget::eventFilter(watched, event);
    if (Closing && IsUserInput(event->type()))
        return true;  // the window is going; input that was queued is dropped
    switch (event->type()) {
    case QEvent::QueryWhatsThis:
        // Every control of the window has a topic in the help.
        event->accept();
        return true;
    case QEvent::WhatsThis:
        // The title bar's help button was pressed, then this control clicked.
        QWhatsThis::leaveWhatsThisMode();
        ShowContextHelp(widget);
        return true;
    case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_F1) {
            ShowContextHelp(widget);
            return true;
        }
        if (widget == mAllCmnt && !key->text().isEmpty()) {
            bool swallowed = true;
            Guarded([&] { swallowed = mAllCmntKeyPress(key->text().at(0)); });
            return swallowed;
        }
        break;
    }
    case QEvent::MouseButtonDblClick:
        if (widget == GroupBox3) {
            Guarded([&] { GroupBox3DblClick(); });
            return true;
        }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace app
