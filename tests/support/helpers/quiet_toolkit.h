#pragma once
// For benchmarks and other command-line programs of the tree: the toolkit's
// notes (no session's runtime folder when run from a script, say) are not
// printed; its errors still are. Call before the application object is made.

#include <QtGlobal>

namespace test_support {

inline void QuietToolkit()
{
    static QtMessageHandler previous = nullptr;
    previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
        if ((type == QtCriticalMsg || type == QtFatalMsg) && previous)
            previous(type, context, text);
    });
}

}  // namespace test_support
