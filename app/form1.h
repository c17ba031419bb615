#pragma once
// The main window TForm1: every control of the layout with its caption,
// range, default, visibility, colour and help context, the window's shared
// measurement state, and its event handlers. Handlers keep the names of the
// control and event they serve (btnStartClick, TimRSTimer, ...).

#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "analysis/measurement.h"
#include "analysis/number_format.h"
#include "device/reply.h"
#include "files/comment_browser.h"
#include "serial/comm_device.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace chart {
class TChart;
class TClipboardTarget;
class TFastLineSeries;
namespace qt {
class ChartWidget;
}
}  // namespace chart

namespace files {
struct FolderStep;
}

namespace serial {
class MainThreadDispatcher;
class TVaComm;
}  // namespace serial

namespace app {

class MessageTimer;
class SpeedButton;
class SpinEdit;
class UiServices;

// The help file names the program start-up and the window carry.
inline constexpr char kApplicationHelpFile[] = "SOVIKAN.HLP";
inline constexpr char kWindowHelpFile[] = "Sovikan.hlp";

// One control of the window's fixed layout: its name, its parent's name, its
// rectangle in the parent, its help context (0: the parent's) and, where they
// are fixed, its caption and the colour of its ground (0x00BBGGRR; 0: the
// parent's).
struct ControlPlacement {
    const char* name;
    const char* parent;
    int left, top, width, height;
    int helpContext;
    const char* caption = nullptr;
    unsigned color = 0;
};

// The window's controls in the order they are made, which is the order the
// Tab key goes through them; a parent comes before its children.
std::span<const ControlPlacement> WindowLayout();

class TForm1 : public QWidget {
public:
    // The window uses `ui` for message boxes, dialogs, clipboard and help; it
    // must outlive the window. `deviceFactory` replaces the system's serial
    // device (tests); without it the port is the operating system's.
    TForm1(UiServices& ui, const analysis::NumberFormat& numberFormat, serial::CommDeviceFactory deviceFactory = {});
    ~TForm1() override;

    // Window handlers.
    void FormCreate();
    void FormClose();
    void btHelpClick();

    // Port selection and meter commands.
    void btnPortClick();
    void btnStartClick();
    void TimPauseTimer();
    void btnCOMClick();
    void GroupBox3DblClick();
    void btLoadClick();
    void btEEprevClick();
    void btEEnextClick();
    void seRecordChange();

    // Reception and analysis.
    void VaComm1RxChar();
    void VaComm1LineLost(const std::string& detail);
    void ProcessReply();  // the handler of TimRS
    void seSmoothChange();
    void chPeriodClick();

    // Chart presentation.
    void cbYClick();
    void cbXClick();
    void RefillMeasurementSeries();
    void Chart1AfterDraw();
    void Chart1MouseMove(int x, int y);
    void Chart1DblClick();
    void ChartCorrDblClick();

    // Data files, folder stepping, comment browser, export.
    void btFSaveClick();
    void btFLoadClick(QObject* sender);
    void btNextFileClick();
    void btPrevFileClick();
    void btCommentsClick();
    void btPathClick();
    void btFindClick();
    void btOpenFindClick();
    void btCancelClick();
    // Key handlers; return true when the key was swallowed.
    bool mAllCmntKeyPress(QChar key);
    bool eFindKeyPress(QChar key);
    void WriteTextExport(const QString& path);
    void btClipBoardClick();  // copies the shown values to the clipboard

    // Runs a handler as the event loop would: an error it raises ends it and
    // goes to the application's error box.
    template <typename F>
    void Guarded(F&& handler)
    {
        try {
            handler();
        } catch (const std::exception& e) {
            ReportError(e);
        }
    }
    void ReportError(const std::exception& e);

    // Shows the help topic of the control that has the keyboard focus (F1).
    void ShowContextHelp(QWidget* control);

    // --- Controls, named as in the layout (owned by their Qt parents). ---
    QPushButton* btnCOM = nullptr;
    QGroupBox* GroupBox3 = nullptr;
    SpinEdit* sePort = nullptr;
    QPushButton* btnPort = nullptr;
    QGroupBox* GroupBox5 = nullptr;
    QGroupBox* rgRange = nullptr;
    QButtonGroup* rgRangeItems = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    SpinEdit* sePause = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    SpinEdit* seTime = nullptr;
    QPushButton* btnStart = nullptr;
    QGroupBox* GroupBox9 = nullptr;
    QPlainTextEdit* mResult = nullptr;
    QGroupBox* gbEEread = nullptr;
    QGroupBox* GroupBox6 = nullptr;
    SpinEdit* seRecord = nullptr;
    SpeedButton* btEEprev = nullptr;
    QPushButton* btLoad = nullptr;
    SpeedButton* btEEnext = nullptr;
    QGroupBox* gbFile = nullptr;
    QPushButton* btFSave = nullptr;
    SpeedButton* btPrevFile = nullptr;
    QPushButton* btFLoad = nullptr;
    SpeedButton* btNextFile = nullptr;
    QPushButton* btComments = nullptr;
    QGroupBox* GroupBox10 = nullptr;
    QPlainTextEdit* mComment = nullptr;
    chart::qt::ChartWidget* Chart1 = nullptr;
    QComboBox* cbY = nullptr;
    QComboBox* cbX = nullptr;
    QLineEdit* eY = nullptr;
    QLineEdit* eX = nullptr;
    QPushButton* btClipBoard = nullptr;
    QPushButton* btHelp = nullptr;
    QGroupBox* GroupBox7 = nullptr;
    chart::qt::ChartWidget* ChartCorr = nullptr;
    chart::TFastLineSeries* Series1 = nullptr;
    chart::TFastLineSeries* SeriesCorr = nullptr;
    chart::TFastLineSeries* SeriesPeriod = nullptr;
    QLabel* Label1 = nullptr;
    SpinEdit* seSmooth = nullptr;
    QCheckBox* chPeriod = nullptr;
    QGroupBox* gbCmnt = nullptr;
    QPlainTextEdit* mAllCmnt = nullptr;
    QLineEdit* eFind = nullptr;
    QLabel* eFindLabel = nullptr;
    QPushButton* btFind = nullptr;
    QPushButton* btOpenFind = nullptr;
    QPushButton* btPath = nullptr;
    QPushButton* btCancel = nullptr;

    // Non-visual components.
    std::unique_ptr<serial::MainThreadDispatcher> Dispatcher;  // outlives VaComm1
    std::unique_ptr<serial::TVaComm> VaComm1;
    MessageTimer* TimRS = nullptr;
    MessageTimer* TimPause = nullptr;
    MessageTimer* Timer3 = nullptr;

    // --- Shared state of the window. ---
    analysis::MeasurementRecord Record;
    std::int32_t SampleMin = 0;
    std::int32_t SampleMax = 0;
    std::int32_t SmoothWidth = 0;
    bool Reprocess = false;
    bool Closing = false;  // set by FormClose: no more commands or user input
    // Set when the meter's line was lost and the user told so; cleared when
    // "Установить" opens the port again. Commands meanwhile stay silent.
    bool LineLostShown = false;
    double TimeScale = 0.0;
    double ValueScale = 0.0;
    device::ReplyReceiver Rx;  // RxBuffer and RxDataLength
    QString CurrentFileName;
    // The file the data on screen came from or was last saved to; the text
    // export's origin line names it.
    QString OriginFileName;
    files::CommentSearch Search;  // SearchRemainder and SearchOffset
    // The comment browser's lines as gathered (names as the folder spells
    // them) and the text they were shown as.
    std::vector<std::string> GatheredLines;
    QString GatheredText;

    // The range digit's item: 0 for "АВТО", 1..8 for the ranges.
    int SelectedRangeItem() const;
    void SetSelectedRangeItem(int item);

    const analysis::NumberFormat& NumberFormat() const { return numberFormat_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void BuildLayout();  // makes the controls of WindowLayout()
    void ConnectHandlers();
    void ConfigureSerial();
    void WriteCommand(const std::vector<std::uint8_t>& bytes);
    void ShowStatistics(std::int32_t first, std::int32_t end);
    void PeriodSearch();
    void SetResultLines(const std::vector<std::string>& lines);
    void CopyChartPicture(chart::qt::ChartWidget& widget);
    QStringList CommentBoxLines() const;
    // Opens the file a folder step names, or tells that there is none.
    void OpenFolderStep(const files::FolderStep& step);

    UiServices& ui_;
    analysis::NumberFormat numberFormat_;
    std::unique_ptr<chart::TClipboardTarget> chartClipboard_;
};

// The window's font: an 11-pixel sans serif that fits the fixed layout.
QFont WindowFont();

}  // namespace app
