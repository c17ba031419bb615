#include "chart/qt/qt_clipboard.h"

#include "chart/qt/qt_canvas.h"

#include <QClipboard>
#include <QGuiApplication>

namespace chart::qt {

void QtClipboardTarget::SetPicture(TBitmap& picture)
{
    auto* bitmap = dynamic_cast<QtBitmap*>(&picture);
    if (!bitmap)
        return;
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setImage(bitmap->Image());
}

}  // namespace chart::qt
