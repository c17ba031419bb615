#include "app/controls.h"

#include <QPainter>
#include <QPixmap>
#include <QPolygon>
#include <QVariant>
#include <algorithm>

namespace app {

namespace {
const char kHelpContextProperty[] = "helpContext";
}

QColor FromTColor(unsigned tcolor)
{
    return QColor(static_cast<int>(tcolor & 0xFF), static_cast<int>((tcolor >> 8) & 0xFF),
                  static_cast<int>((tcolor >> 16) & 0xFF));
}

unsigned ToTColor(const QColor& color)
{
    return static_cast<unsigned>(color.red()) | (static_cast<unsigned>(color.green()) << 8) |
           (static_cast<unsigned>(color.blue()) << 16);
}

void SetWidgetColor(QWidget* widget, unsigned tcolor)
{
    QPalette pal = widget->palette();
    pal.setColor(QPalette::Window, FromTColor(tcolor));
    widget->setPalette(pal);
    widget->setAutoFillBackground(true);
}

void SetHelpContext(QWidget* widget, int context)
{
    widget->setProperty(kHelpContextProperty, context);
}

int OwnHelpContext(const QWidget* widget)
{
    return widget->property(kHelpContextProperty).toInt();
}

int HelpContextOf(const QWidget* widget)
{
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        const int context = OwnHelpContext(w);
        if (context != 0)
            return context;
        if (w->isWindow())
            break;
    }
    return 0;
}

QIcon ArrowGlyph(bool forward)
{
    // Drawn in the 16-colour palette: navy fill, black outline, transparent ground.
    QImage image(20, 20, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    QPolygon arrow;
    if (forward)
        arrow << QPoint(6, 3) << QPoint(14, 10) << QPoint(6, 17);
    else
        arrow << QPoint(13, 3) << QPoint(5, 10) << QPoint(13, 17);
    p.setPen(QColor(0, 0, 0));
    p.setBrush(QColor(0, 0, 128));
    p.drawPolygon(arrow);
    p.end();
    return QIcon(QPixmap::fromImage(image));
}

SpinEdit::SpinEdit(QWidget* parent, int minValue, int maxValue, int value) : QSpinBox(parent)
{
    setRange(minValue, maxValue);
    setValue(value);
    setKeyboardTracking(true);
    QObject::connect(this, &QSpinBox::valueChanged, this, [this](int) {
        if (OnChange)
            OnChange();
    });
}

QValidator::State SpinEdit::validate(QString& input, int& pos) const
{
    const QString text = input.trimmed();
    if (text.isEmpty() || text == QLatin1String("-") || text == QLatin1String("+"))
        return QValidator::Intermediate;
    bool ok = false;
    text.toInt(&ok);
    if (ok)
        return QValidator::Acceptable;
    return QSpinBox::validate(input, pos);
}

int SpinEdit::valueFromText(const QString& text) const
{
    bool ok = false;
    const long long typed = text.trimmed().toLongLong(&ok);
    if (!ok)
        return QSpinBox::valueFromText(text);
    return static_cast<int>(std::clamp<long long>(typed, minimum(), maximum()));
}

SpeedButton::SpeedButton(QWidget* parent, bool forwardArrow) : QToolButton(parent)
{
    setIcon(ArrowGlyph(forwardArrow));
    setIconSize(QSize(20, 20));
    setAutoRaise(false);
    setFocusPolicy(Qt::NoFocus);
}

}  // namespace app
