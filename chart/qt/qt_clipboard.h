#pragma once
// Chart pictures to the system clipboard.

#include "chart/canvas.h"

namespace chart::qt {

class QtClipboardTarget : public TClipboardTarget {
public:
    void SetPicture(TBitmap& picture) override;
};

}  // namespace chart::qt
