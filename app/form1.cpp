#include "app/form1.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QWhatsThis>
#include <utility>

#include "app/controls.h"
#include "app/qt_dispatcher.h"
#include "chart/chart.h"
#include "chart/number_picture.h"
#include "chart/qt/chart_widget.h"
#include "device/port_discovery.h"
#include "serial/va_comm.h"
#include "app/message_timer.h"
#include "app/ui_services.h"

namespace app {

namespace {

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
