// Other systems: argv's bytes, a name that is not UTF-8 kept without loss.
#include "protocol/qt/program_argument.h"

#include "shell/native_text.h"

namespace protocol {

QString ProgramArgument(char** argv, int index)
{
    return shell::FromNativePath(argv[index]);
}

}  // namespace protocol
