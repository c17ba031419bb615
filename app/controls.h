#pragma once
// Small building blocks of the main window: colours given as the layout's
// 0x00BBGGRR values, spin edits with a change event, speed buttons with
// their arrow pictures, and the help context carried by every control.

#include <QColor>
#include <QIcon>
#include <QSpinBox>
#include <QToolButton>
#include <functional>

class QWidget;

namespace app {

// A layout colour (blue in the high byte, red in the low byte) as a QColor.
QColor FromTColor(unsigned tcolor);
unsigned ToTColor(const QColor& color);

// Fills a widget's background with a layout colour.
void SetWidgetColor(QWidget* widget, unsigned tcolor);

// The help context of a control; 0 means "ask the parent".
void SetHelpContext(QWidget* widget, int context);
int OwnHelpContext(const QWidget* widget);
// The context that applies to a control: its own, else the nearest parent's.
int HelpContextOf(const QWidget* widget);

// A 20×20 picture of a filled arrow in 16 colours, pointing back or forward.
QIcon ArrowGlyph(bool forward);

// Spin edit: a spin box whose value change is reported to OnChange, also when
// the program sets the value. Typing a value outside the limits clamps it.
class SpinEdit : public QSpinBox {
public:
    SpinEdit(QWidget* parent, int minValue, int maxValue, int value);
    std::function<void()> OnChange;

protected:
    // Any whole number may be typed; one beyond the limits takes the nearest
    // limit, so that "45" in the record number (limits -1..40) becomes 40,
    // which its change handler wraps to 0.
    QValidator::State validate(QString& input, int& pos) const override;
    int valueFromText(const QString& text) const override;
};

// Speed button: a flat push button with a picture.
class SpeedButton : public QToolButton {
public:
    SpeedButton(QWidget* parent, bool forwardArrow);
};

}  // namespace app
