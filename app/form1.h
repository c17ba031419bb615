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

#include "analysis/measurement.h"
#include "analysis/number_format.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace app {

class MessageTimer;
class SpeedButton;
class SpinEdit;
class UiServices;

// The help file names the program start-up and the window carry.
inline constexpr char kApplicationHelpFile[] = "SOVIKAN.HLP";
inline constexpr char kWindowHelpFile[] = "Sovikan.hlp";

class TForm1 : public QWidget {
public:
    // The window uses `ui` for message boxes, dialogs, clipboard and help; it
    // must outlive the window.
    TForm1(UiServices& ui, const analysis::NumberFormat& numberFormat);
    ~TForm1() override;

    // Window handlers.
    void FormCreate();
    void FormClose();
    void btHelpClick();

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
    QWidget* Chart1 = nullptr;
    QComboBox* cbY = nullptr;
    QComboBox* cbX = nullptr;
    QLineEdit* eY = nullptr;
    QLineEdit* eX = nullptr;
    QPushButton* btClipBoard = nullptr;
    QPushButton* btHelp = nullptr;
    QGroupBox* GroupBox7 = nullptr;
    QWidget* ChartCorr = nullptr;
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
    MessageTimer* TimRS = nullptr;
    MessageTimer* TimPause = nullptr;
    MessageTimer* Timer3 = nullptr;

    // --- Shared state of the window. ---
    analysis::MeasurementRecord Record;
    std::int32_t SampleMin = 0;
    std::int32_t SampleMax = 0;
    std::int32_t SmoothWidth = 0;
    bool Reprocess = false;
    double TimeScale = 0.0;
    double ValueScale = 0.0;
    std::array<std::uint8_t, 820> RxBuffer{};
    std::int32_t RxDataLength = 0;
    QString CurrentFileName;

    // The range digit's item: 0 for "АВТО", 1..8 for the ranges.
    int SelectedRangeItem() const;
    void SetSelectedRangeItem(int item);

    const analysis::NumberFormat& NumberFormat() const { return numberFormat_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void BuildLayout();

    UiServices& ui_;
    analysis::NumberFormat numberFormat_;
};

// The window's font: an 11-pixel sans serif that fits the fixed layout.
QFont WindowFont();

}  // namespace app
