// Other systems: the offscreen platform unless one is named.
#include "protocol/qt/standalone_platform.h"

#include <QByteArray>
#include <QtGlobal>

namespace protocol::paper {

void ChooseStandalonePlatform()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

}  // namespace protocol::paper
