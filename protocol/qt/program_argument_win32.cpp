// Windows: the wide command line, as Qt reads it (argv holds the code page's bytes).
#include "protocol/qt/program_argument.h"

#include <QCoreApplication>
#include <QStringList>

namespace protocol {

QString ProgramArgument(char** /*argv*/, int index)
{
    return QCoreApplication::arguments().value(index);
}

}  // namespace protocol
